// TLink against kolva-sim: reads and writes of every size, the device's faults, the device
// vanishing, and the connection opened from the configuration.

#include "FakeHost.h"
#include "SimProcess.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "link/Codecs.h"
#include "link/Link.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>

using namespace kolva;
using kolva::test::FakeHost;
using kolva::test::SimProcess;

namespace {

// Register r holds (r * 7 + 3) & 0xFFFF in the map given to the simulator.
quint16 MapValue(int reg) {
    return quint16((reg * 7 + 3) & 0xFFFF);
}

QByteArray MapData(int first, int count) {
    QByteArray data;
    for (int r = first; r < first + count; ++r) {
        data.append(char(MapValue(r) >> 8));
        data.append(char(MapValue(r) & 0xFF));
    }
    return data;
}

} // namespace

class TestLinkSim : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString mapFile_;
    TLog log_;
    FakeHost host_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<TLink> link_;

    // Starts the simulator with the register map and `args`, and connects through the
    // configuration (port = the simulator's pty, 38400 baud, time-out `timeoutMs`).
    bool Start(const QStringList& args, int timeoutMs = 150) {
        sim_ = std::make_unique<SimProcess>();
        if (!sim_->start(QStringList{"--map", mapFile_, "--journal-reads"} + args)) {
            qWarning() << sim_->errorString();
            return false;
        }
        IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), sim_->ptyPath());
        IniWrite(QStringLiteral("RTU"), QStringLiteral("baudrate"), QStringLiteral("38400"));
        IniWrite(QStringLiteral("RTU"), QStringLiteral("timeout"), QString::number(timeoutMs));
        link_ = std::make_unique<TLink>(log_, host_);
        link_->Baglan(true);
        return link_->Connected;
    }
    // Requests the simulator saw, as journal lines.
    QStringList Journal() const { return sim_->journalLines(); }

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        paths::SetDataDirOverride(dir_.path());
        mapFile_ = dir_.filePath(QStringLiteral("map.txt"));
        QFile map(mapFile_);
        QVERIFY(map.open(QIODevice::WriteOnly));
        for (int r = 1; r <= 300; ++r)
            map.write(QByteArray::number(r) + ' ' + QByteArray::number(MapValue(r)) + '\n');
        for (int r = 39990; r <= 40010; ++r)
            map.write(QByteArray::number(r) + ' ' + QByteArray::number(MapValue(r)) + '\n');
        map.write("65536 " + QByteArray::number(MapValue(65536)) + '\n');
    }
    void init() {
        log_.Clear();
        log_.chLog = true;
        log_.chLogAll = true;
        host_.messages.clear();
    }
    void cleanup() {
        link_.reset();
        sim_.reset();
    }

    void read_data() {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::newRow("1") << 1 << 1;
        QTest::newRow("2") << 10 << 2;
        QTest::newRow("40001") << 40001 << 1;
        QTest::newRow("top register") << 65536 << 1;
        QTest::newRow("125") << 100 << 125;
    }
    void read() {
        QFETCH(int, first);
        QFETCH(int, count);
        QVERIFY(Start({}));
        QVERIFY(link_->ReadRegisters(1, first, count, fnReadHolding));
        QCOMPARE(link_->RegisterData.toHex(' '), MapData(first, count).toHex(' '));
        QCOMPARE(Journal(), QStringList{QStringLiteral("3 %1 %2").arg(first).arg(count)});
    }

    void readOtherAddressGetsNoReply() {
        QVERIFY(Start({"--address", "7"}, 60));
        QVERIFY(!link_->ReadRegisters(1, 1, 1, fnReadHolding));
        QVERIFY(link_->ReadRegisters(7, 1, 1, fnReadHolding));
        QCOMPARE(link_->RegisterData, MapData(1, 1));
    }

    void write_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("count");
        QTest::newRow("06") << 6 << 200 << 1;
        QTest::newRow("16 one") << 16 << 5 << 1;
        QTest::newRow("16 two") << 16 << 40001 << 2;
        QTest::newRow("16 123") << 16 << 1 << 123;
    }
    void write() {
        QFETCH(int, function);
        QFETCH(int, first);
        QFETCH(int, count);
        QVERIFY(Start({}));
        QByteArray data;
        QStringList values;
        for (int i = 0; i < count; ++i) {
            const quint16 v = quint16(60000 + i * 3);
            data.append(char(v >> 8));
            data.append(char(v & 0xFF));
            values << QString::number(v);
        }
        link_->RegisterData = data;
        QVERIFY(link_->WriteRegisters(1, first, count, quint8(function)));
        QCOMPARE(Journal(), QStringList{QStringLiteral("%1 %2 ").arg(function).arg(first) +
                                        values.join(QLatin1Char(' '))});
        // Read back through the exchange.
        QVERIFY(link_->ReadRegisters(1, first, count, fnReadHolding));
        QCOMPARE(link_->RegisterData, data);
    }

    void textRoundTrip() {
        QVERIFY(Start({}));
        StringtoByteArray(link_->RegisterData, 0, QStringLiteral("ÇALIŞ"), 8);
        QVERIFY(link_->WriteRegisters(1, 50, RegisterCount(QStringLiteral("string"), 8), 16));
        link_->RegisterData.clear();
        QVERIFY(link_->ReadRegisters(1, 50, 4, fnReadHolding));
        QCOMPARE(ByteArrayToString(link_->RegisterData, 0, 8),
                 QStringLiteral("ÇALIŞ") + QString(3, QChar(0)));
    }

    void faults_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("sends");
        QTest::newRow("no reply") << QStringList{"--no-reply", "10"} << false << 3;
        QTest::newRow("answered on the third send")
            << QStringList{"--no-reply", "10", "--fault-limit", "2"} << true << 3;
        QTest::newRow("dropped at random, never three times")
            << QStringList{"--drop-fraction", "1", "--fault-limit", "1"} << true << 2;
        QTest::newRow("bad crc") << QStringList{"--bad-crc"} << false << 3;
        QTest::newRow("bad crc once")
            << QStringList{"--bad-crc", "--fault-limit", "1"} << true << 2;
        QTest::newRow("bad length") << QStringList{"--bad-length"} << false << 3;
        QTest::newRow("long once")
            << QStringList{"--bad-length", "--bad-length-mode", "long", "--fault-limit", "1"}
            << true << 2;
        QTest::newRow("exception") << QStringList{"--exception", "11:2"} << false << 1;
        QTest::newRow("noise") << QStringList{"--noise", "3"} << false << 3;
        QTest::newRow("noise once")
            << QStringList{"--noise", "4", "--fault-limit", "1"} << true << 2;
        QTest::newRow("split") << QStringList{"--split", "3"} << true << 1;
    }
    void faults() {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QFETCH(int, sends);
        QVERIFY(Start(args));
        link_->RegisterData = QByteArrayLiteral("keep");
        QCOMPARE(link_->ReadRegisters(1, 10, 2, fnReadHolding), ok);
        QCOMPARE(link_->RegisterData, ok ? MapData(10, 2) : QByteArrayLiteral("keep"));
        QCOMPARE(Journal(), QStringList(sends, QStringLiteral("3 10 2")));
        QCOMPARE(log_.Lines().filter(QLatin1String(" SEND ")).size(), sends);
    }

    void exceptionOnWrite() {
        QVERIFY(Start({"--exception", "30:3"}));
        InttoByteArray(link_->RegisterData, 0, 5);
        QVERIFY(!link_->WriteRegisters(1, 30, 1, fnWriteSingle));
        QCOMPARE(int(link_->LastException()), 3);
        QCOMPARE(log_.Lines().filter(ExceptionName(3)).size(), 1);
    }

    void ignoredWriteStillAnswers() {
        // The device answers but keeps its value: the exchange itself succeeds.
        QVERIFY(Start({"--ignore-writes", "40"}));
        InttoByteArray(link_->RegisterData, 0, 1234);
        QVERIFY(link_->WriteRegisters(1, 40, 1, fnWriteSingle));
        QVERIFY(link_->ReadRegisters(1, 40, 1, fnReadHolding));
        QCOMPARE(link_->RegisterData, MapData(40, 1));
    }

    void replyAfterTheTimeout() {
        // Each reply comes 500 ms after its request; three waits of 150 ms see nothing.
        QVERIFY(Start({"--late", "500"}));
        link_->RegisterData = QByteArrayLiteral("keep");
        QVERIFY(!link_->ReadRegisters(1, 10, 2, fnReadHolding));
        QCOMPARE(link_->RegisterData, QByteArrayLiteral("keep"));
        QStringList received;
        for (const QString& line : log_.Lines())
            if (line.mid(21, 18).trimmed() == QLatin1String("RECEIVE")) received << line.mid(39);
        QCOMPARE(received, QStringList(3, QString()));
    }

    void lateRepliesDoNotSpoilLaterRequests() {
        // Every first answer comes 200 ms late (time-out 150): the request still succeeds,
        // and what arrives afterwards is dropped before the next request goes out.
        QVERIFY(Start({"--late", "200", "--fault-limit", "1"}));
        QVERIFY(link_->ReadRegisters(1, 10, 1, fnReadHolding));
        QThread::msleep(300);
        QVERIFY(link_->ReadRegisters(1, 20, 3, fnReadHolding));
        QCOMPARE(link_->RegisterData, MapData(20, 3));
    }

    void negativeTimeout() {
        QVERIFY(Start({}, -1));
        QCOMPARE(link_->TimeoutMs, -1);
        link_->RegisterData = QByteArrayLiteral("keep");
        QVERIFY(!link_->ReadRegisters(1, 10, 1, fnReadHolding));
        QCOMPARE(link_->RegisterData, QByteArrayLiteral("keep"));
    }

    void closedPortWritesNothing() {
        QVERIFY(Start({}, 50));
        link_->Baglan(false);
        QVERIFY(!link_->Connected);
        InttoByteArray(link_->RegisterData, 0, 5);
        QVERIFY(!link_->WriteRegisters(1, 30, 1, fnWriteSingle));
        QThread::msleep(50);
        QVERIFY(Journal().isEmpty());
    }

    void simulatorKilledMidExchange() {
        QVERIFY(Start({"--no-reply", "10"}, 300));
        QSignalSpy changed(link_.get(), &TLink::ConnectedChanged);
        QTimer::singleShot(50, [this] { sim_->kill(); });
        QVERIFY(!link_->ReadRegisters(1, 10, 1, fnReadHolding));
        QVERIFY(!link_->Connected);
        QVERIFY(!link_->CP1->IsOpen());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(log_.Lines().filter(QLatin1String("DISCONNECT")).size(), 1);
        // Later requests fail quietly; the program goes on.
        QVERIFY(!link_->ReadRegisters(1, 11, 1, fnReadHolding));
    }
};

QTEST_GUILESS_MAIN(TestLinkSim)
#include "tst_link_sim.moc"

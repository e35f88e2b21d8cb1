// The Modbus exchange of TLink against a scripted device on a real pseudo-terminal:
// accepted and refused replies, the three-send rule, exceptions, stray bytes, logging, and
// the connection built from the configuration.

#include "FakeHost.h"
#include "PtyPeer.h"
#include "config/ConfigKeys.h"
#include "config/Ini.h"
#include "config/Paths.h"
#include "link/Link.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

using namespace kolva;
using kolva::test::FakeHost;
using kolva::test::PtyPeer;
using Piece = PtyPeer::Piece;

namespace {

QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
QByteArray WithCrc(QByteArray frame) {
    AppendCrc(frame);
    return frame;
}

// Register r (1-based) of the scripted device holds 0x1000 + r.
QByteArray DataOf(int firstRegister, int count) {
    QByteArray data;
    for (int r = firstRegister; r < firstRegister + count; ++r) {
        data.append(char((0x1000 + r) >> 8));
        data.append(char((0x1000 + r) & 0xFF));
    }
    return data;
}

// What a correct device answers.
QByteArray GoodReply(const QByteArray& request) {
    const quint8 function = quint8(request.at(1));
    if (function == fnWriteSingle || function == fnWriteMultiple) return WithCrc(request.left(6));
    const int first = ((quint8(request.at(2)) << 8) | quint8(request.at(3))) + 1;
    const int count = (quint8(request.at(4)) << 8) | quint8(request.at(5));
    QByteArray reply = request.left(2);
    reply.append(char(2 * count));
    reply.append(DataOf(first, count));
    return WithCrc(reply);
}

// One scripted answer by name.
QList<Piece> Answer(const QString& kind, const QByteArray& request) {
    const QByteArray good = GoodReply(request);
    if (kind == QLatin1String("good")) return {{0, good}};
    if (kind == QLatin1String("none")) return {};
    if (kind == QLatin1String("badcrc")) {
        QByteArray bad = good;
        bad[bad.size() - 1] = char(bad.at(bad.size() - 1) ^ 0x55);
        return {{0, bad}};
    }
    if (kind == QLatin1String("long")) return {{0, good + QByteArray(1, '\0')}};
    if (kind == QLatin1String("short")) return {{0, good.left(good.size() - 1)}};
    if (kind == QLatin1String("otheraddress")) {
        QByteArray other = good.left(good.size() - 2);
        other[0] = char(other.at(0) + 1);
        return {{0, WithCrc(other)}};
    }
    if (kind == QLatin1String("wrongecho")) {
        QByteArray other = good.left(good.size() - 2);
        other[5] = char(other.at(5) ^ 0x01);
        return {{0, WithCrc(other)}};
    }
    if (kind == QLatin1String("exception2")) {
        QByteArray exception = request.left(1);
        exception.append(char(quint8(request.at(1)) | 0x80));
        exception.append(char(2));
        return {{0, WithCrc(exception)}};
    }
    if (kind == QLatin1String("split"))
        return {{0, good.left(2)}, {20, good.mid(2, 3)}, {20, good.mid(5)}};
    if (kind == QLatin1String("noise")) return {{0, Hex("55 AA") + good}};
    return {};
}

struct Fixture {
    TLog log;
    FakeHost host;
    PtyPeer peer;
    std::unique_ptr<TLink> link;
    QStringList kinds; // answer of each request in turn; "good" after the list

    explicit Fixture(int timeoutMs = 150) {
        log.chLogAll = true;
        link = std::make_unique<TLink>(log, host);
        link->CP1->Port = peer.Path();
        link->CP1->Open();
        link->TimeoutMs = timeoutMs;
        peer.script = [this](int index, const QByteArray& request) {
            return Answer(index < kinds.size() ? kinds.at(index) : QStringLiteral("good"), request);
        };
    }
    QStringList LinesTagged(const QString& tag) const {
        QStringList found;
        for (const QString& line : log.Lines())
            if (line.mid(21, 18).trimmed() == tag) found << line.mid(39);
        return found;
    }
};

} // namespace

class TestLinkExchange : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY(PtyPeer().IsValid()); }

    void read_data() {
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("sends");
        QTest::newRow("good") << QStringList{"good"} << true << 1;
        QTest::newRow("reply in pieces") << QStringList{"split"} << true << 1;
        QTest::newRow("third send answered") << QStringList{"none", "none", "good"} << true << 3;
        QTest::newRow("never answered") << QStringList{"none", "none", "none"} << false << 3;
        QTest::newRow("bad crc is refused") << QStringList{"badcrc", "good"} << true << 2;
        QTest::newRow("other address is refused")
            << QStringList{"otheraddress", "good"} << true << 2;
        QTest::newRow("one byte long") << QStringList{"long", "long", "long"} << false << 3;
        QTest::newRow("one byte short") << QStringList{"short", "short", "good"} << true << 3;
        QTest::newRow("noise before reply") << QStringList{"noise", "good"} << true << 2;
        QTest::newRow("exception ends at once") << QStringList{"exception2"} << false << 1;
    }
    void read() {
        QFETCH(QStringList, kinds);
        QFETCH(bool, ok);
        QFETCH(int, sends);
        Fixture f;
        f.kinds = kinds;
        f.link->RegisterData = Hex("AB CD EF");
        QCOMPARE(f.link->ReadRegisters(1, 10, 3, fnReadHolding), ok);
        QCOMPARE(f.peer.requests.size(), sends);
        for (const QByteArray& request : f.peer.requests)
            QCOMPARE(request, BuildReadRequest(1, 10, 3, fnReadHolding));
        QCOMPARE(f.link->RegisterData, ok ? DataOf(10, 3) : Hex("AB CD EF"));
        QCOMPARE(f.LinesTagged(QStringLiteral("SEND")).size(), sends);
        QCOMPARE(f.LinesTagged(QStringLiteral("RECEIVE")).size(), sends);
    }

    void exceptionIsLogged() {
        Fixture f;
        f.kinds = QStringList{"exception2"};
        QVERIFY(!f.link->ReadRegisters(1, 10, 1, fnReadHolding));
        QCOMPARE(int(f.link->LastException()), 2);
        const QStringList errors = f.LinesTagged(QStringLiteral("Hata"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(QLatin1String("2")) &&
                     errors.first().contains(ExceptionName(2)),
                 qPrintable(errors.first()));
        QVERIFY(f.log.Lines().last().contains(QLatin1String("ERROR")));
    }

    void write_data() {
        QTest::addColumn<int>("function");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QStringList>("kinds");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QByteArray>("frame"); // every send; empty: nothing sent
        QTest::addColumn<int>("sends");
        const QByteArray single = Hex("01 06 00 C7 00 05 F8 34");
        const QByteArray multiple = Hex("01 10 00 00 00 02 04 00 0A 01 02 53 FC");
        QTest::newRow("06 count ignored")
            << 6 << 200 << 7 << Hex("00 05 99") << QStringList{"good"} << true << single << 1;
        QTest::newRow("06 wrong echo")
            << 6 << 200 << 1 << Hex("00 05") << QStringList{"wrongecho", "wrongecho", "wrongecho"}
            << false << single << 3;
        QTest::newRow("06 exception")
            << 6 << 200 << 1 << Hex("00 05") << QStringList{"exception2"} << false << single << 1;
        QTest::newRow("16") << 16 << 1 << 2 << Hex("00 0A 01 02 77") << QStringList{"good"} << true
                            << multiple << 1;
        QTest::newRow("16 wrong count echoed")
            << 16 << 1 << 2 << Hex("00 0A 01 02") << QStringList{"wrongecho", "none", "good"}
            << true << multiple << 3;
        QTest::newRow("06 data missing")
            << 6 << 200 << 1 << Hex("05") << QStringList{} << false << QByteArray() << 0;
        QTest::newRow("16 data missing")
            << 16 << 1 << 2 << Hex("00 0A 01") << QStringList{} << false << QByteArray() << 0;
        QTest::newRow("register 0")
            << 6 << 0 << 1 << Hex("00 05") << QStringList{} << false << QByteArray() << 0;
        QTest::newRow("function 3 is no write")
            << 3 << 1 << 1 << Hex("00 05") << QStringList{} << false << QByteArray() << 0;
    }
    void write() {
        QFETCH(int, function);
        QFETCH(int, reg);
        QFETCH(int, count);
        QFETCH(QByteArray, data);
        QFETCH(QStringList, kinds);
        QFETCH(bool, ok);
        QFETCH(QByteArray, frame);
        QFETCH(int, sends);
        Fixture f;
        f.kinds = kinds;
        f.link->RegisterData = data;
        QCOMPARE(f.link->WriteRegisters(1, reg, count, quint8(function)), ok);
        QCOMPARE(f.peer.requests.size(), sends);
        for (const QByteArray& request : f.peer.requests)
            QCOMPARE(request.toHex(' '), frame.toHex(' '));
        QCOMPARE(f.link->RegisterData, data); // only read
        if (sends == 0) {
            // Refused before sending: only a request that could not be built is reported.
            QCOMPARE(f.LinesTagged(QStringLiteral("SEND")).size(), 0);
            QCOMPARE(f.LinesTagged(QStringLiteral("Hata")).size(), function == 3 ? 0 : 1);
        }
    }

    void strayBytesAreDropped() {
        // The first send goes unanswered; its reply turns up, late, after the exchange ended,
        // while the program is busy elsewhere: the bytes lie waiting in the port when the next
        // request goes out, and must not spoil it.
        Fixture f(100);
        f.kinds = QStringList{"none"};
        QVERIFY(f.link->ReadRegisters(1, 10, 2, fnReadHolding));
        QCOMPARE(f.peer.requests.size(), 2);
        f.peer.Write(GoodReply(f.peer.requests.at(0)));
        QThread::msleep(50); // no events processed: nothing is read meanwhile
        QVERIFY(f.link->ReadRegisters(1, 20, 1, fnReadHolding));
        QCOMPARE(f.peer.requests.size(), 3);
        QCOMPARE(f.link->RegisterData, DataOf(20, 1));
    }

    void logSwitches_data() {
        QTest::addColumn<bool>("chLog");
        QTest::addColumn<bool>("chLogAll");
        QTest::addColumn<int>("lines");
        QTest::newRow("both on") << true << true << 3;
        QTest::newRow("level 3 hidden") << true << false << 0;
        QTest::newRow("log off") << false << true << 0;
    }
    void logSwitches() {
        QFETCH(bool, chLog);
        QFETCH(bool, chLogAll);
        QFETCH(int, lines);
        Fixture f(60);
        f.kinds = QStringList{"none", "none", "none"};
        f.log.chLog = chLog;
        f.log.chLogAll = chLogAll;
        QVERIFY(!f.link->ReadRegisters(1, 1, 1, fnReadHolding));
        const QStringList sent = f.LinesTagged(QStringLiteral("SEND"));
        const QStringList received = f.LinesTagged(QStringLiteral("RECEIVE"));
        QCOMPARE(sent.size(), lines);
        QCOMPARE(received.size(), lines);
        for (const QString& line : sent)
            QCOMPARE(line, QStringLiteral("01 03 00 00 00 01 84 0A "));
        for (const QString& line : received)
            QCOMPARE(line, QString());
    }

    void receiveLineShowsReply() {
        Fixture f;
        QVERIFY(f.link->ReadRegisters(1, 10, 1, fnReadHolding));
        QCOMPARE(f.LinesTagged(QStringLiteral("RECEIVE")),
                 QStringList{Ascii2Hex(GoodReply(BuildReadRequest(1, 10, 1, 3)))});
    }

    void timeoutNotPositive_data() {
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("negative") << -1;
        QTest::newRow("zero") << 0;
    }
    void timeoutNotPositive() {
        QFETCH(int, timeoutMs);
        Fixture f(timeoutMs);
        f.link->RegisterData = Hex("AB CD");
        QVERIFY(!f.link->ReadRegisters(1, 10, 1, fnReadHolding));
        QVERIFY(!f.link->WriteRegisters(1, 10, 1, fnWriteSingle));
        QCOMPARE(f.link->RegisterData, Hex("AB CD"));
    }

    void closedPortSendsNothing() {
        Fixture f(50);
        f.link->CP1->Close();
        f.link->RegisterData = Hex("AB CD");
        QVERIFY(!f.link->ReadRegisters(1, 10, 1, fnReadHolding));
        QCOMPARE(f.LinesTagged(QStringLiteral("SEND")).size(), 3);
        QCOMPARE(f.LinesTagged(QStringLiteral("RECEIVE")), QStringList(3, QString()));
        QCoreApplication::processEvents();
        QVERIFY(f.peer.received.isEmpty());
        QCOMPARE(f.link->RegisterData, Hex("AB CD"));
    }

    void eventsRunWhileWaiting() {
        Fixture f(150);
        f.kinds = QStringList{"none", "none", "none"};
        bool ran = false;
        QTimer::singleShot(20, [&] { ran = true; });
        QVERIFY(!f.link->ReadRegisters(1, 10, 1, fnReadHolding));
        QVERIFY(ran);
    }

    void deviceVanishesMidExchange() {
        Fixture f(200);
        QSignalSpy changed(f.link.get(), &TLink::ConnectedChanged);
        QVERIFY(f.link->Connected);
        f.kinds = QStringList{"none"};
        f.peer.script = [&](int, const QByteArray&) {
            QTimer::singleShot(30, [&] { f.peer.Hangup(); });
            return QList<Piece>{};
        };
        QVERIFY(!f.link->ReadRegisters(1, 10, 1, fnReadHolding));
        QVERIFY(!f.link->CP1->IsOpen());
        QVERIFY(!f.link->Connected);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.at(0).at(0).toBool(), false);
        QCOMPARE(f.peer.requests.size(), 1);
        QCOMPARE(f.LinesTagged(QStringLiteral("DISCONNECT")).size(), 1);
    }

    // --- The connection from the configuration ---

    void init() {
        configDir_ = std::make_unique<QTemporaryDir>();
        paths::SetDataDirOverride(configDir_->path());
    }
    void cleanup() { paths::SetDataDirOverride(QString()); }

    void connectWithDefaults() {
        // No keys at all: COM1 at 9600 8N1, 1500 ms; COM1 does not exist here, so the open
        // fails and is reported once in a box and twice in the log.
        TLog log;
        FakeHost host;
        TLink link(log, host);
        QSignalSpy changed(&link, &TLink::ConnectedChanged);
        link.Baglan(true);
        QCOMPARE(link.CP1->Port, QStringLiteral("COM1"));
        QCOMPARE(link.CP1->Baud, 9600);
        QCOMPARE(int(link.CP1->DataBits), 8);
        QCOMPARE(link.CP1->StopBits, sbONE);
        QCOMPARE(link.CP1->Parity, ptNONE);
        QCOMPARE(link.TimeoutMs, 1500);
        for (const keys::Key& key : {keys::comport, keys::baudrate, keys::databits, keys::stopbit,
                                     keys::parity, keys::timeoutConnect}) {
            TIniFile ini(paths::ConfigFile());
            bool found = false;
            QCOMPARE(ini.Read(key.Section(), key.Name(), &found), key.Default());
            QVERIFY(found);
        }
        const QString message = TLink::OpenFailedMessage();
        QCOMPARE(host.messages, QStringList{message});
        QCOMPARE(log.StatusText(), message);
        QCOMPARE(log.Lines().size(), 2);
        QVERIFY(log.Lines().at(0).contains(QLatin1String("BILGI")));
        QVERIFY(log.Lines().at(1).contains(QLatin1String("ERROR       Hata")));
        QVERIFY(log.Lines().at(1).endsWith(message));
        QVERIFY(!link.Connected);
        QCOMPARE(changed.size(), 0);
    }

    void lineSettings_data() {
        QTest::addColumn<QString>("stopbit");
        QTest::addColumn<QString>("parity");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<int>("parityCode");
        QTest::newRow("1.5 odd") << "1.5"
                                 << "odd" << int(sbONE5) << int(ptODD);
        QTest::newRow("2 even") << "2"
                                << "even" << int(snTWO) << int(ptEVEN);
        QTest::newRow("2.0 Even") << "2.0"
                                  << "Even" << int(sbONE) << int(ptNONE);
        QTest::newRow("1,5 mark") << "1,5"
                                  << "mark" << int(sbONE) << int(ptNONE);
    }
    void lineSettings() {
        QFETCH(QString, stopbit);
        QFETCH(QString, parity);
        QFETCH(int, stopBits);
        QFETCH(int, parityCode);
        PtyPeer peer;
        IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), peer.Path());
        IniWrite(QStringLiteral("RTU"), QStringLiteral("baudrate"), QStringLiteral("19200"));
        IniWrite(QStringLiteral("RTU"), QStringLiteral("databits"), QStringLiteral("263"));
        IniWrite(QStringLiteral("RTU"), QStringLiteral("stopbit"), stopbit);
        IniWrite(QStringLiteral("RTU"), QStringLiteral("parity"), parity);
        IniWrite(QStringLiteral("RTU"), QStringLiteral("timeout"), QStringLiteral("-5"));
        TLog log;
        log.chLogAll = true;
        FakeHost host;
        TLink link(log, host);
        link.Baglan(true);
        QCOMPARE(link.CP1->Baud, 19200);
        QCOMPARE(int(link.CP1->DataBits), 7); // low 8 bits
        QCOMPARE(int(link.CP1->StopBits), stopBits);
        QCOMPARE(int(link.CP1->Parity), parityCode);
        QCOMPARE(link.TimeoutMs, -5);
        QVERIFY(link.Connected); // settings a pty refuses do not fail the open
        QVERIFY(host.messages.isEmpty());
    }

    void connectAndDisconnect() {
        PtyPeer peer;
        IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), peer.Path());
        TLog log;
        log.chLogAll = true;
        FakeHost host;
        TLink link(log, host);
        QSignalSpy changed(&link, &TLink::ConnectedChanged);
        link.Baglan(false); // closed already: nothing
        link.Baglan(true);
        link.Baglan(true); // open already: settings re-read, nothing logged
        QVERIFY(link.Connected);
        link.Baglan(false);
        link.Baglan(false);
        QVERIFY(!link.Connected);
        QCOMPARE(changed.size(), 2);
        QCOMPARE(changed.at(0).at(0).toBool(), true);
        QCOMPARE(changed.at(1).at(0).toBool(), false);
        QStringList tags;
        for (const QString& line : log.Lines())
            tags << line.mid(21, 18).trimmed() + ":" + line.mid(39);
        QCOMPARE(tags, (QStringList{"CONNECT:" + peer.Path() + " Bağlanıldı.",
                                    "DISCONNECT:" + peer.Path() + " Bağlantı kesildi."}));
        QVERIFY(host.messages.isEmpty());
    }

    void notANumber_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("baudrate") << "baudrate"
                                  << "fast";
        QTest::newRow("databits") << "databits"
                                  << "8.0";
        QTest::newRow("timeout") << "timeout"
                                 << "1,5";
    }
    void notANumber() {
        QFETCH(QString, key);
        QFETCH(QString, value);
        PtyPeer peer;
        IniWrite(QStringLiteral("RTU"), QStringLiteral("comport"), peer.Path());
        IniWrite(QStringLiteral("RTU"), key, value);
        TLog log;
        FakeHost host;
        TLink link(log, host);
        QVERIFY_THROWS_EXCEPTION(EConvertError, link.Baglan(true));
        QVERIFY(!link.Connected);
        QVERIFY(!link.CP1->IsOpen());
        QVERIFY(host.messages.isEmpty());
    }

private:
    std::unique_ptr<QTemporaryDir> configDir_;
};

QTEST_GUILESS_MAIN(TestLinkExchange)
#include "tst_link_exchange.moc"

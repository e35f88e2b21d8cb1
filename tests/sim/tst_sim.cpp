// kolva-sim against an independent Modbus master (libmodbus client) and raw frames.

#include "SimProcess.h"
#include "catalogue/Catalogue.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <modbus.h>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using kolva::test::SimProcess;

namespace {

// libmodbus as the bus master on the simulator's tty.
class Master {
public:
    explicit Master(const QString& path, int slave = 1, int timeoutMs = 300) {
        ctx_ = modbus_new_rtu(path.toLocal8Bit().constData(), 9600, 'N', 8, 1);
        if (!ctx_) return;
        modbus_set_slave(ctx_, slave);
        modbus_set_response_timeout(ctx_, 0, static_cast<uint32_t>(timeoutMs) * 1000);
        modbus_set_byte_timeout(ctx_, 0, 100000);
        connected_ = modbus_connect(ctx_) == 0;
    }
    ~Master() {
        if (!ctx_) return;
        if (connected_) modbus_close(ctx_);
        modbus_free(ctx_);
    }
    bool ok() const { return ctx_ && connected_; }

    // Reads registers first .. first + count - 1 (1-based); errno-style code on failure.
    int read(int first, int count, QList<quint16>* values = nullptr) {
        QList<quint16> buf(count);
        errno = 0;
        const int rc = modbus_read_registers(ctx_, first - 1, count, buf.data());
        if (rc != count) return errno ? errno : -1;
        if (values) *values = buf;
        return 0;
    }
    int write06(int reg, quint16 value) {
        errno = 0;
        return modbus_write_register(ctx_, reg - 1, value) == 1 ? 0 : (errno ? errno : -1);
    }
    int write16(int first, const QList<quint16>& values) {
        errno = 0;
        const int rc =
            modbus_write_registers(ctx_, first - 1, static_cast<int>(values.size()), values.data());
        return rc == values.size() ? 0 : (errno ? errno : -1);
    }

private:
    modbus_t* ctx_ = nullptr;
    bool connected_ = false;
};

quint16 crc16(const QByteArray& data) {
    quint16 crc = 0xFFFF;
    for (char c : data) {
        crc ^= static_cast<quint8>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

QByteArray withCrc(QByteArray frame) {
    const quint16 crc = crc16(frame);
    frame.append(static_cast<char>(crc & 0xFF));
    frame.append(static_cast<char>(crc >> 8));
    return frame;
}

QByteArray readRequest(int address, int first, int count) {
    QByteArray f;
    f.append(static_cast<char>(address));
    f.append(char(3));
    f.append(static_cast<char>((first - 1) >> 8));
    f.append(static_cast<char>((first - 1) & 0xFF));
    f.append(static_cast<char>(count >> 8));
    f.append(static_cast<char>(count & 0xFF));
    return withCrc(f);
}

bool crcValid(const QByteArray& frame) {
    if (frame.size() < 4) return false;
    const quint16 crc = crc16(frame.left(frame.size() - 2));
    return static_cast<quint8>(frame[frame.size() - 2]) == (crc & 0xFF) &&
           static_cast<quint8>(frame[frame.size() - 1]) == (crc >> 8);
}

// The tty opened raw, for exchanges that libmodbus would refuse to make or to show.
class RawLine {
public:
    explicit RawLine(const QString& path) {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0) return;
        termios t{};
        ::tcgetattr(fd_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(fd_, TCSANOW, &t);
    }
    // Takes over an open descriptor (e.g. a pty master).
    explicit RawLine(int fd) : fd_(fd) {}
    ~RawLine() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return fd_ >= 0; }

    // Sends the frame and collects the answer until quietMs pass without a byte (bounded by
    // 3 s in all). *chunks counts the separate arrivals.
    QByteArray exchange(const QByteArray& frame, int quietMs = 150, int* chunks = nullptr) {
        if (::write(fd_, frame.constData(), static_cast<size_t>(frame.size())) != frame.size())
            return {};
        return collect(quietMs, chunks);
    }
    QByteArray collect(int quietMs = 150, int* chunks = nullptr) {
        QByteArray got;
        QElapsedTimer total;
        total.start();
        if (chunks) *chunks = 0;
        while (total.elapsed() < 3000) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, quietMs) <= 0) break;
            char buf[512];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            got.append(buf, n);
            if (chunks) ++*chunks;
        }
        return got;
    }

private:
    int fd_ = -1;
};

} // namespace

class TestSim : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();

    void readRanges_data();
    void readRanges();
    void writesAndJournal();
    void libmodbusFaults_data();
    void libmodbusFaults();
    void replyShapeFaults_data();
    void replyShapeFaults();
    void splitReplyStillDecodes();
    void faultLimitEndsTheFault();
    void ignoredWriteKeepsOldValue();
    void damagedRequestGetsNoReplyAndLineRecovers();
    void addresses_data();
    void addresses();
    void storeCommand_data();
    void storeCommand();
    void stateFileLoadedOverMap();
    void wireTimeSlowsTheReply();
    void lineReopenedBetweenOperations();
    void exitOnHangup();
    void linkAndCleanExit();
    void attachToTty();
    void help();
    void badStart_data();
    void badStart();
    void catalogueDefaults();
    void shippedCatalogue();

private:
    QString writeFile(const QString& name, const QByteArray& text) {
        const QString path = dir_.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(text);
        return path;
    }

    QTemporaryDir dir_;
    QString map_;
};

void TestSim::initTestCase() {
    QVERIFY(dir_.isValid());
    QVERIFY2(QFileInfo::exists(SimProcess::program()), qPrintable(SimProcess::program()));
    // Registers 1..130 hold 1000 + register; a few scattered ones for the edges.
    QByteArray map = "# test map\n";
    for (int r = 1; r <= 130; ++r)
        map += QByteArray::number(r) + " " + QByteArray::number(1000 + r) + "\n";
    map += "5007 0x1234   # hex value\n0xFFFF 7\n65536 65535\n\n";
    map_ = writeFile("map.txt", map);
}

void TestSim::readRanges_data() {
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::newRow("one register") << 1 << 1;
    QTest::newRow("ten registers") << 1 << 10;
    QTest::newRow("125 registers, the most one read may ask") << 3 << 125;
    QTest::newRow("hex register and value") << 5007 << 1;
    QTest::newRow("last registers") << 65534 << 3;
    QTest::newRow("never written, reads 0") << 40001 << 4;
}

void TestSim::readRanges() {
    QFETCH(int, first);
    QFETCH(int, count);
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_}), qPrintable(sim.errorString()));
    const QMap<int, quint16> expected = SimProcess::readRegisterFile(map_);
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QList<quint16> values;
    QCOMPARE(m.read(first, count, &values), 0);
    QCOMPARE(values.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(values[i], expected.value(first + i, 0));
}

void TestSim::writesAndJournal() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--journal-reads"}), qPrintable(sim.errorString()));
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QCOMPARE(m.write06(10, 500), 0);
    QCOMPARE(m.write16(200, {1, 65535, 0, 42}), 0);
    QCOMPARE(m.write06(65536, 9), 0);
    QList<quint16> values;
    QCOMPARE(m.read(199, 6, &values), 0);
    QCOMPARE(values, (QList<quint16>{0, 1, 65535, 0, 42, 0}));
    QCOMPARE(m.read(10, 1, &values), 0);
    QCOMPARE(values, QList<quint16>{500});
    // Writing past the last register is refused by the device and changes nothing.
    QCOMPARE(m.write16(65536, {1, 2}), EMBXILADD);

    QCOMPARE(sim.journalLines(), (QStringList{"6 10 500", "16 200 1 65535 0 42", "6 65536 9",
                                              "3 199 6", "3 10 1", "16 65536 1 2"}));
    const QMap<int, quint16> regs = sim.dumpRegisters();
    QCOMPARE(regs.value(10), quint16(500));
    QCOMPARE(regs.value(201), quint16(65535));
    QVERIFY(!regs.contains(202)); // written 0: not listed
    QCOMPARE(regs.value(65536), quint16(9));
    QCOMPARE(regs.value(65535), quint16(7)); // the refused write changed nothing
    QCOMPARE(regs.value(5007), quint16(0x1234));
}

void TestSim::libmodbusFaults_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("expected"); // 0 or the errno libmodbus reports

    QTest::newRow("no fault") << QStringList{} << 5 << 2 << 0;
    QTest::newRow("no reply on a touched register")
        << QStringList{"--no-reply", "3,6-8"} << 5 << 2 << ETIMEDOUT;
    QTest::newRow("no reply elsewhere") << QStringList{"--no-reply", "3,6-8"} << 4 << 1 << 0;
    QTest::newRow("every request dropped")
        << QStringList{"--drop-fraction", "1", "--seed", "1"} << 1 << 1 << ETIMEDOUT;
    QTest::newRow("no request dropped") << QStringList{"--drop-fraction", "0"} << 1 << 1 << 0;
    QTest::newRow("bad crc everywhere") << QStringList{"--bad-crc"} << 1 << 3 << EMBBADCRC;
    QTest::newRow("bad crc on listed register")
        << QStringList{"--bad-crc", "2"} << 1 << 3 << EMBBADCRC;
    QTest::newRow("bad crc not on this one") << QStringList{"--bad-crc", "20"} << 1 << 3 << 0;
    QTest::newRow("short reply") << QStringList{"--bad-length", "--bad-length-mode", "short"} << 1
                                 << 2 << ETIMEDOUT;
    QTest::newRow("illegal address") << QStringList{"--exception", "7:2"} << 5 << 4 << EMBXILADD;
    QTest::newRow("server failure") << QStringList{"--exception", "9:3,7:4"} << 7 << 1 << EMBXSFAIL;
    QTest::newRow("busy") << QStringList{"--exception", "1:6"} << 1 << 1 << EMBXSBUSY;
    QTest::newRow("exception elsewhere") << QStringList{"--exception", "9:2"} << 1 << 8 << 0;
    QTest::newRow("late reply") << QStringList{"--late", "600"} << 1 << 1 << ETIMEDOUT;
    QTest::newRow("read past the end") << QStringList{} << 65535 << 3 << EMBXILADD;
}

void TestSim::libmodbusFaults() {
    QFETCH(QStringList, args);
    QFETCH(int, first);
    QFETCH(int, count);
    QFETCH(int, expected);
    SimProcess sim;
    QVERIFY2(sim.start(QStringList{"--map", map_} + args), qPrintable(sim.errorString()));
    Master m(sim.ptyPath(), 1, 300);
    QVERIFY(m.ok());
    QList<quint16> values;
    const int rc = m.read(first, count, &values);
    QVERIFY2(rc == expected, qPrintable(QStringLiteral("got %1 (%2), expected %3 (%4)")
                                            .arg(rc)
                                            .arg(modbus_strerror(rc))
                                            .arg(expected)
                                            .arg(modbus_strerror(expected))));
    if (expected == 0)
        for (int i = 0; i < count; ++i)
            QCOMPARE(values[i], quint16(1000 + first + i));
}

void TestSim::replyShapeFaults_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("extraFirst");  // bytes before the proper reply
    QTest::addColumn<int>("lengthDelta"); // of the proper reply
    QTest::addColumn<bool>("crcOk");

    QTest::newRow("plain") << QStringList{} << 0 << 0 << true;
    QTest::newRow("noise") << QStringList{"--noise", "5", "--seed", "3"} << 5 << 0 << true;
    QTest::newRow("one byte short")
        << QStringList{"--bad-length", "--bad-length-mode", "short"} << 0 << -1 << false;
    QTest::newRow("one byte long")
        << QStringList{"--bad-length", "--bad-length-mode", "long"} << 0 << 1 << true;
    QTest::newRow("first of alternating is short")
        << QStringList{"--bad-length", "1"} << 0 << -1 << false;
    QTest::newRow("length fault on other registers")
        << QStringList{"--bad-length", "50-60"} << 0 << 0 << true;
    QTest::newRow("bad crc") << QStringList{"--bad-crc"} << 0 << 0 << false;
}

void TestSim::replyShapeFaults() {
    QFETCH(QStringList, args);
    QFETCH(int, extraFirst);
    QFETCH(int, lengthDelta);
    QFETCH(bool, crcOk);
    SimProcess sim;
    QVERIFY2(sim.start(QStringList{"--map", map_} + args), qPrintable(sim.errorString()));
    RawLine line(sim.ptyPath());
    QVERIFY(line.ok());
    const QByteArray reply = line.exchange(readRequest(1, 1, 2));
    QCOMPARE(reply.size(), extraFirst + 9 + lengthDelta);
    const QByteArray proper = reply.mid(extraFirst);
    QCOMPARE(proper.left(7), QByteArray::fromHex("0103040"
                                                 "3E903EA")
                                 .left(qMin(7, proper.size())));
    if (lengthDelta >= 0)
        QCOMPARE(crcValid(proper.left(9)), crcOk);
    else
        QVERIFY(!crcValid(proper));
}

void TestSim::splitReplyStillDecodes() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--split", "4", "--split-pause", "20"}),
             qPrintable(sim.errorString()));
    {
        RawLine line(sim.ptyPath());
        QVERIFY(line.ok());
        int chunks = 0;
        const QByteArray reply = line.exchange(readRequest(1, 1, 10), 150, &chunks);
        QCOMPARE(reply.size(), 25);
        QVERIFY(crcValid(reply));
        QCOMPARE(chunks, 4);
    }
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QList<quint16> values;
    QCOMPARE(m.read(3, 20, &values), 0);
    QCOMPARE(values.first(), quint16(1003));
    QCOMPARE(values.last(), quint16(1022));
}

void TestSim::faultLimitEndsTheFault() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--no-reply", "1", "--bad-crc", "--fault-limit", "2",
                        "--journal-reads"}),
             qPrintable(sim.errorString()));
    Master m(sim.ptyPath(), 1, 200);
    QVERIFY(m.ok());
    QCOMPARE(m.read(1, 1), ETIMEDOUT);
    QCOMPARE(m.read(1, 1), ETIMEDOUT);
    QCOMPARE(m.read(2, 1), EMBBADCRC);
    QCOMPARE(m.read(2, 1), EMBBADCRC);
    QList<quint16> values;
    QCOMPARE(m.read(1, 2, &values), 0);
    QCOMPARE(values, (QList<quint16>{1001, 1002}));
    // The unanswered requests were received all the same.
    QCOMPARE(sim.journalLines(), (QStringList{"3 1 1", "3 1 1", "3 2 1", "3 2 1", "3 1 2"}));
}

void TestSim::ignoredWriteKeepsOldValue() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--ignore-writes", "11"}), qPrintable(sim.errorString()));
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QCOMPARE(m.write16(10, {7, 8, 9}), 0);
    QCOMPARE(m.write06(11, 5), 0);
    QList<quint16> values;
    QCOMPARE(m.read(10, 3, &values), 0);
    QCOMPARE(values, (QList<quint16>{7, 1011, 9}));
    QCOMPARE(sim.journalLines(), (QStringList{"16 10 7 8 9", "6 11 5"}));
}

void TestSim::damagedRequestGetsNoReplyAndLineRecovers() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_}), qPrintable(sim.errorString()));
    RawLine line(sim.ptyPath());
    QVERIFY(line.ok());
    QByteArray bad = readRequest(1, 1, 1);
    bad[7] = static_cast<char>(bad[7] ^ 0x01);
    QCOMPARE(line.exchange(bad), QByteArray());
    QCOMPARE(line.exchange(QByteArray::fromHex("0103")), QByteArray()); // cut short
    const QByteArray good = line.exchange(readRequest(1, 2, 1));
    QCOMPARE(good, withCrc(QByteArray::fromHex("010302"
                                               "03EA")));
    // A read of more than 125 registers is refused with exception 03.
    QCOMPARE(line.exchange(readRequest(1, 1, 126)), withCrc(QByteArray::fromHex("018303")));
}

void TestSim::addresses_data() {
    QTest::addColumn<int>("simAddress");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("answered");
    QTest::newRow("default address 1") << 0 << 1 << true;
    QTest::newRow("other device") << 0 << 2 << false;
    QTest::newRow("address 7") << 7 << 7 << true;
    QTest::newRow("address 247") << 247 << 247 << true;
    QTest::newRow("address 250") << 250 << 250 << true;
    QTest::newRow("address 255") << 255 << 255 << true;
    QTest::newRow("address 250 asked as 247") << 250 << 247 << false;
    QTest::newRow("broadcast") << 5 << 0 << false;
}

void TestSim::addresses() {
    QFETCH(int, simAddress);
    QFETCH(int, asked);
    QFETCH(bool, answered);
    QStringList args{"--map", map_};
    if (simAddress) args << "--address" << QString::number(simAddress);
    SimProcess sim;
    QVERIFY2(sim.start(args), qPrintable(sim.errorString()));
    RawLine line(sim.ptyPath());
    QVERIFY(line.ok());
    const QByteArray reply = line.exchange(readRequest(asked, 3, 1));
    if (!answered) {
        QCOMPARE(reply, QByteArray());
        return;
    }
    QByteArray expected;
    expected.append(static_cast<char>(asked));
    expected.append(QByteArray::fromHex("030203EB"));
    QCOMPARE(reply, withCrc(expected));
}

void TestSim::storeCommand_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("storeRegister");
    QTest::newRow("RX-B2") << "RX-B2" << 5007;
    QTest::newRow("contains RX-N4") << "RX-N4-S" << 5201;
    QTest::newRow("contains RX-A1") << "X RX-A1" << 5201;
    QTest::newRow("RX-E5") << "RX-E5" << 1;
    QTest::newRow("RX-L2 variant") << "RX-L2-PLUS" << 1;
    QTest::newRow("RX-B2 variant is not RX-B2") << "RX-B2X" << 65001;
    QTest::newRow("other model") << "RX-Z9" << 65001;
}

void TestSim::storeCommand() {
    QFETCH(QString, model);
    QFETCH(int, storeRegister);
    const QString state = dir_.filePath("state-" + QString::number(storeRegister) + ".txt");
    QFile::remove(state);
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--model", model, "--state", state}),
             qPrintable(sim.errorString()));
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QCOMPARE(m.write06(20, 77), 0);
    QVERIFY(!QFileInfo::exists(state));
    // Another value, or function 16, is an ordinary write.
    if (storeRegister != 1) {
        QCOMPARE(m.write06(storeRegister, 2), 0);
        QVERIFY(!QFileInfo::exists(state));
    }
    QCOMPARE(m.write06(storeRegister, 1), 0);
    QVERIFY(QFileInfo::exists(state));
    const QMap<int, quint16> saved = SimProcess::readRegisterFile(state);
    QCOMPARE(saved.value(20), quint16(77));
    QCOMPARE(saved.value(65536), quint16(65535));
    // The store command does not change the register it is written to.
    const quint16 before = SimProcess::readRegisterFile(map_).value(storeRegister, 0);
    const quint16 held = storeRegister != 1 ? 2 : before;
    QCOMPARE(saved.value(storeRegister, 0), held);
    QCOMPARE(sim.dumpRegisters().value(storeRegister, 0), held);
    QCOMPARE(sim.journalLines().last(), QStringLiteral("6 %1 1").arg(storeRegister));
}

void TestSim::stateFileLoadedOverMap() {
    const QString state = writeFile("state.txt", "# saved\n1 5\n2 0\n300 300\n");
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--state", state, "--store-register", "9000"}),
             qPrintable(sim.errorString()));
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QList<quint16> values;
    QCOMPARE(m.read(1, 3, &values), 0);
    QCOMPARE(values, (QList<quint16>{5, 0, 1003}));
    QCOMPARE(m.read(300, 1, &values), 0);
    QCOMPARE(values, QList<quint16>{300});
    QCOMPARE(m.write06(3, 0), 0);
    QCOMPARE(m.write06(9000, 1), 0);
    // Registers cleared since start-up are saved as 0, so the map does not bring them back.
    const QMap<int, quint16> saved = SimProcess::readRegisterFile(state);
    QVERIFY(saved.contains(2) && saved.contains(3));
    QCOMPARE(saved.value(2), quint16(0));
    QCOMPARE(saved.value(3), quint16(0));
    QCOMPARE(saved.value(1), quint16(5));
    QCOMPARE(saved.value(4), quint16(1004));
}

void TestSim::wireTimeSlowsTheReply() {
    // 125 registers at 9600 baud: (8 + 255 + 3.5) characters x 11 bits is about 305 ms.
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--baud", "9600"}), qPrintable(sim.errorString()));
    Master m(sim.ptyPath(), 1, 2000);
    QVERIFY(m.ok());
    QElapsedTimer t;
    t.start();
    QCOMPARE(m.read(1, 125), 0);
    QVERIFY2(t.elapsed() >= 250, qPrintable(QString::number(t.elapsed())));
}

void TestSim::lineReopenedBetweenOperations() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--late", "400", "--fault-limit", "1"}),
             qPrintable(sim.errorString()));
    {
        Master m(sim.ptyPath(), 1, 100);
        QVERIFY(m.ok());
        QCOMPARE(m.read(1, 1), ETIMEDOUT); // closed before the late reply comes
    }
    QTest::qWait(600);
    // The late reply went nowhere: the next opener starts on a quiet line.
    RawLine line(sim.ptyPath());
    QVERIFY(line.ok());
    QCOMPARE(line.collect(100), QByteArray());
    QCOMPARE(line.exchange(readRequest(1, 4, 1)), withCrc(QByteArray::fromHex("010302"
                                                                              "03EC")));
    QVERIFY(sim.isRunning());
}

void TestSim::exitOnHangup() {
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--exit-on-hangup"}), qPrintable(sim.errorString()));
    QTest::qWait(100);
    QVERIFY(sim.isRunning()); // nobody opened the line yet
    {
        Master m(sim.ptyPath());
        QVERIFY(m.ok());
        QCOMPARE(m.read(1, 1), 0);
    }
    QTRY_VERIFY_WITH_TIMEOUT(!sim.isRunning(), 5000);
    QCOMPARE(sim.exitCode(), 0);
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
}

void TestSim::linkAndCleanExit() {
    const QString link = dir_.filePath("ttyKOLVA");
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--link", link}), qPrintable(sim.errorString()));
    QCOMPARE(QFileInfo(link).symLinkTarget(), sim.ptyPath());
    {
        Master m(link);
        QVERIFY(m.ok());
        QCOMPARE(m.write06(42, 4242), 0);
    }
    QVERIFY(sim.stop());
    QVERIFY(!QFileInfo(link).isSymLink());
    // The dump is written at exit too.
    QCOMPARE(SimProcess::readRegisterFile(sim.dumpPath()).value(42), quint16(4242));

    // SIGINT ends it cleanly as well.
    QVERIFY2(sim.start({"--map", map_}), qPrintable(sim.errorString()));
    ::kill(static_cast<pid_t>(sim.pid()), SIGINT);
    QTRY_VERIFY_WITH_TIMEOUT(!sim.isRunning(), 5000);
    QCOMPARE(sim.exitCode(), 0);

    // SIGKILL takes the tty away.
    QVERIFY2(sim.start({"--map", map_}), qPrintable(sim.errorString()));
    const QString pty = sim.ptyPath();
    sim.kill();
    QVERIFY(!sim.isRunning());
    Master gone(pty);
    QVERIFY(!gone.ok());
}

void TestSim::attachToTty() {
    // The test makes the pty pair and keeps the master; the device attaches to the slave.
    int master = -1;
    int slave = -1;
    char name[256] = {};
    QCOMPARE(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ::close(slave);
    ::fcntl(master, F_SETFD, FD_CLOEXEC); // the simulator must not inherit our end
    auto line = std::make_unique<RawLine>(master);
    SimProcess sim;
    QVERIFY2(sim.start({"--map", map_, "--tty", name, "--exit-on-hangup"}),
             qPrintable(sim.errorString()));
    QCOMPARE(sim.ptyPath(), QString::fromLocal8Bit(name));
    QCOMPARE(line->exchange(readRequest(1, 5, 1)), withCrc(QByteArray::fromHex("010302"
                                                                               "03ED")));
    line.reset(); // the other end goes away
    QTRY_VERIFY_WITH_TIMEOUT(!sim.isRunning(), 5000);
    QCOMPARE(sim.exitCode(), 0);
}

void TestSim::help() {
    QProcess p;
    p.start(SimProcess::program(), {"--help"});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray text = p.readAllStandardOutput();
    for (const char* option :
         {"--tty", "--link", "--address", "--map", "--catalogue", "--state", "--journal", "--dump",
          "--baud", "--no-reply", "--drop-fraction", "--bad-crc", "--bad-length", "--exception",
          "--noise", "--late", "--split", "--ignore-writes", "--exit-on-hangup"})
        QVERIFY2(text.contains(option), option);
}

void TestSim::badStart_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "unknown option";
    QTest::newRow("address 0") << QStringList{"--address", "0"} << "--address";
    QTest::newRow("address 256") << QStringList{"--address", "256"} << "--address";
    QTest::newRow("missing value") << QStringList{"--map"} << "needs a value";
    QTest::newRow("bad register list") << QStringList{"--no-reply", "5,9-3"} << "register list";
    QTest::newRow("register 0") << QStringList{"--ignore-writes", "0"} << "register list";
    QTest::newRow("bad exception") << QStringList{"--exception", "5"} << "--exception";
    QTest::newRow("exception code 12") << QStringList{"--exception", "5:12"} << "--exception";
    QTest::newRow("fraction above 1") << QStringList{"--drop-fraction", "1.5"} << "--drop-fraction";
    QTest::newRow("catalogue without model") << QStringList{"--catalogue", "x.db"} << "--model";
    QTest::newRow("missing map") << QStringList{"--map", "/nonexistent/map.txt"} << "cannot open";
    QTest::newRow("bad map value") << QStringList{"--map", "@bad-value"} << ":3:";
    QTest::newRow("bad map register") << QStringList{"--map", "@bad-register"} << ":1:";
    QTest::newRow("map line with three fields") << QStringList{"--map", "@three"} << ":2:";
    QTest::newRow("tty that does not exist")
        << QStringList{"--tty", "/nonexistent/tty"} << "/nonexistent/tty";
}

void TestSim::badStart() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    const QMap<QString, QByteArray> files{{"@bad-value", "1 2\n# fine\n3 65536\n"},
                                          {"@bad-register", "65537 1\n"},
                                          {"@three", "1 1\n2 2 2\n"}};
    for (QString& a : args)
        if (files.contains(a)) a = writeFile(a.mid(1) + ".txt", files.value(a));
    SimProcess sim;
    QVERIFY(!sim.start(args));
    QVERIFY2(sim.errorString().contains(message), qPrintable(sim.errorString()));
    QVERIFY(!sim.isRunning());
    QVERIFY(sim.exitCode() != 0);
}

void TestSim::catalogueDefaults() {
    // Every type, a decimal comma, an empty default, a default that fits no type, a command
    // row, and another model on the same registers.
    const QByteArray csv =
        "id,device,command,group,group_caption,caption,register,type,min,max,decimal,readonly,"
        "hint,default,combo,writecmd\n"
        "1,SIM-T,0,1,G,Tam,10,integer,0,65535,,0,,500,,\n"
        "2,SIM-T,0,1,G,Isaretli,11,signedint,-100,100,,0,,-2,,\n"
        "3,SIM-T,0,1,G,Secim,12,combo,0,65535,,0,,2,0:a;1:b;2:c,\n"
        "4,SIM-T,0,1,G,Uzun,20,long,0,999999,,0,,100000,,\n"
        "5,SIM-T,0,1,G,Ondalik,22,double,0,100,1,0,,\"12,5\",,\n"
        "6,SIM-T,0,1,G,Eksi,24,double,-9,9,1,0,,-2.5,,\n"
        "7,SIM-T,0,2,H,Metin,30,string,0,5,,0,,ABC,,\n"
        "8,SIM-T,0,2,H,Ters,40,stringswap,0,4,,0,,WXYZ,,\n"
        "9,SIM-T,0,2,H,Bos,50,integer,0,10,,0,,,,\n"
        "10,SIM-T,0,2,H,Bozuk,51,integer,0,10,,0,,on,,\n"
        "11,SIM-T,0,2,H,Sigmaz,52,integer,0,10,,0,,70000,,\n"
        "12,SIM-T,1,9,Komut,Sifirla,200,integer,0,0,,0,,5,,\n"
        "13,SIM-O,0,1,G,Baska,10,integer,0,65535,,0,,999,,\n"
        "14,SIM-O,0,1,G,Baska,50,integer,0,65535,,0,,999,,\n";
    const QString db = dir_.filePath("sim-t.sqlite");
    QString error;
    QVERIFY2(kolva::BuildCatalogue(csv, db, QString(), true, &error), qPrintable(error));
    const QString map = writeFile("over.txt", "11 7\n");

    SimProcess sim;
    QVERIFY2(sim.start({"--catalogue", db, "--model", "SIM-T"}), qPrintable(sim.errorString()));
    Master m(sim.ptyPath());
    QVERIFY(m.ok());
    QList<quint16> v;
    QCOMPARE(m.read(10, 3, &v), 0);
    QCOMPARE(v, (QList<quint16>{500, 0xFFFE, 2}));
    QCOMPARE(m.read(20, 6, &v), 0);
    QCOMPARE(v[0], quint16(100000 & 0xFFFF)); // low word first
    QCOMPARE(v[1], quint16(100000 >> 16));
    QCOMPARE(modbus_get_float_cdab(v.data() + 2), 12.5f);
    QCOMPARE(modbus_get_float_cdab(v.data() + 4), -2.5f);
    QCOMPARE(m.read(30, 4, &v), 0); // "string": first character in the low byte
    QCOMPARE(v, (QList<quint16>{'B' << 8 | 'A', 'C', 0, 0}));
    QCOMPARE(m.read(40, 3, &v), 0); // "stringswap": first character in the high byte
    QCOMPARE(v, (QList<quint16>{'W' << 8 | 'X', 'Y' << 8 | 'Z', 0}));
    QCOMPARE(m.read(50, 3, &v), 0); // empty default, and the two bad ones: 0
    QCOMPARE(v, (QList<quint16>{0, 0, 0}));
    QVERIFY2(sim.stderrText().contains("row 10"), qPrintable(sim.stderrText()));
    QVERIFY2(sim.stderrText().contains("row 11"), qPrintable(sim.stderrText()));
    // The command row's register is writable and starts at 0.
    QCOMPARE(m.read(200, 1, &v), 0);
    QCOMPARE(v, QList<quint16>{0});
    QCOMPARE(m.write06(200, 5), 0);
    QCOMPARE(sim.journalLines(), QStringList{"6 200 5"});

    // A map goes over the catalogue; another model has its own defaults.
    SimProcess over;
    QVERIFY2(over.start({"--catalogue", db, "--model", "SIM-T", "--map", map}),
             qPrintable(over.errorString()));
    QCOMPARE(over.dumpRegisters().value(11), quint16(7));
    QCOMPARE(over.dumpRegisters().value(10), quint16(500));
    SimProcess other;
    QVERIFY2(other.start({"--catalogue", db, "--model", "SIM-O"}), qPrintable(other.errorString()));
    const QMap<int, quint16> regs = other.dumpRegisters();
    QCOMPARE(regs, (QMap<int, quint16>{{10, 999}, {50, 999}}));

    // Unknown model, missing catalogue.
    SimProcess bad;
    QVERIFY(!bad.start({"--catalogue", db, "--model", "SIM-X"}));
    QVERIFY2(bad.errorString().contains("SIM-X"), qPrintable(bad.errorString()));
    QVERIFY(!bad.start({"--catalogue", dir_.filePath("none.sqlite"), "--model", "SIM-T"}));
    QVERIFY2(bad.errorString().contains("none.sqlite"), qPrintable(bad.errorString()));
}

void TestSim::shippedCatalogue() {
    // Every model of the shipped catalogue loads; its whole-number settings hold their
    // defaults and the store command saves them.
    const QString db = QDir(qEnvironmentVariable("KOLVA_BIN_DIR")).filePath("db.sqlite");
    if (!QFileInfo::exists(db)) QSKIP("the catalogue was not built");
    QString error;
    const QStringList models = kolva::ReadModels(db, &error);
    QVERIFY2(!models.isEmpty(), qPrintable(error));
    for (const QString& model : models) {
        const QList<kolva::TCatalogueRow> rows = kolva::ReadModelRows(db, model, &error);
        QVERIFY2(!rows.isEmpty(), qPrintable(error));
        SimProcess sim;
        QVERIFY2(sim.start({"--catalogue", db, "--model", model}), qPrintable(sim.errorString()));
        QVERIFY2(!sim.stderrText().contains("kolva-sim"), qPrintable(sim.stderrText()));
        const QMap<int, quint16> regs = sim.dumpRegisters();
        int checked = 0;
        for (const kolva::TCatalogueRow& row : rows) {
            if (row.command != 0 || (row.type != "integer" && row.type != "combo")) continue;
            bool ok = false;
            const int value = row.defaultValue.toInt(&ok);
            if (!ok) continue;
            QVERIFY2(regs.value(row.registerNo, 0) == value,
                     qPrintable(model + " register " + QString::number(row.registerNo)));
            ++checked;
        }
        QVERIFY2(checked > 0, qPrintable(model));
    }
}

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"

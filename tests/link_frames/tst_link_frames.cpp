// CRC-16, request frames, reply checks and the hexadecimal log text of the Modbus exchange.

#include "link/Modbus.h"

#include <QSet>
#include <QTest>

using namespace kolva;

namespace {
QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
// A frame with a good CRC, so that a row fails only for the fault it is about.
QByteArray WithCrc(const char* text) {
    QByteArray frame = Hex(text);
    AppendCrc(frame);
    return frame;
}
} // namespace

class TestLinkFrames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void crc_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("crc");
        // The two trailing bytes are the check value's place and are not covered.
        QTest::newRow("read 1") << Hex("01 03 00 00 00 01 00 00") << 0x0A84;
        QTest::newRow("read 10") << Hex("01 03 00 00 00 0A FF FF") << 0xCDC5;
        QTest::newRow("check string") << QByteArray("123456789xx") << 0x4B37;
        QTest::newRow("one covered byte") << Hex("00 12 34") << 0x40BF;
        QTest::newRow("two bytes") << Hex("01 03") << 0xFFFF;
        QTest::newRow("empty") << QByteArray() << 0xFFFF;
    }
    void crc() {
        QFETCH(QByteArray, frame);
        QFETCH(int, crc);
        QCOMPARE(int(CRC(frame)), crc);
    }

    void readRequest_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<int>("reg");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("expected");
        QTest::newRow("one register") << 1 << 1 << 1 << Hex("01 03 00 00 00 01 84 0A") << 7;
        QTest::newRow("ten registers") << 1 << 1 << 10 << Hex("01 03 00 00 00 0A C5 CD") << 25;
        QTest::newRow("register 40001") << 1 << 40001 << 1 << Hex("01 03 9C 40 00 01 AB 8E") << 7;
        QTest::newRow("top register, 125")
            << 255 << 65536 << 125 << Hex("FF 03 FF FF 00 7D 90 11") << 255;
    }
    void readRequest() {
        QFETCH(int, address);
        QFETCH(int, reg);
        QFETCH(int, count);
        QFETCH(QByteArray, frame);
        QFETCH(int, expected);
        const QByteArray built = BuildReadRequest(quint8(address), reg, count, fnReadHolding);
        QCOMPARE(built.toHex(' '), frame.toHex(' '));
        QCOMPARE(ExpectedReplyLength(built), expected);
    }

    void writeRequests() {
        // Function 06 takes the first two bytes of RegisterData, whatever follows them.
        QCOMPARE(BuildWriteSingleRequest(1, 200, Hex("00 05 77 77")).toHex(' '),
                 Hex("01 06 00 C7 00 05 F8 34").toHex(' '));
        QCOMPARE(BuildWriteMultipleRequest(1, 1, 2, Hex("00 0A 01 02 99")).toHex(' '),
                 Hex("01 10 00 00 00 02 04 00 0A 01 02 53 FC").toHex(' '));
        QCOMPARE(ExpectedReplyLength(Hex("01 06 00 C7 00 05 F8 34")), 8);
        QCOMPARE(ExpectedReplyLength(Hex("01 10 00 00 00 02 04 00 0A 01 02 53 FC")), 8);
    }

    void checkReply_data() {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("code");
        const QByteArray read1 = Hex("01 03 00 00 00 01 84 0A");
        const QByteArray write06 = Hex("01 06 00 01 FF FE 18 7A");
        const QByteArray write16 = Hex("01 10 00 00 00 02 04 00 0A 01 02 53 FC");
        const int incomplete = int(TReplyState::Incomplete), valid = int(TReplyState::Valid),
                  exception = int(TReplyState::Exception), invalid = int(TReplyState::Invalid);

        QTest::newRow("read ok") << read1 << Hex("01 03 02 00 05 78 47") << valid << 0;
        QTest::newRow("read nothing") << read1 << QByteArray() << incomplete << 0;
        QTest::newRow("read short") << read1 << Hex("01 03 02 00 05 78") << incomplete << 0;
        QTest::newRow("read one byte long")
            << read1 << Hex("01 03 02 00 05 78 47 00") << invalid << 0;
        QTest::newRow("read bad crc") << read1 << Hex("01 03 02 00 05 78 48") << invalid << 0;
        QTest::newRow("read other address") << read1 << WithCrc("02 03 02 00 05") << invalid << 0;
        QTest::newRow("read other function") << read1 << WithCrc("01 04 02 00 05") << invalid << 0;
        QTest::newRow("read wrong byte count")
            << read1 << WithCrc("01 03 01 00 05") << invalid << 0;
        QTest::newRow("exception") << read1 << Hex("01 83 02 C0 F1") << exception << 2;
        QTest::newRow("exception bad crc") << read1 << Hex("01 83 02 C0 F2") << incomplete << 0;
        QTest::newRow("exception of another function")
            << write06 << Hex("01 83 02 C0 F1") << incomplete << 0;
        QTest::newRow("06 echo") << write06 << write06 << valid << 0;
        QTest::newRow("06 echo other value")
            << write06 << Hex("01 06 00 01 FF FF D9 BA") << invalid << 0;
        QTest::newRow("16 echo") << write16 << Hex("01 10 00 00 00 02 41 C8") << valid << 0;
        QTest::newRow("16 echo other count")
            << write16 << Hex("01 10 00 00 00 03 80 08") << invalid << 0;
    }
    void checkReply() {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, reply);
        QFETCH(int, state);
        QFETCH(int, code);
        quint8 exceptionCode = 0;
        const TReplyState got =
            CheckReply(request, reply, ExpectedReplyLength(request), &exceptionCode);
        QCOMPARE(int(got), state);
        QCOMPARE(int(exceptionCode), code);
    }

    void ascii2Hex_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("two bytes") << Hex("01 AB") << "01 AB ";
        QTest::newRow("zero and top") << Hex("00 FF 0F") << "00 FF 0F ";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void ascii2Hex() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(Ascii2Hex(bytes), text);
    }

    void exceptionNames() {
        // Every standard code has its own name in both languages; others share a generic one.
        const QList<int> codes{1, 2, 3, 4, 5, 6, 8, 10, 11};
        QSet<QString> names;
        for (int code : codes) {
            const QString name = ExceptionName(quint8(code));
            QVERIFY2(name.contains(QLatin1String(" / ")), qPrintable(name));
            names.insert(name);
        }
        QCOMPARE(names.size(), codes.size());
        QVERIFY(!names.contains(ExceptionName(7)));
        QCOMPARE(ExceptionName(7), ExceptionName(200));
        QVERIFY(ExceptionName(2).startsWith(QLatin1String("Illegal data address")));
    }
};

QTEST_GUILESS_MAIN(TestLinkFrames)
#include "tst_link_frames.moc"

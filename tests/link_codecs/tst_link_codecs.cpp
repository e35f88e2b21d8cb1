// Register value codecs: byte layouts of every type, round trips, sizes.

#include "link/Codecs.h"

#include <QTest>

using namespace kolva;

namespace {
QByteArray Hex(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
QString Nul(int n) {
    return QString(n, QChar(0));
}
} // namespace

class TestLinkCodecs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void int16_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("unsignedValue");
        QTest::addColumn<int>("signedValue");
        QTest::newRow("500") << Hex("01 F4") << 500 << 500;
        QTest::newRow("all ones") << Hex("FF FF") << 65535 << -1;
        QTest::newRow("sign bit") << Hex("80 00") << 32768 << -32768;
        QTest::newRow("largest positive") << Hex("7F FF") << 32767 << 32767;
        QTest::newRow("zero") << Hex("00 00") << 0 << 0;
        QTest::newRow("minus two") << Hex("FF FE") << 65534 << -2;
    }
    void int16() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, unsignedValue);
        QFETCH(int, signedValue);
        QCOMPARE(ByteArrayToInt(bytes, 0), unsignedValue);
        QCOMPARE(ByteArrayToSignedInt(bytes, 0), signedValue);

        // Encoders leave exactly 2 bytes, whatever was there before.
        QByteArray data = Hex("AA BB CC DD EE");
        InttoByteArray(data, 0, unsignedValue);
        QCOMPARE(data.toHex(' '), bytes.toHex(' '));
        data = Hex("AA BB CC DD EE");
        SignedInttoByteArray(data, 0, signedValue);
        QCOMPARE(data.toHex(' '), bytes.toHex(' '));
    }

    void int16KeepsLow16Bits() {
        QByteArray data;
        InttoByteArray(data, 0, 70000);
        QCOMPARE(ByteArrayToInt(data, 0), 4464);
        SignedInttoByteArray(data, 0, -1);
        QCOMPARE(data, Hex("FF FF"));
    }

    void float32_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("1.0") << 1.0f << Hex("00 00 3F 80");
        QTest::newRow("100.5") << 100.5f << Hex("00 00 42 C9");
        QTest::newRow("-2.5") << -2.5f << Hex("00 00 C0 20");
        QTest::newRow("12.34") << 12.34f << Hex("70 A4 41 45");
    }
    void float32() {
        QFETCH(float, value);
        QFETCH(QByteArray, bytes);
        QByteArray data = Hex("11 22 33 44 55 66");
        FloattoByteArray(data, 0, value);
        QCOMPARE(data.toHex(' '), bytes.toHex(' '));
        // Decoding widens the single-precision value without change.
        QCOMPARE(ByteArrayToFloat(bytes, 0), double(value));
    }

    void float1234Widened() {
        QCOMPARE(ByteArrayToFloat(Hex("70 A4 41 45"), 0), 12.340000152587890625);
    }

    void long32_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("layout");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("100000 layout 0") << 100000 << 0 << Hex("86 A0 00 01");
        QTest::newRow("-2 layout 0") << -2 << 0 << Hex("FF FE FF FF");
        QTest::newRow("100000 layout 1") << 100000 << 1 << Hex("00 01 86 A0");
        QTest::newRow("100000 layout 3") << 100000 << 3 << Hex("A0 86 01 00");
        QTest::newRow("100000 layout 4") << 100000 << 4 << Hex("01 00 A0 86");
        QTest::newRow("lowest layout 0") << int(0x80000000) << 0 << Hex("00 00 80 00");
        QTest::newRow("-2 layout 1") << -2 << 1 << Hex("FF FF FF FE");
    }
    void long32() {
        QFETCH(int, value);
        QFETCH(int, layout);
        QFETCH(QByteArray, bytes);
        QByteArray data = Hex("01 02 03 04 05 06 07 08");
        LongtoByteArray(data, value, layout, 0);
        QCOMPARE(data.toHex(' '), bytes.toHex(' '));
        QCOMPARE(ByteArraytoLong(bytes, layout, 0), value);
    }

    void text_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("size");
        QTest::addColumn<QByteArray>("plain");   // "string"
        QTest::addColumn<QByteArray>("swapped"); // "stringswap"
        QTest::addColumn<QString>("decoded");    // what the decoders give for `size`
        QTest::newRow("ABC size 6")
            << "ABC" << 6 << Hex("42 41 00 43 00 00") << Hex("41 42 43 00 00 00") << "ABC" + Nul(3);
        QTest::newRow("odd size rounds up")
            << "ABC" << 5 << Hex("42 41 00 43 00 00") << Hex("41 42 43 00 00 00") << "ABC" + Nul(3);
        QTest::newRow("full") << "ABCD" << 4 << Hex("42 41 44 43") << Hex("41 42 43 44") << "ABCD";
        QTest::newRow("longer text is cut")
            << "ABCDEFG" << 4 << Hex("42 41 44 43") << Hex("41 42 43 44") << "ABCD";
        QTest::newRow("cut to odd size")
            << "ABCDEF" << 3 << Hex("42 41 00 43") << Hex("41 42 43 00") << "ABC" + Nul(1);
        QTest::newRow("size 0 follows the text")
            << "ABC" << 0 << Hex("42 41 00 43") << Hex("41 42 43 00") << QString();
        QTest::newRow("empty text")
            << "" << 4 << Hex("00 00 00 00") << Hex("00 00 00 00") << Nul(4);
        QTest::newRow("Turkish letters in Windows-1254")
            << "ŞĞİ" << 4 << Hex("D0 DE 00 DD") << Hex("DE D0 DD 00") << "ŞĞİ" + Nul(1);
    }
    void text() {
        QFETCH(QString, text);
        QFETCH(int, size);
        QFETCH(QByteArray, plain);
        QFETCH(QByteArray, swapped);
        QFETCH(QString, decoded);
        QByteArray data = Hex("99 99 99 99 99 99 99 99 99 99");
        StringtoByteArray(data, 0, text, size);
        QCOMPARE(data.toHex(' '), plain.toHex(' '));
        QCOMPARE(ByteArrayToString(data, 0, size), decoded);
        data = Hex("99");
        StringtoByteArraySwap(data, 0, text, size);
        QCOMPARE(data.toHex(' '), swapped.toHex(' '));
        QCOMPARE(ByteArrayToStringSwap(data, 0, size), decoded);
    }

    void registerCount_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("count");
        QTest::newRow("integer") << "integer" << 100 << 1;
        QTest::newRow("signedint") << "signedint" << 0 << 1;
        QTest::newRow("combo") << "combo" << 5 << 1;
        QTest::newRow("long") << "long" << 0 << 2;
        QTest::newRow("double") << "double" << 0 << 2;
        QTest::newRow("string odd") << "string" << 11 << 6;
        QTest::newRow("stringswap even") << "stringswap" << 16 << 8;
        QTest::newRow("string zero") << "string" << 0 << 0;
        QTest::newRow("unknown") << "date" << 10 << 1;
        QTest::newRow("case matters") << "Long" << 0 << 1;
    }
    void registerCount() {
        QFETCH(QString, type);
        QFETCH(int, max);
        QFETCH(int, count);
        QCOMPARE(RegisterCount(type, max), count);
    }

    void shortDataReadsAsZero() {
        // A reply that is shorter than the type needs must not read past the array.
        const QByteArray one = Hex("12");
        QCOMPARE(ByteArrayToInt(one, 0), 0x1200);
        QCOMPARE(ByteArraytoLong(one, 0, 0), 0x1200);
        QCOMPARE(ByteArrayToFloat(QByteArray(), 0), 0.0);
        QCOMPARE(ByteArrayToString(Hex("42 41"), 0, 4), "AB" + Nul(2));
    }
};

QTEST_GUILESS_MAIN(TestLinkCodecs)
#include "tst_link_codecs.moc"

#include "Modbus.h"

#include <array>

namespace kolva {

namespace {

// The bit-by-bit CRC step (shift right, xor the polynomial when bit 0 was set) for every
// byte value at once.
constexpr std::array<quint16, 256> MakeCrcTable() {
    std::array<quint16, 256> table{};
    for (int value = 0; value < 256; ++value) {
        quint16 crc = quint16(value);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ kCrcPolynomial) : quint16(crc >> 1);
        table[std::size_t(value)] = crc;
    }
    return table;
}
constexpr std::array<quint16, 256> kCrcTable = MakeCrcTable();

} // namespace

quint16 Crc16(const char* data, qsizetype size) {
    quint16 crc = 0xFFFF;
    for (qsizetype i = 0; i < size; ++i)
        crc = quint16((crc >> 8) ^ kCrcTable[(crc ^ quint8(data[i])) & 0xFF]);
    return crc;
}

quint16 CRC(const QByteArray& frame) {
    if (frame.size() < 3) return 0xFFFF;
    return Crc16(frame.constData(), frame.size() - 2);
}

void AppendCrc(QByteArray& frame) {
    const quint16 crc = Crc16(frame.constData(), frame.size());
    frame.append(char(crc & 0xFF));
    frame.append(char(crc >> 8));
}

bool CrcOk(const QByteArray& frame) {
    if (frame.size() < 3) return false;
    const quint16 crc = CRC(frame);
    return quint8(frame.at(frame.size() - 2)) == (crc & 0xFF) &&
           quint8(frame.at(frame.size() - 1)) == (crc >> 8);
}

QString Ascii2Hex(const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const quint8 b = quint8(c);
        text += QLatin1Char(digits[b >> 4]);
        text += QLatin1Char(digits[b & 0x0F]);
        text += QLatin1Char(' ');
    }
    return text;
}

bool RegisterInRange(int firstRegister) {
    return firstRegister >= 1 && firstRegister <= 65536;
}

namespace {

void Append16(QByteArray& frame, int value) {
    frame.append(char((value >> 8) & 0xFF));
    frame.append(char(value & 0xFF));
}

} // namespace

QByteArray BuildReadRequest(quint8 address, int firstRegister, int count, quint8 function) {
    QByteArray frame;
    frame.reserve(8);
    frame.append(char(address));
    frame.append(char(function));
    Append16(frame, firstRegister - 1);
    Append16(frame, count);
    AppendCrc(frame);
    return frame;
}

QByteArray BuildWriteSingleRequest(quint8 address, int firstRegister,
                                   const QByteArray& RegisterData) {
    QByteArray frame;
    frame.reserve(8);
    frame.append(char(address));
    frame.append(char(fnWriteSingle));
    Append16(frame, firstRegister - 1);
    frame.append(RegisterData.left(2));
    frame.append(QByteArray(2 - qMin<qsizetype>(2, RegisterData.size()), '\0'));
    AppendCrc(frame);
    return frame;
}

QByteArray BuildWriteMultipleRequest(quint8 address, int firstRegister, int count,
                                     const QByteArray& RegisterData) {
    const int bytes = 2 * count;
    QByteArray frame;
    frame.reserve(9 + bytes);
    frame.append(char(address));
    frame.append(char(fnWriteMultiple));
    Append16(frame, firstRegister - 1);
    Append16(frame, count);
    frame.append(char(bytes & 0xFF));
    QByteArray data = RegisterData.left(bytes);
    data.append(QByteArray(bytes - data.size(), '\0'));
    frame.append(data);
    AppendCrc(frame);
    return frame;
}

int ExpectedReplyLength(const QByteArray& request) {
    if (request.size() < 6) return 0;
    const quint8 function = quint8(request.at(1));
    if (function == fnWriteSingle || function == fnWriteMultiple) return 8;
    const int count = (quint8(request.at(4)) << 8) | quint8(request.at(5));
    return 2 * count + 5;
}

TReplyState CheckReply(const QByteArray& request, const QByteArray& reply, int expected,
                       quint8* exceptionCode) {
    if (request.size() < 2) return TReplyState::Invalid;
    const char address = request.at(0);
    const quint8 function = quint8(request.at(1));

    if (reply.size() == 5 && reply.at(0) == address && quint8(reply.at(1)) == (function | 0x80) &&
        CrcOk(reply)) {
        if (exceptionCode) *exceptionCode = quint8(reply.at(2));
        return TReplyState::Exception;
    }
    if (reply.size() < expected) return TReplyState::Incomplete;
    if (reply.size() > expected || expected < 5) return TReplyState::Invalid;

    if (function == fnWriteSingle || function == fnWriteMultiple) {
        if (request.size() < 6 || expected != 8 || reply.left(6) != request.left(6))
            return TReplyState::Invalid;
    } else {
        if (reply.at(0) != address || quint8(reply.at(1)) != function ||
            quint8(reply.at(2)) != quint8((expected - 5) & 0xFF))
            return TReplyState::Invalid;
    }
    return CrcOk(reply) ? TReplyState::Valid : TReplyState::Invalid;
}

QString ExceptionName(quint8 code) {
    switch (code) {
    case 1:
        return QStringLiteral("Illegal function / Geçersiz fonksiyon");
    case 2:
        return QStringLiteral("Illegal data address / Geçersiz veri adresi");
    case 3:
        return QStringLiteral("Illegal data value / Geçersiz veri değeri");
    case 4:
        return QStringLiteral("Slave device failure / Cihaz arızası");
    case 5:
        return QStringLiteral("Acknowledge / İstek alındı, işlem sürüyor");
    case 6:
        return QStringLiteral("Slave device busy / Cihaz meşgul");
    case 8:
        return QStringLiteral("Memory parity error / Bellek eşlik hatası");
    case 10:
        return QStringLiteral("Gateway path unavailable / Ağ geçidi yolu kullanılamıyor");
    case 11:
        return QStringLiteral(
            "Gateway target device failed to respond / Ağ geçidi hedef cihazı yanıt vermedi");
    default:
        return QStringLiteral("Unknown exception / Bilinmeyen hata kodu");
    }
}

} // namespace kolva

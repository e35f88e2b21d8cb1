#include "Codecs.h"

#include "config/Text.h"

#include <cstring>

namespace kolva {

namespace {

quint8 ByteAt(const QByteArray& data, qsizetype index) {
    return index >= 0 && index < data.size() ? quint8(data.at(index)) : 0;
}

// Byte order of each layout: for R0..R3, which byte of the value (0 = least significant).
const int* LayoutOrder(int layout) {
    static const int l0[4] = {1, 0, 3, 2};
    static const int l1[4] = {3, 2, 1, 0};
    static const int l3[4] = {0, 1, 2, 3};
    static const int l4[4] = {2, 3, 0, 1};
    switch (layout) {
    case 1:
        return l1;
    case 3:
        return l3;
    case 4:
        return l4;
    default:
        return l0;
    }
}

quint32 Read32(const QByteArray& data, int layout, int pos) {
    const int* order = LayoutOrder(layout);
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= quint32(ByteAt(data, qsizetype(pos) + i)) << (8 * order[i]);
    return value;
}

void Write32(QByteArray& data, quint32 value, int layout, int pos) {
    const int* order = LayoutOrder(layout);
    pos = qMax(0, pos);
    data.resize(pos + 4);
    for (int i = 0; i < 4; ++i)
        data[pos + i] = char((value >> (8 * order[i])) & 0xFF);
}

void Write16(QByteArray& data, int pos, int value) {
    pos = qMax(0, pos);
    data.resize(pos + 2);
    data[pos] = char((value >> 8) & 0xFF);
    data[pos + 1] = char(value & 0xFF);
}

QString ReadText(const QByteArray& data, int pos, int length, bool swap) {
    const int registers = length > 0 ? (length + 1) / 2 : 0;
    QByteArray bytes;
    bytes.reserve(2 * registers);
    for (int k = 0; k < registers; ++k) {
        const quint8 hi = ByteAt(data, qsizetype(pos) + 2 * k);
        const quint8 lo = ByteAt(data, qsizetype(pos) + 2 * k + 1);
        bytes.append(char(swap ? hi : lo));
        bytes.append(char(swap ? lo : hi));
    }
    return FromCp1254(bytes);
}

void WriteText(QByteArray& data, int pos, const QString& text, int size, bool swap) {
    pos = qMax(0, pos);
    QByteArray bytes = ToCp1254(text);
    if (size > 0 && bytes.size() > size) bytes.truncate(size);
    int space = size > 0 ? size : int(bytes.size());
    if (space % 2) ++space;
    data = QByteArray(pos + space, '\0');
    for (qsizetype k = 0; 2 * k < bytes.size(); ++k) {
        const char first = bytes.at(2 * k);
        const char second = 2 * k + 1 < bytes.size() ? bytes.at(2 * k + 1) : '\0';
        data[pos + 2 * k] = swap ? first : second;
        data[pos + 2 * k + 1] = swap ? second : first;
    }
}

} // namespace

int ByteArrayToInt(const QByteArray& RegisterData, int pos) {
    return ByteAt(RegisterData, pos) * 256 + ByteAt(RegisterData, qsizetype(pos) + 1);
}

int ByteArrayToSignedInt(const QByteArray& RegisterData, int pos) {
    const int value = ByteArrayToInt(RegisterData, pos);
    return value < 0x8000 ? value : value - 65536;
}

double ByteArrayToFloat(const QByteArray& RegisterData, int pos) {
    const quint32 bits = Read32(RegisterData, 0, pos);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return double(value);
}

qint32 ByteArraytoLong(const QByteArray& RegisterData, int layout, int pos) {
    return qint32(Read32(RegisterData, layout, pos));
}

QString ByteArrayToString(const QByteArray& RegisterData, int pos, int length) {
    return ReadText(RegisterData, pos, length, false);
}

QString ByteArrayToStringSwap(const QByteArray& RegisterData, int pos, int length) {
    return ReadText(RegisterData, pos, length, true);
}

void InttoByteArray(QByteArray& RegisterData, int pos, int value) {
    Write16(RegisterData, pos, value);
}

void SignedInttoByteArray(QByteArray& RegisterData, int pos, int value) {
    Write16(RegisterData, pos, value);
}

void FloattoByteArray(QByteArray& RegisterData, int pos, float value) {
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    Write32(RegisterData, bits, 0, pos);
}

void LongtoByteArray(QByteArray& RegisterData, qint32 value, int layout, int pos) {
    Write32(RegisterData, quint32(value), layout, pos);
}

void StringtoByteArray(QByteArray& RegisterData, int pos, const QString& text, int size) {
    WriteText(RegisterData, pos, text, size, false);
}

void StringtoByteArraySwap(QByteArray& RegisterData, int pos, const QString& text, int size) {
    WriteText(RegisterData, pos, text, size, true);
}

} // namespace kolva

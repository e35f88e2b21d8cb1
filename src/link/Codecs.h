#pragma once
// Register value codecs: typed values <-> the bytes of consecutive holding registers, each
// register high byte first. Decoders read the bytes of the last read; encoders replace the
// bytes of the next write. Bytes a decoder needs beyond the end of the array count as zero.
//
// 32-bit layouts (R0..R3 = bytes from `pos`; "8-15" = bits 8..15 of the value):
//   0: 8-15  0-7   24-31 16-23   (low word first; also the single-precision float layout)
//   1: 24-31 16-23 8-15  0-7
//   3: 0-7   8-15  16-23 24-31
//   4: 16-23 24-31 0-7   8-15
// Other layout codes are treated as layout 0.
//
// Texts are Windows-1254, two characters per register: "string" puts the first character of
// each pair in the low byte (R0 = c1, R1 = c0), "stringswap" in the high byte (R0 = c0).

#include <QByteArray>
#include <QString>

#include "config/DeviceRules.h"

namespace kolva {

int ByteArrayToInt(const QByteArray& RegisterData, int pos = 0);
int ByteArrayToSignedInt(const QByteArray& RegisterData, int pos = 0);
double ByteArrayToFloat(const QByteArray& RegisterData, int pos = 0);
qint32 ByteArraytoLong(const QByteArray& RegisterData, int layout, int pos = 0);
// 2*ceil(length/2) characters; zero bytes stay in the text as characters of code 0.
QString ByteArrayToString(const QByteArray& RegisterData, int pos, int length);
QString ByteArrayToStringSwap(const QByteArray& RegisterData, int pos, int length);

// RegisterData becomes pos + 2 bytes long (2 for pos 0); only the low 16 bits are stored.
void InttoByteArray(QByteArray& RegisterData, int pos, int value);
void SignedInttoByteArray(QByteArray& RegisterData, int pos, int value);
// RegisterData becomes pos + 4 bytes long.
void FloattoByteArray(QByteArray& RegisterData, int pos, float value);
void LongtoByteArray(QByteArray& RegisterData, qint32 value, int layout, int pos = 0);
// `size` is the setting's maximum length in characters; a longer text is cut to `size`
// characters. RegisterData becomes pos + size (rounded up to even) zero bytes with the text
// laid in; with size 0 it is as long as the text, rounded up to even.
void StringtoByteArray(QByteArray& RegisterData, int pos, const QString& text, int size);
void StringtoByteArraySwap(QByteArray& RegisterData, int pos, const QString& text, int size);

} // namespace kolva

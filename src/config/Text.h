#pragma once
// Conversions between the program's text and the 8-bit Windows-1254 bytes used in
// files, in the catalogue's enciphered columns and on the wire.

#include <QByteArray>
#include <QString>

namespace kolva {

QByteArray ToCp1254(const QString& text);
QString FromCp1254(const QByteArray& bytes);

// Text of a file: UTF-8 when the bytes are valid UTF-8 (a BOM is dropped), else Windows-1254.
// `wasUtf8` tells which was used, so a writer can keep the file's encoding.
QString DecodeFileText(const QByteArray& bytes, bool* wasUtf8 = nullptr);

} // namespace kolva

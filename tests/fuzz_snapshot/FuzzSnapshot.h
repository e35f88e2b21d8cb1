#pragma once
// One fuzz input: the bytes of a snapshot file, opened, read, written back and read again.
// Returns empty text when every property held, otherwise what broke.

#include <QByteArray>
#include <QString>

namespace kolva::fuzz {

// `dir` is a writable scratch folder.
QString CheckSnapshotBytes(const QByteArray& bytes, const QString& dir);

} // namespace kolva::fuzz

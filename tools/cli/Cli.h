#pragma once
// kolva-ayar-cli: what the window does, from a script. Every sub-command drives the same
// core the window drives (catalogue, configuration, operations, codecs, snapshot files).

#include <QList>
#include <QString>
#include <QStringList>

namespace kolva::cli {

// Exit statuses.
enum : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// "1,4,10-12" -> 1, 4, 10, 11, 12 (each 1..255, in the order given, duplicates dropped).
// False with `error` set on anything else.
bool ParseAddressList(const QString& text, QList<int>* addresses, QString* error);

// Whether a device value matches the file's value for a setting of `type` with `decimals`
// places: text settings exactly (CR, LF and NUL of the device's text count as the blanks a
// snapshot file holds instead); numbers by value (a decimal number to half a unit of its
// last place, allowing for the device's single precision).
bool SameValue(const QString& type, int decimals, const QString& fileValue,
               const QString& deviceValue);

// Runs the program with its arguments (args[0] = program name); returns the exit status.
int Run(const QStringList& args);

} // namespace kolva::cli

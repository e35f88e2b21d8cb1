#pragma once
// Settings snapshot files: the values of one model's settings in an INI file.
//
//   [DEVICE]
//   device_name=<model>
//   [Group_<group>]
//   Setting_<row key>=<value>
//   ...
//
// The file is held in memory for a whole save or load and written once: a save produces
// byte for byte what one IniWrite per entry would have produced on a fresh file, and
// replaces the target only when it is complete (temporary file in the same folder, then
// renamed), so a crash never leaves half a file. A load writes back, like IniRead, the
// entries it found missing or empty, unless the file is read-only.

#include "config/Convert.h"
#include "config/Ini.h"

#include <QString>

namespace kolva {

// A snapshot file that cannot be read or written; the text is shown to the user.
class SnapshotError : public Error {
public:
    using Error::Error;
};

namespace snapshot {

QString DeviceSection();                   // "DEVICE"
QString DeviceKey();                       // "device_name"
QString DefaultModel();                    // "RX-B2": the model of a file without a device entry
QString SectionName(const QString& group); // "Group_" + group
QString KeyName(const QString& rowKey);    // "Setting_" + row key

// True for the text types ("string", "stringswap": the type text contains "string").
bool IsTextType(const QString& type);
// The value a setting of `type` takes from the entry `value`: for every type but the text
// types, text that is not a number under the user's locale becomes "0".
QString LoadedValue(const QString& type, const QString& value);

// True when the file exists and must not be changed (no write permission, or no write bit
// at all, which counts as read-only even for a user who could override it).
bool IsReadOnly(const QString& fileName);

} // namespace snapshot

// Builds a snapshot in memory and writes it over the target in one step.
class TSnapshotWriter {
public:
    // Starts a fresh file (nothing of an existing target is kept) holding the device entry.
    TSnapshotWriter(const QString& fileName, const QString& deviceName);

    const QString& FileName() const { return fileName_; }
    // Adds "Setting_" + rowKey = value to section "Group_" + group.
    void Add(const QString& group, const QString& rowKey, const QString& value);
    // The bytes Commit writes.
    QByteArray Bytes() const { return ini_.ToBytes(); }
    // Replaces the target with the snapshot (temporary file, flushed to disk, renamed).
    // SnapshotError "Unable to write to <file>" when that cannot be done; the old file is
    // then left as it was.
    void Commit();

private:
    QString fileName_;
    TIniFile ini_;
};

// Reads a snapshot file held in memory.
class TSnapshotReader {
public:
    // SnapshotError with a clear text when the file is missing, cannot be read or is not a
    // text file.
    explicit TSnapshotReader(const QString& fileName);

    const QString& FileName() const { return ini_.FileName(); }
    // The file's model: "device_name" of "DEVICE", or DefaultModel() written back when it is
    // missing or empty.
    QString DeviceName();
    // The entry of the setting, "" written back when it is missing or empty, then
    // LoadedValue(type, ...).
    QString Value(const QString& group, const QString& rowKey, const QString& type);
    // The raw entry, without write-back.
    QString Entry(const QString& group, const QString& rowKey, bool* found = nullptr) const;

    bool ReadOnly() const { return readOnly_; }
    // True when reading added entries that are not yet in the file.
    bool Modified() const { return ini_.Modified(); }
    // Writes the added entries back when there are any and the file is not read-only.
    // Returns false with `error` set when the file could not be written (the values read
    // are unaffected); true otherwise, also when the write-back was skipped.
    bool Commit(QString* error = nullptr);

    TIniFile& Ini() { return ini_; }

private:
    static TIniFile Load(const QString& fileName);
    TIniFile ini_;
    bool readOnly_ = false;
};

} // namespace kolva

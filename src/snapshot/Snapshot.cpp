#include "Snapshot.h"

#include <QDir>
#include <QFileInfo>

namespace kolva {

namespace snapshot {

QString DeviceSection() {
    return QStringLiteral("DEVICE");
}
QString DeviceKey() {
    return QStringLiteral("device_name");
}
QString DefaultModel() {
    return QStringLiteral("RX-B2");
}
QString SectionName(const QString& group) {
    return QStringLiteral("Group_") + group;
}
QString KeyName(const QString& rowKey) {
    return QStringLiteral("Setting_") + rowKey;
}

bool IsTextType(const QString& type) {
    return type.contains(QStringLiteral("string"));
}

QString LoadedValue(const QString& type, const QString& value) {
    if (IsTextType(type) || TryStrToFloat(value, nullptr)) return value;
    return QStringLiteral("0");
}

bool IsReadOnly(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists()) return false;
    constexpr QFile::Permissions anyWrite =
        QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !info.isWritable() || !(info.permissions() & anyWrite);
}

} // namespace snapshot

namespace {

QString Native(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

[[noreturn]] void CannotWrite(const QString& fileName) {
    throw SnapshotError(QStringLiteral("Unable to write to %1").arg(Native(fileName)));
}

} // namespace

TSnapshotWriter::TSnapshotWriter(const QString& fileName, const QString& deviceName)
    : fileName_(fileName), ini_(QString()) {
    ini_.Write(snapshot::DeviceSection(), snapshot::DeviceKey(), deviceName);
}

void TSnapshotWriter::Add(const QString& group, const QString& rowKey, const QString& value) {
    ini_.Write(snapshot::SectionName(group), snapshot::KeyName(rowKey), value);
}

void TSnapshotWriter::Commit() {
    const QFileInfo info(fileName_);
    if (fileName_.isEmpty() || info.isDir() || snapshot::IsReadOnly(fileName_))
        CannotWrite(fileName_);
    const QByteArray bytes = ini_.ToBytes();
    // No direct-write fallback: the target is replaced whole or not at all.
    if (!WriteFileDurably(fileName_, bytes, false)) CannotWrite(fileName_);
}

TIniFile TSnapshotReader::Load(const QString& fileName) {
    const QFileInfo info(fileName);
    if (!info.exists() || info.isDir())
        throw SnapshotError(QStringLiteral("Dosya bulunamadı: %1").arg(Native(fileName)));
    try {
        return TIniFile(fileName);
    } catch (const IniError& e) {
        throw SnapshotError(
            QStringLiteral("Ayar dosyası okunamadı, dosya bir ayar dosyası değil: %1 (%2)")
                .arg(Native(fileName), e.text()));
    }
}

TSnapshotReader::TSnapshotReader(const QString& fileName)
    : ini_(Load(fileName)), readOnly_(snapshot::IsReadOnly(fileName)) {}

QString TSnapshotReader::DeviceName() {
    return ini_.ReadOrInit(snapshot::DeviceSection(), snapshot::DeviceKey(),
                           snapshot::DefaultModel());
}

QString TSnapshotReader::Value(const QString& group, const QString& rowKey, const QString& type) {
    const QString value =
        ini_.ReadOrInit(snapshot::SectionName(group), snapshot::KeyName(rowKey), QString());
    return snapshot::LoadedValue(type, value);
}

QString TSnapshotReader::Entry(const QString& group, const QString& rowKey, bool* found) const {
    return ini_.Read(snapshot::SectionName(group), snapshot::KeyName(rowKey), found);
}

bool TSnapshotReader::Commit(QString* error) {
    if (!ini_.Modified() || readOnly_) return true;
    try {
        ini_.Save();
    } catch (const IniError& e) {
        if (error) *error = e.text();
        return false;
    }
    return true;
}

} // namespace kolva

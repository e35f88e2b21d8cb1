#include "FuzzSnapshot.h"

#include "config/Text.h"
#include "snapshot/Snapshot.h"

#include <QDir>
#include <QFile>

namespace kolva::fuzz {

namespace {

struct Item {
    QString group, rowKey, value;
};

bool Store(const QString& path, const QByteArray& bytes) {
    // A fresh file each time: rewriting a truncated file makes some file systems flush it.
    QFile::remove(path);
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

bool Plain(const QString& text) {
    for (QChar c : text)
        if (c == u'\r' || c == u'\n' || c == u'\0') return false;
    return text == text.trimmed();
}

// Every "Setting_" entry of every "Group_" section, as the reader sees it.
QList<Item> Items(TSnapshotReader& reader) {
    QList<Item> items;
    const QString groupPrefix = snapshot::SectionName(QString());
    const QString keyPrefix = snapshot::KeyName(QString());
    for (const QString& section : reader.Ini().Sections()) {
        if (!section.startsWith(groupPrefix)) continue;
        const QString group = section.mid(groupPrefix.size());
        for (const QString& key : reader.Ini().Keys(section)) {
            if (!key.startsWith(keyPrefix)) continue;
            items.append({group, key.mid(keyPrefix.size()), QString()});
        }
    }
    return items;
}

} // namespace

QString CheckSnapshotBytes(const QByteArray& bytes, const QString& dir) {
    const QString in = QDir(dir).filePath(QStringLiteral("in.ini"));
    const QString again = QDir(dir).filePath(QStringLiteral("again.ini"));
    const QString written = QDir(dir).filePath(QStringLiteral("written.ini"));
    if (!Store(in, bytes)) return QStringLiteral("scratch file not written");

    try {
        TSnapshotReader reader(in);
        const QString model = reader.DeviceName();
        if (model.isEmpty()) return QStringLiteral("empty model");
        QList<Item> items = Items(reader);
        for (Item& item : items) {
            bool found = false;
            const QString raw = reader.Entry(item.group, item.rowKey, &found);
            if (!found) return u"listed key not found: " + item.rowKey;
            item.value = reader.Value(item.group, item.rowKey, QStringLiteral("string"));
            if (item.value != raw) return u"text value differs from the entry: " + item.rowKey;
            const QString numeric = snapshot::LoadedValue(QStringLiteral("integer"), raw);
            if (numeric != raw && numeric != u"0") return u"numeric rule broken: " + raw;
        }

        // What a load leaves in the file reads back the same and needs no further write.
        if (!Store(again, reader.Ini().ToBytes())) return QStringLiteral("scratch not written");
        TSnapshotReader second(again);
        if (second.DeviceName() != model) return QStringLiteral("model changed on write-back");
        for (const Item& item : items)
            if (second.Value(item.group, item.rowKey, QStringLiteral("string")) != item.value)
                return u"value changed on write-back: " + item.rowKey;
        if (second.Modified()) return QStringLiteral("write-back is not complete");

        // A save of what was read gives back the same values.
        TSnapshotWriter writer(written, model);
        QList<Item> plain;
        for (const Item& item : items) {
            if (!Plain(item.group) || !Plain(item.rowKey) || !Plain(item.value)) continue;
            writer.Add(item.group, item.rowKey, item.value);
            plain.append(item);
        }
        const QByteArray savedBytes = writer.Bytes();
        // Windows-1254 text whose bytes happen to form valid UTF-8 reads back as UTF-8: the
        // price of accepting UTF-8 files. Such a file is not compared.
        bool asUtf8 = false;
        DecodeFileText(savedBytes, &asUtf8);
        bool intendedUtf8 = FromCp1254(ToCp1254(model)) != model;
        for (const Item& item : plain) {
            const QString all = item.group + item.rowKey + item.value;
            intendedUtf8 = intendedUtf8 || FromCp1254(ToCp1254(all)) != all;
        }
        bool nonAscii = false;
        for (char c : savedBytes)
            nonAscii = nonAscii || uchar(c) >= 0x80;
        const bool ambiguous = !intendedUtf8 && asUtf8 && nonAscii;
        if (ambiguous) return QString();
        if (!Store(written, savedBytes)) return QStringLiteral("scratch not written");
        TSnapshotReader third(written);
        if (Plain(model) && third.DeviceName() != model)
            return u"model not kept by a save: " + model;
        for (const Item& item : plain)
            if (third.Entry(item.group, item.rowKey) != reader.Entry(item.group, item.rowKey))
                return u"value not kept by a save: " + item.rowKey;
    } catch (const SnapshotError&) {
        // A file that is not a snapshot is refused with a message; nothing else may escape.
    }
    return QString();
}

} // namespace kolva::fuzz

#include "Ini.h"

#include "config/Paths.h"
#include "config/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kolva {

namespace {

QString Native(const QString& fileName) {
    return QDir::toNativeSeparators(fileName);
}

[[noreturn]] void CannotWrite(const QString& fileName) {
    throw IniError(QStringLiteral("Unable to write to %1").arg(Native(fileName)));
}

[[noreturn]] void NotText(const QString& fileName, const QString& why) {
    throw IniError(
        QStringLiteral("Unable to read %1: not a text file (%2)").arg(Native(fileName), why));
}

bool SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {
    const QFileInfo info(fileName);
    if (!info.exists()) return;
    if (info.isDir()) throw IniError(QStringLiteral("Unable to read %1").arg(Native(fileName)));
    if (info.size() > kMaxFileSize) NotText(fileName, QStringLiteral("too large"));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw IniError(QStringLiteral("Unable to read %1").arg(Native(fileName)));
    const QByteArray bytes = file.read(qMin(info.size(), kMaxFileSize) + 1);
    if (bytes.size() > kMaxFileSize) NotText(fileName, QStringLiteral("too large"));
    if (bytes.contains('\0')) NotText(fileName, QStringLiteral("contains NUL bytes"));

    bom_ = bytes.startsWith("\xEF\xBB\xBF");
    const QString text = DecodeFileText(bytes, &utf8_);
    if (bytes.isEmpty()) return;

    QChar split = u'\n';
    const qsizetype lf = text.indexOf(u'\n');
    if (lf > 0 && text.at(lf - 1) == u'\r')
        eol_ = QStringLiteral("\r\n");
    else if (lf >= 0)
        eol_ = QStringLiteral("\n");
    else if (text.contains(u'\r')) {
        eol_ = QStringLiteral("\r");
        split = u'\r';
    }
    QStringList pieces = text.split(split);
    if (!pieces.isEmpty() && pieces.last().isEmpty()) pieces.removeLast();
    lines_.reserve(pieces.size());
    for (QString& piece : pieces) {
        if (piece.endsWith(u'\r')) piece.chop(1);
        if (piece.size() > kMaxLineLength) NotText(fileName, QStringLiteral("line too long"));
        Line line;
        line.text = piece;
        const QString trimmed = piece.trimmed();
        if (trimmed.startsWith(u'[')) {
            line.kind = Line::Section;
            qsizetype close = trimmed.indexOf(u']');
            if (close < 0) close = trimmed.size();
            line.name = trimmed.mid(1, close - 1).trimmed();
        } else if (!trimmed.startsWith(u';') && !trimmed.startsWith(u'#')) {
            const qsizetype eq = piece.indexOf(u'=');
            if (eq > 0) {
                line.name = piece.left(eq).trimmed();
                if (!line.name.isEmpty()) line.kind = Line::Entry;
            }
        }
        lines_.append(std::move(line));
    }
}

int TIniFile::FindSection(const QString& section) const {
    const QString name = section.trimmed();
    for (int i = 0; i < lines_.size(); ++i)
        if (lines_[i].kind == Line::Section && SameName(lines_[i].name, name)) return i;
    return -1;
}

int TIniFile::FindKey(int sectionLine, const QString& key) const {
    const QString name = key.trimmed();
    for (int i = sectionLine + 1; i < lines_.size(); ++i) {
        if (lines_[i].kind == Line::Section) break;
        if (lines_[i].kind == Line::Entry && SameName(lines_[i].name, name)) return i;
    }
    return -1;
}

QString TIniFile::ValueOf(const Line& line) {
    QString value = line.text.mid(line.text.indexOf(u'=') + 1).trimmed();
    if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
        value = value.mid(1, value.size() - 2);
    return value;
}

QString TIniFile::Clean(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c == u'\r' || c == u'\n' || c == u'\0') c = u' ';
    return out;
}

QString TIniFile::FormatValue(const QString& value) {
    const QString clean = Clean(value);
    if (clean.isEmpty()) return clean;
    const bool blanks = clean.front().isSpace() || clean.back().isSpace();
    const bool quoted = clean.size() >= 2 && clean.startsWith(u'"') && clean.endsWith(u'"');
    return blanks || quoted ? u'"' + clean + u'"' : clean;
}

QString TIniFile::Read(const QString& section, const QString& key, bool* found) const {
    const int s = FindSection(section);
    const int k = s < 0 ? -1 : FindKey(s, key);
    if (found) *found = k >= 0;
    return k < 0 ? QString() : ValueOf(lines_[k]);
}

QString TIniFile::ReadOrInit(const QString& section, const QString& key, const QString& def) {
    const QString value = Read(section, key);
    if (!value.isEmpty()) return value;
    Write(section, key, def);
    return def;
}

void TIniFile::Write(const QString& section, const QString& key, const QString& value) {
    const QString sectionName = Clean(section).trimmed();
    const QString keyName = Clean(key).trimmed();
    const QString formatted = FormatValue(value);
    // Text that Windows-1254 cannot hold is kept by switching the file to UTF-8.
    if (!utf8_) {
        const QString added = sectionName + keyName + formatted;
        if (FromCp1254(ToCp1254(added)) != added) utf8_ = true;
    }
    const int s = FindSection(sectionName);
    if (s < 0) {
        lines_.append({Line::Section, u'[' + sectionName + u']', sectionName});
        lines_.append({Line::Entry, keyName + u'=' + formatted, keyName});
        modified_ = true;
        return;
    }
    const int k = FindKey(s, keyName);
    if (k >= 0) {
        const QString text = lines_[k].name + u'=' + formatted;
        if (text != lines_[k].text) {
            lines_[k].text = text;
            modified_ = true;
        }
        return;
    }
    int last = s;
    for (int i = s + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i)
        if (!lines_[i].text.trimmed().isEmpty()) last = i;
    lines_.insert(last + 1, {Line::Entry, keyName + u'=' + formatted, keyName});
    modified_ = true;
}

bool TIniFile::HasSection(const QString& section) const {
    return FindSection(section) >= 0;
}

QStringList TIniFile::Sections() const {
    QStringList out;
    for (const Line& line : lines_)
        if (line.kind == Line::Section && !out.contains(line.name, Qt::CaseInsensitive))
            out << line.name;
    return out;
}

QStringList TIniFile::Keys(const QString& section) const {
    QStringList out;
    const int s = FindSection(section);
    if (s < 0) return out;
    for (int i = s + 1; i < lines_.size() && lines_[i].kind != Line::Section; ++i)
        if (lines_[i].kind == Line::Entry && !out.contains(lines_[i].name, Qt::CaseInsensitive))
            out << lines_[i].name;
    return out;
}

QByteArray TIniFile::ToBytes() const {
    QString text;
    for (const Line& line : lines_) {
        text += line.text;
        text += eol_;
    }
    if (!utf8_) return ToCp1254(text);
    return (bom_ ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + text.toUtf8();
}

bool WriteFileDurably(const QString& fileName, const QByteArray& bytes, bool directWriteFallback) {
    QSaveFile file(fileName);
    file.setDirectWriteFallback(directWriteFallback);
    if (!file.open(QIODevice::WriteOnly)) return false;
    bool ok = file.write(bytes) == bytes.size() && file.flush();
#ifdef Q_OS_WIN
    ok = ok && _commit(file.handle()) == 0;
#else
    ok = ok && ::fsync(file.handle()) == 0;
#endif
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void TIniFile::Save() {
    if (!modified_) return;
    const QFileInfo info(fileName_);
    if (info.isDir() || (info.exists() && !info.isWritable())) CannotWrite(fileName_);
    const QByteArray bytes = ToBytes();
    if (!WriteFileDurably(fileName_, bytes, true)) CannotWrite(fileName_);
    modified_ = false;
}

QString IniRead(const QString& section, const QString& key, const QString& def,
                const QString& fileName) {
    TIniFile file(fileName.isEmpty() ? paths::ConfigFile() : fileName);
    const QString value = file.ReadOrInit(section, key, def);
    file.Save();
    return value;
}

void IniWrite(const QString& section, const QString& key, const QString& value,
              const QString& fileName) {
    TIniFile file(fileName.isEmpty() ? paths::ConfigFile() : fileName);
    file.Write(section, key, value);
    file.Save();
}

} // namespace kolva

#pragma once
// INI files: the configuration file, the database password file and the settings snapshot
// files all go through IniRead / IniWrite (one access = load, change, save, release).
//
// Rules kept by every access:
//  - section and key names are matched without regard to case (surrounding blanks ignored);
//  - a value that reads back empty is treated as missing: IniRead writes its default back
//    (also an empty default, which leaves "key=" in the file) and returns it;
//  - an existing key is replaced in place, a new key goes after the last non-blank line of
//    its section, a new section goes at the end of the file, the first write creates the file;
//  - comments, blank lines and lines that are not entries are kept as they are;
//  - a file that is valid UTF-8 (with or without BOM) is read and written back as UTF-8,
//    any other as Windows-1254; new files are Windows-1254 with CR LF line endings; an
//    existing file keeps its line endings;
//  - a value with leading or trailing blanks, or wrapped in double quotes, is written inside
//    double quotes, and one pair of surrounding double quotes is removed on reading, so any
//    text comes back unchanged (CR, LF and NUL, which would break the line structure, are
//    written as blanks);
//  - every save is flushed to disk before returning; nothing is cached between accesses.

#include "config/Convert.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace kolva {

// A file that cannot be read as an INI file, or cannot be written.
class IniError : public Error {
public:
    using Error::Error;
};

// Reads `key` of `section`; when the value is missing or empty, writes `def` back and
// returns it. `fileName` empty selects the configuration file (paths::ConfigFile()).
QString IniRead(const QString& section, const QString& key, const QString& def,
                const QString& fileName = QString());

// Writes `value` under `section` / `key`, creating file, section and key as needed.
// Raises IniError "Unable to write to <file>" when the file cannot be written.
void IniWrite(const QString& section, const QString& key, const QString& value,
              const QString& fileName = QString());

// Writes `bytes` to `fileName` through a temporary file in the same folder, flushed to disk
// and renamed over the target, so a crash never leaves half a file. With
// `directWriteFallback` a folder that allows no temporary file is written in place. False
// when the file could not be written; the old file is then unchanged.
bool WriteFileDurably(const QString& fileName, const QByteArray& bytes, bool directWriteFallback);

// An INI file held in memory: load once, Read / Write entries by the same rules as
// IniRead / IniWrite, Save once. Saving produces byte for byte what the same sequence of
// IniWrite calls would have produced on the file.
class TIniFile {
public:
    // Loads `fileName` (a missing file is an empty one). Raises IniError for a file that is
    // not text (NUL bytes, absurdly long lines, absurd size) or cannot be read.
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return fileName_; }

    // The stored value (surrounding blanks and one pair of quotes removed), or empty text.
    // `found` tells whether the key exists at all.
    QString Read(const QString& section, const QString& key, bool* found = nullptr) const;
    // IniRead's rule in memory: the value, or `def` written back and returned when empty.
    QString ReadOrInit(const QString& section, const QString& key, const QString& def);
    void Write(const QString& section, const QString& key, const QString& value);

    bool HasSection(const QString& section) const;
    // Section names in file order (as spelled in the file; duplicates reported once).
    QStringList Sections() const;
    // Key names of a section in file order.
    QStringList Keys(const QString& section) const;

    // True when a Write changed the text since loading or the last Save.
    bool Modified() const { return modified_; }
    // Writes the file when modified, flushed to disk. IniError "Unable to write to <file>".
    void Save();
    // The bytes Save would write.
    QByteArray ToBytes() const;

    // Limits for what is accepted as a text file.
    static constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;
    static constexpr int kMaxLineLength = 64 * 1024;

private:
    struct Line {
        enum Kind { Other, Section, Entry } kind = Other;
        QString text; // the line as written in the file, without line end
        QString name; // section name or key (trimmed)
    };
    int FindSection(const QString& section) const;
    int FindKey(int sectionLine, const QString& key) const;
    static QString ValueOf(const Line& line);
    static QString FormatValue(const QString& value);
    static QString Clean(const QString& text);

    QString fileName_;
    QList<Line> lines_;
    bool utf8_ = false;
    bool bom_ = false;
    QString eol_ = QStringLiteral("\r\n");
    bool modified_ = false;
};

} // namespace kolva

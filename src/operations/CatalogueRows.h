#pragma once
// The catalogue rows the device operations walk: one setting or command row of `settings`,
// read and deciphered in one place.

#include "catalogue/Module.h"

#include <QString>
#include <QStringList>

namespace kolva::catalogue_rows {

enum TQueryKind {
    qkGrid,     // all setting rows (the grid build)
    qkRead,     // all setting rows (the device read)
    qkWrite,    // the writable setting rows
    qkCommands, // the command rows
};

struct TSettingRow {
    int id = 0;
    QString caption; // deciphered
    QString regText; // deciphered register text
    int reg = 0;     // regText as a whole number (when regOk)
    bool regOk = false;
    int group = 0;
    QString groupCaption;
    QString type;
    int min = 0, max = 0, decimal = 0;
    QString minText, maxText, decimalText;
    int readonly = 0;
    QString hint;
    QString def;
    QString combo;
    int writecmd = 0; // NULL (or a missing column) reads as 0
};

// A walk over the rows of one query on the data module's t4.
class TCursor {
public:
    TCursor(Tfm& fm, TQueryKind kind, const QString& model, bool hideAlarm);
    // Runs the query; true when it yields rows (the walk then stands on the first).
    bool Open();
    bool Eof() const { return fm_.t4.Eof(); }
    void Next() { fm_.t4.Next(); }
    int RecordCount() const { return fm_.t4.RecordCount(); }
    // The current row, deciphered. A column that does not convert raises EConvertError,
    // except `register`, whose failure is reported through regOk.
    TSettingRow Row() const;
    int Id() const;
    QString Caption() const;

private:
    static void ReadColumns(const TQuery& q, TSettingRow& r);
    Tfm& fm_;
    TSqlText sql_;
};

QStringList Models(Tfm& fm);
// The enciphered register of a command row, deciphered; the value it writes.
QString CommandRegisterText(Tfm& fm, int id);
int CommandValue(Tfm& fm, int id);

inline bool IsFloat(const QString& text) {
    return kolva::IsFloat(text);
}
inline QString ExtractBetween(const QString& text, const QString& start, const QString& end) {
    return kolva::ExtractBetween(text, start, end);
}
inline QStringList SplitList(const QString& text, const QString& delimiter) {
    QStringList list;
    kolva::SplitList(delimiter.isEmpty() ? QChar(u';') : delimiter.front(), text, list);
    return list;
}

} // namespace kolva::catalogue_rows

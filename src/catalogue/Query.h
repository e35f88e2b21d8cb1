#pragma once
// A query component: holds the SQL text of its last run and the whole result in memory, so
// the number of rows is known before the walk begins.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

namespace kolva {

class TQuery {
public:
    explicit TQuery(const QString& name = QString()) : name_(name) {}

    const QString& Name() const { return name_; }

    // Drops the result (the SQL text stays).
    void Close();
    // Replaces the SQL text and runs it on `db` with `params` bound in order (positional "?"),
    // fetching every row. Returns false on an error; the engine's message is then LastError().
    bool Open(QSqlDatabase& db, const QString& sql, const QVariantList& params = {});
    // Same for a statement without rows.
    bool Exec(QSqlDatabase& db, const QString& sql, const QVariantList& params = {});

    bool Active() const { return active_; }
    const QString& Sql() const { return sql_; }
    // The SQL text as the component returns it: each line followed by CR LF.
    QString SqlLines() const;
    const QString& LastError() const { return error_; }

    void First() { pos_ = 0; }
    void Next() {
        if (pos_ < rows_.size()) ++pos_;
    }
    bool Eof() const { return pos_ >= rows_.size(); }
    bool Bof() const { return pos_ == 0; }
    int RecordCount() const { return int(rows_.size()); }
    int RecNo() const { return int(pos_); }

    bool HasField(const QString& name) const;
    // The current row's column: NULL reads as empty text / 0. FieldInt of text that is not a
    // whole number raises EConvertError. A column the result lacks raises kolva::Error, except
    // the optional column "writecmd" (missing on a catalogue the migration could not change),
    // which reads as NULL.
    QString FieldText(const QString& name) const;
    int FieldInt(const QString& name) const;
    bool FieldIsNull(const QString& name) const;
    QVariant FieldValue(const QString& name) const;
    // First column of the current row.
    QString FieldText(int column) const;
    int FieldInt(int column) const;

private:
    QVariant Cell(int column) const;
    int Column(const QString& name) const; // -1 when absent

    QString name_;
    QString sql_;
    QString error_;
    QStringList fields_;
    QList<QVariantList> rows_;
    qsizetype pos_ = 0;
    bool active_ = false;
};

// Text and integer readings of a column value by the component's rules.
QString VariantText(const QVariant& value);
int VariantInt(const QVariant& value);

} // namespace kolva

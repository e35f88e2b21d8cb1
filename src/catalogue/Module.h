#pragma once
// The data module: the catalogue connection, its query components and the helper functions
// through which the rest of the program runs queries.
//
// The program creates one Tfm at start-up; fm() returns it. Query errors are caught inside
// the helpers: with ShowSqlErrors on, a message box (through the Host) shows the SQL text
// (each line followed by CR LF), one CR and the engine's message; the helper returns false
// (SelectInt 0, SelectText empty).

#include "catalogue/Crypto.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace kolva {

class Host;

class Tfm {
public:
    // The first Tfm alive becomes the instance fm() returns.
    explicit Tfm(Host* host = nullptr);
    ~Tfm();
    Tfm(const Tfm&) = delete;
    Tfm& operator=(const Tfm&) = delete;

    // Opens the catalogue at `path` (SQLite). The password is read from the password file
    // (IniRead "DB"/"sifre", default empty, which is written back) and must equal the
    // catalogue's own (empty = none). Raises kolva::Error naming the file when it is
    // missing, is not a catalogue, or the password does not match; nothing is created.
    // A catalogue that cannot be written is opened read-only (`readOnly` forces that).
    void DBBaglan(const QString& path, bool readOnly = false);
    void Close();
    bool Connected() const;
    bool ReadOnly() const { return readOnly_; }
    const QString& Path() const { return path_; }
    QSqlDatabase& DB() { return db_; }
    // Whether the table has the column `writecmd` (added by the start-up migration).
    bool HasWritecmd() const;

    Host* host = nullptr;
    bool ShowSqlErrors = true;

    TQuery L{QStringLiteral("L")};
    TQuery t{QStringLiteral("t")};
    TQuery t4{QStringLiteral("t4")};
    TQuery Q{QStringLiteral("Q")};

private:
    QString connection_;
    QString path_;
    QSqlDatabase db_;
    bool readOnly_ = false;
};

// The program's data module. Only valid while a Tfm exists.
Tfm& fm();
bool HasFm();

// Runs `sql` on `query`: true when it opened and has at least one row.
bool OpenQuery(TQuery& query, const QString& sql, const QVariantList& params = {});
bool OpenL(const QString& sql, const QVariantList& params = {});
bool OpenT(const QString& sql, const QVariantList& params = {});
bool OpenT4(const QString& sql, const QVariantList& params = {});
bool OpenL(const TSqlText& sql);
bool OpenT(const TSqlText& sql);
bool OpenT4(const TSqlText& sql);
// First column of the first row as integer (0 without rows or on error; a text that is not a
// whole number raises EConvertError) / as text (empty without rows or on error).
int SelectInt(const QString& sql, const QVariantList& params = {});
QString SelectText(const QString& sql, const QVariantList& params = {});
int SelectInt(const TSqlText& sql);
QString SelectText(const TSqlText& sql);
// A statement without rows on Q: true when it ran without error.
bool ExecSQL(const QString& sql, const QVariantList& params = {});
bool ExecSQL(const TSqlText& sql);

// The start-up migration: adds `writecmd` when missing, silently (ShowSqlErrors off around
// it). True when the column was added.
bool MigrateCatalogue();
// The model list (query 1), in catalogue order.
QStringList ModelList();

// The text of the message box shown for a failed query.
QString SqlErrorText(const TQuery& query);

// True when `text` converts to a floating-point number with the user's locale; empty: false.
bool IsFloat(const QString& text);
// Yes/No confirmation through the data module's Host; false without a Host.
bool Confirm(const QString& message);
// The part of `text` after the first `startMarker` (from the start when empty) and before the
// first following `endMarker` (to the end when empty); empty when a marker does not occur.
QString ExtractBetween(const QString& text, const QString& startMarker, const QString& endMarker);
// Fills `list` with the pieces of `text` split strictly at `delimiter`, after removing every
// "<" and ">" and trimming characters <= 32 at both ends. A piece beginning with a double
// quote is a quoted string (a doubled quote stands for one; the delimiter does not split
// inside it; text after the closing quote up to the delimiter is kept).
void SplitList(QChar delimiter, const QString& text, QStringList& list);

} // namespace kolva

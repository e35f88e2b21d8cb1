#pragma once
// The catalogue's table and the statements run against it. Column names that are reserved
// words in SQL ("group", "register", "default", "decimal", ...) are quoted. The model text is
// never pasted into SQL: it is bound as a parameter.

#include <QString>
#include <QVariantList>

namespace kolva {

// SQL text with its bound parameters (positional "?").
struct TSqlText {
    QString sql;
    QVariantList params;
};

namespace sql {

// The settings table. `withWritecmd` false leaves the column to the start-up migration.
QString CreateSettingsTable(bool withWritecmd = true);
// One-row table holding the catalogue password (NULL or empty: none).
QString CreateInfoTable();

// 1: the model list.
TSqlText ModelList();
// 2: the start-up migration (fails harmlessly when the column exists).
TSqlText AddWritecmd();
// 3 (hideAlarm false) / 4 and 5 (true): the setting rows of a model, ordered by group, id.
// The alarm filter leaves out groups whose caption contains "Alarm" in any letter case, and
// rows whose group caption is NULL.
TSqlText SettingRows(const QString& model, bool hideAlarm);
// 6 / 7: the writable setting rows (readonly = 0; NULL is not written).
TSqlText WritableRows(const QString& model, bool hideAlarm);
// 8: the command rows.
TSqlText CommandRows(const QString& model);
// 9: the enciphered register of a row.
TSqlText CommandRegister(qint64 id);
// 10: the value a command writes.
TSqlText CommandDefault(qint64 id);

} // namespace sql
} // namespace kolva

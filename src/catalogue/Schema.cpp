#include "Schema.h"

namespace kolva::sql {

namespace {

const QString kAlarmFilter = QStringLiteral(" AND group_caption NOT LIKE '%Alarm%'");
const QString kOrder = QStringLiteral(" ORDER BY \"group\", id");

} // namespace

QString CreateSettingsTable(bool withWritecmd) {
    return QStringLiteral("CREATE TABLE settings (\n"
                          "  id INTEGER PRIMARY KEY,\n"
                          "  device TEXT,\n"
                          "  command INTEGER,\n"
                          "  \"group\" INTEGER,\n"
                          "  group_caption TEXT,\n"
                          "  caption TEXT,\n"
                          "  \"register\" TEXT,\n"
                          "  type TEXT,\n"
                          "  min INTEGER,\n"
                          "  max INTEGER,\n"
                          "  \"decimal\" INTEGER,\n"
                          "  readonly INTEGER,\n"
                          "  hint TEXT,\n"
                          "  \"default\" TEXT,\n"
                          "  combo TEXT") +
           (withWritecmd ? QStringLiteral(",\n  writecmd INT\n)") : QStringLiteral("\n)"));
}

QString CreateInfoTable() {
    return QStringLiteral("CREATE TABLE catalogue_info (password TEXT)");
}

TSqlText ModelList() {
    return {QStringLiteral("SELECT DISTINCT device FROM settings ORDER BY device"), {}};
}

TSqlText AddWritecmd() {
    return {QStringLiteral("ALTER TABLE settings ADD writecmd INT"), {}};
}

TSqlText SettingRows(const QString& model, bool hideAlarm) {
    return {QStringLiteral("SELECT * FROM settings WHERE device=? AND command=0") +
                (hideAlarm ? kAlarmFilter : QString()) + kOrder,
            {model}};
}

TSqlText WritableRows(const QString& model, bool hideAlarm) {
    return {QStringLiteral("SELECT * FROM settings WHERE device=? AND command=0 AND readonly=0") +
                (hideAlarm ? kAlarmFilter : QString()) + kOrder,
            {model}};
}

TSqlText CommandRows(const QString& model) {
    return {QStringLiteral("SELECT * FROM settings WHERE device=? AND command=1") + kOrder,
            {model}};
}

TSqlText CommandRegister(qint64 id) {
    return {QStringLiteral("SELECT \"register\" FROM settings WHERE id=?"), {id}};
}

TSqlText CommandDefault(qint64 id) {
    return {QStringLiteral("SELECT \"default\" FROM settings WHERE id=?"), {id}};
}

} // namespace kolva::sql

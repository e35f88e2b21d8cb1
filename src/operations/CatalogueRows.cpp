#include "operations/CatalogueRows.h"

#include "config/Convert.h"

namespace kolva::catalogue_rows {

namespace {

TSqlText QueryFor(TQueryKind kind, const QString& model, bool hideAlarm) {
    switch (kind) {
    case qkGrid:
    case qkRead:
        return sql::SettingRows(model, hideAlarm);
    case qkWrite:
        return sql::WritableRows(model, hideAlarm);
    case qkCommands:
        return sql::CommandRows(model);
    }
    return {};
}

} // namespace

TCursor::TCursor(Tfm& fm, TQueryKind kind, const QString& model, bool hideAlarm)
    : fm_(fm), sql_(QueryFor(kind, model, hideAlarm)) {}

bool TCursor::Open() {
    if (!OpenQuery(fm_.t4, sql_.sql, sql_.params)) return false;
    fm_.t4.First();
    return !fm_.t4.Eof();
}

int TCursor::Id() const {
    return fm_.t4.FieldInt(QStringLiteral("id"));
}

QString TCursor::Caption() const {
    const int id = Id();
    return DecryptField(fm_.t4.FieldText(QStringLiteral("caption")), CaptionKey(id));
}

TSettingRow TCursor::Row() const {
    const TQuery& q = fm_.t4;
    TSettingRow r;
    r.id = q.FieldInt(QStringLiteral("id"));
    r.caption = DecryptField(q.FieldText(QStringLiteral("caption")), CaptionKey(r.id));
    r.regText = DecryptField(q.FieldText(QStringLiteral("register")), RegisterKey(r.id));
    r.regOk = TryStrToInt(r.regText, &r.reg);
    try {
        ReadColumns(q, r);
    } catch (const EConvertError& e) {
        throw EConvertError(QStringLiteral("\"%1\" ayarı (id %2) katalogda hatalı: %3")
                                .arg(r.caption, QString::number(r.id), e.text()));
    }
    return r;
}

void TCursor::ReadColumns(const TQuery& q, TSettingRow& r) {
    r.group = q.FieldInt(QStringLiteral("group"));
    r.groupCaption = q.FieldText(QStringLiteral("group_caption"));
    r.type = q.FieldText(QStringLiteral("type"));
    r.minText = q.FieldText(QStringLiteral("min"));
    r.maxText = q.FieldText(QStringLiteral("max"));
    r.decimalText = q.FieldText(QStringLiteral("decimal"));
    r.min = q.FieldInt(QStringLiteral("min"));
    r.max = q.FieldInt(QStringLiteral("max"));
    r.decimal = q.FieldInt(QStringLiteral("decimal"));
    r.readonly = q.FieldInt(QStringLiteral("readonly"));
    r.hint = q.FieldText(QStringLiteral("hint"));
    r.def = q.FieldText(QStringLiteral("default"));
    r.combo = q.FieldText(QStringLiteral("combo"));
    r.writecmd = q.FieldInt(QStringLiteral("writecmd"));
}

QStringList Models(Tfm&) {
    return ModelList();
}

QString CommandRegisterText(Tfm&, int id) {
    return DecryptField(SelectText(sql::CommandRegister(id)), RegisterKey(id));
}

int CommandValue(Tfm&, int id) {
    return SelectInt(sql::CommandDefault(id));
}

} // namespace kolva::catalogue_rows

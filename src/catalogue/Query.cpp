#include "Query.h"

#include "config/Convert.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <cmath>

namespace kolva {

QString VariantText(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return QString();
    if (value.typeId() == QMetaType::QByteArray) return QString::fromUtf8(value.toByteArray());
    return value.toString();
}

int VariantInt(const QVariant& value) {
    if (!value.isValid() || value.isNull()) return 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        bool ok = false;
        const qlonglong v = value.toLongLong(&ok);
        if (ok && v >= INT32_MIN && v <= INT32_MAX) return int(v);
        break;
    }
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && d >= INT32_MIN && d <= INT32_MAX)
            return int(d);
        break;
    }
    default:
        return StrToInt(VariantText(value));
    }
    throw EConvertError(
        QStringLiteral("'%1' is not a valid integer value").arg(VariantText(value)));
}

namespace {

QString ErrorText(const QSqlError& e) {
    return e.databaseText().isEmpty() ? e.text() : e.databaseText();
}

// Prepares `sql`, binds `params` in order and runs it.
bool Run(QSqlQuery& q, const QString& sql, const QVariantList& params) {
    if (!q.prepare(sql)) return false;
    for (const QVariant& p : params)
        q.addBindValue(p);
    return q.exec();
}

} // namespace

void TQuery::Close() {
    rows_.clear();
    fields_.clear();
    pos_ = 0;
    active_ = false;
}

bool TQuery::Open(QSqlDatabase& db, const QString& sql, const QVariantList& params) {
    Close();
    sql_ = sql;
    error_.clear();
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!Run(q, sql, params)) {
        error_ = ErrorText(q.lastError());
        return false;
    }
    const QSqlRecord record = q.record();
    for (int c = 0; c < record.count(); ++c)
        fields_ << record.fieldName(c);
    while (q.next()) {
        QVariantList row;
        row.reserve(fields_.size());
        for (int c = 0; c < fields_.size(); ++c)
            row << q.value(c);
        rows_.append(std::move(row));
    }
    if (q.lastError().isValid()) {
        error_ = ErrorText(q.lastError());
        Close();
        return false;
    }
    active_ = true;
    return true;
}

bool TQuery::Exec(QSqlDatabase& db, const QString& sql, const QVariantList& params) {
    Close();
    sql_ = sql;
    error_.clear();
    QSqlQuery q(db);
    const bool ok = Run(q, sql, params);
    if (!ok) error_ = ErrorText(q.lastError());
    return ok;
}

QString TQuery::SqlLines() const {
    QString out;
    QStringList lines = sql_.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r')) line.chop(1);
        out += line;
        out += QStringLiteral("\r\n");
    }
    return out;
}

int TQuery::Column(const QString& name) const {
    for (int c = 0; c < fields_.size(); ++c)
        if (fields_[c].compare(name, Qt::CaseInsensitive) == 0) return c;
    return -1;
}

bool TQuery::HasField(const QString& name) const {
    return Column(name) >= 0;
}

QVariant TQuery::Cell(int column) const {
    if (!active_ || Eof())
        throw Error(QStringLiteral("%1: No current record.")
                        .arg(name_.isEmpty() ? QStringLiteral("Query") : name_));
    if (column < 0 || column >= fields_.size())
        throw Error(QStringLiteral("%1: Field index out of range").arg(name_));
    return rows_[pos_][column];
}

QVariant TQuery::FieldValue(const QString& name) const {
    const int c = Column(name);
    if (c < 0) {
        if (name.compare(QLatin1String("writecmd"), Qt::CaseInsensitive) == 0 && active_ && !Eof())
            return QVariant();
        throw Error(QStringLiteral("%1: Field '%2' not found").arg(name_, name));
    }
    return Cell(c);
}

QString TQuery::FieldText(const QString& name) const {
    return VariantText(FieldValue(name));
}
int TQuery::FieldInt(const QString& name) const {
    return VariantInt(FieldValue(name));
}
bool TQuery::FieldIsNull(const QString& name) const {
    return FieldValue(name).isNull();
}
QString TQuery::FieldText(int column) const {
    return VariantText(Cell(column));
}
int TQuery::FieldInt(int column) const {
    return VariantInt(Cell(column));
}

} // namespace kolva

#include "Catalogue.h"

#include "catalogue/Crypto.h"
#include "catalogue/Query.h"
#include "catalogue/Schema.h"
#include "config/Convert.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringDecoder>

#include <atomic>
#include <map>

namespace kolva {

namespace {

std::atomic<int> g_toolConnections{0};

// A private connection that is removed again when it goes out of scope.
class TConnection {
public:
    TConnection(const QString& path, bool readOnly) {
        name_ = QStringLiteral("kolva_catalogue_tool_%1").arg(++g_toolConnections);
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(path);
        if (readOnly) db_.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    }
    ~TConnection() {
        db_.close();
        db_ = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase& db() { return db_; }

private:
    QString name_;
    QSqlDatabase db_;
};

void SetError(QString* error, const QString& text) {
    if (error) *error = text;
}

const QStringList kColumns = {
    QStringLiteral("id"),       QStringLiteral("device"),        QStringLiteral("command"),
    QStringLiteral("group"),    QStringLiteral("group_caption"), QStringLiteral("caption"),
    QStringLiteral("register"), QStringLiteral("type"),          QStringLiteral("min"),
    QStringLiteral("max"),      QStringLiteral("decimal"),       QStringLiteral("readonly"),
    QStringLiteral("hint"),     QStringLiteral("default"),       QStringLiteral("combo"),
    QStringLiteral("writecmd")};

const QStringList kTypes = {QStringLiteral("integer"), QStringLiteral("signedint"),
                            QStringLiteral("long"),    QStringLiteral("double"),
                            QStringLiteral("string"),  QStringLiteral("stringswap"),
                            QStringLiteral("combo")};

std::optional<int> OptionalInt(const TQuery& q, const QString& name) {
    if (q.FieldIsNull(name)) return std::nullopt;
    return q.FieldInt(name);
}

QList<TCatalogueRow> ReadRows(const QString& dbPath, const QString& sqlText,
                              const QVariantList& params, QString* error) {
    QList<TCatalogueRow> rows;
    if (!QFileInfo(dbPath).isFile()) {
        SetError(error, QStringLiteral("Katalog veritabanı bulunamadı: %1")
                            .arg(QDir::toNativeSeparators(dbPath)));
        return rows;
    }
    TConnection connection(dbPath, true);
    if (!connection.db().open()) {
        SetError(error, connection.db().lastError().text());
        return rows;
    }
    TQuery q(QStringLiteral("rows"));
    if (!q.Open(connection.db(), sqlText, params)) {
        SetError(error, q.LastError());
        return rows;
    }
    try {
        for (q.First(); !q.Eof(); q.Next()) {
            TCatalogueRow r;
            r.id = q.FieldInt(QStringLiteral("id"));
            r.device = q.FieldText(QStringLiteral("device"));
            r.command = q.FieldInt(QStringLiteral("command"));
            r.group = q.FieldInt(QStringLiteral("group"));
            r.groupCaption = q.FieldText(QStringLiteral("group_caption"));
            r.groupCaptionNull = q.FieldIsNull(QStringLiteral("group_caption"));
            r.caption = DecryptField(q.FieldText(QStringLiteral("caption")), CaptionKey(r.id));
            const QString reg =
                DecryptField(q.FieldText(QStringLiteral("register")), RegisterKey(r.id));
            if (!TryStrToInt(reg, &r.registerNo))
                throw EConvertError(QStringLiteral("id %1: register '%2' is not a whole number")
                                        .arg(r.id)
                                        .arg(reg));
            r.type = q.FieldText(QStringLiteral("type"));
            r.min = q.FieldInt(QStringLiteral("min"));
            r.max = q.FieldInt(QStringLiteral("max"));
            r.decimal = q.FieldInt(QStringLiteral("decimal"));
            r.readonly = OptionalInt(q, QStringLiteral("readonly"));
            r.hint = q.FieldText(QStringLiteral("hint"));
            r.defaultValue = q.FieldText(QStringLiteral("default"));
            r.combo = q.FieldText(QStringLiteral("combo"));
            r.writecmd = OptionalInt(q, QStringLiteral("writecmd"));
            rows << r;
        }
    } catch (const Error& e) {
        SetError(error, e.text());
        return {};
    }
    return rows;
}

// RFC 4180 records of a CSV text.
QList<QStringList> ParseCsv(const QString& text, QList<int>* lineNumbers, QString* error) {
    QList<QStringList> records;
    QStringList record;
    QString field;
    bool quoted = false, fieldStarted = false;
    int line = 1, recordLine = 1;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"') {
                if (i + 1 < n && text[i + 1] == u'"') {
                    field += u'"';
                    ++i;
                } else
                    quoted = false;
            } else {
                if (c == u'\n') ++line;
                field += c;
            }
            continue;
        }
        if (c == u'"' && !fieldStarted) {
            quoted = true;
            fieldStarted = true;
        } else if (c == u',') {
            record << field;
            field.clear();
            fieldStarted = false;
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ++i;
            record << field;
            records << record;
            lineNumbers->append(recordLine);
            record.clear();
            field.clear();
            fieldStarted = false;
            recordLine = ++line;
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted) {
        SetError(error, QStringLiteral("satır %1: kapanmayan tırnak").arg(recordLine));
        return {};
    }
    if (fieldStarted || !record.isEmpty()) {
        record << field;
        records << record;
        lineNumbers->append(recordLine);
    }
    return records;
}

bool IsBlank(const QStringList& record) {
    for (const QString& f : record)
        if (!f.trimmed().isEmpty()) return false;
    return true;
}

} // namespace

int TCatalogueRow::RegisterCount() const {
    return kolva::RegisterCount(type, max);
}

QStringList CsvColumns() {
    return kColumns;
}

QList<TCatalogueRow> ReadModelRows(const QString& dbPath, const QString& model, QString* error) {
    return ReadRows(dbPath,
                    QStringLiteral("SELECT * FROM settings WHERE device=? ORDER BY \"group\", id"),
                    {model}, error);
}

QList<TCatalogueRow> ReadAllRows(const QString& dbPath, QString* error) {
    return ReadRows(dbPath, QStringLiteral("SELECT * FROM settings ORDER BY device, \"group\", id"),
                    {}, error);
}

QStringList ReadModels(const QString& dbPath, QString* error) {
    QStringList models;
    if (!QFileInfo(dbPath).isFile()) {
        SetError(error, QStringLiteral("Katalog veritabanı bulunamadı: %1")
                            .arg(QDir::toNativeSeparators(dbPath)));
        return models;
    }
    TConnection connection(dbPath, true);
    TQuery q(QStringLiteral("models"));
    if (!connection.db().open() || !q.Open(connection.db(), sql::ModelList().sql)) {
        SetError(error,
                 q.LastError().isEmpty() ? connection.db().lastError().text() : q.LastError());
        return models;
    }
    for (q.First(); !q.Eof(); q.Next())
        models << q.FieldText(0);
    return models;
}

bool BuildCatalogue(const QByteArray& csv, const QString& outPath, const QString& password,
                    bool withWritecmd, QString* error) {
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QByteArrayView bytes(csv);
    if (bytes.startsWith("\xEF\xBB\xBF")) bytes = bytes.sliced(3);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError()) {
        SetError(error, QStringLiteral("kaynak UTF-8 değil"));
        return false;
    }
    QList<int> lineNo;
    const QList<QStringList> records = ParseCsv(text, &lineNo, error);
    if (records.isEmpty()) {
        if (error && error->isEmpty()) *error = QStringLiteral("kaynak boş");
        return false;
    }

    // Header: the first row that is neither blank nor a comment.
    QHash<QString, int> columnOf;
    qsizetype r = 0;
    for (; r < records.size(); ++r)
        if (!IsBlank(records[r]) && !records[r].first().trimmed().startsWith(u'#')) break;
    if (r == records.size()) {
        SetError(error, QStringLiteral("başlık satırı yok"));
        return false;
    }
    for (int c = 0; c < records[r].size(); ++c) {
        const QString name = records[r][c].trimmed().toLower();
        if (!kColumns.contains(name)) {
            SetError(error,
                     QStringLiteral("satır %1: bilinmeyen sütun '%2'").arg(lineNo[r]).arg(name));
            return false;
        }
        columnOf.insert(name, c);
    }
    for (const char* required : {"id", "device", "command", "group", "caption", "register", "type"})
        if (!columnOf.contains(QLatin1String(required))) {
            SetError(error, QStringLiteral("sütun eksik: %1").arg(QLatin1String(required)));
            return false;
        }
    if (!withWritecmd) columnOf.remove(QStringLiteral("writecmd"));

    struct Span {
        int first, last;
        qint64 id;
    };
    std::map<QString, QList<Span>> spans;
    QMap<qint64, int> ids;
    QList<QVariantList> values; // per row, in kColumns order (writecmd last)
    for (++r; r < records.size(); ++r) {
        const QStringList& rec = records[r];
        if (IsBlank(rec) || rec.first().trimmed().startsWith(u'#')) continue;
        const int line = lineNo[r];
        auto cell = [&](const QString& name) -> QString {
            const int c = columnOf.value(name, -1);
            return c >= 0 && c < rec.size() ? rec[c] : QString();
        };
        auto fail = [&](const QString& why) {
            SetError(error, QStringLiteral("satır %1: %2").arg(line).arg(why));
            return false;
        };
        QVariantList row;
        int intValue[16] = {};
        for (int c = 0; c < kColumns.size(); ++c) {
            const QString& name = kColumns[c];
            if (name == QLatin1String("writecmd") && !withWritecmd) break;
            const QString v = cell(name);
            static const QStringList numeric = {"id",  "command", "group",    "min",
                                                "max", "decimal", "readonly", "writecmd"};
            if (numeric.contains(name)) {
                if (v.trimmed().isEmpty()) {
                    row << QVariant();
                    continue;
                }
                int n = 0;
                if (!TryStrToInt(v, &n))
                    return fail(QStringLiteral("'%1' sütunu tamsayı değil: '%2'").arg(name, v));
                intValue[c] = n;
                row << n;
            } else {
                row << (v.isEmpty() ? QVariant() : QVariant(v));
            }
        }
        const QString device = cell(QStringLiteral("device")).trimmed();
        if (device.isEmpty()) return fail(QStringLiteral("device boş"));
        if (row[0].isNull()) return fail(QStringLiteral("id boş"));
        const qint64 id = intValue[0];
        if (ids.contains(id))
            return fail(QStringLiteral("id %1 satır %2'de de var").arg(id).arg(ids[id]));
        ids.insert(id, line);
        const int command = intValue[2];
        if (row[2].isNull() || (command != 0 && command != 1))
            return fail(QStringLiteral("command 0 ya da 1 olmalı"));
        if (row[3].isNull()) return fail(QStringLiteral("group boş"));
        int reg = 0;
        if (!TryStrToInt(cell(QStringLiteral("register")), &reg) || reg < 1 || reg > 65536)
            return fail(QStringLiteral("register 1..65536 arası bir tamsayı olmalı"));
        const QString type = cell(QStringLiteral("type"));
        const int max = intValue[9];
        if (command == 0) {
            if (!kTypes.contains(type))
                return fail(QStringLiteral("bilinmeyen tip '%1'").arg(type));
            if ((type == QLatin1String("string") || type == QLatin1String("stringswap")) &&
                max <= 0)
                return fail(QStringLiteral("metin ayarının max değeri 0'dan büyük olmalı"));
            if (type == QLatin1String("combo") && cell(QStringLiteral("combo")).trimmed().isEmpty())
                return fail(QStringLiteral("combo ayarının seçenek listesi boş"));
            const int last = reg + RegisterCount(type, max) - 1;
            const int store = SaveCommandFor(device).reg;
            if (store >= reg && store <= last)
                return fail(
                    QStringLiteral(
                        "register %1..%2 modelin kaydetme komutu registerı %3 ile çakışıyor")
                        .arg(reg)
                        .arg(last)
                        .arg(store));
            for (const Span& s : spans[device])
                if (reg <= s.last && s.first <= last)
                    return fail(
                        QStringLiteral(
                            "register %1..%2, id %3 ayarının %4..%5 registerlarıyla çakışıyor")
                            .arg(reg)
                            .arg(last)
                            .arg(s.id)
                            .arg(s.first)
                            .arg(s.last));
            spans[device].append({reg, last, id});
        }
        // Encipher the two secret columns.
        row[5] = row[5].isNull() ? QVariant()
                                 : QVariant(EncryptField(row[5].toString(), CaptionKey(id)));
        row[6] = QVariant(EncryptField(QString::number(reg), RegisterKey(id)));
        values << row;
    }

    // Build beside the target, then put it in place.
    const QString tmpPath = outPath + QStringLiteral(".building");
    QFile::remove(tmpPath);
    {
        TConnection connection(tmpPath, false);
        QSqlDatabase& db = connection.db();
        auto sqlFail = [&](const QSqlQuery& q) {
            SetError(error, q.lastError().text());
            return false;
        };
        if (!db.open()) {
            SetError(error, db.lastError().text());
            return false;
        }
        QSqlQuery q(db);
        // A scratch file until it is renamed into place: no journal, no syncs.
        q.exec(QStringLiteral("PRAGMA journal_mode=OFF"));
        q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
        if (!q.exec(sql::CreateSettingsTable(withWritecmd)) || !q.exec(sql::CreateInfoTable()))
            return sqlFail(q);
        q.prepare(QStringLiteral("INSERT INTO catalogue_info (password) VALUES (?)"));
        q.addBindValue(password);
        if (!q.exec()) return sqlFail(q);
        db.transaction();
        QStringList names;
        for (const QString& c : kColumns)
            if (c != QLatin1String("writecmd") || withWritecmd) names << u'"' + c + u'"';
        QStringList marks;
        for (int i = 0; i < names.size(); ++i)
            marks << QStringLiteral("?");
        if (!q.prepare(QStringLiteral("INSERT INTO settings (%1) VALUES (%2)")
                           .arg(names.join(u','), marks.join(u','))))
            return sqlFail(q);
        for (const QVariantList& row : values) {
            for (const QVariant& v : row)
                q.addBindValue(v);
            if (!q.exec()) {
                db.rollback();
                return sqlFail(q);
            }
        }
        if (!db.commit()) {
            SetError(error, db.lastError().text());
            return false;
        }
    }
    QFile::remove(outPath);
    if (!QFile::rename(tmpPath, outPath)) {
        SetError(error, QStringLiteral("%1 yazılamadı").arg(QDir::toNativeSeparators(outPath)));
        QFile::remove(tmpPath);
        return false;
    }
    return true;
}

QByteArray GenerateBenchCsv(int n) {
    QString out = kColumns.join(u',') + QStringLiteral("\r\n");
    const QString model = QStringLiteral("BENCH-%1").arg(n);
    int reg = 100;
    const qint64 firstId = 1000000;
    for (int i = 0; i < n; ++i) {
        const QString type = kTypes[i % kTypes.size()];
        const int group = i / 25 + 1;
        const QString groupCaption = group % 7 == 0 ? QStringLiteral("Alarm Grubu %1").arg(group)
                                                    : QStringLiteral("Grup %1").arg(group);
        int min = 0, max = 65535, decimal = 0;
        QString def = QStringLiteral("0"), combo;
        if (type == QLatin1String("signedint")) min = -32768, max = 32767;
        if (type == QLatin1String("long")) max = 1000000;
        if (type == QLatin1String("double")) max = 10000, decimal = 2, def = QStringLiteral("1");
        if (type == QLatin1String("string") || type == QLatin1String("stringswap"))
            min = 0, max = 8, def = QStringLiteral("ABC");
        if (type == QLatin1String("combo"))
            min = 0, max = 2, combo = QStringLiteral("0:Kapalı;1:Açık;2:Otomatik");
        const int span = RegisterCount(type, max);
        if (reg <= 65001 && reg + span - 1 >= 65001) reg = 65002;
        out += QStringLiteral("%1,%2,0,%3,%4,Ayar %5,%6,%7,%8,%9,%10,0,Ölçüm ayarı %5,%11,%12,\r\n")
                   .arg(firstId + i)
                   .arg(model)
                   .arg(group)
                   .arg(groupCaption)
                   .arg(i + 1)
                   .arg(reg)
                   .arg(type)
                   .arg(min)
                   .arg(max)
                   .arg(decimal)
                   .arg(def)
                   .arg(combo);
        reg += span;
    }
    return out.toUtf8();
}

} // namespace kolva

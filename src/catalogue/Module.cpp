#include "Module.h"

#include "config/Convert.h"
#include "config/Host.h"
#include "config/Ini.h"
#include "config/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <atomic>

namespace kolva {

namespace {

Tfm* g_fm = nullptr;
std::atomic<int> g_connections{0};

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

Tfm::Tfm(Host* host_) : host(host_) {
    connection_ = QStringLiteral("kolva_catalogue_%1").arg(++g_connections);
    if (!g_fm) g_fm = this;
}

Tfm::~Tfm() {
    Close();
    db_ = QSqlDatabase();
    if (QSqlDatabase::contains(connection_)) QSqlDatabase::removeDatabase(connection_);
    if (g_fm == this) g_fm = nullptr;
}

void Tfm::Close() {
    L.Close();
    t.Close();
    t4.Close();
    Q.Close();
    if (db_.isValid()) db_.close();
    path_.clear();
    readOnly_ = false;
}

bool Tfm::Connected() const {
    return db_.isValid() && db_.isOpen();
}

bool Tfm::HasWritecmd() const {
    return Connected() &&
           db_.record(QStringLiteral("settings")).contains(QStringLiteral("writecmd"));
}

void Tfm::DBBaglan(const QString& path, bool readOnly) {
    Close();
    const QString password =
        IniRead(QStringLiteral("DB"), QStringLiteral("sifre"), QString(), paths::PasswordFile());
    const QFileInfo info(path);
    if (!info.isFile())
        throw Error(QStringLiteral("Katalog veritabanı bulunamadı: %1").arg(Native(path)));
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        throw Error(QStringLiteral("SQLite veritabanı sürücüsü bulunamadı"));
    if (!db_.isValid()) db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);

    const bool ro = readOnly || !info.isWritable();
    db_.setDatabaseName(info.absoluteFilePath());
    db_.setConnectOptions(ro ? QStringLiteral("QSQLITE_OPEN_READONLY") : QString());
    if (!db_.open())
        throw Error(QStringLiteral("Katalog veritabanı açılamadı: %1\r%2")
                        .arg(Native(path), db_.lastError().text()));

    auto fail = [&](const QString& text) {
        db_.close();
        throw Error(text);
    };
    {
        QSqlQuery check(db_);
        if (!check.exec(QStringLiteral("SELECT COUNT(*) FROM settings")))
            fail(QStringLiteral("Geçerli bir katalog veritabanı değil: %1\r%2")
                     .arg(Native(path), check.lastError().databaseText()));
    }
    QString stored;
    if (db_.tables().contains(QStringLiteral("catalogue_info"))) {
        QSqlQuery q(db_);
        if (!q.exec(QStringLiteral("SELECT password FROM catalogue_info")))
            fail(QStringLiteral("Geçerli bir katalog veritabanı değil: %1\r%2")
                     .arg(Native(path), q.lastError().databaseText()));
        if (q.next()) stored = VariantText(q.value(0));
    }
    if (stored != password)
        fail(QStringLiteral("Geçersiz veritabanı şifresi: %1").arg(Native(path)));
    path_ = info.absoluteFilePath();
    readOnly_ = ro;
}

Tfm& fm() {
    if (!g_fm) throw Error(QStringLiteral("Veri modülü oluşturulmadı"));
    return *g_fm;
}

bool HasFm() {
    return g_fm != nullptr;
}

QString SqlErrorText(const TQuery& query) {
    return query.SqlLines() + u'\r' + query.LastError();
}

namespace {

void Report(Tfm& m, const TQuery& query) {
    if (m.ShowSqlErrors && m.host) m.host->ShowMessage(SqlErrorText(query));
}

} // namespace

bool OpenQuery(TQuery& query, const QString& sql, const QVariantList& params) {
    Tfm& m = fm();
    if (!query.Open(m.DB(), sql, params)) {
        Report(m, query);
        return false;
    }
    return query.RecordCount() > 0;
}

bool OpenL(const QString& sql, const QVariantList& params) {
    return OpenQuery(fm().L, sql, params);
}
bool OpenT(const QString& sql, const QVariantList& params) {
    return OpenQuery(fm().t, sql, params);
}
bool OpenT4(const QString& sql, const QVariantList& params) {
    return OpenQuery(fm().t4, sql, params);
}
bool OpenL(const TSqlText& sql) {
    return OpenL(sql.sql, sql.params);
}
bool OpenT(const TSqlText& sql) {
    return OpenT(sql.sql, sql.params);
}
bool OpenT4(const TSqlText& sql) {
    return OpenT4(sql.sql, sql.params);
}

int SelectInt(const QString& sql, const QVariantList& params) {
    if (!OpenL(sql, params)) return 0;
    return fm().L.FieldInt(0);
}

QString SelectText(const QString& sql, const QVariantList& params) {
    if (!OpenL(sql, params)) return QString();
    return fm().L.FieldText(0);
}

int SelectInt(const TSqlText& sql) {
    return SelectInt(sql.sql, sql.params);
}
QString SelectText(const TSqlText& sql) {
    return SelectText(sql.sql, sql.params);
}

bool ExecSQL(const QString& sql, const QVariantList& params) {
    Tfm& m = fm();
    if (!m.Q.Exec(m.DB(), sql, params)) {
        Report(m, m.Q);
        return false;
    }
    return true;
}

bool ExecSQL(const TSqlText& sql) {
    return ExecSQL(sql.sql, sql.params);
}

bool MigrateCatalogue() {
    Tfm& m = fm();
    m.ShowSqlErrors = false;
    const bool added = ExecSQL(sql::AddWritecmd());
    m.ShowSqlErrors = true;
    return added;
}

QStringList ModelList() {
    QStringList models;
    if (!OpenT(sql::ModelList())) return models;
    TQuery& t = fm().t;
    for (t.First(); !t.Eof(); t.Next())
        models << t.FieldText(QStringLiteral("device"));
    return models;
}

bool IsFloat(const QString& text) {
    if (text.isEmpty()) return false;
    return TryStrToFloat(text, nullptr);
}

bool Confirm(const QString& message) {
    if (!HasFm() || !fm().host) return false;
    return fm().host->Confirm(message);
}

QString ExtractBetween(const QString& text, const QString& startMarker, const QString& endMarker) {
    qsizetype begin = 0;
    if (!startMarker.isEmpty()) {
        const qsizetype at = text.indexOf(startMarker);
        if (at < 0) return QString();
        begin = at + startMarker.size();
    }
    const QString rest = text.mid(begin);
    if (endMarker.isEmpty()) return rest;
    const qsizetype end = rest.indexOf(endMarker);
    if (end < 0) return QString();
    return rest.left(end);
}

void SplitList(QChar delimiter, const QString& text, QStringList& list) {
    QString s = text;
    s.remove(u'<');
    s.remove(u'>');
    qsizetype a = 0, b = s.size();
    while (a < b && s[a].unicode() <= 32)
        ++a;
    while (b > a && s[b - 1].unicode() <= 32)
        --b;
    s = s.mid(a, b - a);
    list.clear();
    if (s.isEmpty()) return;
    qsizetype i = 0;
    for (;;) {
        QString piece;
        if (i < s.size() && s[i] == u'"') {
            ++i;
            while (i < s.size()) {
                if (s[i] == u'"') {
                    if (i + 1 < s.size() && s[i + 1] == u'"') {
                        piece += u'"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                piece += s[i++];
            }
        }
        while (i < s.size() && s[i] != delimiter)
            piece += s[i++];
        list << piece;
        if (i >= s.size()) break;
        ++i; // past the delimiter; a delimiter at the very end adds an empty last piece
        if (i == s.size()) {
            list << QString();
            break;
        }
    }
}

} // namespace kolva

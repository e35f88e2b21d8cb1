#include "Paths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kolva::paths {

namespace {

QString& DataDirOverride() {
    static QString value;
    return value;
}
QString& CatalogueOverride() {
    static QString value;
    return value;
}
QString& ExecutableOverride() {
    static QString value;
    return value;
}

QString ExecutablePath() {
    if (!ExecutableOverride().isEmpty()) return QFileInfo(ExecutableOverride()).absoluteFilePath();
    if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
    return QDir::current().absoluteFilePath(QStringLiteral("kolva-ayar"));
}

bool WritableDir(const QString& dir) {
    const QFileInfo info(dir);
    return info.isDir() && info.isWritable();
}

QString InstalledCatalogue(const QDir& program) {
    return QDir::cleanPath(program.filePath(QStringLiteral("../share/kolva-ayar/db.sqlite")));
}

// An installed program (its catalogue in ../share/kolva-ayar, none beside it) keeps its files
// in the user's folder even when it runs with the right to write into the program folder.
bool Installed(const QDir& program) {
    return !QFileInfo::exists(program.filePath(QStringLiteral("db.sqlite"))) &&
           QFileInfo::exists(InstalledCatalogue(program));
}

} // namespace

QString ProgramDir() {
    return QFileInfo(ExecutablePath()).absolutePath();
}

QString UserConfigDir() {
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty()) base = QDir::homePath();
    return QDir(base).filePath(QStringLiteral("kolva-ayar"));
}

QString DataDir() {
    if (!DataDirOverride().isEmpty()) return DataDirOverride();
    const QString program = ProgramDir();
    if (WritableDir(program) && !Installed(QDir(program))) return program;
    const QString user = UserConfigDir();
    QDir().mkpath(user);
    return user;
}

QString ConfigFile() {
    // Only the file name's own extension is replaced; dots in folder names do not matter.
    QString name = QFileInfo(ExecutablePath()).fileName();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot > 0) name.truncate(dot);
    return QDir(DataDir()).filePath(name + QStringLiteral(".ini"));
}

QString PasswordFile() {
    return QDir(DataDir()).filePath(QStringLiteral("DB"));
}

QString LogTxtFile() {
    return QDir(DataDir()).filePath(QStringLiteral("Log.TXT"));
}

QString CatalogueFile() {
    if (!CatalogueOverride().isEmpty()) return CatalogueOverride();
    const QDir program(ProgramDir());
    const QString beside = program.filePath(QStringLiteral("db.sqlite"));
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = InstalledCatalogue(program);
    if (QFileInfo::exists(installed)) return installed;
    return beside;
}

void SetDataDirOverride(const QString& dir) {
    DataDirOverride() = dir;
}
void SetCatalogueOverride(const QString& file) {
    CatalogueOverride() = file;
}
void SetExecutableOverride(const QString& file) {
    ExecutableOverride() = file;
}

} // namespace kolva::paths

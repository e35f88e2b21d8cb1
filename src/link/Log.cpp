#include "Log.h"

#include "config/Text.h"

#include <QSaveFile>

namespace kolva {

TLog::TLog(QObject* parent) : QObject(parent), clock_([] { return QTime::currentTime(); }) {}

QString TLog::LevelLabel(quint8 level) {
    switch (level) {
    case lvWARNING:
        return QStringLiteral("WARNING");
    case lvERROR:
        return QStringLiteral("ERROR");
    case lvSYSTEM:
        return QStringLiteral("SYSTEM");
    default:
        return QStringLiteral("NORMAL");
    }
}

QString TLog::FormatLine(const QTime& time, const QString& tag, const QString& message,
                         quint8 level) {
    return time.toString(QStringLiteral("hh:mm:ss")) + QLatin1Char(' ') +
           LevelLabel(level).leftJustified(12) + tag.leftJustified(18) + message;
}

void TLog::Log(const QString& tag, const QString& message, quint8 level) {
    if (!chLog) return;
    if (lines_.size() > MaxLines) {
        lines_.clear();
        Q_EMIT Cleared();
    }
    if (level == lvSYSTEM && !chLogAll) return;
    QString line = FormatLine(clock_(), tag, message, level);
    lines_.append(line);
    Q_EMIT LineAdded(line);
}

void TLog::Bilgi(const QString& message) {
    status_ = message;
    Q_EMIT StatusChanged(message);
    Log(QStringLiteral("BILGI"), message, lvNORMAL);
}

void TLog::Clear() {
    lines_.clear();
    Q_EMIT Cleared();
}

bool TLog::SaveToFile(const QString& path, QString* error) const {
    QByteArray bytes;
    for (const QString& line : lines_) {
        bytes += ToCp1254(line);
        bytes += "\r\n";
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error) *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace kolva

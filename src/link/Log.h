#pragma once
// The communication log: time-stamped lines shown on the Terminal page, and the
// latest status message shown in the status bar.

#include <QObject>
#include <QStringList>
#include <QTime>

#include <functional>

namespace kolva {

class TLog : public QObject {
    Q_OBJECT
public:
    enum : quint8 { lvNORMAL = 0, lvWARNING = 1, lvERROR = 2, lvSYSTEM = 3 };
    static constexpr int MaxLines = 10000;

    explicit TLog(QObject* parent = nullptr);

    // "Log Görüntüle": logging as a whole. "Temel haberlesme Log'larini göster": level-3 lines.
    bool chLog = true;
    bool chLogAll = false;

    void Log(const QString& tag, const QString& message, quint8 level);
    void Bilgi(const QString& message);

    const QStringList& Lines() const { return lines_; }
    QString StatusText() const { return status_; }
    void Clear(); // "Temizle"

    // All lines, each ended by CR LF, in Windows-1254. False (and `error`) when the file
    // cannot be written; the log is unchanged either way.
    bool SaveToFile(const QString& path, QString* error = nullptr) const;

    static QString LevelLabel(quint8 level);
    static QString FormatLine(const QTime& time, const QString& tag, const QString& message,
                              quint8 level);

    // The clock used for the time stamps (tests fix it).
    void SetClock(std::function<QTime()> clock) { clock_ = std::move(clock); }

Q_SIGNALS:
    void LineAdded(const QString& line);
    void Cleared();
    void StatusChanged(const QString& text);

private:
    QStringList lines_;
    QString status_;
    std::function<QTime()> clock_;
};

} // namespace kolva

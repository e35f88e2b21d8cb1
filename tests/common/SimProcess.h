#pragma once
// Runs kolva-sim (a simulated device on a pseudo-terminal) for a test.
//
//   kolva::test::SimProcess sim;
//   QVERIFY2(sim.start({"--map", mapFile}), qPrintable(sim.errorString()));
//   ... open sim.ptyPath() as the serial port ...
//   QCOMPARE(sim.journalLines(), QStringList{"6 10 500"});
//   QCOMPARE(sim.dumpRegisters().value(10), quint16(500));
//
// Every wait is bounded; the destructor stops the process.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>

namespace kolva::test {

class SimProcess {
public:
    SimProcess() = default;
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;
    ~SimProcess() { stop(); }

    // Path of the kolva-sim executable: $KOLVA_BIN_DIR, else beside the test executable.
    static QString program() {
        QString dir = qEnvironmentVariable("KOLVA_BIN_DIR");
        if (dir.isEmpty()) dir = QCoreApplication::applicationDirPath();
        return QDir(dir).filePath(QStringLiteral("kolva-sim"));
    }

    // Starts kolva-sim with `args` and waits (at most timeoutMs) for its "PTY <path>" line.
    // Unless `args` name their own, a journal and a dump file in a private temporary folder are
    // added. False (see errorString()) when the program did not start or exited early.
    bool start(const QStringList& args = {}, int timeoutMs = 5000) {
        stop();
        error_.clear();
        pty_.clear();
        stdout_.clear();
        dir_ = std::make_unique<QTemporaryDir>();
        if (!dir_->isValid()) return fail(QStringLiteral("no temporary folder"));
        args_ = args;
        QStringList own;
        journal_ = option(QStringLiteral("--journal"));
        if (journal_.isEmpty()) {
            journal_ = dir_->filePath(QStringLiteral("journal.txt"));
            own << QStringLiteral("--journal") << journal_;
        }
        dump_ = option(QStringLiteral("--dump"));
        if (dump_.isEmpty()) {
            dump_ = dir_->filePath(QStringLiteral("dump.txt"));
            own << QStringLiteral("--dump") << dump_;
        }
        args_ = own + args_;
        proc_ = std::make_unique<QProcess>();
        proc_->setProgram(program());
        proc_->setArguments(args_);
        // Standard error goes to a file: whatever the simulator reported before its PTY line
        // is there once the line has arrived.
        stderrFile_ = dir_->filePath(QStringLiteral("stderr.txt"));
        proc_->setStandardErrorFile(stderrFile_);
        proc_->start();
        if (!proc_->waitForStarted(timeoutMs))
            return fail(QStringLiteral("kolva-sim did not start: ") + proc_->errorString());
        const QDeadlineTimer deadline(timeoutMs);
        while (!stdout_.contains('\n')) {
            if (proc_->state() == QProcess::NotRunning || deadline.hasExpired()) break;
            proc_->waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
            stdout_ += proc_->readAllStandardOutput();
        }
        const int nl = stdout_.indexOf('\n');
        const QByteArray line = nl >= 0 ? stdout_.left(nl).trimmed() : QByteArray();
        if (!line.startsWith("PTY ")) {
            const QString why =
                proc_->state() == QProcess::NotRunning
                    ? QStringLiteral("kolva-sim exited (code %1): ").arg(proc_->exitCode())
                    : QStringLiteral("no PTY line from kolva-sim in time: ");
            kill();
            return fail(why + stderrText().trimmed());
        }
        pty_ = QString::fromLocal8Bit(line.mid(4));
        return true;
    }

    QString ptyPath() const { return pty_; }
    QString errorString() const { return error_; }
    QStringList arguments() const { return args_; }
    QString tempDir() const { return dir_ ? dir_->path() : QString(); }
    QString journalPath() const { return journal_; }
    QString dumpPath() const { return dump_; }
    bool isRunning() const { return proc_ && proc_->state() != QProcess::NotRunning; }
    qint64 pid() const { return proc_ ? proc_->processId() : 0; }

    // Lines of the write journal so far (empty lines left out).
    QStringList journalLines() const {
        QFile f(journal_);
        if (journal_.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
        QStringList lines;
        for (const QByteArray& l : f.readAll().split('\n'))
            if (!l.trimmed().isEmpty()) lines << QString::fromLatin1(l.trimmed());
        return lines;
    }

    // The registers the device holds now (non-zero ones), through --dump and SIGUSR1.
    // Empty map when the dump did not appear within timeoutMs.
    QMap<int, quint16> dumpRegisters(int timeoutMs = 5000) {
        if (!isRunning() || dump_.isEmpty()) return {};
        QFile::remove(dump_);
        ::kill(static_cast<pid_t>(proc_->processId()), SIGUSR1);
        const QDeadlineTimer deadline(timeoutMs);
        while (!QFileInfo::exists(dump_) && !deadline.hasExpired() && isRunning())
            QThread::msleep(5);
        return readRegisterFile(dump_);
    }

    // Reads a file in the register-file format ("REGISTER VALUE" lines, '#' comments).
    static QMap<int, quint16> readRegisterFile(const QString& path) {
        QMap<int, quint16> regs;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly)) return regs;
        for (QByteArray line : f.readAll().split('\n')) {
            const int hash = line.indexOf('#');
            if (hash >= 0) line.truncate(hash);
            const QList<QByteArray> parts = line.simplified().split(' ');
            if (parts.size() != 2) continue;
            bool ok1 = false;
            bool ok2 = false;
            const int reg = parts[0].toInt(&ok1, 0);
            const uint value = parts[1].toUInt(&ok2, 0);
            if (ok1 && ok2) regs.insert(reg, static_cast<quint16>(value));
        }
        return regs;
    }

    // SIGKILL: the pty disappears at once, like a serial adapter pulled out.
    void kill() {
        if (!proc_) return;
        if (proc_->state() != QProcess::NotRunning) {
            proc_->kill();
            proc_->waitForFinished(5000);
        }
    }

    // SIGTERM and wait (bounded); SIGKILL when it does not end in time. True on a clean exit 0.
    bool stop(int timeoutMs = 5000) {
        if (!proc_) return false;
        if (proc_->state() != QProcess::NotRunning) {
            proc_->terminate();
            if (!proc_->waitForFinished(timeoutMs)) {
                kill();
                return false;
            }
        }
        return proc_->exitStatus() == QProcess::NormalExit && proc_->exitCode() == 0;
    }

    int exitCode() const { return proc_ ? proc_->exitCode() : -1; }
    QProcess::ExitStatus exitStatus() const {
        return proc_ ? proc_->exitStatus() : QProcess::CrashExit;
    }
    // Everything the simulator wrote to standard error so far.
    QString stderrText() const {
        QFile f(stderrFile_);
        if (stderrFile_.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
        return QString::fromLocal8Bit(f.readAll());
    }

private:
    bool fail(const QString& why) {
        error_ = why;
        return false;
    }
    QString option(const QString& name) const {
        const int i = args_.indexOf(name);
        return i >= 0 && i + 1 < args_.size() ? args_[i + 1] : QString();
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<QProcess> proc_;
    QStringList args_;
    QString pty_;
    QString journal_;
    QString dump_;
    QString error_;
    QString stderrFile_;
    QByteArray stdout_;
};

} // namespace kolva::test

#pragma once
// The far end of a pseudo-terminal pair, driven by the test: the port under test opens the
// slave side by its path; the peer reads the requests from the master side and writes
// scripted replies back, piece by piece, each piece after its own delay.

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <fcntl.h>
#include <functional>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace kolva::test {

class PtyPeer : public QObject {
public:
    struct Piece {
        int delayMs = 0; // after the request (or after the previous piece)
        QByteArray bytes;
    };
    // The reply to the index-th request (0-based); an empty list means no reply.
    using Script = std::function<QList<Piece>(int index, const QByteArray& request)>;

    PtyPeer() {
        int slave = -1;
        char name[256] = {};
        termios raw{};
        cfmakeraw(&raw);
        if (openpty(&master_, &slave, name, &raw, nullptr) != 0) return;
        // Keep one slave descriptor open, so that the master never sees a hang-up while the
        // port under test is closed.
        slave_ = slave;
        path_ = QString::fromLocal8Bit(name);
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        notifier_ = new QSocketNotifier(master_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { ReadMaster(); });
    }
    ~PtyPeer() override { Hangup(); }

    bool IsValid() const { return master_ >= 0; }
    QString Path() const { return path_; }

    Script script;
    // Frames received so far (split by Modbus request length) and all raw bytes.
    QList<QByteArray> requests;
    QByteArray received;

    void Write(const QByteArray& bytes) {
        if (master_ >= 0 && !bytes.isEmpty())
            (void)::write(master_, bytes.constData(), bytes.size());
    }

    // Closes both ends held here: the port under test sees its device vanish.
    void Hangup() {
        if (notifier_) {
            notifier_->setEnabled(false);
            delete notifier_;
            notifier_ = nullptr;
        }
        if (slave_ >= 0) ::close(slave_);
        if (master_ >= 0) ::close(master_);
        slave_ = master_ = -1;
    }

    // Processes events until `done` holds or `ms` have passed.
    static bool WaitFor(const std::function<bool()>& done, int ms = 3000) {
        QDeadlineTimer deadline(ms);
        while (!done()) {
            if (deadline.hasExpired()) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents,
                                            20);
        }
        return true;
    }

private:
    void ReadMaster() {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            received.append(buffer, n);
            pending_.append(buffer, n);
        }
        // Modbus requests: 8 bytes for 03/06, 9 + byte count for 16.
        while (pending_.size() >= 8) {
            qsizetype length = 8;
            if (quint8(pending_.at(1)) == 16) length = 9 + quint8(pending_.at(6));
            if (pending_.size() < length) break;
            const QByteArray request = pending_.left(length);
            pending_.remove(0, length);
            const int index = int(requests.size());
            requests.append(request);
            if (script) Schedule(script(index, request));
        }
    }

    void Schedule(const QList<Piece>& pieces) {
        int at = 0;
        for (const Piece& piece : pieces) {
            at += piece.delayMs;
            if (at == 0) {
                Write(piece.bytes);
                continue;
            }
            const QByteArray bytes = piece.bytes;
            QTimer::singleShot(at, Qt::PreciseTimer, this, [this, bytes] { Write(bytes); });
        }
    }

    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QSocketNotifier* notifier_ = nullptr;
    QByteArray pending_;
};

} // namespace kolva::test

#include "Link.h"

#include "config/ConfigKeys.h"
#include "config/Convert.h"
#include "config/Ini.h"

#include <QEventLoop>
#include <QTimer>

#include <chrono>
#include <memory>

namespace kolva {

namespace {
constexpr int kSends = 3;
} // namespace

TLink::TLink(TLog& log, Host& host, QObject* parent)
    : QObject(parent), CP1(new TComPort(this)), log_(log), host_(host),
      waitLoop_(new QEventLoop(this)), waitTimer_(new QTimer(this)) {
    waitTimer_->setSingleShot(true);
    waitTimer_->setTimerType(Qt::PreciseTimer);
    CP1->Port = QStringLiteral("COM1");
    CP1->Baud = 38400;
    CP1->DataBits = 8;
    CP1->Parity = ptNONE;
    CP1->StopBits = sbONE;
    CP1->WinQSizeIn = 8192;
    CP1->WinQSizeOut = 8192;
    CP1->ReceiveMode = rmRAW;
    CP1->SetTerminator(QStringLiteral("#13#10"));
    CP1->OnPortOpen = [this](TComPort* sender) { CP1PortOpen(sender); };
    CP1->OnPortClose = [this](TComPort* sender) { CP1PortClose(sender); };
    CP1->ReceiveCallBack = [this](const QByteArray& data) { CP1ReceiveCallBack(data); };
    CP1->OnError = [this](TComPort* sender) { CP1Error(sender); };
}

TLink::~TLink() {
    CP1->Close();
    CP1->OnPortOpen = nullptr;
    CP1->OnPortClose = nullptr;
    CP1->ReceiveCallBack = nullptr;
    CP1->OnError = nullptr;
    delete CP1;
    CP1 = nullptr;
}

quint32 TLink::TickCount() {
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QString TLink::OpenFailedMessage() {
    return QStringLiteral(
        "COM Port Açıklamadı. Port numarası yanlış yada başka program kullanıyor olabilir");
}

void TLink::LogError(const QString& message) {
    log_.Log(QStringLiteral("Hata"), message, TLog::lvERROR);
}

void TLink::CP1ReceiveCallBack(const QByteArray& data) {
    ReceiveBuffer.append(data);
}

void TLink::Gonder(const QByteArray& frame, int expected, QByteArray& reply) {
    reply.clear();
    if (log_.chLog) log_.Log(QStringLiteral("SEND"), Ascii2Hex(frame), TLog::lvSYSTEM);
    SendTick = TickCount();
    // Whatever is still waiting belongs to an earlier exchange.
    CP1->Discard();
    ReceiveBuffer.clear();
    CP1->Write(frame);

    // The wait: one event loop pass at a time, each blocking until something happens (bytes
    // read from the port, the time-out timer, any user-interface event). The loop and timer
    // are kept between exchanges; a wait nested inside another (an event handler that runs
    // an exchange meanwhile) gets its own.
    std::unique_ptr<QEventLoop> nestedLoop;
    std::unique_ptr<QTimer> nestedTimer;
    QEventLoop* loop = waitLoop_;
    QTimer* timer = waitTimer_;
    if (waiting_) {
        nestedLoop = std::make_unique<QEventLoop>();
        nestedTimer = std::make_unique<QTimer>();
        loop = nestedLoop.get();
        timer = nestedTimer.get();
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    const quint32 sendTick = SendTick;
    const qint32 timeoutMs = TimeoutMs;
    const auto timedOut = [sendTick, timeoutMs] {
        return timeoutMs < 0 || TickCount() - sendTick >= quint32(timeoutMs);
    };
    // Ends early only for a reply that is complete and right (or a complete exception).
    const auto complete = [&] {
        const TReplyState state = CheckReply(frame, ReceiveBuffer, expected);
        return state == TReplyState::Valid || state == TReplyState::Exception;
    };
    if (!timedOut() && !complete()) {
        const bool outer = waiting_;
        waiting_ = true;
        timer->start(int(quint32(timeoutMs) - (TickCount() - sendTick)));
        // The timer's own state also ends the wait, so a tick that lags the timer by a
        // millisecond can never leave the loop blocked with nothing left to wake it.
        while (!complete() && !timedOut() && timer->isActive())
            loop->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        timer->stop();
        waiting_ = outer;
    }

    if (log_.chLog) log_.Log(QStringLiteral("RECEIVE"), Ascii2Hex(ReceiveBuffer), TLog::lvSYSTEM);
    reply = ReceiveBuffer;
}

TLink::Outcome TLink::Exchange(const QByteArray& frame, int expected, QByteArray& reply) {
    lastException_ = 0;
    for (int send = 0; send < kSends; ++send) {
        Gonder(frame, expected, reply);
        quint8 code = 0;
        switch (CheckReply(frame, reply, expected, &code)) {
        case TReplyState::Valid:
            return Outcome::Ok;
        case TReplyState::Exception:
            lastException_ = code;
            LogError(QStringLiteral("Cihaz hata yanıtı verdi: kod %1 (%2)")
                         .arg(code)
                         .arg(ExceptionName(code)));
            return Outcome::Exception;
        default:
            break;
        }
    }
    return Outcome::Failed;
}

bool TLink::ReadRegisters(quint8 address, int firstRegister, int count, quint8 function) {
    if (!RegisterInRange(firstRegister) || count < 1 || count > kMaxReadCount) {
        LogError(QStringLiteral("İstek gönderilmedi: register %1, adet %2 geçersiz.")
                     .arg(firstRegister)
                     .arg(count));
        return false;
    }
    const QByteArray frame = BuildReadRequest(address, firstRegister, count, function);
    const int expected = 2 * count + 5;
    QByteArray reply;
    if (Exchange(frame, expected, reply) != Outcome::Ok) return false;
    RegisterData = reply.mid(3, 2 * count);
    return true;
}

bool TLink::WriteRegisters(quint8 address, int firstRegister, int count, quint8 function) {
    QByteArray frame;
    if (function == fnWriteSingle) {
        if (!RegisterInRange(firstRegister)) {
            LogError(
                QStringLiteral("İstek gönderilmedi: register %1 geçersiz.").arg(firstRegister));
            return false;
        }
        if (RegisterData.size() < 2) {
            LogError(QStringLiteral("Yazma isteği gönderilmedi: veri eksik (%1 bayt var, 2 "
                                    "gerekli).")
                         .arg(RegisterData.size()));
            return false;
        }
        frame = BuildWriteSingleRequest(address, firstRegister, RegisterData);
    } else if (function == fnWriteMultiple) {
        if (!RegisterInRange(firstRegister) || count < 1 || count > kMaxWriteCount) {
            LogError(QStringLiteral("İstek gönderilmedi: register %1, adet %2 geçersiz.")
                         .arg(firstRegister)
                         .arg(count));
            return false;
        }
        if (RegisterData.size() < 2 * count) {
            LogError(QStringLiteral("Yazma isteği gönderilmedi: veri eksik (%1 bayt var, %2 "
                                    "gerekli).")
                         .arg(RegisterData.size())
                         .arg(2 * count));
            return false;
        }
        frame = BuildWriteMultipleRequest(address, firstRegister, count, RegisterData);
    } else {
        return false;
    }
    QByteArray reply;
    return Exchange(frame, 8, reply) == Outcome::Ok;
}

void TLink::Baglan(bool open) {
    if (!open) {
        CP1->Close();
        return;
    }
    using namespace keys;
    const auto read = [](const Key& key) {
        return IniRead(key.Section(), key.Name(), key.Default());
    };
    CP1->Port = read(comport);
    CP1->Baud = StrToInt(read(baudrate));
    CP1->DataBits = quint8(StrToInt(read(databits)) & 0xFF);
    const QString stop = read(stopbit);
    CP1->StopBits = sbONE;
    if (stop == QLatin1String("1.5"))
        CP1->StopBits = sbONE5;
    else if (stop == QLatin1String("2"))
        CP1->StopBits = snTWO;
    const QString par = read(parity);
    CP1->Parity = ptNONE;
    if (par == QLatin1String("odd"))
        CP1->Parity = ptODD;
    else if (par == QLatin1String("even"))
        CP1->Parity = ptEVEN;
    TimeoutMs = StrToInt(read(timeoutConnect));

    try {
        CP1->Open();
    } catch (const std::exception&) {
        const QString message = OpenFailedMessage();
        log_.Bilgi(message);
        LogError(message);
        host_.ShowMessage(message);
    }
}

void TLink::CP1PortOpen(TComPort* sender) {
    Q_UNUSED(sender);
    Connected = true;
    log_.Log(QStringLiteral("CONNECT"), CP1->Port + QStringLiteral(" Bağlanıldı."), TLog::lvSYSTEM);
    Q_EMIT ConnectedChanged(true);
}

void TLink::CP1PortClose(TComPort* sender) {
    Q_UNUSED(sender);
    Connected = false;
    Q_EMIT ConnectedChanged(false);
    log_.Log(QStringLiteral("DISCONNECT"), CP1->Port + QStringLiteral(" Bağlantı kesildi."),
             TLog::lvSYSTEM);
}

void TLink::CP1Error(TComPort* sender) {
    Q_UNUSED(sender);
}

} // namespace kolva

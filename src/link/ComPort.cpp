#include "ComPort.h"

#include <QDir>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace kolva {

TComPort::TComPort(QObject* parent) : QObject(parent), serial_(new QSerialPort(this)) {
    connect(serial_, &QSerialPort::readyRead, this, &TComPort::DataReceived);
    connect(serial_, &QSerialPort::errorOccurred, this, &TComPort::ErrorOccurred);
}

TComPort::~TComPort() {
    Close();
}

QString TComPort::DevicePath(const QString& port) {
#ifdef Q_OS_WIN
    if (port.startsWith(QLatin1String("\\\\.\\"))) return port;
    return QStringLiteral("\\\\.\\") + port;
#else
    if (port.startsWith(QLatin1Char('/')) || port.startsWith(QLatin1String("./")) ||
        port.startsWith(QLatin1String("../")))
        return port;
    return QStringLiteral("/dev/") + port;
#endif
}

void TComPort::Open() {
    if (open_) return;
    // Open with plain settings every device takes, then ask for the configured ones: a
    // setting the device refuses leaves it as it was instead of failing the open.
    serial_->setPortName(DevicePath(Port));
    serial_->setBaudRate(QSerialPort::Baud9600);
    serial_->setDataBits(QSerialPort::Data8);
    serial_->setParity(QSerialPort::NoParity);
    serial_->setStopBits(QSerialPort::OneStop);
    serial_->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial_->open(QIODevice::ReadWrite)) {
        const QString text = serial_->errorString();
        serial_->clearError();
        throw EComError(QStringLiteral("TCOMPORT : cannot open ") + Port + QLatin1Char('\r') +
                        text);
    }
    ApplyLineSettings();
    termBuffer_.clear();
    open_ = true;
    if (OnPortOpen) OnPortOpen(this);
}

void TComPort::ApplyLineSettings() {
    applyingSettings_ = true;
    serial_->setBaudRate(Baud);
    if (DataBits >= 5 && DataBits <= 8) serial_->setDataBits(QSerialPort::DataBits(DataBits));
    switch (Parity) {
    case ptODD:
        serial_->setParity(QSerialPort::OddParity);
        break;
    case ptEVEN:
        serial_->setParity(QSerialPort::EvenParity);
        break;
    case ptMARK:
        serial_->setParity(QSerialPort::MarkParity);
        break;
    case ptSPACE:
        serial_->setParity(QSerialPort::SpaceParity);
        break;
    default:
        serial_->setParity(QSerialPort::NoParity);
        break;
    }
    switch (StopBits) {
    case sbONE5:
        serial_->setStopBits(QSerialPort::OneAndHalfStop);
        break;
    case snTWO:
        serial_->setStopBits(QSerialPort::TwoStop);
        break;
    default:
        serial_->setStopBits(QSerialPort::OneStop);
        break;
    }
    // DTR and RTS off, as the device expects; a pty has no such lines.
    serial_->setDataTerminalReady(false);
    serial_->setRequestToSend(false);
    serial_->clear(QSerialPort::AllDirections);
    serial_->clearError();
    applyingSettings_ = false;
}

void TComPort::Close() {
    if (!open_) return;
    open_ = false;
    serial_->close();
    serial_->clearError();
    termBuffer_.clear();
    if (OnPortClose) OnPortClose(this);
}

void TComPort::Write(const QByteArray& data) {
    if (!open_ || data.isEmpty()) return;
    qsizetype done = 0;
#ifdef Q_OS_UNIX
    // Straight to the driver when nothing is queued before it: a request fits the driver's
    // queue, so this normally completes at once without waking the event loop.
    if (serial_->bytesToWrite() == 0) {
        const ssize_t n = ::write(int(serial_->handle()), data.constData(), size_t(data.size()));
        if (n > 0) done = n;
    }
#endif
    if (done < data.size()) {
        serial_->write(data.constData() + done, data.size() - done);
        if (open_) serial_->flush();
    }
}

void TComPort::Discard() {
    termBuffer_.clear();
    if (!open_) return;
    serial_->clear(QSerialPort::Input);
    serial_->readAll();
}

void TComPort::DataReceived() {
    const QByteArray chunk = serial_->readAll();
    if (!open_ || !ReceiveCallBack) return;
    Deliver(chunk);
}

void TComPort::Deliver(const QByteArray& chunk) {
    switch (ReceiveMode) {
    case rmRAW:
        ReceiveCallBack(chunk);
        break;
    case rmTERM: {
        termBuffer_.append(chunk);
        if (terminator_.isEmpty()) break;
        const qsizetype p = termBuffer_.indexOf(terminator_);
        if (p < 0) break;
        const qsizetype n = p + terminator_.size();
        const QByteArray message = termBuffer_.left(n);
        termBuffer_.remove(0, n);
        ReceiveCallBack(message);
        break;
    }
    }
}

void TComPort::ErrorOccurred(QSerialPort::SerialPortError error) {
    if (applyingSettings_ || !open_) return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        // The device went away (unplugged, the other end of a pty closed). A failing read
        // would be reported again at every wake-up, so the port is closed cleanly here.
        serial_->clearError();
        if (OnError) OnError(this);
        Close();
        break;
    case QSerialPort::WriteError:
    case QSerialPort::UnknownError:
        serial_->clearError();
        if (OnError) OnError(this);
        break;
    default:
        break;
    }
}

QString TComPort::Terminator() const {
    QString text;
    for (char c : terminator_)
        text += QLatin1Char('#') + QString::number(quint8(c));
    return text;
}

void TComPort::SetTerminator(const QString& value) {
    terminator_.clear();
    QString text = value;
    if (!text.isEmpty()) text.remove(0, 1);
    while (!text.isEmpty()) {
        const qsizetype hash = text.indexOf(QLatin1Char('#'));
        const QString part = hash < 0 ? text : text.left(hash);
        text.remove(0, hash < 0 ? text.size() : hash + 1);
        int code = 0;
        if (!TryStrToInt(part, &code)) {
            terminator_ = QByteArrayLiteral("\r\n");
            throw EComError(QStringLiteral("Illegal terminator string.\r"
                                           "format : #<asciicode>#<asciicode>#<...>\r"
                                           "example: #13#10"));
        }
        terminator_.append(char(code & 0xFF));
    }
    if (terminator_.isEmpty())
        throw EComError(QStringLiteral("Terminator string cannot be empty!"));
}

} // namespace kolva

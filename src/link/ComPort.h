#pragma once
// TComPort: one serial port on top of QSerialPort. Received bytes are delivered on the
// thread that owns the component (the main thread), in order, through ReceiveCallBack:
// every chunk as it comes (rmRAW), or cut at the terminator (rmTERM).
//
// Line settings are plain stored values that take effect at the next Open. A port name
// without a directory is looked up in the system's device folder (ttyUSB0 -> /dev/ttyUSB0);
// a full path (/dev/pts/5, a symlink to a pty) is used as it is.

#include "config/Convert.h"

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <functional>

namespace kolva {

// Raised by TComPort: a port that cannot be opened, a bad terminator text.
class EComError : public Error {
public:
    using Error::Error;
};

enum TParity { ptNONE, ptODD, ptEVEN, ptMARK, ptSPACE };
enum TStopBit { sbONE, sbONE5, snTWO };
enum TReceiveMode { rmRAW, rmTERM };

class TComPort : public QObject {
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TComPort* sender)>;
    using TReceiveProc = std::function<void(const QByteArray& data)>;
    using TStatusChanged = std::function<void(bool status)>;

    explicit TComPort(QObject* parent = nullptr);
    ~TComPort() override; // closes the port when open

    QString Port = QStringLiteral("COM1");
    qint32 Baud = 9600;
    quint8 DataBits = 8;
    TParity Parity = ptNONE;
    TStopBit StopBits = sbONE;
    qint32 WinQSizeIn = 8192;  // kept for the settings' sake; the driver sizes its own queues
    qint32 WinQSizeOut = 8192; // likewise
    TReceiveMode ReceiveMode = rmTERM;

    // Events; each fires only when assigned.
    TNotifyEvent OnPortOpen;  // after a successful Open
    TNotifyEvent OnPortClose; // at the end of Close
    TReceiveProc ReceiveCallBack;
    // Modem-line changes. QSerialPort reports no such changes, so these never fire; they are
    // kept so that handlers can be bound as for any serial port.
    TStatusChanged OnCTSChanged;
    TStatusChanged OnDSRChanged;
    TStatusChanged OnRingChanged;
    TStatusChanged OnRLSDChanged;
    TNotifyEvent OnError; // a read/write/resource error reported while open

    // Opens the port (nothing when already open) and fires OnPortOpen. Raises EComError
    // "TCOMPORT : cannot open <Port>\r<system text>" when it cannot be opened; the line
    // settings that the device refuses (a pty takes no baud rate) do not fail the open.
    void Open();
    // Closes the port (nothing when closed) and fires OnPortClose. No event fires after it.
    void Close();
    // Queues all bytes for sending and returns; dropped when the port is closed.
    void Write(const QByteArray& data);
    // Drops every received byte not yet delivered (the rmTERM buffer included).
    void Discard();

    bool IsOpen() const { return open_; }

    // "#13#10" form. The setter raises EComError for a part that is not a number (the
    // terminator then becomes CR LF) and for an empty result.
    QString Terminator() const;
    void SetTerminator(const QString& text);
    QByteArray TerminatorBytes() const { return terminator_; }

    // The device path the port name stands for.
    static QString DevicePath(const QString& port);

private:
    void DataReceived();
    void Deliver(const QByteArray& chunk);
    void ErrorOccurred(QSerialPort::SerialPortError error);
    void ApplyLineSettings();

    QSerialPort* serial_;
    bool open_ = false;
    bool applyingSettings_ = false;
    QByteArray terminator_ = QByteArrayLiteral("\r\n");
    QByteArray termBuffer_;
};

} // namespace kolva

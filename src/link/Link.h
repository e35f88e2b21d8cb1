#pragma once
// TLink: the Modbus RTU master over the serial port CP1, and the connection management
// around it. Everything runs on the thread that owns the object (the main thread).
//
// One request is outstanding at a time. A request is sent up to three times; a reply is
// accepted only when its length, address, function, byte count (reads) or echo (writes) and
// CRC are right. An exception reply ends the request at once. While a reply is awaited a
// local event loop runs, woken by received bytes or by the time-out, so the user interface
// stays live and no CPU is spent waiting.

#include "config/Host.h"
#include "link/ComPort.h"
#include "link/Log.h"
#include "link/Modbus.h"

#include <QByteArray>
#include <QObject>

class QEventLoop;
class QTimer;

namespace kolva {

class TLink : public QObject {
    Q_OBJECT
public:
    TLink(TLog& log, Host& host, QObject* parent = nullptr);
    ~TLink() override; // closes CP1 (CP1PortClose runs)

    // The serial port: "COM1", 38400 baud, 8N1, rmRAW, terminator "#13#10", handlers bound.
    TComPort* CP1;

    QByteArray ReceiveBuffer; // bytes received since the last send
    quint32 SendTick = 0;     // TickCount() just before the last send
    qint32 TimeoutMs = 1000;  // reply time-out; reloaded by every Baglan(true)
    QByteArray RegisterData;  // data of the last read / the value of the next write
    bool Connected = false;   // CP1 is open

    // One send-and-wait exchange. `reply` is every byte received before the wait ended. The
    // wait ends at the time-out, or as soon as the buffer holds a complete, valid reply (or
    // a complete exception reply) to `frame` whose normal reply has `expected` bytes.
    void Gonder(const QByteArray& frame, int expected, QByteArray& reply);

    // Function 03 (or the read function given): on success RegisterData becomes the 2*count
    // data bytes and the result is true; otherwise RegisterData is left as it was. A register
    // outside 1..65536 or a count outside 1..125 cannot be framed: false, nothing sent, a
    // "Hata" line logged.
    bool ReadRegisters(quint8 address, int firstRegister, int count, quint8 function);
    // Function 16 (first 2*count bytes of RegisterData) or 06 (its first 2 bytes; count
    // ignored). Any other function: false at once, nothing sent, nothing logged. Too few
    // bytes in RegisterData, a register outside 1..65536 or (16) a count outside 1..123:
    // false, nothing sent, a "Hata" line logged. The reply must echo the request.
    bool WriteRegisters(quint8 address, int firstRegister, int count, quint8 function);

    // CP1's receive event: appends to ReceiveBuffer.
    void CP1ReceiveCallBack(const QByteArray& data);

    // true: load the "RTU" keys of the configuration into CP1 and TimeoutMs, then open CP1
    // (an open failure is reported to the user, not raised; a key that is not a whole number
    // raises EConvertError before the port is touched). false: close CP1.
    void Baglan(bool open);

    void CP1PortOpen(TComPort* sender);
    void CP1PortClose(TComPort* sender);
    void CP1Error(TComPort* sender);

    // Exception code of the last request that ended with an exception reply, else 0.
    quint8 LastException() const { return lastException_; }

    // The millisecond tick used for SendTick (wraps like a 32-bit tick counter).
    static quint32 TickCount();

    static QString OpenFailedMessage();

Q_SIGNALS:
    void ConnectedChanged(bool connected);

private:
    enum class Outcome { Ok, Exception, Failed };
    // Up to three sends of `frame`; `reply` is the last reply received.
    Outcome Exchange(const QByteArray& frame, int expected, QByteArray& reply);
    void LogError(const QString& message);

    TLog& log_;
    Host& host_;
    quint8 lastException_ = 0;
    QEventLoop* waitLoop_;
    QTimer* waitTimer_;
    bool waiting_ = false;
};

} // namespace kolva

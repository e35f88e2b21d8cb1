#pragma once
// Modbus RTU frames: CRC-16, request builders for functions 03, 06 and 16, and the
// check of a reply against the request it answers.
//
// Register numbers handed to the builders are 1-based (catalogue numbering); the frame
// carries the number minus one. 16-bit fields are big-endian, the CRC goes low byte first.

#include <QByteArray>
#include <QString>

namespace kolva {

inline constexpr quint16 kCrcPolynomial = 0xA001; // bit-reversed 0x8005
inline constexpr quint8 fnReadHolding = 3;
inline constexpr quint8 fnWriteSingle = 6;
inline constexpr quint8 fnWriteMultiple = 16;

// Largest register counts a frame can carry (the reply's / request's byte count is 8 bits).
inline constexpr int kMaxReadCount = 125;
inline constexpr int kMaxWriteCount = 123;

// CRC-16 of the frame without its last two bytes (the place of the check value).
// A frame of fewer than 3 bytes gives 0xFFFF.
quint16 CRC(const QByteArray& frame);
// CRC-16 over `size` bytes.
quint16 Crc16(const char* data, qsizetype size);
// Appends the CRC of `frame` (all of it), low byte first.
void AppendCrc(QByteArray& frame);
// True when the frame is at least 3 bytes long and its last two bytes hold its CRC.
bool CrcOk(const QByteArray& frame);

// Each byte as two upper-case hexadecimal digits followed by one blank ("01 AB ").
QString Ascii2Hex(const QByteArray& bytes);

// True for register numbers a frame can address (1..65536).
bool RegisterInRange(int firstRegister);

// 8-byte read request: address, function, register - 1, count, CRC.
QByteArray BuildReadRequest(quint8 address, int firstRegister, int count, quint8 function);
// 8-byte function-06 request with RegisterData[0], RegisterData[1] as the value
// (the caller makes sure there are two bytes).
QByteArray BuildWriteSingleRequest(quint8 address, int firstRegister,
                                   const QByteArray& RegisterData);
// Function-16 request of 9 + 2*count bytes with the first 2*count bytes of RegisterData
// (the caller makes sure there are enough).
QByteArray BuildWriteMultipleRequest(quint8 address, int firstRegister, int count,
                                     const QByteArray& RegisterData);

// Length of a normal reply to `request`: 2*count + 5 for a read, 8 for 06 and 16.
int ExpectedReplyLength(const QByteArray& request);

enum class TReplyState {
    Incomplete, // fewer bytes than a reply needs: more may come
    Valid,      // exactly the expected reply, with matching header and a good CRC
    Exception,  // a complete exception reply (function | 0x80, code, good CRC)
    Invalid,    // wrong length, header, byte count, echo or CRC
};

// Judges the bytes received for `request`, whose normal reply has `expected` bytes.
// Reads (any function but 06 and 16) need address, function, byte count = expected - 5 and
// CRC; 06 and 16 need the echo of the request's first six bytes and CRC. An exception reply
// needs address, function | 0x80 and CRC; its code is stored in `exceptionCode`.
TReplyState CheckReply(const QByteArray& request, const QByteArray& reply, int expected,
                       quint8* exceptionCode = nullptr);

// "Illegal data address / Geçersiz veri adresi" and so on; unknown codes get a generic name.
QString ExceptionName(quint8 code);

} // namespace kolva

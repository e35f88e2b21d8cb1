#pragma once
// One fuzz input for the reply handling of the Modbus exchange: a request is built from the
// first bytes, the rest are reply bytes delivered in arbitrary chunks through the receive
// callback into ReceiveBuffer, and the reply check runs after every chunk, as the wait does.
// The checks' promises are asserted; the accepted data goes through every decoder.
//
// Input: [kind][address][register hi][register lo][count][mode] then chunks [n][n bytes]...
// kind % 3: 0 read (03), 1 write 06, 2 write 16. mode bit 0: start from the correct reply
// and let the chunk bytes below 0x10 flip its bits (others keep the byte) instead of
// replacing it.

#include "config/Host.h"
#include "link/Codecs.h"
#include "link/Link.h"
#include "link/Modbus.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kolva::fuzz {

class NullHost : public Host {
public:
    void ShowMessage(const QString&) override {}
    void ShowError(const QString&) override {}
    bool Confirm(const QString&) override { return false; }
    bool WarningOkCancel(const QString&) override { return false; }
    bool CtrlDown() override { return false; }
    void ProcessEvents() override {}
    void Sleep(int) override {}
    void SetProgressMax(int) override {}
    void SetProgressPos(int) override {}
    int ProgressPos() const override { return 0; }
};

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "reply handling broke its promise: %s\n", what);
        std::abort();
    }
}

inline QByteArray CorrectReply(const QByteArray& request, int count) {
    QByteArray reply;
    const quint8 function = quint8(request.at(1));
    if (function == fnWriteSingle || function == fnWriteMultiple) {
        reply = request.left(6);
    } else {
        reply = request.left(2);
        reply.append(char(2 * count));
        for (int i = 0; i < 2 * count; ++i)
            reply.append(char(i * 37 + 11));
    }
    AppendCrc(reply);
    return reply;
}

inline void DecodeAll(const QByteArray& data) {
    (void)ByteArrayToInt(data, 0);
    (void)ByteArrayToSignedInt(data, 0);
    (void)ByteArrayToFloat(data, 0);
    for (int layout : {0, 1, 3, 4})
        (void)ByteArraytoLong(data, layout, 0);
    const QString text = ByteArrayToString(data, 0, int(data.size()));
    const QString swapped = ByteArrayToStringSwap(data, 0, int(data.size()) + 1);
    QByteArray again;
    StringtoByteArray(again, 0, text, int(data.size()));
    StringtoByteArraySwap(again, 0, swapped, int(data.size()));
}

inline void FuzzReplyInput(const std::uint8_t* bytes, std::size_t size) {
    static NullHost host;
    static TLog log;
    static TLink link(log, host);
    log.chLog = false;

    if (size < 6) return;
    const int kind = bytes[0] % 3;
    const quint8 address = bytes[1];
    const int reg = ((bytes[2] << 8) | bytes[3]) + 1;
    const bool mutate = bytes[5] & 1;
    QByteArray request;
    int count = 1;
    if (kind == 0) {
        count = 1 + bytes[4] % kMaxReadCount;
        request = BuildReadRequest(address, reg, count, fnReadHolding);
    } else if (kind == 1) {
        request = BuildWriteSingleRequest(address, reg, QByteArray("\x12\x34", 2));
    } else {
        count = 1 + bytes[4] % kMaxWriteCount;
        request = BuildWriteMultipleRequest(address, reg, count, QByteArray(2 * count, '\x5A'));
    }
    const int expected = ExpectedReplyLength(request);
    Require(CheckReply(request, CorrectReply(request, count), expected) == TReplyState::Valid,
            "the correct reply is accepted");

    // The reply bytes, and where the chunks end.
    QByteArray reply;
    QList<qsizetype> cuts;
    const QByteArray correct = CorrectReply(request, count);
    for (std::size_t i = 6; i < size;) {
        const std::size_t n = qMin<std::size_t>(bytes[i], size - i - 1);
        ++i;
        for (std::size_t k = 0; k < n; ++k, ++i) {
            const qsizetype at = reply.size();
            if (mutate && at < correct.size())
                reply.append(char(correct.at(at) ^ (bytes[i] < 0x10 ? bytes[i] : 0)));
            else
                reply.append(char(bytes[i]));
        }
        cuts.append(reply.size());
    }

    link.ReceiveBuffer.clear();
    qsizetype from = 0;
    TReplyState previous = TReplyState::Incomplete;
    for (qsizetype cut : cuts) {
        link.CP1ReceiveCallBack(reply.mid(from, cut - from));
        from = cut;
        const QByteArray& buffer = link.ReceiveBuffer;
        Require(buffer == reply.left(cut), "received bytes are kept whole and in order");
        quint8 code = 0;
        const TReplyState state = CheckReply(request, buffer, expected, &code);
        switch (state) {
        case TReplyState::Valid:
            Require(buffer.size() == expected, "a valid reply has the expected length");
            Require(CrcOk(buffer), "a valid reply has a good CRC");
            Require(buffer.at(0) == request.at(0) && buffer.at(1) == request.at(1),
                    "a valid reply answers the request's address and function");
            DecodeAll(buffer.mid(3, expected - 5));
            break;
        case TReplyState::Exception:
            Require(buffer.size() == 5 && CrcOk(buffer), "an exception reply is 5 good bytes");
            Require(quint8(buffer.at(1)) == (quint8(request.at(1)) | 0x80),
                    "an exception reply names the request's function");
            Require(code == quint8(buffer.at(2)), "the exception code is reported");
            Require(!ExceptionName(code).isEmpty(), "every exception code has a name");
            break;
        case TReplyState::Incomplete:
            Require(buffer.size() < expected, "only a short reply waits for more");
            break;
        case TReplyState::Invalid:
            break;
        }
        if (previous == TReplyState::Invalid && buffer.size() > expected)
            Require(state == TReplyState::Invalid, "a reply that grew too long stays refused");
        previous = state;
    }
    DecodeAll(link.ReceiveBuffer);
    (void)Ascii2Hex(link.ReceiveBuffer);
}

} // namespace kolva::fuzz

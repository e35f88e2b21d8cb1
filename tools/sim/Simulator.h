#pragma once
// One simulated device: frames requests off the tty, lets libmodbus check them and build the
// replies, then applies wire timing and the configured faults before the reply goes out.

#include "SimOptions.h"

#include <modbus.h>

#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace kolva::sim {

class Simulator {
public:
    using Clock = std::chrono::steady_clock;

    explicit Simulator(Options options);
    ~Simulator();
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Holding registers, index = register - 1; fill before open().
    std::vector<std::uint16_t>& registers() { return registers_; }

    // Remembers the current registers as the start-up contents (see saveRegisterFile).
    void markBaseline();

    // Creates the pty (or opens --tty), makes --link; false with *error on failure.
    bool open(std::string* error);
    const std::string& ttyPath() const { return ttyPath_; }

    // Serves until SIGINT/SIGTERM (or hang-up with --exit-on-hangup); returns the exit code.
    int run();

    // Writes --dump now (no-op without it).
    void dump();

private:
    enum class Wake { Data, Timeout, Stop };

    struct Request {
        int function = 0;
        int readFirst = 0; // 1-based; 0 when the request reads nothing
        int readCount = 0;
        int writeFirst = 0; // 1-based; 0 when the request writes nothing
        std::vector<std::uint16_t> writeValues;
    };

    // Waits for data on fd (none when fd < 0), a signal, or the time; timeoutMs < 0: no limit.
    Wake waitFor(int fd, int timeoutMs);
    Wake waitUntil(int fd, Clock::time_point deadline);
    void handleSignals();
    bool peerPresent();
    void readInput();
    void processInput();
    int expectedRequestLength(const std::vector<std::uint8_t>& buf) const;
    void handleFrame(std::vector<std::uint8_t> frame, Clock::time_point start);
    bool decode(const std::vector<std::uint8_t>& frame, int* reqLength);
    Request describe(int reqLength) const;
    void journal(const Request& r);
    bool fault(int& counter);
    std::vector<std::uint8_t> takeReply();
    void sendReply(std::vector<std::uint8_t> reply, std::size_t requestLength,
                   Clock::time_point start);
    void writeAll(const std::uint8_t* data, std::size_t size);
    void saveState();
    void log(const std::string& text) const;

    Options o_;
    std::vector<std::uint16_t> registers_;
    std::vector<std::uint16_t> baseline_;
    int storeRegister_ = 65001;

    int fd_ = -1; // our end: the pty master, or the --tty device
    bool ownPty_ = false;
    std::string ttyPath_;
    bool linkMade_ = false;
    bool peerSeen_ = false;
    bool stop_ = false;

    modbus_t* ctx_ = nullptr;
    modbus_mapping_t* mapping_ = nullptr;
    int feed_[2] = {-1, -1}; // socket pair: [0] is libmodbus' side, [1] ours
    int proxyAddress_ = 0;   // address libmodbus answers for when ours is above 247
    std::uint8_t queryBuf_[MODBUS_RTU_MAX_ADU_LENGTH] = {};

    std::vector<std::uint8_t> input_;
    Clock::time_point inputStart_;
    Clock::time_point lastInput_;

    std::mt19937 rng_;
    int journalFd_ = -1;

    int noReplyCount_ = 0, dropCount_ = 0, crcCount_ = 0, lengthCount_ = 0, exceptionCount_ = 0,
        noiseCount_ = 0, lateCount_ = 0, splitCount_ = 0, ignoreCount_ = 0;
};

// Self-pipe written by the signal handlers; installed by installSignalHandlers().
void installSignalHandlers();
int signalPipeReadFd();

} // namespace kolva::sim

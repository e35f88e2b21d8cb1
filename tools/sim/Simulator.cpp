#include "Simulator.h"

#include <modbus-rtu.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace kolva::sim {

namespace {

int g_signalPipe[2] = {-1, -1};

extern "C" void onSignal(int sig) {
    const int saved = errno;
    const unsigned char b = static_cast<unsigned char>(sig);
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &b, 1);
    errno = saved;
}

void setNonBlocking(int fd) {
    const int fl = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, fl | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

std::uint16_t crc16(const std::uint8_t* data, std::size_t n) {
    std::uint16_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// Replaces the address byte of an RTU frame. The CRC field is adjusted by the change in the
// CRC instead of being recomputed, so a frame that arrived with a wrong CRC keeps it wrong.
void readdress(std::vector<std::uint8_t>& frame, std::uint8_t address) {
    if (frame.size() < 4) return;
    const std::size_t n = frame.size() - 2;
    const std::uint16_t before = crc16(frame.data(), n);
    frame[0] = address;
    const std::uint16_t after = crc16(frame.data(), n);
    const std::uint16_t field =
        static_cast<std::uint16_t>(frame[n] | (frame[n + 1] << 8)) ^ before ^ after;
    frame[n] = static_cast<std::uint8_t>(field & 0xFF);
    frame[n + 1] = static_cast<std::uint8_t>(field >> 8);
}

std::string hex(const std::uint8_t* p, std::size_t n) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02X ", p[i]);
        s += b;
    }
    return s;
}

speed_t speedFor(long baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return 0;
    }
}

bool makeRaw(int fd, long baud, std::string* error) {
    termios t{};
    if (::tcgetattr(fd, &t) != 0) {
        *error = std::string("not a terminal: ") + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    if (const speed_t s = speedFor(baud)) ::cfsetspeed(&t, s);
    if (::tcsetattr(fd, TCSANOW, &t) != 0) {
        *error = std::string("cannot set raw mode: ") + std::strerror(errno);
        return false;
    }
    return true;
}

constexpr int kSilenceMs = 100; // an unfinished request is dropped after this much silence

} // namespace

void installSignalHandlers() {
    if (g_signalPipe[0] >= 0) return;
    if (::pipe(g_signalPipe) != 0) return;
    setNonBlocking(g_signalPipe[0]);
    setNonBlocking(g_signalPipe[1]);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGUSR1})
        ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
}

int signalPipeReadFd() {
    return g_signalPipe[0];
}

Simulator::Simulator(Options options)
    : o_(std::move(options)), registers_(kRegisterCount, 0), baseline_(kRegisterCount, 0) {
    if (o_.storeRegister > 0)
        storeRegister_ = o_.storeRegister;
    else if (!o_.model.empty())
        storeRegister_ = storeRegisterForModel(o_.model);
    if (o_.seed)
        rng_.seed(*o_.seed);
    else
        rng_.seed(std::random_device{}());
}

Simulator::~Simulator() {
    if (linkMade_) {
        char target[4096];
        const ssize_t n = ::readlink(o_.link.c_str(), target, sizeof target - 1);
        if (n >= 0 && std::string(target, static_cast<std::size_t>(n)) == ttyPath_)
            ::unlink(o_.link.c_str());
    }
    if (ctx_) {
        modbus_set_socket(ctx_, -1); // never let libmodbus restore termios on our socket
        modbus_free(ctx_);
    }
    if (mapping_) modbus_mapping_free(mapping_);
    for (int fd : {fd_, feed_[0], feed_[1], journalFd_})
        if (fd >= 0) ::close(fd);
}

void Simulator::markBaseline() {
    baseline_ = registers_;
}

void Simulator::log(const std::string& text) const {
    if (o_.verbose) std::fprintf(stderr, "kolva-sim: %s\n", text.c_str());
}

bool Simulator::open(std::string* error) {
    if (!o_.tty.empty()) {
        fd_ = ::open(o_.tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            *error = o_.tty + ": " + std::strerror(errno);
            return false;
        }
        if (!makeRaw(fd_, o_.baud, error)) {
            *error = o_.tty + ": " + *error;
            return false;
        }
        ttyPath_ = o_.tty;
    } else {
        int master = -1;
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
            *error = std::string("openpty: ") + std::strerror(errno);
            return false;
        }
        fd_ = master;
        ownPty_ = true;
        // Raw mode on the slave sticks after we close it, for whoever opens it next.
        const bool raw = makeRaw(slave, o_.baud, error);
        ::close(slave);
        if (!raw) return false;
        setNonBlocking(fd_);
        ttyPath_ = name;
    }

    if (!o_.link.empty()) {
        struct stat st {};
        if (::lstat(o_.link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                *error = o_.link + ": exists and is not a symlink; not replacing it";
                return false;
            }
            ::unlink(o_.link.c_str());
        }
        if (::symlink(ttyPath_.c_str(), o_.link.c_str()) != 0) {
            *error = o_.link + ": " + std::strerror(errno);
            return false;
        }
        linkMade_ = true;
    }

    // libmodbus checks every request and builds every reply; it talks through a socket pair
    // so that the reply can be timed and damaged before it reaches the line.
    ctx_ = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
    if (!ctx_) {
        *error = std::string("modbus_new_rtu: ") + modbus_strerror(errno);
        return false;
    }
    proxyAddress_ = o_.address <= 247 ? o_.address : 247;
    modbus_set_slave(ctx_, proxyAddress_);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, feed_) != 0) {
        *error = std::string("socketpair: ") + std::strerror(errno);
        return false;
    }
    setNonBlocking(feed_[0]);
    setNonBlocking(feed_[1]);
    modbus_set_socket(ctx_, feed_[0]);
    modbus_set_indication_timeout(ctx_, 0, 200000);
    modbus_set_byte_timeout(ctx_, 0, 50000);
    // libmodbus waits one response time-out before some exception replies (to let the rest
    // of a bad request pass); the pty has no such rest, so keep that wait negligible.
    modbus_set_response_timeout(ctx_, 0, 1000);

    mapping_ = modbus_mapping_new(0, 0, kRegisterCount, 0);
    if (!mapping_) {
        *error = std::string("modbus_mapping_new: ") + modbus_strerror(errno);
        return false;
    }
    std::copy(registers_.begin(), registers_.end(), mapping_->tab_registers);

    if (!o_.journalFile.empty()) {
        journalFd_ =
            ::open(o_.journalFile.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (journalFd_ < 0) {
            *error = o_.journalFile + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

Simulator::Wake Simulator::waitFor(int fd, int timeoutMs) {
    return waitUntil(fd, timeoutMs < 0 ? Clock::time_point::max()
                                       : Clock::now() + std::chrono::milliseconds(timeoutMs));
}

Simulator::Wake Simulator::waitUntil(int fd, Clock::time_point deadline) {
    pollfd p[2] = {{signalPipeReadFd(), POLLIN, 0}, {fd, POLLIN, 0}};
    timespec ts{};
    timespec* timeout = nullptr;
    if (deadline != Clock::time_point::max()) {
        const auto left = std::max<long long>(
            0,
            std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now()).count());
        ts.tv_sec = static_cast<time_t>(left / 1000000000);
        ts.tv_nsec = static_cast<long>(left % 1000000000);
        timeout = &ts;
    }
    const int n = ::ppoll(p, fd >= 0 ? 2 : 1, timeout, nullptr);
    if (n > 0 && (p[0].revents & POLLIN)) handleSignals();
    if (stop_) return Wake::Stop;
    if (n > 0 && fd >= 0 && p[1].revents) return Wake::Data;
    return Wake::Timeout;
}

void Simulator::handleSignals() {
    unsigned char sigs[64];
    ssize_t n;
    while ((n = ::read(signalPipeReadFd(), sigs, sizeof sigs)) > 0) {
        for (ssize_t i = 0; i < n; ++i) {
            if (sigs[i] == SIGUSR1)
                dump();
            else
                stop_ = true;
        }
    }
}

bool Simulator::peerPresent() {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) < 0) return true;
    return !(p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

int Simulator::run() {
    while (!stop_) {
        if (!peerPresent()) {
            if (peerSeen_ && o_.exitOnHangup) {
                log("the master closed the line");
                return 0;
            }
            if (!input_.empty()) log("line closed; unfinished request dropped");
            input_.clear();
            waitFor(-1, 20); // nobody has the line open: look again shortly
            continue;
        }
        peerSeen_ = true;
        int timeout = -1;
        if (!input_.empty()) {
            const auto quiet =
                std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastInput_)
                    .count();
            timeout = std::max<int>(0, kSilenceMs - static_cast<int>(quiet));
        }
        switch (waitFor(fd_, timeout)) {
        case Wake::Stop:
            return 0;
        case Wake::Data:
            readInput();
            processInput();
            break;
        case Wake::Timeout:
            if (!input_.empty() && timeout >= 0) {
                log("unfinished request dropped: " + hex(input_.data(), input_.size()));
                input_.clear();
            }
            break;
        }
    }
    return 0;
}

void Simulator::readInput() {
    std::uint8_t buf[512];
    for (;;) {
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n <= 0) break; // EAGAIN, or EIO when the other side has gone (run() sees it)
        const auto now = Clock::now();
        if (input_.empty()) inputStart_ = now;
        lastInput_ = now;
        input_.insert(input_.end(), buf, buf + n);
    }
}

int Simulator::expectedRequestLength(const std::vector<std::uint8_t>& b) const {
    // Same length rules libmodbus applies to a request (function code decides).
    if (b.size() < 2) return -1;
    switch (b[1]) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
        return 8;
    case 7:
    case 11:
    case 12:
    case 17:
        return 4;
    case 15:
    case 16:
        return b.size() < 7 ? -1 : 9 + b[6];
    case 22:
        return 10;
    case 23:
        return b.size() < 11 ? -1 : 13 + b[10];
    default:
        return 4;
    }
}

void Simulator::processInput() {
    while (!input_.empty()) {
        const int len = expectedRequestLength(input_);
        if (len < 0 || input_.size() < static_cast<std::size_t>(len)) return;
        std::vector<std::uint8_t> frame(input_.begin(), input_.begin() + len);
        input_.erase(input_.begin(), input_.begin() + len);
        const auto start = inputStart_;
        inputStart_ = lastInput_;
        handleFrame(std::move(frame), start);
        if (stop_) return;
    }
}

bool Simulator::decode(const std::vector<std::uint8_t>& frame, int* reqLength) {
    std::uint8_t junk[512];
    while (::read(feed_[0], junk, sizeof junk) > 0) {
    }
    while (::read(feed_[1], junk, sizeof junk) > 0) {
    }
    if (::write(feed_[1], frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
        log(std::string("internal write failed: ") + std::strerror(errno));
        return false;
    }
    *reqLength = modbus_receive(ctx_, queryBuf_);
    if (*reqLength < 0) {
        log("bad request (" + std::string(modbus_strerror(errno)) +
            "): " + hex(frame.data(), frame.size()));
        return false;
    }
    return true;
}

Simulator::Request Simulator::describe(int n) const {
    Request r;
    const std::uint8_t* q = queryBuf_;
    auto word = [&](int at) { return static_cast<int>((q[at] << 8) | q[at + 1]); };
    r.function = q[1];
    switch (r.function) {
    case 3:
    case 4:
        r.readFirst = word(2) + 1;
        r.readCount = word(4);
        break;
    case 6:
        r.writeFirst = word(2) + 1;
        r.writeValues.push_back(static_cast<std::uint16_t>(word(4)));
        break;
    case 16: {
        r.writeFirst = word(2) + 1;
        const int count = word(4);
        if (n >= 9 && q[6] == 2 * count && 7 + 2 * count <= n - 2)
            for (int i = 0; i < count; ++i)
                r.writeValues.push_back(static_cast<std::uint16_t>(word(7 + 2 * i)));
        break;
    }
    case 23: {
        r.readFirst = word(2) + 1;
        r.readCount = word(4);
        r.writeFirst = word(6) + 1;
        const int count = word(8);
        if (n >= 13 && q[10] == 2 * count && 11 + 2 * count <= n - 2)
            for (int i = 0; i < count; ++i)
                r.writeValues.push_back(static_cast<std::uint16_t>(word(11 + 2 * i)));
        break;
    }
    default:
        break;
    }
    return r;
}

void Simulator::journal(const Request& r) {
    if (journalFd_ < 0) return;
    std::string line;
    if (!r.writeValues.empty()) {
        line = std::to_string(r.function) + ' ' + std::to_string(r.writeFirst);
        for (auto v : r.writeValues)
            line += ' ' + std::to_string(v);
    } else if (o_.journalReads && r.readCount > 0) {
        line = std::to_string(r.function) + ' ' + std::to_string(r.readFirst) + ' ' +
               std::to_string(r.readCount);
    } else {
        return;
    }
    line += '\n';
    [[maybe_unused]] const auto n = ::write(journalFd_, line.data(), line.size());
}

bool Simulator::fault(int& counter) {
    if (o_.faultLimit >= 0 && counter >= o_.faultLimit) return false;
    ++counter;
    return true;
}

std::vector<std::uint8_t> Simulator::takeReply() {
    std::vector<std::uint8_t> reply;
    std::uint8_t buf[512];
    ssize_t n;
    while ((n = ::read(feed_[1], buf, sizeof buf)) > 0)
        reply.insert(reply.end(), buf, buf + n);
    return reply;
}

void Simulator::handleFrame(std::vector<std::uint8_t> frame, Clock::time_point start) {
    const std::size_t requestLength = frame.size();
    if (proxyAddress_ != o_.address) {
        if (frame[0] == proxyAddress_) return; // not ours: the proxy only stands in for us
        if (frame[0] == o_.address) readdress(frame, static_cast<std::uint8_t>(proxyAddress_));
    }
    log("request " + hex(frame.data(), frame.size()));
    int n = 0;
    if (!decode(frame, &n)) {
        input_.clear(); // the rest of a damaged burst cannot be framed reliably
        return;
    }
    if (n == 0) return; // another device's request
    const bool broadcast = queryBuf_[0] == MODBUS_BROADCAST_ADDRESS;
    const Request r = describe(n);
    journal(r);

    const int writeCount = static_cast<int>(r.writeValues.size());
    auto touches = [&](const RegisterSet& set) {
        return set.touches(r.readFirst, r.readCount) || set.touches(r.writeFirst, writeCount) ||
               (r.function == 16 && writeCount == 0 && set.contains(r.writeFirst));
    };

    if (!o_.noReply.empty() && touches(o_.noReply) && fault(noReplyCount_)) {
        log("no reply (--no-reply)");
        return;
    }
    if (o_.dropFraction > 0.0 &&
        std::uniform_real_distribution<double>(0.0, 1.0)(rng_) < o_.dropFraction &&
        fault(dropCount_)) {
        log("no reply (--drop-fraction)");
        return;
    }

    int exceptionCode = 0;
    for (const auto& [reg, code] : o_.exceptions) {
        const bool inRead = reg >= r.readFirst && reg < r.readFirst + r.readCount;
        const bool inWrite =
            reg >= r.writeFirst && reg < r.writeFirst + std::max(writeCount, 1) && r.writeFirst > 0;
        if (inRead || inWrite) {
            exceptionCode = code;
            break;
        }
    }
    if (exceptionCode != 0 && fault(exceptionCount_)) {
        modbus_reply_exception(ctx_, queryBuf_, static_cast<unsigned>(exceptionCode));
    } else {
        // Registers whose value the write must not change.
        std::vector<std::pair<int, std::uint16_t>> keep;
        if (writeCount > 0 && !o_.ignoreWrites.empty() &&
            o_.ignoreWrites.touches(r.writeFirst, writeCount) && fault(ignoreCount_))
            for (int reg = r.writeFirst; reg < r.writeFirst + writeCount && reg <= kRegisterCount;
                 ++reg)
                if (o_.ignoreWrites.contains(reg))
                    keep.emplace_back(reg, mapping_->tab_registers[reg - 1]);
        const bool store = r.function == 6 && r.writeFirst == storeRegister_ && writeCount == 1 &&
                           r.writeValues[0] == 1;
        if (store) keep.emplace_back(storeRegister_, mapping_->tab_registers[storeRegister_ - 1]);

        modbus_reply(ctx_, queryBuf_, n, mapping_);
        for (const auto& [reg, value] : keep)
            mapping_->tab_registers[reg - 1] = value;
        if (store) saveState();
    }
    std::vector<std::uint8_t> reply = takeReply();
    if (broadcast || reply.empty()) return;

    if (proxyAddress_ != o_.address) {
        reply[0] = static_cast<std::uint8_t>(o_.address);
        const std::uint16_t c = crc16(reply.data(), reply.size() - 2);
        reply[reply.size() - 2] = static_cast<std::uint8_t>(c & 0xFF);
        reply[reply.size() - 1] = static_cast<std::uint8_t>(c >> 8);
    }
    if (o_.badCrc && (o_.badCrcRegs.empty() || touches(o_.badCrcRegs)) && fault(crcCount_)) {
        reply.back() ^= 0xA5;
        log("CRC damaged (--bad-crc)");
    }
    if (o_.badLength && (o_.badLengthRegs.empty() || touches(o_.badLengthRegs))) {
        const int k = lengthCount_;
        if (fault(lengthCount_)) {
            const bool shortReply = o_.lengthMode == LengthFault::Short ||
                                    (o_.lengthMode == LengthFault::Alternate && k % 2 == 0);
            if (shortReply)
                reply.pop_back();
            else
                reply.push_back(static_cast<std::uint8_t>(rng_()));
            log(shortReply ? "reply one byte short (--bad-length)"
                           : "reply one byte long (--bad-length)");
        }
    }
    if (o_.noise > 0 && fault(noiseCount_)) {
        std::vector<std::uint8_t> noise(static_cast<std::size_t>(o_.noise));
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(rng_());
        reply.insert(reply.begin(), noise.begin(), noise.end());
    }
    sendReply(std::move(reply), requestLength, start);
}

void Simulator::sendReply(std::vector<std::uint8_t> reply, std::size_t requestLength,
                          Clock::time_point start) {
    auto due = start;
    if (o_.baud > 0) {
        // 11 bits a character (start, 8 data, parity or second stop, stop), request and
        // reply back to back plus the 3.5-character silence that ends a frame.
        const double chars = static_cast<double>(requestLength + reply.size()) + 3.5;
        due += std::chrono::microseconds(static_cast<long long>(chars * 11.0 * 1e6 / o_.baud));
    }
    if (o_.lateMs > 0 && fault(lateCount_)) due += std::chrono::milliseconds(o_.lateMs);
    while (Clock::now() < due)
        if (waitUntil(-1, due) == Wake::Stop) return;
    std::size_t pieces = 1;
    if (o_.split > 1 && fault(splitCount_))
        pieces = std::min<std::size_t>(static_cast<std::size_t>(o_.split), reply.size());
    log("reply " + hex(reply.data(), reply.size()));
    std::size_t done = 0;
    for (std::size_t i = 0; i < pieces; ++i) {
        const std::size_t end = reply.size() * (i + 1) / pieces;
        if (i > 0 && waitFor(-1, o_.splitPauseMs) == Wake::Stop) return;
        if (!peerPresent()) {
            log("line closed; reply dropped");
            return;
        }
        writeAll(reply.data() + done, end - done);
        done = end;
    }
}

void Simulator::writeAll(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd_, data, size);
        if (n > 0) {
            data += n;
            size -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EAGAIN) {
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return; // nobody reads the line: give up
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

void Simulator::saveState() {
    if (o_.stateFile.empty()) {
        log("store command (no --state file)");
        return;
    }
    std::vector<std::uint16_t> regs(mapping_->tab_registers,
                                    mapping_->tab_registers + kRegisterCount);
    std::string error;
    if (!saveRegisterFile(o_.stateFile, regs, &baseline_, &error))
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
    else
        log("store command: state saved to " + o_.stateFile);
}

void Simulator::dump() {
    if (o_.dumpFile.empty()) return;
    std::vector<std::uint16_t> regs =
        mapping_ ? std::vector<std::uint16_t>(mapping_->tab_registers,
                                              mapping_->tab_registers + kRegisterCount)
                 : registers_;
    std::string error;
    if (!saveRegisterFile(o_.dumpFile, regs, nullptr, &error))
        std::fprintf(stderr, "kolva-sim: %s\n", error.c_str());
}

} // namespace kolva::sim

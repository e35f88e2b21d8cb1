#include "SimOptions.h"

#include "config/DeviceRules.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <unistd.h>

namespace kolva::sim {

namespace {

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

bool parseRegister(const std::string& text, int* reg) {
    long long v = 0;
    if (!parseNumber(trim(text), &v) || v < 1 || v > kRegisterCount) return false;
    *reg = static_cast<int>(v);
    return true;
}

bool parseInt(const std::string& text, long long lo, long long hi, long long* out) {
    long long v = 0;
    if (!parseNumber(text, &v) || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// A REGS list follows an option that takes one optionally.
bool looksLikeRegisterList(const char* arg) {
    if (!arg || !*arg || arg[0] == '-') return false;
    for (const char* p = arg; *p; ++p)
        if (!(std::isdigit(static_cast<unsigned char>(*p)) || *p == ',' || *p == '-' || *p == 'x' ||
              *p == 'X' || std::isxdigit(static_cast<unsigned char>(*p))))
            return false;
    return std::isdigit(static_cast<unsigned char>(arg[0]));
}

} // namespace

bool parseNumber(const std::string& text, long long* value) {
    if (text.empty()) return false;
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    for (char c : digits)
        if (!(base == 16 ? std::isxdigit(static_cast<unsigned char>(c))
                         : std::isdigit(static_cast<unsigned char>(c))))
            return false;
    if (digits.empty() || digits.size() > 12) return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(digits.c_str(), &end, base);
    if (errno != 0 || *end != '\0') return false;
    *value = v;
    return true;
}

bool RegisterSet::parse(const std::string& text, RegisterSet* out, std::string* error) {
    RegisterSet set;
    std::stringstream ss(text);
    std::string item;
    while (std::getline(ss, item, ',')) {
        item = trim(item);
        if (item.empty()) continue;
        const auto dash = item.find('-');
        int a = 0;
        int b = 0;
        bool ok = false;
        if (dash == std::string::npos) {
            ok = parseRegister(item, &a);
            b = a;
        } else {
            ok = parseRegister(item.substr(0, dash), &a) &&
                 parseRegister(item.substr(dash + 1), &b) && a <= b;
        }
        if (!ok) {
            *error = "bad register list item '" + item + "' in '" + text +
                     "' (registers 1..65536, ranges like 10-12)";
            return false;
        }
        set.ranges_.emplace_back(a, b);
    }
    if (set.ranges_.empty()) {
        *error = "empty register list '" + text + "'";
        return false;
    }
    *out = std::move(set);
    return true;
}

bool RegisterSet::contains(int reg) const {
    for (const auto& [a, b] : ranges_)
        if (reg >= a && reg <= b) return true;
    return false;
}

bool RegisterSet::touches(int first, int count) const {
    if (count <= 0) return false;
    const int last = first + count - 1;
    for (const auto& [a, b] : ranges_)
        if (first <= b && last >= a) return true;
    return false;
}

int storeRegisterForModel(const std::string& model) {
    return kolva::SaveCommandFor(QString::fromStdString(model)).reg;
}

const char* usageText() {
    return R"(Usage: kolva-sim [options]

Plays one KOLVA device (Modbus RTU slave, libmodbus) on a pseudo-terminal.
The first line on standard output is "PTY <path>": the tty the master opens.

Line:
  --tty PATH              attach to this tty instead of creating a pty pair
  --link PATH             make a symlink PATH to the tty (removed at exit)
  --address N             bus address, 1..255 (default 1)
  --baud B                emulate wire time at B baud (11 bits a character)
  --exit-on-hangup        exit when the master closes the tty after opening it

Registers (1-based numbering, all others 0):
  --map FILE              register file, lines "REGISTER VALUE" (# comments)
  --catalogue DB --model MODEL
                          setting defaults of MODEL from the catalogue
  --model MODEL           also picks the store-command register
  --store-register R      store-command register (overrides the model's)
  --state FILE            loaded at start if present; the store command (value 1
                          written to the store register with function 06) saves
                          every register here
  --journal FILE          append one line per write received:
                          "<function> <register> <v1> <v2> ..."
  --journal-reads         also journal reads: "<function> <register> <count>"
  --dump FILE             on SIGUSR1 and at exit, write non-zero registers here

Faults (REGS is a list like "5,7,10-12"):
  --no-reply REGS         never answer requests touching REGS
  --drop-fraction F       leave a random fraction F of requests unanswered
  --seed S                seed for the random faults
  --bad-crc [REGS]        corrupt the reply's CRC
  --bad-length [REGS]     drop or add a byte (see --bad-length-mode)
  --bad-length-mode M     short, long or alternate (default alternate)
  --exception REG:CODE[,REG:CODE...]
                          exception reply for requests touching REG
  --noise N               N random bytes before each reply
  --late MS               hold each reply MS milliseconds more
  --split N               write each reply in N pieces
  --split-pause MS        pause between the pieces (default 10)
  --ignore-writes REGS    answer writes to REGS normally but keep the old values
  --fault-limit N         each fault acts on at most N requests, then stops

  -v, --verbose           log frames on standard error
  -h, --help              this text
)";
}

int parseOptions(int argc, char** argv, Options* o, std::string* error) {
    auto need = [&](int& i, const char* name) -> const char* {
        if (i + 1 >= argc) {
            *error = std::string("option ") + name + " needs a value";
            return nullptr;
        }
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = nullptr;
        long long n = 0;
        if (a == "-h" || a == "--help") {
            return 1;
        } else if (a == "-v" || a == "--verbose") {
            o->verbose = true;
        } else if (a == "--exit-on-hangup") {
            o->exitOnHangup = true;
        } else if (a == "--journal-reads") {
            o->journalReads = true;
        } else if (a == "--tty" || a == "--link" || a == "--map" || a == "--catalogue" ||
                   a == "--model" || a == "--state" || a == "--journal" || a == "--dump") {
            if (!(v = need(i, a.c_str()))) return -1;
            std::string* dest = a == "--tty"         ? &o->tty
                                : a == "--link"      ? &o->link
                                : a == "--map"       ? &o->mapFile
                                : a == "--catalogue" ? &o->catalogue
                                : a == "--model"     ? &o->model
                                : a == "--state"     ? &o->stateFile
                                : a == "--journal"   ? &o->journalFile
                                                     : &o->dumpFile;
            *dest = v;
            if (dest->empty()) {
                *error = "option " + a + " needs a non-empty value";
                return -1;
            }
        } else if (a == "--address") {
            if (!(v = need(i, "--address"))) return -1;
            if (!parseInt(v, 1, 255, &n)) {
                *error = std::string("bad --address '") + v + "' (1..255)";
                return -1;
            }
            o->address = static_cast<int>(n);
        } else if (a == "--store-register") {
            if (!(v = need(i, "--store-register"))) return -1;
            if (!parseInt(v, 1, kRegisterCount, &n)) {
                *error = std::string("bad --store-register '") + v + "' (1..65536)";
                return -1;
            }
            o->storeRegister = static_cast<int>(n);
        } else if (a == "--baud") {
            if (!(v = need(i, "--baud"))) return -1;
            if (!parseInt(v, 1, 100000000, &n)) {
                *error = std::string("bad --baud '") + v + "'";
                return -1;
            }
            o->baud = static_cast<long>(n);
        } else if (a == "--no-reply" || a == "--ignore-writes") {
            if (!(v = need(i, a.c_str()))) return -1;
            if (!RegisterSet::parse(v, a == "--no-reply" ? &o->noReply : &o->ignoreWrites, error))
                return -1;
        } else if (a == "--bad-crc" || a == "--bad-length") {
            RegisterSet* regs = a == "--bad-crc" ? &o->badCrcRegs : &o->badLengthRegs;
            (a == "--bad-crc" ? o->badCrc : o->badLength) = true;
            if (i + 1 < argc && looksLikeRegisterList(argv[i + 1]))
                if (!RegisterSet::parse(argv[++i], regs, error)) return -1;
        } else if (a == "--bad-length-mode") {
            if (!(v = need(i, a.c_str()))) return -1;
            const std::string m = v;
            if (m == "short")
                o->lengthMode = LengthFault::Short;
            else if (m == "long")
                o->lengthMode = LengthFault::Long;
            else if (m == "alternate")
                o->lengthMode = LengthFault::Alternate;
            else {
                *error = "bad --bad-length-mode '" + m + "' (short, long or alternate)";
                return -1;
            }
        } else if (a == "--drop-fraction") {
            if (!(v = need(i, a.c_str()))) return -1;
            char* end = nullptr;
            errno = 0;
            const double f = std::strtod(v, &end);
            if (errno != 0 || end == v || *end != '\0' || !(f >= 0.0 && f <= 1.0)) {
                *error = std::string("bad --drop-fraction '") + v + "' (0..1)";
                return -1;
            }
            o->dropFraction = f;
        } else if (a == "--seed") {
            if (!(v = need(i, a.c_str()))) return -1;
            if (!parseInt(v, 0, 0xFFFFFFFFLL, &n)) {
                *error = std::string("bad --seed '") + v + "'";
                return -1;
            }
            o->seed = static_cast<std::uint32_t>(n);
        } else if (a == "--exception") {
            if (!(v = need(i, a.c_str()))) return -1;
            std::stringstream ss(v);
            std::string item;
            while (std::getline(ss, item, ',')) {
                item = trim(item);
                const auto colon = item.find(':');
                int reg = 0;
                long long code = 0;
                if (colon == std::string::npos || !parseRegister(item.substr(0, colon), &reg) ||
                    !parseInt(trim(item.substr(colon + 1)), 1, 11, &code)) {
                    *error = "bad --exception item '" + item + "' (REG:CODE, code 1..11)";
                    return -1;
                }
                o->exceptions[reg] = static_cast<int>(code);
            }
            if (o->exceptions.empty()) {
                *error = "empty --exception list";
                return -1;
            }
        } else if (a == "--noise" || a == "--late" || a == "--split" || a == "--split-pause" ||
                   a == "--fault-limit") {
            if (!(v = need(i, a.c_str()))) return -1;
            const long long lo = a == "--split" ? 1 : 0;
            const long long hi = a == "--noise" ? 256 : a == "--split" ? 256 : 600000;
            if (!parseInt(v, lo, hi, &n)) {
                *error = "bad " + a + " '" + v + "' (" + std::to_string(lo) + ".." +
                         std::to_string(hi) + ")";
                return -1;
            }
            int* dest = a == "--noise"         ? &o->noise
                        : a == "--late"        ? &o->lateMs
                        : a == "--split"       ? &o->split
                        : a == "--split-pause" ? &o->splitPauseMs
                                               : &o->faultLimit;
            *dest = static_cast<int>(n);
        } else {
            *error = "unknown option '" + a + "' (see --help)";
            return -1;
        }
    }
    if (!o->catalogue.empty() && o->model.empty()) {
        *error = "--catalogue needs --model";
        return -1;
    }
    if (!o->tty.empty() && !o->link.empty() && o->tty == o->link) {
        *error = "--link must differ from --tty";
        return -1;
    }
    return 0;
}

bool loadRegisterFile(const std::string& path, std::vector<std::uint16_t>* regs,
                      std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = path + ": cannot open: " + std::strerror(errno);
        return false;
    }
    // Parse everything first so a bad line changes nothing.
    std::vector<std::pair<int, std::uint16_t>> values;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        const auto hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream ls(line);
        std::string regText;
        std::string valueText;
        std::string extra;
        if (!(ls >> regText)) continue;
        int reg = 0;
        long long value = 0;
        if (!(ls >> valueText) || (ls >> extra) || !parseRegister(regText, &reg) ||
            !parseInt(valueText, 0, 65535, &value)) {
            *error = path + ":" + std::to_string(lineNo) +
                     ": expected \"REGISTER VALUE\" (register 1..65536, value 0..65535), got \"" +
                     trim(line) + "\"";
            return false;
        }
        values.emplace_back(reg, static_cast<std::uint16_t>(value));
    }
    if (in.bad()) {
        *error = path + ": read error";
        return false;
    }
    for (const auto& [reg, value] : values)
        (*regs)[reg - 1] = value;
    return true;
}

bool saveRegisterFile(const std::string& path, const std::vector<std::uint16_t>& regs,
                      const std::vector<std::uint16_t>* baseline, std::string* error) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out) {
            *error = tmp + ": cannot create: " + std::strerror(errno);
            return false;
        }
        out << "# kolva-sim registers: REGISTER VALUE\n";
        for (int i = 0; i < kRegisterCount; ++i)
            if (regs[i] != 0 || (baseline && (*baseline)[i] != 0))
                out << (i + 1) << ' ' << regs[i] << '\n';
        out.flush();
        if (!out) {
            *error = tmp + ": write error";
            std::remove(tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        *error = path + ": cannot replace: " + std::strerror(errno);
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

} // namespace kolva::sim

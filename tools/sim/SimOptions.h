#pragma once
// Command line of kolva-sim: options, register lists and the register file format.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kolva::sim {

constexpr int kRegisterCount = 65536; // registers 1..65536 (wire addresses 0..65535)

// A list of 1-based register numbers like "5,7,10-12".
class RegisterSet {
public:
    // Parses text into *out; false with *error set on a malformed list.
    static bool parse(const std::string& text, RegisterSet* out, std::string* error);
    bool empty() const { return ranges_.empty(); }
    bool contains(int reg) const;
    // True when any of the registers first .. first + count - 1 is in the set.
    bool touches(int first, int count) const;

private:
    std::vector<std::pair<int, int>> ranges_; // inclusive
};

enum class LengthFault { Alternate, Short, Long };

struct Options {
    std::string tty;  // attach to this tty instead of creating a pty
    std::string link; // symlink to the pty
    int address = 1;
    std::string mapFile;
    std::string catalogue;
    std::string model;
    std::string stateFile;
    std::string journalFile;
    bool journalReads = false;
    std::string dumpFile;
    int storeRegister = 0; // 0: chosen from the model (65001 without one)
    long baud = 0;         // 0: no wire-time emulation
    bool exitOnHangup = false;
    bool verbose = false;

    // Fault injection.
    RegisterSet noReply;
    double dropFraction = 0.0;
    std::optional<std::uint32_t> seed;
    bool badCrc = false;
    RegisterSet badCrcRegs; // empty: every reply
    bool badLength = false;
    RegisterSet badLengthRegs; // empty: every reply
    LengthFault lengthMode = LengthFault::Alternate;
    std::map<int, int> exceptions; // register -> exception code
    int noise = 0;
    int lateMs = 0;
    int split = 1;
    int splitPauseMs = 10;
    RegisterSet ignoreWrites;
    int faultLimit = -1; // each fault acts at most this many times; -1 = always
};

// Parses argv. Returns 0 to run, 1 when --help was shown (exit 0), -1 on a usage error
// (message in *error).
int parseOptions(int argc, char** argv, Options* options, std::string* error);

const char* usageText();

// Register of the model's store command, in the catalogue's 1-based numbering.
int storeRegisterForModel(const std::string& model);

// Register file: "REGISTER VALUE" per line, '#' starts a comment, blank lines allowed;
// register 1..65536, value 0..65535, each decimal or 0x hexadecimal.
// Applies the file's values over regs (65536 entries, index = register - 1).
bool loadRegisterFile(const std::string& path, std::vector<std::uint16_t>* regs,
                      std::string* error);
// Writes, atomically (temporary file + rename), every register that is non-zero or whose
// baseline value is non-zero (so a register cleared since start-up is kept as 0).
bool saveRegisterFile(const std::string& path, const std::vector<std::uint16_t>& regs,
                      const std::vector<std::uint16_t>* baseline, std::string* error);

// Strict number parsing: decimal or 0x hexadecimal, whole text.
bool parseNumber(const std::string& text, long long* value);

} // namespace kolva::sim

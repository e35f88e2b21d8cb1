#pragma once
// The program's configuration keys: the one list every reader and writer uses.
//
// clang-format off
// | Section | Key        | File    | Default                               | Meaning                           |
// |---------|------------|---------|---------------------------------------|-----------------------------------|
// | AYAR    | Device     | config  | RX-B2                                 | model last used                   |
// | AYAR    | Address    | config  | 1                                     | bus address last used (1..255)    |
// | AYAR    | chcollapse | config  | 0                                     | "1": grid categories collapsed    |
// | RTU     | comport    | config  | COM1                                  | serial port name                  |
// | RTU     | baudrate   | config  | 9600                                  | bit rate                          |
// | RTU     | databits   | config  | 8                                     | data bits                         |
// | RTU     | stopbit    | config  | 1                                     | "1", "1.5" or "2"                 |
// | RTU     | parity     | config  | none                                  | "none", "odd" or "even"           |
// | RTU     | timeout    | config  | 500 (settings dialog), 1500 (connect) | reply time-out in ms              |
// | DB      | sifre      | DB file | (empty)                               | catalogue password                |
// clang-format on
//
// A fresh configuration file gets, in this order: Device, Address (start-up), the six RTU
// keys with the dialog's defaults, then chcollapse (settings dialog).

#include <QString>

namespace kolva::keys {

struct Key {
    const char* section;
    const char* key;
    const char* def;

    QString Section() const { return QString::fromLatin1(section); }
    QString Name() const { return QString::fromLatin1(key); }
    QString Default() const { return QString::fromLatin1(def); }
};

inline constexpr const char* kAyar = "AYAR";
inline constexpr const char* kRtu = "RTU";
inline constexpr const char* kDb = "DB";

inline constexpr Key Device{kAyar, "Device", "RX-B2"};
inline constexpr Key Address{kAyar, "Address", "1"};
inline constexpr Key chcollapse{kAyar, "chcollapse", "0"};

inline constexpr Key comport{kRtu, "comport", "COM1"};
inline constexpr Key baudrate{kRtu, "baudrate", "9600"};
inline constexpr Key databits{kRtu, "databits", "8"};
inline constexpr Key stopbit{kRtu, "stopbit", "1"};
inline constexpr Key parity{kRtu, "parity", "none"};
// The settings dialog's default; the connection uses timeoutConnect's.
inline constexpr Key timeout{kRtu, "timeout", "500"};
inline constexpr Key timeoutConnect{kRtu, "timeout", "1500"};

// In the database password file (paths::PasswordFile()).
inline constexpr Key sifre{kDb, "sifre", ""};

// The serial-link keys in the order the dialog and the connection read them.
inline constexpr Key kRtuKeys[] = {comport, baudrate, databits, stopbit, parity, timeout};

} // namespace kolva::keys

#pragma once
// The catalogue's enciphered columns: RC4 keyed with the SHA-1 digest of a key text, carried
// as Base64. `caption` is enciphered with the caption key, `register` with the register key;
// both keys are a fixed prefix followed by the row's id in decimal.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace kolva {

// RC4 stream cipher (the standard key schedule, no key-stream bytes dropped).
class TRc4 {
public:
    explicit TRc4(const QByteArray& key);
    ~TRc4(); // wipes the state
    TRc4(const TRc4&) = delete;
    TRc4& operator=(const TRc4&) = delete;

    // XORs `data` with the next key-stream bytes, in place.
    void Apply(QByteArray& data);

private:
    uint8_t s_[256];
    uint8_t i_ = 0;
    uint8_t j_ = 0;
};

// Base64 (standard alphabet, "=" padding), decoded group by group: only complete groups of
// four characters count (anything after the last complete group is ignored); a group whose
// third character is "=" gives one byte, whose fourth is "=" two bytes, any other three.
// A character outside the alphabet counts as the value 0.
QByteArray Base64DecodeGroups(const QString& text);
// Standard Base64 with padding.
QString Base64Encode(const QByteArray& bytes);

// Deciphers a catalogue value: empty cipher text gives empty text; the key text's
// Windows-1254 bytes are hashed with SHA-1, the 20-byte digest keys RC4, the Base64-decoded
// bytes are XORed with the key stream, and the result is read as Windows-1254 text.
QString DecryptField(const QString& cipher, const QString& key);
// The inverse, used by the catalogue maker's tool. Empty text gives empty text.
QString EncryptField(const QString& plain, const QString& key);

// The key prefixes as held by the program (Base64 of 4 and 5 bytes).
inline constexpr const char* kCaptionKeyPrefix = "S3Y3Yw==";
inline constexpr const char* kRegisterKeyPrefix = "UmcjNDE=";

// caption key prefix + decimal id; register key prefix + decimal id.
QString CaptionKey(qint64 id);
QString RegisterKey(qint64 id);

} // namespace kolva

#include "Crypto.h"

#include "config/Text.h"

#include <QCryptographicHash>

#include <utility>

namespace kolva {

namespace {

// Clears memory in a way the optimiser may not drop.
void Wipe(void* data, size_t size) {
    volatile uint8_t* p = static_cast<volatile uint8_t*>(data);
    while (size--)
        *p++ = 0;
}

int Base64Value(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'A' && u <= u'Z') return u - u'A';
    if (u >= u'a' && u <= u'z') return u - u'a' + 26;
    if (u >= u'0' && u <= u'9') return u - u'0' + 52;
    if (u == u'+') return 62;
    if (u == u'/') return 63;
    return 0;
}

QByteArray Digest(const QString& key) {
    return QCryptographicHash::hash(ToCp1254(key), QCryptographicHash::Sha1);
}

QString PrefixText(const char* base64) {
    return FromCp1254(Base64DecodeGroups(QString::fromLatin1(base64)));
}

} // namespace

TRc4::TRc4(const QByteArray& key) {
    for (int k = 0; k < 256; ++k)
        s_[k] = uint8_t(k);
    if (key.isEmpty()) return;
    uint8_t j = 0;
    for (int k = 0; k < 256; ++k) {
        j = uint8_t(j + s_[k] + uint8_t(key[k % key.size()]));
        std::swap(s_[k], s_[j]);
    }
}

TRc4::~TRc4() {
    Wipe(s_, sizeof s_);
    Wipe(&i_, 1);
    Wipe(&j_, 1);
}

void TRc4::Apply(QByteArray& data) {
    for (char& c : data) {
        i_ = uint8_t(i_ + 1);
        j_ = uint8_t(j_ + s_[i_]);
        std::swap(s_[i_], s_[j_]);
        c = char(uint8_t(c) ^ s_[uint8_t(s_[i_] + s_[j_])]);
    }
}

QByteArray Base64DecodeGroups(const QString& text) {
    QByteArray out;
    out.reserve(text.size() / 4 * 3);
    for (qsizetype g = 0; g + 4 <= text.size(); g += 4) {
        const int v0 = Base64Value(text[g]), v1 = Base64Value(text[g + 1]);
        const int v2 = Base64Value(text[g + 2]), v3 = Base64Value(text[g + 3]);
        out.append(char((v0 << 2) | (v1 >> 4)));
        if (text[g + 2] == u'=') continue;
        out.append(char(((v1 & 0x0F) << 4) | (v2 >> 2)));
        if (text[g + 3] == u'=') continue;
        out.append(char(((v2 & 0x03) << 6) | v3));
    }
    return out;
}

QString Base64Encode(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64());
}

namespace {

// RC4 keyed with the SHA-1 digest of `key`, over `data` in place (it is its own inverse).
void ApplyKeyStream(QByteArray& data, const QString& key) {
    QByteArray digest = Digest(key);
    {
        TRc4 rc4(digest);
        rc4.Apply(data);
    }
    Wipe(digest.data(), size_t(digest.size()));
}

} // namespace

QString DecryptField(const QString& cipher, const QString& key) {
    if (cipher.isEmpty()) return QString();
    QByteArray data = Base64DecodeGroups(cipher);
    ApplyKeyStream(data, key);
    const QString text = FromCp1254(data);
    Wipe(data.data(), size_t(data.size()));
    return text;
}

QString EncryptField(const QString& plain, const QString& key) {
    if (plain.isEmpty()) return QString();
    QByteArray data = ToCp1254(plain);
    ApplyKeyStream(data, key);
    return Base64Encode(data);
}

QString CaptionKey(qint64 id) {
    return PrefixText(kCaptionKeyPrefix) + QString::number(id);
}
QString RegisterKey(qint64 id) {
    return PrefixText(kRegisterKeyPrefix) + QString::number(id);
}

} // namespace kolva

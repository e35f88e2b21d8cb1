#include "Text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kolva {

// Making a converter looks the code page up in ICU each time; the catalogue walk converts
// every row, so each thread keeps one of each. Stateless: no call leaks into the next.
QByteArray ToCp1254(const QString& text) {
    thread_local QStringEncoder encoder("windows-1254", QStringConverter::Flag::Stateless);
    return encoder.encode(text);
}

QString FromCp1254(const QByteArray& bytes) {
    thread_local QStringDecoder decoder("windows-1254", QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

QString DecodeFileText(const QByteArray& bytes, bool* wasUtf8) {
    QByteArrayView view(bytes);
    const bool bom = view.startsWith("\xEF\xBB\xBF");
    if (bom) view = view.sliced(3);
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    QString text = utf8.decode(view);
    if (!utf8.hasError()) {
        // Pure ASCII reads the same either way; call it UTF-8 only when it says so.
        bool ascii = true;
        for (char c : view)
            if (static_cast<unsigned char>(c) >= 0x80) {
                ascii = false;
                break;
            }
        if (wasUtf8) *wasUtf8 = bom || !ascii;
        return text;
    }
    if (wasUtf8) *wasUtf8 = false;
    return FromCp1254(view.toByteArray());
}

} // namespace kolva

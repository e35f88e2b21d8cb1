#include "CatalogueDefaults.h"

#include "catalogue/Catalogue.h"
#include "link/Codecs.h"

#include <QByteArray>

#include <cmath>
#include <cstdio>
#include <limits>

namespace kolva::sim {

namespace {

bool toWhole(const QString& text, qint64 lo, qint64 hi, qint64* out) {
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < lo || v > hi) return false;
    *out = v;
    return true;
}

} // namespace

bool encodeDefault(const SettingDefault& s, std::vector<std::uint16_t>* regs, std::string* error) {
    QByteArray RegisterData;
    qint64 whole = 0;
    const QString text = s.value;
    const QString& type = s.type;
    auto bad = [&](const char* what) {
        *error = "register " + std::to_string(s.reg) + ": default '" + text.toStdString() +
                 "' is not " + what + " (type " + type.toStdString() + ")";
        return false;
    };
    if (type == "integer" || type == "combo") {
        if (!toWhole(text, 0, 65535, &whole)) return bad("a whole number 0..65535");
        InttoByteArray(RegisterData, 0, static_cast<int>(whole));
    } else if (type == "signedint") {
        if (!toWhole(text, -32768, 32767, &whole)) return bad("a whole number -32768..32767");
        SignedInttoByteArray(RegisterData, 0, static_cast<int>(whole));
    } else if (type == "long") {
        if (!toWhole(text, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max(),
                     &whole))
            return bad("a 32-bit whole number");
        LongtoByteArray(RegisterData, static_cast<qint32>(whole), 0, 0);
    } else if (type == "double") {
        QString t = text.trimmed();
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        bool ok = false;
        const double d = t.toDouble(&ok);
        if (!ok || !std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max())
            return bad("a decimal number");
        FloattoByteArray(RegisterData, 0, static_cast<float>(d));
    } else if (type == "string" || type == "stringswap") {
        if (s.max <= 0) return bad("a text with a positive maximum length");
        if (type == "string")
            StringtoByteArray(RegisterData, 0, text, s.max);
        else
            StringtoByteArraySwap(RegisterData, 0, text, s.max);
    } else {
        *error =
            "register " + std::to_string(s.reg) + ": unknown type '" + type.toStdString() + "'";
        return false;
    }
    const int count = static_cast<int>(RegisterData.size() / 2);
    if (s.reg < 1 || s.reg + count - 1 > kRegisterCount) {
        *error = "register " + std::to_string(s.reg) + " with " + std::to_string(count) +
                 " registers lies outside 1..65536";
        return false;
    }
    for (int i = 0; i < count; ++i)
        (*regs)[s.reg - 1 + i] =
            static_cast<std::uint16_t>((static_cast<std::uint8_t>(RegisterData[2 * i]) << 8) |
                                       static_cast<std::uint8_t>(RegisterData[2 * i + 1]));
    return true;
}

bool loadCatalogueDefaults(const Options& options, std::vector<std::uint16_t>* regs,
                           std::string* error) {
    QString readError;
    const QList<TCatalogueRow> rows =
        ReadModelRows(QString::fromStdString(options.catalogue),
                      QString::fromStdString(options.model), &readError);
    if (!readError.isEmpty()) {
        *error = options.catalogue + ": " + readError.toStdString();
        return false;
    }
    if (rows.isEmpty()) {
        *error = options.catalogue + ": no rows for model '" + options.model + "'";
        return false;
    }
    // Command rows need nothing: every register accepts writes. A setting whose default
    // cannot be encoded keeps 0 in its registers and is reported, the others still load.
    for (const TCatalogueRow& row : rows) {
        if (row.command != 0 || row.defaultValue.trimmed().isEmpty()) continue;
        std::string why;
        if (!encodeDefault({row.type, row.registerNo, row.max, row.defaultValue}, regs, &why))
            std::fprintf(stderr, "kolva-sim: %s: model %s, row %lld: %s\n",
                         options.catalogue.c_str(), options.model.c_str(),
                         static_cast<long long>(row.id), why.c_str());
    }
    return true;
}

} // namespace kolva::sim

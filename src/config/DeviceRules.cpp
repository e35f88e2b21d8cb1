#include "DeviceRules.h"

namespace kolva {

int RegisterCount(const QString& type, int max) {
    if (type == QLatin1String("long") || type == QLatin1String("double")) return 2;
    if (type == QLatin1String("string") || type == QLatin1String("stringswap"))
        return max > 0 ? (max + 1) / 2 : 0;
    return 1;
}

TSaveCommand SaveCommandFor(const QString& model) {
    if (model == QLatin1String("RX-B2")) return {5007, QString()};
    if (model.contains(u"RX-N4") || model.contains(u"RX-A1")) return {5201, QString()};
    static const char16_t* const kOne[] = {u"RX-M3", u"RX-C3", u"RX-D4", u"RX-E5", u"RX-F6",
                                           u"RX-G7", u"RX-H8", u"RX-J9", u"RX-K1", u"RX-L2"};
    for (const char16_t* code : kOne)
        if (model.contains(QStringView(code)))
            return {1, QStringLiteral("Save Settings Command (1)")};
    return {65001, QStringLiteral("Save Settings Command (65001)")};
}

} // namespace kolva

#pragma once
// The maker's web address, shown in the About box and the status bar, and the help page.

#include <QString>

namespace kolva {

inline QString MakerWebAddress() {
    return QStringLiteral("www.kolva.com.tr");
}
inline QString HelpPageUrl() {
    return QStringLiteral("https://") + MakerWebAddress() + QStringLiteral("/yardim/kolva-ayar");
}

} // namespace kolva

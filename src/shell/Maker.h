#pragma once
// The application's title, and the maker's web address (About box, status bar, help page).

#include <QString>

namespace kolva {

// The application's title (taskbar, message boxes).
inline QString ApplicationTitle() {
    return QStringLiteral("KOLVA Ayar Sihirbazı");
}
inline QString MakerWebAddress() {
    return QStringLiteral("www.kolva.com.tr");
}
inline QString HelpPageUrl() {
    return QStringLiteral("https://") + MakerWebAddress() + QStringLiteral("/yardim/kolva-ayar");
}

} // namespace kolva

#pragma once
// The program's look: Fusion with a light blue palette and a modest style sheet.

class QApplication;

namespace kolva {

void ApplySkin(QApplication& app);

} // namespace kolva

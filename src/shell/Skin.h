#pragma once
// The program's look: Fusion with a light blue palette and a modest style sheet.

class QApplication;

namespace kolva {

void ApplySkin(QApplication& app);

// Registers the icons and pictures of the shell (held in a static library); safe to repeat.
void InitShellResources();

} // namespace kolva

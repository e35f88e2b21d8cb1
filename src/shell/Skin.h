#pragma once
// The program's look: Fusion with a light blue palette and a modest style sheet.

class QApplication;
class QPushButton;
class QVBoxLayout;
class QWidget;

namespace kolva {

void ApplySkin(QApplication& app);

// Registers the icons and pictures of the shell (held in a static library); safe to repeat.
void InitShellResources();

// The dialogs' "&Tamam" button (`cxButton1`), added at the bottom right of `layout`.
QPushButton* AddOkButton(QVBoxLayout* layout, QWidget* dialog);

} // namespace kolva

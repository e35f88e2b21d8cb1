#pragma once
// The Widgets side of the Host seam: modal boxes owned by the main window, the Ctrl key's
// physical state, event processing, pauses and the status bar's progress bar.

#include "config/Host.h"

#include <QPointer>

class QProgressBar;
class QWidget;

namespace kolva {

class QtHost : public Host {
public:
    // `owner` parents the boxes; `progress` is the status bar's progress bar (either may be
    // null: boxes then have no owner, progress calls do nothing).
    explicit QtHost(QWidget* owner = nullptr, QProgressBar* progress = nullptr);

    void SetOwner(QWidget* owner) { owner_ = owner; }
    void SetProgressBar(QProgressBar* progress);

    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool Confirm(const QString& text) override;
    bool WarningOkCancel(const QString& text) override;
    bool CtrlDown() override;
    void ProcessEvents() override;
    void Sleep(int ms) override;
    void SetProgressMax(int max) override;
    void SetProgressPos(int pos) override;
    int ProgressPos() const override;

private:
    QPointer<QWidget> owner_;
    QPointer<QProgressBar> progress_;
    int max_ = 0;
    int pos_ = 0;
};

} // namespace kolva

#pragma once
// The seam between the program's logic and whatever presents it (the window, the
// command-line companion, or a scripted fake in the tests). Every modal box, the
// progress bar, the Ctrl key, event processing and pauses go through it.

#include <QString>

namespace kolva {

class Host {
public:
    virtual ~Host() = default;

    // A plain modal message box with an OK button.
    virtual void ShowMessage(const QString& text) = 0;
    // The report of an error that escaped an operation (a modal error box).
    virtual void ShowError(const QString& text) = 0;
    // A Yes/No confirmation; true on Yes.
    virtual bool Confirm(const QString& text) = 0;
    // A warning box with OK and Cancel; true on OK.
    virtual bool WarningOkCancel(const QString& text) = 0;
    // The physical state of the Ctrl key at this moment.
    virtual bool CtrlDown() = 0;
    // Lets pending user-interface events run once.
    virtual void ProcessEvents() = 0;
    // Pauses without processing events.
    virtual void Sleep(int ms) = 0;
    // Progress bar of the running operation.
    virtual void SetProgressMax(int max) = 0;
    virtual void SetProgressPos(int pos) = 0;
    virtual int ProgressPos() const = 0;
};

} // namespace kolva

#pragma once
// kolva::Host for a terminal: boxes become lines on stderr, confirmations are asked on the
// terminal (or answered by --yes), progress is drawn on stderr when it is a terminal.

#include "config/Host.h"

#include <QStringList>

namespace kolva::cli {

class TConsoleHost : public Host {
public:
    // `assumeYes`: every confirmation and warning is answered Yes / OK.
    explicit TConsoleHost(bool assumeYes);

    void ShowMessage(const QString& text) override;
    void ShowError(const QString& text) override;
    bool Confirm(const QString& text) override;
    bool WarningOkCancel(const QString& text) override;
    bool CtrlDown() override { return false; }
    void ProcessEvents() override;
    void Sleep(int ms) override;
    void SetProgressMax(int max) override;
    void SetProgressPos(int pos) override;
    int ProgressPos() const override { return pos_; }

    // Ends a progress line drawn on the terminal.
    void EndProgress();

    // Whether stdin / stderr are terminals.
    static bool StdinIsTerminal();
    static bool StderrIsTerminal();

    const QStringList& Messages() const { return messages_; }
    const QStringList& Errors() const { return errors_; }
    // Confirmations answered No so far (warnings answered Cancel are not counted).
    int Declined() const { return declined_; }

private:
    bool Answer(const QString& text, const QString& yes, const QString& no);

    bool assumeYes_;
    bool drawProgress_;
    bool progressShown_ = false;
    int max_ = 0;
    int pos_ = 0;
    int declined_ = 0;
    QStringList messages_;
    QStringList errors_;
};

// Prints a line on stderr (UTF-8).
void ErrLine(const QString& text);
// Prints a line on stdout (UTF-8).
void OutLine(const QString& text);

} // namespace kolva::cli

#include "ConsoleHost.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <iostream>
#include <string>

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace kolva::cli {

void ErrLine(const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), stderr);
    std::fflush(stderr);
}

void OutLine(const QString& text) {
    std::fputs((text + u'\n').toUtf8().constData(), stdout);
}

TConsoleHost::TConsoleHost(bool assumeYes)
    : assumeYes_(assumeYes), drawProgress_(StderrIsTerminal()) {}

bool TConsoleHost::StdinIsTerminal() {
    return isatty(fileno(stdin));
}

bool TConsoleHost::StderrIsTerminal() {
    return isatty(fileno(stderr));
}

void TConsoleHost::ShowMessage(const QString& text) {
    EndProgress();
    messages_ << text;
    ErrLine(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TConsoleHost::ShowError(const QString& text) {
    EndProgress();
    errors_ << text;
    ErrLine(u"Hata: " + text);
}

bool TConsoleHost::Answer(const QString& text, const QString& yes, const QString& no) {
    EndProgress();
    const QString shown = QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (assumeYes_) {
        ErrLine(shown + u" [" + yes + u"]");
        return true;
    }
    if (!StdinIsTerminal()) {
        ErrLine(shown + u" [" + no + u": terminal yok, --yes verilmedi]");
        return false;
    }
    std::fputs((shown + u" (" + yes + u"/" + no + u") ").toUtf8().constData(), stderr);
    std::fflush(stderr);
    std::string answer;
    const QString a =
        std::getline(std::cin, answer) ? QString::fromUtf8(answer).trimmed().toLower() : QString();
    const bool ok = !a.isEmpty() &&
                    (a == yes.toLower() || a == yes.left(1).toLower() || a == u"y" || a == u"yes");
    return ok;
}

bool TConsoleHost::Confirm(const QString& text) {
    const bool yes = Answer(text, QStringLiteral("Evet"), QStringLiteral("Hayır"));
    if (!yes) ++declined_;
    return yes;
}

bool TConsoleHost::WarningOkCancel(const QString& text) {
    return Answer(text, QStringLiteral("Tamam"), QStringLiteral("İptal"));
}

void TConsoleHost::ProcessEvents() {
    QCoreApplication::processEvents();
}

void TConsoleHost::Sleep(int ms) {
    if (ms > 0) QThread::msleep(ulong(ms));
}

void TConsoleHost::SetProgressMax(int max) {
    max_ = max;
}

void TConsoleHost::SetProgressPos(int pos) {
    pos_ = pos;
    if (!drawProgress_ || max_ <= 0) return;
    std::fprintf(stderr, "\r%d/%d", pos, max_);
    std::fflush(stderr);
    progressShown_ = true;
}

void TConsoleHost::EndProgress() {
    if (!progressShown_) return;
    std::fputs("\n", stderr);
    progressShown_ = false;
}

} // namespace kolva::cli

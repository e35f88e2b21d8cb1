#pragma once
// A scripted Host for tests: records every box shown and answers from queues.

#include "config/Host.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QStringList>
#include <QThread>

#include <functional>

namespace kolva::test {

class FakeHost : public Host {
public:
    QStringList messages;       // ShowMessage texts
    QStringList errors;         // ShowError texts
    QStringList confirms;       // Confirm questions
    QStringList warnings;       // WarningOkCancel texts
    QList<bool> confirmAnswers; // consumed in order; default Yes when empty
    QList<bool> warningAnswers; // consumed in order; default OK when empty
    bool ctrl = false;
    int processEventsCalls = 0;
    QList<int> processEventsAtPos; // progress position at each ProcessEvents call
    QList<int> sleeps;
    bool realSleep = true;
    int progressMax = 0;
    int progressPos = 0;
    std::function<void()> onProcessEvents; // runs inside ProcessEvents (e.g. press Iptal)

    void ShowMessage(const QString& text) override { messages << text; }
    void ShowError(const QString& text) override { errors << text; }
    bool Confirm(const QString& text) override {
        confirms << text;
        return confirmAnswers.isEmpty() ? true : confirmAnswers.takeFirst();
    }
    bool WarningOkCancel(const QString& text) override {
        warnings << text;
        return warningAnswers.isEmpty() ? true : warningAnswers.takeFirst();
    }
    bool CtrlDown() override { return ctrl; }
    void ProcessEvents() override {
        ++processEventsCalls;
        processEventsAtPos << progressPos;
        QCoreApplication::processEvents();
        if (onProcessEvents) onProcessEvents();
    }
    void Sleep(int ms) override {
        sleeps << ms;
        if (realSleep && ms > 0) QThread::msleep(ms);
    }
    void SetProgressMax(int max) override { progressMax = max; }
    void SetProgressPos(int pos) override { progressPos = pos; }
    int ProgressPos() const override { return progressPos; }
};

} // namespace kolva::test

#include "shell/QtHost.h"

#include "shell/Maker.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>

namespace kolva {

QtHost::QtHost(QWidget* owner, QProgressBar* progress) : owner_(owner), progress_(progress) {}

void QtHost::SetProgressBar(QProgressBar* progress) {
    progress_ = progress;
}

void QtHost::ShowMessage(const QString& text) {
    QMessageBox::information(owner_, ApplicationTitle(), text);
}

void QtHost::ShowError(const QString& text) {
    QMessageBox::critical(owner_, ApplicationTitle(), text);
}

bool QtHost::Confirm(const QString& text) {
    return QMessageBox::question(owner_, ApplicationTitle(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool QtHost::WarningOkCancel(const QString& text) {
    return QMessageBox::warning(owner_, ApplicationTitle(), text,
                                QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Ok) == QMessageBox::Ok;
}

bool QtHost::CtrlDown() {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
}

void QtHost::ProcessEvents() {
    QCoreApplication::processEvents();
}

void QtHost::Sleep(int ms) {
    if (ms > 0) QThread::msleep(static_cast<unsigned long>(ms));
}

void QtHost::SetProgressMax(int max) {
    max_ = max;
    // A range of 0..0 would turn the bar into a busy indicator; an empty run shows as empty.
    if (progress_) progress_->setRange(0, max > 0 ? max : 1);
}

void QtHost::SetProgressPos(int pos) {
    pos_ = pos;
    // The bar ignores values outside its range; show them clamped, keep the position itself.
    if (progress_) progress_->setValue(qBound(0, pos, progress_->maximum()));
}

int QtHost::ProgressPos() const {
    return pos_;
}

} // namespace kolva

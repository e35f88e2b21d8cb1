#include "shell/Skin.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QPalette>
#include <QPushButton>
#include <QStyleFactory>
#include <QVBoxLayout>

static void RegisterShellResources() {
    Q_INIT_RESOURCE(shell);
}

namespace kolva {

void InitShellResources() {
    static const bool done = (RegisterShellResources(), true);
    Q_UNUSED(done);
}

namespace {

const char* kStyleSheet = R"(
QMainWindow { background: #dfe9f5; }
QToolBar#barMain {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #f6f9fd, stop:0.45 #dde8f6, stop:0.5 #cfdff2, stop:1 #c2d6ee);
    border: none;
    border-bottom: 1px solid #8db2e3;
    spacing: 3px;
    padding: 3px 4px;
}
QToolBar#barMain::separator {
    background: #9fbbe0;
    width: 1px;
    margin: 4px 5px;
}
QToolBar#barMain QToolButton {
    border: 1px solid transparent;
    border-radius: 3px;
    padding: 3px 4px;
    color: #15428b;
}
QToolBar#barMain QToolButton:hover {
    border-color: #dbce99;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #fffbe6, stop:0.5 #ffe9a8, stop:0.51 #ffd86b, stop:1 #ffe69b);
}
QToolBar#barMain QToolButton:pressed, QToolBar#barMain QToolButton:checked {
    border-color: #c2a45b;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #f9c99a, stop:0.5 #f6b57a, stop:0.51 #f39c4f, stop:1 #f8c16d);
}
QToolBar#barMain QToolButton:disabled { color: #8d9db5; }
QToolBar#barMain QToolButton::menu-indicator { subcontrol-position: bottom right; }
QToolBar#barMain QLabel { color: #15428b; padding: 0 2px 0 4px; }
QToolBar#barMain QComboBox { min-height: 20px; }

QTabWidget::pane {
    border: 1px solid #8db2e3;
    top: -1px;
    background: #ffffff;
}
QTabBar::tab {
    color: #15428b;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f3f7fc, stop:1 #d5e3f4);
    border: 1px solid #8db2e3;
    border-bottom: none;
    border-top-left-radius: 4px;
    border-top-right-radius: 4px;
    padding: 4px 14px;
    margin-right: 2px;
}
QTabBar::tab:selected {
    background: #ffffff;
    font-weight: bold;
}
QTabBar::tab:!selected { margin-top: 2px; }
QTabBar::tab:hover:!selected {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fffbe6, stop:1 #ffe69b);
}

QStatusBar#SB1 {
    color: #15428b;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dce8f7, stop:1 #c0d5ef);
    border-top: 1px solid #8db2e3;
}
QStatusBar#SB1::item { border: none; }
QStatusBar#SB1 QLabel { color: #15428b; padding: 0 6px; }
QLabel#lblConnected { color: #1e7b2c; font-weight: bold; }
QLabel#lblDisconnected { color: #6b7c93; }
QProgressBar#PB1 {
    border: 1px solid #8db2e3;
    border-radius: 2px;
    background: #ffffff;
    text-align: center;
    font-weight: bold;
    color: #15428b;
    max-height: 16px;
}
QProgressBar#PB1::chunk {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #8fdc8f, stop:1 #3ea84a);
}

QPlainTextEdit#Memo1 {
    color: lime;
    background: black;
    border: none;
    selection-background-color: #2a6cc4;
    selection-color: white;
}

QGroupBox {
    color: #15428b;
    font-weight: bold;
    border: 1px solid #9fbbe0;
    border-radius: 4px;
    margin-top: 10px;
    padding-top: 6px;
    background: #f4f8fd;
}
QGroupBox::title {
    subcontrol-origin: margin;
    left: 8px;
    padding: 0 4px;
}
QGroupBox QLabel, QGroupBox QCheckBox { font-weight: normal; color: #1b2b45; }
QDialog { background: #e6eef8; }
QPushButton {
    color: #15428b;
    border: 1px solid #8db2e3;
    border-radius: 3px;
    padding: 4px 12px;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #ffffff, stop:0.5 #e3edf9, stop:0.51 #d3e2f5, stop:1 #e4eefa);
}
QPushButton:hover {
    border-color: #dbce99;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #fffbe6, stop:0.5 #ffe9a8, stop:0.51 #ffd86b, stop:1 #ffe69b);
}
QPushButton:pressed {
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1,
        stop:0 #f9c99a, stop:0.5 #f6b57a, stop:0.51 #f39c4f, stop:1 #f8c16d);
}
QPushButton:default { border-color: #3d6fb6; }
)";

} // namespace

void ApplySkin(QApplication& app) {
    InitShellResources();
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) app.setStyle(fusion);

    QPalette pal;
    pal.setColor(QPalette::Window, QColor(0xdf, 0xe9, 0xf5));
    pal.setColor(QPalette::WindowText, QColor(0x1b, 0x2b, 0x45));
    pal.setColor(QPalette::Base, Qt::white);
    pal.setColor(QPalette::AlternateBase, QColor(0xf2, 0xf6, 0xfc));
    pal.setColor(QPalette::ToolTipBase, QColor(0xff, 0xff, 0xe8));
    pal.setColor(QPalette::ToolTipText, QColor(0x1b, 0x2b, 0x45));
    pal.setColor(QPalette::Text, QColor(0x1b, 0x2b, 0x45));
    pal.setColor(QPalette::Button, QColor(0xe4, 0xee, 0xfa));
    pal.setColor(QPalette::ButtonText, QColor(0x15, 0x42, 0x8b));
    pal.setColor(QPalette::Highlight, QColor(0x3d, 0x6f, 0xb6));
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Light, Qt::white);
    pal.setColor(QPalette::Midlight, QColor(0xd5, 0xe3, 0xf4));
    pal.setColor(QPalette::Mid, QColor(0x9f, 0xbb, 0xe0));
    pal.setColor(QPalette::Dark, QColor(0x6f, 0x8f, 0xbf));
    pal.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x8d, 0x9d, 0xb5));
    pal.setColor(QPalette::Disabled, QPalette::Text, QColor(0x8d, 0x9d, 0xb5));
    pal.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8d, 0x9d, 0xb5));
    app.setPalette(pal);
    app.setStyleSheet(QString::fromLatin1(kStyleSheet));
}

QPushButton* AddOkButton(QVBoxLayout* layout, QWidget* dialog) {
    auto* button = new QPushButton(QStringLiteral("&Tamam"), dialog);
    button->setObjectName(QStringLiteral("cxButton1"));
    button->setDefault(true);
    button->setMinimumWidth(90);
    button->setIcon(QIcon(QStringLiteral(":/icons/ok.svg")));
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(button);
    layout->addLayout(row);
    return button;
}

} // namespace kolva

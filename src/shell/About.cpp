#include "shell/About.h"

#include "shell/Maker.h"

#include "shell/Skin.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

TfAbout::TfAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("fAbout"));
    InitShellResources();
    setWindowTitle(QStringLiteral("KOLVA"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(417, 182);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(16, 14, 16, 12);
    root->setSpacing(6);

    imgLogo = new QLabel(this);
    imgLogo->setObjectName(QStringLiteral("imgLogo"));
    imgLogo->setPixmap(QPixmap(QStringLiteral(":/icons/logo.png")));
    imgLogo->setAttribute(Qt::WA_TranslucentBackground);
    root->addWidget(imgLogo, 0, Qt::AlignLeft);

    lblTitle = new QLabel(QStringLiteral("KOLVA Ayar Programı"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.25);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    root->addWidget(lblTitle);

    lblWeb = new QLabel(MakerWebAddress(), this);
    lblWeb->setObjectName(QStringLiteral("lblWeb"));
    root->addWidget(lblWeb);
    root->addStretch(1);

    cxButton1 = AddOkButton(root, this);

    connect(cxButton1, &QPushButton::clicked, this, &TfAbout::cxButton1Click);
}

} // namespace kolva

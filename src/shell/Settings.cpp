#include "shell/Settings.h"

#include "config/ConfigKeys.h"
#include "config/Convert.h"
#include "config/Host.h"
#include "config/Ini.h"

#include "shell/Skin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

namespace kolva {

namespace {
void Put(const keys::Key& key, const QString& value) {
    IniWrite(key.Section(), key.Name(), value);
}
QString Get(const keys::Key& key) {
    return IniRead(key.Section(), key.Name(), key.Default());
}
} // namespace

TfSettings::TfSettings(Host* host, QWidget* parent)
    : QDialog(parent), host_(host), portLister_(&TfSettings::SystemPorts) {
    setObjectName(QStringLiteral("fSettings"));
    InitShellResources();
    setWindowTitle(QStringLiteral("Ayarlar"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(319, 383);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(10, 10, 10, 10);
    root->setSpacing(10);

    grpSerial = new QGroupBox(QStringLiteral("Seriport Ayarları"), this);
    auto* form = new QFormLayout(grpSerial);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    form->setHorizontalSpacing(12);
    form->setVerticalSpacing(8);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    cxcomport = new QComboBox(grpSerial);
    cxcomport->setObjectName(QStringLiteral("cxcomport"));
    cxcomport->setEditable(true);
    cxcomport->setInsertPolicy(QComboBox::NoInsert);
    cxcomport->setEditText(QStringLiteral("COM1"));
    btnscan = new QToolButton(grpSerial);
    btnscan->setObjectName(QStringLiteral("btnscan"));
    btnscan->setIcon(QIcon(QStringLiteral(":/icons/scan.svg")));
    btnscan->setToolTip(QStringLiteral("Seri portları tara"));
    btnscan->setAutoRaise(true);
    auto* portRow = new QHBoxLayout;
    portRow->setSpacing(4);
    portRow->addWidget(cxcomport, 1);
    portRow->addWidget(btnscan);
    form->addRow(QStringLiteral("Com Port"), portRow);

    cxbaudrate = new QComboBox(grpSerial);
    cxbaudrate->setObjectName(QStringLiteral("cxbaudrate"));
    cxbaudrate->setEditable(true);
    cxbaudrate->setInsertPolicy(QComboBox::NoInsert);
    cxbaudrate->addItems({QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
                          QStringLiteral("14400"), QStringLiteral("19200"), QStringLiteral("28800"),
                          QStringLiteral("38400"), QStringLiteral("56000"), QStringLiteral("57600"),
                          QStringLiteral("115200")});
    cxbaudrate->setEditText(QStringLiteral("38400"));
    form->addRow(QStringLiteral("Baudrate"), cxbaudrate);

    cxdatabits = new QSpinBox(grpSerial);
    cxdatabits->setObjectName(QStringLiteral("cxdatabits"));
    cxdatabits->setRange(4, 16);
    cxdatabits->setValue(8);
    form->addRow(QStringLiteral("Data Bit"), cxdatabits);

    cxparity = new QComboBox(grpSerial);
    cxparity->setObjectName(QStringLiteral("cxparity"));
    cxparity->addItem(QStringLiteral("Even"), QStringLiteral("even"));
    cxparity->addItem(QStringLiteral("None"), QStringLiteral("none"));
    cxparity->addItem(QStringLiteral("Odd"), QStringLiteral("odd"));
    cxparity->setCurrentIndex(1);
    form->addRow(QStringLiteral("Parity"), cxparity);

    cxstopbit = new QComboBox(grpSerial);
    cxstopbit->setObjectName(QStringLiteral("cxstopbit"));
    cxstopbit->addItem(QStringLiteral("1 Stop"), QStringLiteral("1"));
    cxstopbit->addItem(QStringLiteral("1.5 Stop"), QStringLiteral("1.5"));
    cxstopbit->addItem(QStringLiteral("2 Stop"), QStringLiteral("2"));
    cxstopbit->setCurrentIndex(0);
    form->addRow(QStringLiteral("Stop Bit"), cxstopbit);

    cxtimeout = new QSpinBox(grpSerial);
    cxtimeout->setObjectName(QStringLiteral("cxtimeout"));
    cxtimeout->setRange(50, 2000);
    cxtimeout->setSingleStep(50);
    cxtimeout->setValue(1000);
    auto* timeoutRow = new QHBoxLayout;
    timeoutRow->setSpacing(6);
    timeoutRow->addWidget(cxtimeout, 1);
    timeoutRow->addWidget(new QLabel(QStringLiteral("ms"), grpSerial));
    form->addRow(QStringLiteral("Zaman Aşımı"), timeoutRow);
    root->addWidget(grpSerial);

    grpOther = new QGroupBox(QStringLiteral("Diğer Ayarlar"), this);
    auto* otherLayout = new QHBoxLayout(grpOther);
    otherLayout->setSpacing(6);
    // The caption wraps in the narrow dialog; a click on it toggles the box like its own.
    const QString collapseText =
        QStringLiteral("Ayar listesindeki gruplar kapalı olarak yüklensin");
    chcollapse = new QCheckBox(grpOther);
    chcollapse->setObjectName(QStringLiteral("chcollapse"));
    chcollapse->setAccessibleName(collapseText);
    lblcollapse = new QLabel(collapseText, grpOther);
    lblcollapse->setObjectName(QStringLiteral("lblcollapse"));
    lblcollapse->setWordWrap(true);
    lblcollapse->setBuddy(chcollapse);
    lblcollapse->installEventFilter(this);
    otherLayout->addWidget(chcollapse, 0, Qt::AlignTop);
    otherLayout->addWidget(lblcollapse, 1);
    root->addWidget(grpOther);
    root->addStretch(1);

    cxButton1 = AddOkButton(root, this);

    connect(cxButton1, &QPushButton::clicked, this, &TfSettings::cxButton1Click);
    connect(btnscan, &QToolButton::clicked, this, &TfSettings::btnscanClick);
    connect(cxstopbit, &QComboBox::activated, this, [this] { stopBitRaw_.clear(); });
    connect(cxparity, &QComboBox::activated, this, [this] { parityRaw_.clear(); });

    FormCreate();
}

bool TfSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblcollapse && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        chcollapse->toggle();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

QStringList TfSettings::SystemPorts() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names << info.portName();
    return names;
}

void TfSettings::SelectValue(QComboBox* box, const QString& value, QString* unmatched) {
    const int index = box->findData(value);
    box->setCurrentIndex(index);
    *unmatched = index < 0 ? value : QString();
}

void TfSettings::Load() {
    cxcomport->setEditText(Get(keys::comport));
    cxbaudrate->setEditText(Get(keys::baudrate));
    cxdatabits->setValue(StrToInt(Get(keys::databits)));
    SelectValue(cxstopbit, Get(keys::stopbit), &stopBitRaw_);
    SelectValue(cxparity, Get(keys::parity), &parityRaw_);
    cxtimeout->setValue(StrToInt(Get(keys::timeout)));
    chcollapse->setChecked(Get(keys::chcollapse) == QLatin1String("1"));
}

void TfSettings::FormCreate() {
    try {
        Load();
    } catch (const Error& e) {
        host_->ShowError(e.text());
    }
}

QString TfSettings::StopBitValue() const {
    return cxstopbit->currentIndex() < 0 ? stopBitRaw_ : cxstopbit->currentData().toString();
}

QString TfSettings::ParityValue() const {
    return cxparity->currentIndex() < 0 ? parityRaw_ : cxparity->currentData().toString();
}

void TfSettings::cxButton1Click() {
    try {
        Put(keys::comport, cxcomport->currentText());
        Put(keys::baudrate, cxbaudrate->currentText());
        Put(keys::databits, QString::number(cxdatabits->value()));
        Put(keys::stopbit, StopBitValue());
        Put(keys::parity, ParityValue());
        Put(keys::timeout, QString::number(cxtimeout->value()));
        Put(keys::chcollapse, chcollapse->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    } catch (const Error& e) {
        host_->ShowError(e.text());
        return;
    }
    accept();
}

void TfSettings::btnscanClick() {
    const QStringList ports = portLister_ ? portLister_() : QStringList();
    const QString text = cxcomport->currentText();
    cxcomport->clear();
    cxcomport->addItems(ports);
    if (ports.isEmpty())
        cxcomport->setEditText(text);
    else
        cxcomport->setCurrentIndex(0);
}

} // namespace kolva

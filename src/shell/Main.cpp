#include "shell/Main.h"

#include "catalogue/Module.h"
#include "config/Convert.h"
#include "config/Paths.h"
#include "editor/SettingsGrid.h"
#include "link/Link.h"
#include "link/Log.h"
#include "operations/Operations.h"
#include "operations/SnapshotOps.h"
#include "shell/About.h"
#include "shell/Maker.h"
#include "shell/QtHost.h"
#include "shell/Settings.h"
#include "shell/StateIndicator.h"
#include "shell/Version.h"
#include "shell/grid/GridView.h"

#include "shell/Skin.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHBoxLayout>
#include <QIdentityProxyModel>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStringListModel>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kolva {

namespace {

// The command selector shows every command with the command icon.
class TCommandIconModel : public QIdentityProxyModel {
public:
    using QIdentityProxyModel::QIdentityProxyModel;
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DecorationRole && index.isValid()) return icon_;
        return QIdentityProxyModel::data(index, role);
    }

private:
    QIcon icon_{QStringLiteral(":/icons/command.svg")};
};

QAction* AddButton(QToolBar* bar, const char* name, const QString& icon, const QString& caption,
                   const QString& hint) {
    auto* action = new QAction(QIcon(QStringLiteral(":/icons/") + icon), caption, bar);
    action->setObjectName(QString::fromLatin1(name));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    bar->addAction(action);
    return action;
}

QLabel* AddCaption(QToolBar* bar, const QString& caption, const QString& hint) {
    auto* label = new QLabel(caption, bar);
    label->setToolTip(hint);
    label->setStatusTip(hint);
    bar->addWidget(label);
    return label;
}

// Courier New at 12 pixels; a monospace family of the system where it is not installed.
QFont TerminalFont() {
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(12);
    if (QFontInfo(font).family().compare(font.family(), Qt::CaseInsensitive) != 0 ||
        !QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPixelSize(12);
    }
    return font;
}

} // namespace

TfMain::TfMain(Tfm& fm, Host* host, QWidget* parent) : QMainWindow(parent), fm_(fm) {
    setObjectName(QStringLiteral("fMain"));
    InitShellResources();
    setWindowIcon(QIcon(QStringLiteral(":/icons/kolva.svg")));
    if (!host) {
        ownHost_ = std::make_unique<QtHost>(this);
        host = ownHost_.get();
    }
    host_ = host;
    fm_.host = host_;

    log_ = std::make_unique<TLog>();
    grid_ = std::make_unique<TSettingsGrid>();
    state_ = std::make_unique<TOperationState>();
    link_ = std::make_unique<TLink>(*log_, *host_);
    ops_ = std::make_unique<TDeviceOperations>(*host_, *log_, *link_, fm_, *grid_, *state_);

    BuildToolbar();
    BuildPages();
    BuildStatusBar();
    if (ownHost_) ownHost_->SetProgressBar(PB1);
    BindCore();

    // Client area 1008 x 561, centred on the screen.
    resize(1008, 561);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }

    FormCreate();
}

TfMain::~TfMain() {
    FormDestroy();
    // The views go before the models they show; the command selector lets go of the list.
    QObject::disconnect(mnCommand, nullptr, this, nullptr);
    mnCommand->setModel(new QStringListModel(mnCommand));
    delete takeCentralWidget();
    // The operations hold references to the link, the grid and the log: they go first.
    ops_.reset();
    link_.reset();
}

void TfMain::SetDialogs(TfAbout* about, TfSettings* settings) {
    about_ = about;
    settings_ = settings;
}

// --- Layout ---------------------------------------------------------------------------------

void TfMain::BuildToolbar() {
    barMain = new QToolBar(QStringLiteral("barMain"), this);
    barMain->setObjectName(QStringLiteral("barMain"));
    barMain->setMovable(false);
    barMain->setFloatable(false);
    barMain->setIconSize(QSize(24, 24));
    barMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    barMain->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, barMain);

    mnNew = AddButton(barMain, "mnNew", QStringLiteral("new.svg"), QStringLiteral("Yeni"),
                      QStringLiteral("Yenile, Cihaza göre ayar listesini olusturur"));
    mnOpen = AddButton(barMain, "mnOpen", QStringLiteral("open.svg"), QStringLiteral("Aç"),
                       QStringLiteral("Daha önce kaydedilmis ayarlari dosyadan açar"));
    mnSave = AddButton(
        barMain, "mnSave", QStringLiteral("save.svg"), QStringLiteral("Kaydet"),
        QStringLiteral("Listedeki ayarlari daha sonra kullanilmak üzere dosyaya kaydeder"));
    barMain->addSeparator();

    const QString deviceHint = QStringLiteral("Islem yapacaginiz cihaz türünü seçebilirsiniz.");
    AddCaption(barMain, QStringLiteral("Cihaz:"), deviceHint);
    mnDevice = new QComboBox(barMain);
    mnDevice->setObjectName(QStringLiteral("mnDevice"));
    mnDevice->setEditable(true);
    mnDevice->setInsertPolicy(QComboBox::NoInsert);
    mnDevice->setMaxVisibleItems(20);
    mnDevice->setFixedWidth(138);
    mnDevice->setToolTip(deviceHint);
    mnDevice->setStatusTip(deviceHint);
    barMain->addWidget(mnDevice);

    AddCaption(barMain, QStringLiteral("Adres:"), QStringLiteral("Adres:"));
    mnAddress = new QComboBox(barMain);
    mnAddress->setObjectName(QStringLiteral("mnAddress"));
    mnAddress->setEditable(true);
    mnAddress->setInsertPolicy(QComboBox::NoInsert);
    mnAddress->setFixedWidth(60);
    for (int a = 1; a <= 255; ++a)
        mnAddress->addItem(QString::number(a));
    mnAddress->setToolTip(QStringLiteral("Adres:"));
    mnAddress->setStatusTip(QStringLiteral("Adres:"));
    barMain->addWidget(mnAddress);

    mnRead = AddButton(barMain, "mnRead", QStringLiteral("read.svg"), QStringLiteral("Oku"),
                       QStringLiteral("Cihazdan ayarlarin okunmasini saglar"));
    mnWrite = AddButton(barMain, "mnWrite", QStringLiteral("write.svg"), QStringLiteral("Yaz"),
                        QStringLiteral("Cihaza tüm ayarlarin kaydedilmesini saglar"));
    // Oku and Yaz show their captions beside the icon; the other buttons show the icon.
    for (QAction* captioned : {mnRead, mnWrite})
        if (auto* button = qobject_cast<QToolButton*>(barMain->widgetForAction(captioned)))
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    mnWriteAll = AddButton(
        barMain, "mnWriteAll", QStringLiteral("writechanged.svg"),
        QStringLiteral("Degisiklikleri Yaz"),
        QStringLiteral("Sadece degisiklik yapilan ayarlarin cihaz kaydedilmesini saglar"));
    mnCancel = AddButton(barMain, "mnCancel", QStringLiteral("cancel.svg"), QStringLiteral("Iptal"),
                         QStringLiteral("Yapilmakta olan islemi durdurmanizi saglar"));
    mnCancel->setEnabled(false);
    barMain->addSeparator();

    mnCommand = new QComboBox(barMain);
    mnCommand->setObjectName(QStringLiteral("mnCommand"));
    mnCommand->setFixedWidth(193);
    mnCommand->setIconSize(QSize(16, 16));
    barMain->addWidget(mnCommand);
    mnRunCommand = AddButton(barMain, "mnRunCommand", QStringLiteral("send.svg"),
                             QStringLiteral("Komut Gönder"), QStringLiteral("Komut Gönder"));
    barMain->addSeparator();

    mnProgSettings = AddButton(barMain, "mnProgSettings", QStringLiteral("settings.svg"),
                               QStringLiteral("Ayarlar"), QStringLiteral("Program ayarlari"));

    mnProgHelpMenu = new QMenu(QStringLiteral("Yardim"), this);
    mnProgHelpMenu->setObjectName(QStringLiteral("mnProgHelpMenu"));
    mnProgHelpMenu->setToolTipsVisible(true);
    mnHelp = mnProgHelpMenu->addAction(QIcon(QStringLiteral(":/icons/help.svg")),
                                       QStringLiteral("Yardim"));
    mnHelp->setObjectName(QStringLiteral("mnHelp"));
    mnHelp->setToolTip(QStringLiteral("Yardim"));
    mnHelp->setStatusTip(QStringLiteral("Yardim"));
    mnProgHelpMenu->addSeparator();
    mnAbout = mnProgHelpMenu->addAction(QIcon(QStringLiteral(":/icons/about.svg")),
                                        QStringLiteral("Hakkinda"));
    mnAbout->setObjectName(QStringLiteral("mnAbout"));
    mnAbout->setToolTip(QStringLiteral("Hakkinda"));
    mnAbout->setStatusTip(QStringLiteral("Hakkinda"));

    mnProgHelp = new QToolButton(barMain);
    mnProgHelp->setObjectName(QStringLiteral("mnProgHelp"));
    mnProgHelp->setText(QStringLiteral("Yardim"));
    mnProgHelp->setIcon(QIcon(QStringLiteral(":/icons/help.svg")));
    mnProgHelp->setIconSize(barMain->iconSize());
    mnProgHelp->setToolButtonStyle(Qt::ToolButtonIconOnly);
    mnProgHelp->setPopupMode(QToolButton::InstantPopup);
    mnProgHelp->setMenu(mnProgHelpMenu);
    mnProgHelp->setAutoRaise(true);
    barMain->addWidget(mnProgHelp);

    connect(mnNew, &QAction::triggered, this, [this] { mnNewClick(); });
    connect(mnOpen, &QAction::triggered, this, [this] { mnOpenClick(); });
    connect(mnSave, &QAction::triggered, this, [this] { mnSaveClick(); });
    connect(mnRead, &QAction::triggered, this, [this] { mnReadClick(); });
    connect(mnWrite, &QAction::triggered, this, [this] { mnWriteClick(); });
    connect(mnWriteAll, &QAction::triggered, this, [this] { mnWriteAllClick(); });
    connect(mnCancel, &QAction::triggered, this, [this] { mnCancelClick(); });
    connect(mnRunCommand, &QAction::triggered, this, [this] { mnRunCommandClick(); });
    connect(mnProgSettings, &QAction::triggered, this, [this] { mnProgSettingsClick(); });
    connect(mnHelp, &QAction::triggered, this, [this] { mnHelpClick(); });
    connect(mnAbout, &QAction::triggered, this, [this] { mnAboutClick(); });
}

void TfMain::BuildPages() {
    PC1 = new QTabWidget(this);
    PC1->setObjectName(QStringLiteral("PC1"));
    PC1->setDocumentMode(false);

    tbAyar = new QWidget(PC1);
    tbAyar->setObjectName(QStringLiteral("tbAyar"));
    auto* ayarLayout = new QVBoxLayout(tbAyar);
    ayarLayout->setContentsMargins(0, 0, 0, 0);
    VG1 = new TGridView(tbAyar);
    VG1->SetGrid(grid_.get());
    VG1->setObjectName(QStringLiteral("VG1"));
    ayarLayout->addWidget(VG1);
    PC1->addTab(tbAyar, QStringLiteral("Cihaz Ayarlari"));

    tbTerminal = new QWidget(PC1);
    tbTerminal->setObjectName(QStringLiteral("tbTerminal"));
    auto* terminalLayout = new QVBoxLayout(tbTerminal);
    terminalLayout->setContentsMargins(0, 0, 0, 0);
    Memo1 = new QPlainTextEdit(tbTerminal);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setUndoRedoEnabled(false);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setFont(TerminalFont());
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, Qt::black);
    memoPalette.setColor(QPalette::Text, QColor(0x00, 0xff, 0x00));
    Memo1->setPalette(memoPalette);
    terminalLayout->addWidget(Memo1);
    PC1->addTab(tbTerminal, QStringLiteral("Terminal"));
    setCentralWidget(PC1);

    PM1 = new QMenu(Memo1);
    PM1->setObjectName(QStringLiteral("PM1"));
    pmTemizle = PM1->addAction(QStringLiteral("Temizle"));
    pmTemizle->setObjectName(QStringLiteral("pmTemizle"));
    pmKopyala = PM1->addAction(QStringLiteral("Kopyala"));
    pmKopyala->setObjectName(QStringLiteral("pmKopyala"));
    pmKaydetLogTxt = PM1->addAction(QStringLiteral("Log.Txt Kaydet"));
    pmKaydetLogTxt->setObjectName(QStringLiteral("pmKaydetLogTxt"));
    pmKaydet = PM1->addAction(QIcon(QStringLiteral(":/icons/save.svg")), QStringLiteral("Kaydet"));
    pmKaydet->setObjectName(QStringLiteral("pmKaydet"));
    PM1->addSeparator();
    chLog = PM1->addAction(QStringLiteral("Log Görüntüle"));
    chLog->setObjectName(QStringLiteral("chLog"));
    chLog->setCheckable(true);
    chLog->setChecked(true);
    chLogAll = PM1->addAction(QStringLiteral("Temel haberlesme Log'larini göster"));
    chLogAll->setObjectName(QStringLiteral("chLogAll"));
    chLogAll->setCheckable(true);
    chLogAll->setChecked(false);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PM1->popup(Memo1->viewport()->mapToGlobal(pos)); });

    connect(pmTemizle, &QAction::triggered, this, [this] { pmTemizleClick(); });
    connect(pmKopyala, &QAction::triggered, this, [this] { pmKopyalaClick(); });
    connect(pmKaydetLogTxt, &QAction::triggered, this, [this] { pmKaydetLogTxtClick(); });
    connect(pmKaydet, &QAction::triggered, this, [this] { pmKaydetClick(); });

    // Settings files: one filter, the extension added to a name typed without one.
    SD1 = new QFileDialog(this);
    SD1->setObjectName(QStringLiteral("SD1"));
    SD1->setAcceptMode(QFileDialog::AcceptSave);
    SD1->setFileMode(QFileDialog::AnyFile);
    SD1->setNameFilter(QStringLiteral("Ini Dosyasi (*.ini)"));
    SD1->setDefaultSuffix(QStringLiteral("ini"));
    SD1->selectFile(QStringLiteral("*.ini"));
    OD1 = new QFileDialog(this);
    OD1->setObjectName(QStringLiteral("OD1"));
    OD1->setAcceptMode(QFileDialog::AcceptOpen);
    OD1->setFileMode(QFileDialog::ExistingFile);
    OD1->setNameFilter(QStringLiteral("Ini Dosyasi (*.ini)"));
    OD1->setDefaultSuffix(QStringLiteral("ini"));

    SD2 = new QFileDialog(this);
    SD2->setObjectName(QStringLiteral("SD2"));
    SD2->setAcceptMode(QFileDialog::AcceptSave);
    SD2->setFileMode(QFileDialog::AnyFile);
    SD2->setNameFilter(QStringLiteral("Text Dosya (*.txt)"));
    SD2->setDefaultSuffix(QStringLiteral("txt"));
    SD2->selectFile(QStringLiteral("Log.txt"));
}

void TfMain::BuildStatusBar() {
    SB1 = new QStatusBar(this);
    SB1->setObjectName(QStringLiteral("SB1"));
    SB1->setSizeGripEnabled(true);
    setStatusBar(SB1);

    PB1 = new QProgressBar(SB1);
    PB1->setObjectName(QStringLiteral("PB1"));
    PB1->setFixedWidth(100);
    PB1->setRange(0, 100);
    PB1->setValue(0);
    PB1->setTextVisible(true);
    QFont bold = PB1->font();
    bold.setBold(true);
    PB1->setFont(bold);
    SB1->addWidget(PB1);

    lblDisconnected =
        new TStateIndicator(QStringLiteral("Disconnected"), QColor(0xc8, 0x3c, 0x32), SB1);
    lblDisconnected->setObjectName(QStringLiteral("lblDisconnected"));
    SB1->addWidget(lblDisconnected);
    lblConnected = new TStateIndicator(QStringLiteral("Connected"), QColor(0x2e, 0xb8, 0x3c), SB1);
    lblConnected->setObjectName(QStringLiteral("lblConnected"));
    SB1->addWidget(lblConnected);
    lblConnected->setVisible(false);

    lblStatus = new QLabel(MakerWebAddress(), SB1);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setMinimumWidth(120);
    SB1->addWidget(lblStatus, 1);
}

void TfMain::BindCore() {
    connect(log_.get(), &TLog::LineAdded, Memo1, &QPlainTextEdit::appendPlainText);
    connect(log_.get(), &TLog::Cleared, Memo1, &QPlainTextEdit::clear);
    connect(log_.get(), &TLog::StatusChanged, lblStatus, &QLabel::setText);
    connect(chLog, &QAction::toggled, this, [this](bool on) { log_->chLog = on; });
    connect(chLogAll, &QAction::toggled, this, [this](bool on) { log_->chLogAll = on; });
    log_->chLog = chLog->isChecked();
    log_->chLogAll = chLogAll->isChecked();

    connect(link_.get(), &TLink::ConnectedChanged, this, &TfMain::ShowConnected);
    ShowConnected(link_->Connected);

    connect(state_.get(), &TOperationState::CancelEnabledChanged, mnCancel, &QAction::setEnabled);
    mnCancel->setEnabled(state_->CancelEnabled());
    connect(grid_.get(), &TSettingsGrid::EnabledChanged, VG1, &QWidget::setEnabled);
    VG1->setEnabled(grid_->Enabled());

    // Command selector <-> the operations' command list.
    TCommandList& commands = ops_->Commands();
    auto* iconModel = new TCommandIconModel(mnCommand);
    iconModel->setSourceModel(&commands);
    mnCommand->setModel(iconModel);
    auto showCurrent = [this, &commands] {
        if (syncing_) return;
        syncing_ = true;
        mnCommand->setCurrentIndex(commands.CurrentIndex());
        syncing_ = false;
    };
    connect(&commands, &TCommandList::ListChanged, this, showCurrent);
    connect(&commands, &TCommandList::CurrentValueChanged, this, showCurrent);
    connect(mnCommand, &QComboBox::currentIndexChanged, this, [this, &commands](int index) {
        if (syncing_) return;
        syncing_ = true;
        const auto& entries = commands.Entries();
        commands.SetCurrentValue(index >= 0 && index < entries.size() ? entries[index].id : 0);
        syncing_ = false;
    });
    showCurrent();

    // Model and address selectors <-> the texts the operations read.
    connect(ops_.get(), &TDeviceOperations::ModelListChanged, this,
            [this](const QStringList& models) {
                syncing_ = true;
                const QString text = ops_->DeviceText();
                QStringList sorted = models;
                sorted.sort(Qt::CaseInsensitive);
                mnDevice->clear();
                mnDevice->addItems(sorted);
                mnDevice->setEditText(text);
                syncing_ = false;
            });
    connect(ops_.get(), &TDeviceOperations::DeviceTextChanged, this, [this](const QString& text) {
        if (syncing_ || mnDevice->currentText() == text) return;
        syncing_ = true;
        const int index = mnDevice->findText(text);
        if (index >= 0) mnDevice->setCurrentIndex(index);
        mnDevice->setEditText(text);
        syncing_ = false;
    });
    connect(ops_.get(), &TDeviceOperations::AddressTextChanged, this, [this](const QString& text) {
        if (syncing_ || mnAddress->currentText() == text) return;
        syncing_ = true;
        const int index = mnAddress->findText(text);
        if (index >= 0) mnAddress->setCurrentIndex(index);
        mnAddress->setEditText(text);
        syncing_ = false;
    });
    connect(mnDevice, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!syncing_) ops_->SetDeviceText(text);
    });
    connect(mnAddress, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (!syncing_) ops_->SetAddressText(text);
    });
    syncing_ = true;
    mnDevice->setEditText(ops_->DeviceText());
    mnAddress->setEditText(ops_->AddressText());
    syncing_ = false;
}

void TfMain::ShowConnected(bool connected) {
    lblDisconnected->setVisible(!connected);
    lblConnected->setVisible(connected);
}

// --- Creation and destruction ---------------------------------------------------------------

void TfMain::FormCreate() {
    state_->SetBusy(false);
    setWindowTitle(QStringLiteral("KOLVA Ayar Sihirbazi") + QStringLiteral("    V: ") +
                   GetFileVersionText(QCoreApplication::applicationFilePath()));
    try {
        fm_.DBBaglan(paths::CatalogueFile());
        PC1->setCurrentIndex(0);
        MigrateCatalogue();
        ops_->FillModelList();
        ops_->RestoreSelection();
    } catch (const Error& e) {
        host_->ShowError(e.text());
    } catch (const std::exception& e) {
        host_->ShowError(QString::fromLocal8Bit(e.what()));
    }
}

void TfMain::FormDestroy() {
    if (destroyed_ || !link_) return;
    destroyed_ = true;
    link_->Baglan(false);
}

void TfMain::closeEvent(QCloseEvent* event) {
    if (state_->Busy()) {
        // A running operation holds the user interface in its own loop: ask it to stop and
        // close once it has released the guard.
        state_->mnCancelClick();
        connect(
            state_.get(), &TOperationState::BusyChanged, this,
            [this](bool busy) {
                if (!busy) close();
            },
            Qt::SingleShotConnection);
        event->ignore();
        return;
    }
    FormDestroy();
    event->accept();
}

bool TfMain::event(QEvent* event) {
    // Hints go to the status panel while the pointer rests on an item, without hiding the
    // other panels; the last status message comes back when it leaves.
    if (event->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
        lblStatus->setText(
            tip.isEmpty() ? (log_->StatusText().isEmpty() ? MakerWebAddress() : log_->StatusText())
                          : tip);
        return true;
    }
    return QMainWindow::event(event);
}

// --- Commands -------------------------------------------------------------------------------

template <typename F> void TfMain::Guarded(F&& handler) {
    try {
        handler();
    } catch (const Error& e) {
        host_->ShowError(e.text());
    } catch (const std::exception& e) {
        host_->ShowError(QString::fromLocal8Bit(e.what()));
    }
}

void TfMain::mnNewClick() {
    Guarded([this] { ops_->mnNewClick(); });
}
QString TfMain::AskFile(QFileDialog* dialog) {
    if (fileChooser_) return fileChooser_(dialog);
    if (dialog->exec() != QDialog::Accepted) return QString();
    const QStringList files = dialog->selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

void TfMain::mnOpenClick() {
    Guarded([this] {
        kolva::mnOpenClick(*ops_, [this] {
            OD1->selectFile(QStringLiteral("*.ini"));
            return AskFile(OD1);
        });
    });
}

void TfMain::mnSaveClick() {
    Guarded([this] { kolva::mnSaveClick(*ops_, [this] { return AskFile(SD1); }); });
}
void TfMain::mnReadClick() {
    Guarded([this] { ops_->mnReadClick(); });
}
void TfMain::mnWriteClick() {
    Guarded([this] { ops_->mnWriteClick(); });
}
void TfMain::mnWriteAllClick() {
    Guarded([this] { ops_->mnWriteAllClick(); });
}
void TfMain::mnCancelClick() {
    state_->mnCancelClick();
}
void TfMain::mnRunCommandClick() {
    Guarded([this] { ops_->mnRunCommandClick(); });
}

void TfMain::mnProgSettingsClick() {
    if (settings_) settings_->exec();
}

void TfMain::mnHelpClick() {
    QDesktopServices::openUrl(QUrl(HelpPageUrl()));
}

void TfMain::mnAboutClick() {
    if (about_) about_->exec();
}

// --- Terminal -------------------------------------------------------------------------------

void TfMain::pmTemizleClick() {
    log_->Clear();
}

void TfMain::pmKopyalaClick() {
    Memo1->copy();
}

bool TfMain::SaveLog(const QString& fileName) {
    QString error;
    if (log_->SaveToFile(fileName, &error)) return true;
    host_->ShowError(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), error));
    return false;
}

void TfMain::pmKaydetLogTxtClick() {
    SaveLog(paths::LogTxtFile());
}

void TfMain::pmKaydetClick() {
    const QString file = AskFile(SD2);
    if (!file.isEmpty()) SaveLog(file);
}

} // namespace kolva

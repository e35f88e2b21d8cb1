#pragma once
// TfMain: the main window. Toolbar, status bar, the settings grid and the Terminal page;
// the commands are handed to the operations (TDeviceOperations) that run under the guard.

#include <QMainWindow>

#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QFileDialog;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QStatusBar;
class QTabWidget;
class QToolBar;
class QToolButton;
class QWidget;

namespace kolva {

class Host;
class QtHost;
class TDeviceOperations;
class TGridView;
class TLink;
class TLog;
class TOperationState;
class TSettingsGrid;
class TfAbout;
class TfSettings;
class Tfm;

class TfMain : public QMainWindow {
    Q_OBJECT
public:
    // `fm` is the data module (catalogue); `host` presents boxes and progress (null: the
    // window's own QtHost). FormCreate runs at the end of construction.
    explicit TfMain(Tfm& fm, Host* host = nullptr, QWidget* parent = nullptr);
    ~TfMain() override;

    // The dialogs are created after the main window and handed to it.
    void SetDialogs(TfAbout* about, TfSettings* settings);

    Host& host() const { return *host_; }
    TLog& log() const { return *log_; }
    TLink& link() const { return *link_; }
    TSettingsGrid& gridModel() const { return *grid_; }
    TOperationState& state() const { return *state_; }
    TDeviceOperations& ops() const { return *ops_; }

    // --- Command handlers -------------------------------------------------------------------
    void mnNewClick();
    void mnOpenClick();
    void mnSaveClick();
    void mnReadClick();
    void mnWriteClick();
    void mnWriteAllClick();
    void mnCancelClick();
    void mnRunCommandClick();
    void mnProgSettingsClick();
    void mnHelpClick();
    void mnAboutClick();
    void pmTemizleClick();
    void pmKopyalaClick();
    void pmKaydetLogTxtClick();
    void pmKaydetClick();
    // Saves the log to `fileName`; an error box when it cannot be written.
    bool SaveLog(const QString& fileName);

    // --- Controls (named as the logic refers to them) ---------------------------------------
    QToolBar* barMain = nullptr;
    QAction* mnNew = nullptr;
    QAction* mnOpen = nullptr;
    QAction* mnSave = nullptr;
    QComboBox* mnDevice = nullptr;
    QComboBox* mnAddress = nullptr;
    QAction* mnRead = nullptr;
    QAction* mnWrite = nullptr;
    QAction* mnWriteAll = nullptr;
    QAction* mnCancel = nullptr;
    QComboBox* mnCommand = nullptr;
    QAction* mnRunCommand = nullptr;
    QAction* mnProgSettings = nullptr;
    QToolButton* mnProgHelp = nullptr;
    QMenu* mnProgHelpMenu = nullptr;
    QAction* mnHelp = nullptr;
    QAction* mnAbout = nullptr;

    QStatusBar* SB1 = nullptr;
    QProgressBar* PB1 = nullptr;
    QLabel* lblDisconnected = nullptr;
    QLabel* lblConnected = nullptr;
    QLabel* lblStatus = nullptr;

    QTabWidget* PC1 = nullptr;
    QWidget* tbAyar = nullptr;
    QWidget* tbTerminal = nullptr;
    TGridView* VG1 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QMenu* PM1 = nullptr;
    QAction* pmTemizle = nullptr;
    QAction* pmKopyala = nullptr;
    QAction* pmKaydetLogTxt = nullptr;
    QAction* pmKaydet = nullptr;
    QAction* chLog = nullptr;
    QAction* chLogAll = nullptr;
    QFileDialog* SD1 = nullptr; // settings file to save
    QFileDialog* OD1 = nullptr; // settings file to open
    QFileDialog* SD2 = nullptr; // log text file to save

    // Shows a file dialog and returns the chosen file, or empty text when cancelled. Tests
    // replace the dialog's run with a chooser of their own.
    QString AskFile(QFileDialog* dialog);
    void SetFileChooser(std::function<QString(QFileDialog*)> chooser) {
        fileChooser_ = std::move(chooser);
    }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    QMenu* createPopupMenu() override { return nullptr; } // the toolbar is not customisable

private:
    void BuildToolbar();
    void BuildStatusBar();
    void BuildPages();
    void BindCore();
    void FormCreate();
    void FormDestroy();
    // Runs a command handler; whatever escapes it is shown in an error box.
    template <typename F> void Guarded(F&& handler);
    void ShowConnected(bool connected);

    Tfm& fm_;
    std::unique_ptr<QtHost> ownHost_;
    Host* host_ = nullptr;
    std::unique_ptr<TLog> log_;
    std::unique_ptr<TSettingsGrid> grid_;
    std::unique_ptr<TOperationState> state_;
    std::unique_ptr<TLink> link_;
    std::unique_ptr<TDeviceOperations> ops_;
    TfAbout* about_ = nullptr;
    TfSettings* settings_ = nullptr;
    bool syncing_ = false;
    bool destroyed_ = false;
    std::function<QString(QFileDialog*)> fileChooser_;
};

} // namespace kolva

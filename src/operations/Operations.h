#pragma once
// The main window's logic without widgets: the settings grid build, reading and writing the
// device's settings, the device commands, and the operation guard every long command runs
// under. The desktop window and the command-line companion both drive this class; they bind
// their controls to TOperationState, TCommandList, the grid model and the selector texts.

#include "config/DeviceRules.h"
#include "operations/CommandList.h"
#include "operations/OperationState.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace kolva {

class Host;
class TLog;
class TLink;
class Tfm;
class TSettingsGrid;
class TGridRow;
class TDeviceOperations;

// The busy refusal every guarded command shows.
inline constexpr char16_t kBusyText[] =
    u"Şu anda sistem meşgul. Yeni işlem içn lütfen işin bitmesini bekleyin.";

// How the last guarded run ended (for the command-line companion and the tests).
struct TRunResult {
    bool started = false;   // the guard was raised (Busy set)
    bool cancelled = false; // Iptal was seen
    bool failed = false;    // an error escaped and was shown through Host::ShowError
    int errors = 0;         // settings counted as failed
    QString message;        // the closing status text, or the error text
};

// One guarded run: raises Busy and Iptal on request and, whatever way the scope is left,
// releases Busy, disables Iptal, enables the grid and closes the link.
class TOperationScope {
public:
    explicit TOperationScope(TDeviceOperations& ops);
    ~TOperationScope();
    TOperationScope(const TOperationScope&) = delete;
    TOperationScope& operator=(const TOperationScope&) = delete;

    // Busy := true; Iptal enabled when `enableCancel`.
    void Raise(bool enableCancel = true);
    // The normal end: Iptal disabled, Busy cleared (the link is the operation's to close).
    void Release();

private:
    TDeviceOperations& ops_;
};

class TDeviceOperations : public QObject {
    Q_OBJECT
public:
    TDeviceOperations(Host& host, TLog& log, TLink& link, Tfm& fm, TSettingsGrid& grid,
                      TOperationState& state, QObject* parent = nullptr);
    ~TDeviceOperations() override;

    Host& host() const { return host_; }
    TLog& log() const { return log_; }
    TLink& link() const { return link_; }
    Tfm& fm() const { return fm_; }
    TSettingsGrid& grid() const { return grid_; }
    TOperationState& state() const { return state_; }
    TCommandList& Commands() { return commands_; }

    // --- Selectors --------------------------------------------------------------------
    // Model selector (mnDevice) and address selector (mnAddress) texts.
    QString DeviceText() const { return deviceText_; }
    void SetDeviceText(const QString& model);
    QString AddressText() const { return addressText_; }
    void SetAddressText(const QString& address);
    // The model selector's items: SELECT DISTINCT device ... ORDER BY device.
    QStringList ModelList() const { return models_; }
    // Refills ModelList() from the catalogue (empty when the query yields nothing).
    void FillModelList();
    // Restores the last model and address from the configuration (IniRead, AYAR section).
    void RestoreSelection();

    // --- Command handlers ---------------------------------------------------------------
    void mnNewClick();        // "Yeni": builds the grid for DeviceText()
    void mnReadClick();       // "Oku"
    void mnWriteClick();      // "Yaz": all writable settings
    void mnWriteAllClick();   // "Degisiklikleri Yaz": changed settings only
    void mnRunCommandClick(); // "Komut Gönder": the chosen command of Commands()
    void mnCancelClick();     // "Iptal"

    // --- Operations (run by the handlers above under the guard) -------------------------
    // Builds the grid for `model`. Neither tests nor sets Busy; callers hold the guard.
    void CihazAyarGrid(const QString& model);
    // Refills Commands() with the command rows of `model`.
    void UpdateCommandList(const QString& model);
    // Writes the grid's values (all writable, or only the changed) and the store command.
    void AyarKaydet(bool onlyChanged);
    // The user changed `row`'s value: mark it changed (the grid model also does it itself
    // for edits arriving through a view).
    void EditValueChanged(TGridRow* row);

    // --- The operation guard, for every guarded command ---------------------------------
    // Entry test: when Busy, shows the busy text through Bilgi and returns true.
    bool RefuseIfBusy();
    // Runs `op` inside a TOperationScope. An error escaping it (kolva::Error, any
    // std::exception) releases the guard, the grid and the link, is logged and shown through
    // Host::ShowError; the result is then false.
    bool RunGuarded(const std::function<void(TOperationScope&)>& op);
    // Progress of a row loop: maximum and position 0; then +1 per row, with pending events
    // processed whenever the position is a multiple of 50.
    void ProgressStart(int rows);
    void ProgressStep();
    // Inverts HideAlarmGroups when Ctrl is down at this moment.
    void ToggleAlarmGroupsOnCtrl();

    const TRunResult& LastResult() const { return last_; }

Q_SIGNALS:
    void DeviceTextChanged(const QString& model);
    void AddressTextChanged(const QString& address);
    void ModelListChanged(const QStringList& models);

private:
    friend class TOperationScope;

    void Bilgi(const QString& text);
    void Log(const QString& tag, const QString& message, quint8 level);
    void ReleaseGuard();
    quint8 AddressByte() const;
    void StoreSelection();
    // Opens the link unless it is open; false (with "Bağlantı Sağlanamadı") when it fails.
    bool Connect();
    void ReadAll();

    Host& host_;
    TLog& log_;
    TLink& link_;
    Tfm& fm_;
    TSettingsGrid& grid_;
    TOperationState& state_;
    TCommandList commands_;
    QString deviceText_;
    QString addressText_;
    QStringList models_;
    TRunResult last_;
};

} // namespace kolva

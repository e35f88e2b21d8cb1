#pragma once
// Program-wide state of a running operation, shared by every long command and bound by the
// main window: the busy flag, the cancel request, the alarm-group filter and the Iptal item.

#include <QObject>

namespace kolva {

class TOperationState : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Busy READ Busy WRITE SetBusy NOTIFY BusyChanged)
    Q_PROPERTY(bool CancelRequested READ CancelRequested WRITE SetCancelRequested NOTIFY
                   CancelRequestedChanged)
    Q_PROPERTY(bool HideAlarmGroups READ HideAlarmGroups WRITE SetHideAlarmGroups NOTIFY
                   HideAlarmGroupsChanged)
    Q_PROPERTY(
        bool CancelEnabled READ CancelEnabled WRITE SetCancelEnabled NOTIFY CancelEnabledChanged)
public:
    explicit TOperationState(QObject* parent = nullptr) : QObject(parent) {}

    // A guarded operation runs; every guarded command refuses to start.
    bool Busy() const { return busy_; }
    void SetBusy(bool on);
    // Iptal was pressed; the running loop stops before its next row.
    bool CancelRequested() const { return cancelRequested_; }
    void SetCancelRequested(bool on);
    // Settings queries leave out groups whose caption contains "Alarm".
    bool HideAlarmGroups() const { return hideAlarmGroups_; }
    void SetHideAlarmGroups(bool on);
    // The enabled state of the Iptal item (mnCancel).
    bool CancelEnabled() const { return cancelEnabled_; }
    void SetCancelEnabled(bool on);

    // mnCancelClick: only sets CancelRequested.
    void mnCancelClick() { SetCancelRequested(true); }

Q_SIGNALS:
    void BusyChanged(bool busy);
    void CancelRequestedChanged(bool requested);
    void HideAlarmGroupsChanged(bool hide);
    void CancelEnabledChanged(bool enabled);

private:
    bool busy_ = false;
    bool cancelRequested_ = false;
    bool hideAlarmGroups_ = false;
    bool cancelEnabled_ = false;
};

} // namespace kolva

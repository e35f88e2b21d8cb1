#include "operations/OperationState.h"

namespace kolva {

void TOperationState::SetBusy(bool on) {
    if (busy_ == on) return;
    busy_ = on;
    Q_EMIT BusyChanged(on);
}

void TOperationState::SetCancelRequested(bool on) {
    if (cancelRequested_ == on) return;
    cancelRequested_ = on;
    Q_EMIT CancelRequestedChanged(on);
}

void TOperationState::SetHideAlarmGroups(bool on) {
    if (hideAlarmGroups_ == on) return;
    hideAlarmGroups_ = on;
    Q_EMIT HideAlarmGroupsChanged(on);
}

void TOperationState::SetCancelEnabled(bool on) {
    if (cancelEnabled_ == on) return;
    cancelEnabled_ = on;
    Q_EMIT CancelEnabledChanged(on);
}

} // namespace kolva

#pragma once

#include "app/app_state.h"
#include "platform/permissions.h"

namespace twk {

/// Re-reads the three permissions into the state; each flag is written even
/// when unchanged so that observers see every refresh.
inline void refreshPermissions(AppState& state, Permissions& permissions)
{
    state.micGranted.set(permissions.microphoneGranted());
    state.accessibilityGranted.set(permissions.accessibilityGranted());
    state.screenRecordingGranted.set(permissions.screenRecordingGranted());
}

} // namespace twk

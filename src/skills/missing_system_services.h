#pragma once

#include "platform/automations.h"
#include "platform/calendar_store.h"
#include "platform/desktop_appearance.h"
#include "platform/desktop_launcher.h"
#include "platform/output_volume.h"
#include "platform/text_messages.h"
#include "platform/wifi_radio.h"

namespace twk {

// Stand-ins for system controls a computer does not have: each reports that
// there is nothing to act on. Shared, stateless, callable from any thread.
OutputVolume& missingOutputVolume();
DesktopAppearance& missingDesktopAppearance();
WifiRadio& missingWifiRadio();
Automations& missingAutomations();
DesktopLauncher& missingDesktopLauncher();
TextMessages& missingTextMessages();
CalendarStore& missingCalendarStore();

} // namespace twk

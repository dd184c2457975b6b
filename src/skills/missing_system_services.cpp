#include "skills/missing_system_services.h"

namespace twk {
namespace {

class NoOutputVolume : public OutputVolume {
public:
    std::optional<AudioOutputDevice> defaultOutput() override { return std::nullopt; }
    bool setVolume(const std::string&, std::optional<int>, float) override { return false; }
};

class NoDesktopAppearance : public DesktopAppearance {
public:
    std::optional<std::string> setDarkMode(bool) override { return "this desktop has no colour scheme to switch"; }
};

class NoWifiRadio : public WifiRadio {
public:
    std::optional<std::string> wifiDevice() override { return std::nullopt; }
    std::optional<std::string> setWirelessEnabled(bool) override { return "there is no network service"; }
};

class NoAutomations : public Automations {
public:
    std::string folder() const override { return "(none)"; }
    AutomationRun run(const std::string&, const std::optional<std::string>&, std::chrono::milliseconds) override
    {
        return {AutomationRun::Outcome::notFound, 0, {}, {}, {}};
    }
};

class NoDesktopLauncher : public DesktopLauncher {
public:
    bool searchDirectly(const std::string&) override { return false; }
    std::optional<std::string> searchShortcut() override { return std::nullopt; }
};

class NoTextMessages : public TextMessages {
public:
    std::optional<std::string> send(const std::string&, const std::string&) override
    {
        return "this computer has no phone link to send text messages through";
    }
    std::vector<PhoneContact> contacts() override { return {}; }
};

class NoCalendarStore : public CalendarStore {
public:
    std::optional<std::string> addTask(const std::string&, const std::optional<WallClockTime>&) override
    {
        return "this computer has no calendar store";
    }
    std::optional<std::string> addEvent(const std::string&, const WallClockTime&, long long) override
    {
        return "this computer has no calendar store";
    }
};

} // namespace

OutputVolume& missingOutputVolume()
{
    static NoOutputVolume none;
    return none;
}

DesktopAppearance& missingDesktopAppearance()
{
    static NoDesktopAppearance none;
    return none;
}

WifiRadio& missingWifiRadio()
{
    static NoWifiRadio none;
    return none;
}

Automations& missingAutomations()
{
    static NoAutomations none;
    return none;
}

DesktopLauncher& missingDesktopLauncher()
{
    static NoDesktopLauncher none;
    return none;
}

TextMessages& missingTextMessages()
{
    static NoTextMessages none;
    return none;
}

CalendarStore& missingCalendarStore()
{
    static NoCalendarStore none;
    return none;
}

} // namespace twk

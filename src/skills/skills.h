#pragma once

#include "common/main_loop.h"
#include "common/task.h"
#include "platform/automations.h"
#include "platform/calendar_store.h"
#include "platform/desktop_appearance.h"
#include "platform/desktop_launcher.h"
#include "platform/host.h"
#include "platform/media_keys.h"
#include "platform/output_volume.h"
#include "platform/text_messages.h"
#include "platform/wifi_radio.h"
#include "platform/workspace.h"
#include "skills/chat_controls.h"
#include "skills/missing_system_services.h"

#include <chrono>
#include <optional>
#include <string>

namespace twk {

class InputSynthesis;

/// Tools carried out directly through the operating system, without the
/// computer-use agent. Each returns the JSON text handed back to the speech
/// model: {"ok":true,"message":...} or {"ok":false,"error":...}. Operations
/// that wait suspend the calling task on the main loop's clock; none blocks
/// a thread for its waits.
class Skills {
public:
    /// What the skills act on; all outlive the skills.
    struct Services {
        MainLoop& loop;
        Workspace& workspace;
        MediaKeys& mediaKeys;
        Host& host;
        // System controls; a computer without one reports it missing.
        OutputVolume& volume = missingOutputVolume();
        DesktopAppearance& appearance = missingDesktopAppearance();
        WifiRadio& wifi = missingWifiRadio();
        Automations& automations = missingAutomations();
        DesktopLauncher& launcher = missingDesktopLauncher();
        TextMessages& textMessages = missingTextMessages();
        CalendarStore& calendar = missingCalendarStore();
        /// How long a user automation may run before it is stopped.
        std::chrono::milliseconds shortcutTimeLimit = std::chrono::seconds(120);
    };

    explicit Skills(const Services& services) : s_(services) {}

    // --- applications ---
    /// Focuses the running application matching `name`, else launches the
    /// installed one that matches by id, name or, failing those, by what it
    /// is (generic name, keywords, summary), unless that one runs already.
    Task<std::string> openApp(std::string name);
    /// Politely quits the regular application matching `name` (the passes of
    /// findRunningApp over regular applications only); a match among the
    /// others (window manager, panels, background programs) is refused.
    std::string quitApp(const std::string& name);
    /// The running application matching a spoken name, background ones
    /// included: first by identifier, then by exact name, then by a name
    /// containing it (letter case ignored in each). A blank name matches
    /// nothing.
    std::optional<RunningApplication> findRunningApp(const std::string& matching);
    /// True once `pid` is the frontmost application, polling every 30 ms;
    /// false after `timeoutSeconds` (at once for 0).
    Task<bool> waitForFrontmost(int pid, double timeoutSeconds);
    /// The first installed application whose name equals or contains `q`
    /// (already lower-cased), in listing order: an earlier partial match
    /// wins over a later exact one.
    std::optional<InstalledApplication> findAppURL(const std::string& q);

    // --- media ---
    /// Each fails, with the reason, when no player took the key.
    std::string playPauseMedia();
    std::string nextTrack();
    std::string previousTrack();
    /// Plays the first track of the user's music folder whose path matches
    /// `query`, else opens the music service's web search for it (failing
    /// when nothing opens web addresses).
    std::string playOnAppleMusic(const std::string& query);
    /// Opens the Spotify search for `query` and brings Spotify forward.
    Task<std::string> playOnSpotify(std::string query);

    // --- system and web ---
    /// Sets the default output's volume, clamped to 0..100.
    std::string setVolume(double percent);
    std::string setDarkMode(bool on);
    /// Switches the Wi-Fi radio, after making sure there is a Wi-Fi device.
    std::string setWifi(bool on);
    /// Opens `raw`, trimmed, in its default handler; an address without
    /// "://" is taken as a web address.
    std::string openURL(const std::string& raw);
    /// Opens the web search for `query` in the default browser.
    std::string searchWeb(const std::string& query);
    /// Opens the desktop's launcher search with `query` in it: asked
    /// directly where the launcher can be, else through its shortcut and
    /// typing (with `input`; starts on any thread, types from the main loop).
    Task<std::string> spotlight(std::string query, InputSynthesis* input);
    /// Runs the user's automation `name` with `input` on its standard input,
    /// for at most `shortcutTimeLimit`.
    std::string runShortcut(const std::string& name, const std::optional<std::string>& input);

    // --- messaging and productivity ---
    /// Sends a text message through the user's paired phone.
    std::string sendIMessage(const std::string& recipient, const std::string& text);
    /// Sends `text` to `person` in the running chat application `app`
    /// through its quick switcher, with `controls`; launches nothing.
    /// Starts on any thread.
    Task<std::string> messageInApp(std::string app, std::string person, std::string text, ChatControls& controls);
    /// Opens a new draft in the default mail application; sends nothing.
    std::string composeEmail(const std::string& to, const std::optional<std::string>& subject,
                             const std::optional<std::string>& body);
    /// Adds a task, due at the time `when` reads as ("tomorrow 3pm").
    std::string addReminder(const std::string& text, const std::optional<std::string>& when);
    /// Adds a calendar event of `durationMinutes` (60 when not given).
    std::string addCalendarEvent(const std::string& title, const std::string& startDate,
                                 std::optional<long long> durationMinutes);

    /// {"ok":true,"message":message}
    static std::string ok(const std::string& message);
    /// Logs the failure, then {"ok":false,"error":message}.
    static std::string err(const std::string& message);

private:
    std::string postMediaKey(MediaKey key, const std::string& reply);
    Task<std::string> launch(InstalledApplication candidate);

    Services s_;
};

} // namespace twk

#include "platform/linux/desktop_settings.h"

#include "common/log.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace twk {

bool openDesktopSettings(SettingsPane pane)
{
    struct Candidate {
        const char* program;
        QStringList args;
    };
    const char* gnome = pane == SettingsPane::accessibility ? "universal-access"
                        : pane == SettingsPane::privacy     ? "privacy"
                                                            : "sound";
    const char* kde = pane == SettingsPane::accessibility ? "kcm_access"
                      : pane == SettingsPane::privacy     ? "kcm_screenlocker"
                                                          : "kcm_pulseaudio";
    const Candidate candidates[] = {
        {"gnome-control-center", {QString::fromLatin1(gnome)}},
        {"systemsettings", {QString::fromLatin1(kde)}},
        {"xfce4-settings-manager", {}},
        {pane == SettingsPane::sound ? "pavucontrol" : "", {}},
    };
    for (const auto& c : candidates) {
        if (*c.program == '\0') continue;
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(c.program));
        if (path.isEmpty()) continue;
        if (QProcess::startDetached(path, c.args)) return true;
    }
    logLine("[twk] no desktop settings program found");
    return false;
}

} // namespace twk

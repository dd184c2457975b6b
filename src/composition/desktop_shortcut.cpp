#include "composition/desktop_shortcut.h"

namespace twk {

void DesktopShortcut::start()
{
    portal_ = PortalGlobalShortcut::open();
    std::vector<GlobalShortcut*> ways;
    if (portal_) ways.push_back(portal_.get());
    ways.push_back(&x11_);
    power_.emplace(core_.state, core_.settings, std::move(ways));
    const auto chosen = qEnvironmentVariable("TARNWICK_SHORTCUT").toStdString();
    power_->start(chosen.empty() ? std::nullopt : std::optional(chosen));
}

} // namespace twk

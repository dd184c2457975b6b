#include "app/url_router.h"

#include "common/log.h"
#include "common/url.h"

namespace twk {

UrlRouter::UrlRouter(MainLoop& loop, std::function<void()> refreshStatus)
    : loop_(loop), refreshStatus_(std::move(refreshStatus))
{
}

void UrlRouter::open(const std::vector<std::string>& urls)
{
    for (const auto& text : urls) {
        logLine("[twk] handle URL: " + text);
        const auto url = parseUrl(text);
        if (!url || (url->host != "refresh" && url->path != "/refresh")) continue;
        loop_.post([refresh = refreshStatus_] { refresh(); });
    }
}

} // namespace twk

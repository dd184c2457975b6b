#include "site_guard.h"

#include "bridge/extension_origin.h"

#include <QHostAddress>

#include <algorithm>
#include <cctype>

namespace twk::server {
namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool isIpLiteral(const std::string& host) { return !QHostAddress(QString::fromStdString(host)).isNull(); }

} // namespace

std::string hostName(const std::string& hostHeader)
{
    std::string host = lower(hostHeader);
    if (host.starts_with('[')) {
        const size_t close = host.find(']');
        return close == std::string::npos ? host : host.substr(1, close - 1);
    }
    if (const size_t colon = host.rfind(':'); colon != std::string::npos) host.resize(colon);
    return host;
}

std::optional<SiteRefusal> checkHost(const std::string& hostHeader, const std::vector<std::string>& allowedHosts)
{
    const std::string name = hostName(hostHeader);
    const bool allowed = name == "localhost" || isIpLiteral(name) ||
                         std::any_of(allowedHosts.begin(), allowedHosts.end(), [&name](const std::string& h) { return lower(h) == name; });
    if (!allowed) return SiteRefusal{403, "host " + name + " is not served here"};
    return std::nullopt;
}

std::optional<SiteRefusal> checkPageSite(const HttpRequest& request, const std::vector<std::string>& allowedHosts)
{
    const auto host = request.header("host");
    if (!host) return SiteRefusal{400, "a request for a page needs a Host header"};
    if (auto refused = checkHost(*host, allowedHosts)) return refused;
    if (request.method != "POST") return std::nullopt;

    // Same origin: Origin names this very host (behind a TLS proxy the scheme may be https);
    // without Origin, the Referer is a page of this host.
    const std::string self = lower(*host);
    const auto sameOrigin = [&self](const std::string& origin) {
        const std::string o = lower(origin);
        return o == "http://" + self || o == "https://" + self;
    };
    if (const auto site = request.header("sec-fetch-site"); site && lower(*site) != "same-origin")
        return SiteRefusal{403, "forms are only taken from this server's own pages (Sec-Fetch-Site: " + *site + ")"};
    if (const auto origin = request.header("origin")) {
        if (!sameOrigin(*origin)) return SiteRefusal{403, "forms are only taken from this server's own pages (Origin: " + *origin + ")"};
    } else {
        const std::string referer = request.header("referer").value_or("");
        const size_t pathStart = referer.find('/', referer.find("://") == std::string::npos ? 0 : referer.find("://") + 3);
        if (referer.empty() || !sameOrigin(referer.substr(0, pathStart)))
            return SiteRefusal{403, "forms are only taken from this server's own pages"};
    }
    const std::string type = lower(request.header("content-type").value_or(""));
    if (type.substr(0, type.find(';')) != "application/x-www-form-urlencoded")
        return SiteRefusal{415, "a form must be sent as application/x-www-form-urlencoded"};
    return std::nullopt;
}

std::optional<std::string> extensionOrigin(const HttpRequest& request)
{
    const auto origin = request.header("origin");
    if (!origin || !twk::ExtensionOriginPolicy().accepts(*origin)) return std::nullopt;
    return origin;
}

std::optional<SiteRefusal> checkSite(const HttpRequest& request, const std::vector<std::string>& allowedHosts, bool extensionsAllowed)
{
    if (const auto origin = request.header("origin"); origin && !(extensionsAllowed && extensionOrigin(request)))
        return SiteRefusal{403, "requests from web pages are not served (Origin: " + *origin + ")"};
    if (const auto host = request.header("host"))
        if (auto refused = checkHost(*host, allowedHosts)) return refused;
    if (request.method == "POST") {
        const std::string type = lower(request.header("content-type").value_or(""));
        const std::string media = type.substr(0, type.find(';'));
        if (media.find_last_not_of(" \t") == std::string::npos ||
            media.substr(0, media.find_last_not_of(" \t") + 1) != "application/json")
            return SiteRefusal{415, "a POST body must be sent as Content-Type: application/json"};
    }
    return std::nullopt;
}

} // namespace twk::server

#pragma once

#include "http_request.h"

#include <optional>
#include <string>
#include <vector>

namespace twk::server {

/// Why a request that may come from a web page is refused: the status and
/// the message for the client.
struct SiteRefusal {
    int status;
    std::string message;
};

/// Keeps web pages the user opens from driving the server: a browser marks
/// their requests with Origin, and DNS rebinding shows in a Host name that is
/// not ours. Accepted hosts: "localhost", IP literals and `allowedHosts`
/// (compared without the port, ignoring case); a request without Host comes
/// from no browser. POSTs must declare a JSON body, which no simple cross-site
/// form can send.
/// With `extensionsAllowed`, a browser extension's Origin ("chrome-extension://<id>") is let through.
std::optional<SiteRefusal> checkSite(const HttpRequest& request, const std::vector<std::string>& allowedHosts,
                                     bool extensionsAllowed = false);

/// The request's Origin when it is a browser extension's (which no web page can forge), else nothing.
std::optional<std::string> extensionOrigin(const HttpRequest& request);

/// The account page, which people open in their browser: Host as above
/// (and required); a POST must come from a page of this same origin
/// (Origin, or Referer when there is no Origin, and Sec-Fetch-Site when
/// sent) and carry a form body.
std::optional<SiteRefusal> checkPageSite(const HttpRequest& request, const std::vector<std::string>& allowedHosts);

/// The refusal of a Host header naming a host that is not served here, if any.
std::optional<SiteRefusal> checkHost(const std::string& hostHeader, const std::vector<std::string>& allowedHosts);

/// The host name of a Host header value, without port or IPv6 brackets, lower-cased.
std::string hostName(const std::string& hostHeader);

} // namespace twk::server

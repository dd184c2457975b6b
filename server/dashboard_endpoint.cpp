#include "dashboard_endpoint.h"

#include "common/error.h"
#include "common/log.h"
#include "dashboard_page.h"
#include "site_guard.h"
#include "user_id.h"

#include <algorithm>
#include <map>

namespace twk::server {
namespace {

constexpr const char* showPath = "/dashboard";
constexpr const char* linkPath = "/dashboard/link";
constexpr const char* unlinkPath = "/dashboard/unlink";

/// A request the page cannot answer: a page that says why.
struct PageRefusal {
    int status;
    std::string title;
    std::string text;
};

/// Fields of a query or form body, each given at most once; '+' is a space in forms.
std::map<std::string, std::string> fields(std::string text)
{
    std::replace(text.begin(), text.end(), '+', ' ');
    const auto items = parseQuery(text);
    if (!items) throw PageRefusal{400, "Malformed request", "The address or form has a malformed %-escape."};
    std::map<std::string, std::string> out;
    for (const auto& [key, value] : *items)
        if (!out.emplace(key, value).second)
            throw PageRefusal{400, "Malformed request", "The field " + key + " is given more than once."};
    return out;
}

} // namespace

HttpResponse htmlResponse(int status, std::string body)
{
    HttpResponse r;
    r.status = status;
    r.contentType = "text/html; charset=utf-8";
    r.body = std::move(body);
    r.headers = {{"Content-Security-Policy",
                  "default-src 'none'; style-src 'unsafe-inline'; form-action 'self'; frame-ancestors 'none'; base-uri 'none'"},
                 {"X-Frame-Options", "DENY"},
                 {"X-Content-Type-Options", "nosniff"},
                 {"Referrer-Policy", "same-origin"}};
    return r;
}

DashboardEndpoint::DashboardEndpoint(UsageService& usage, const FormTokens& tokens, Settings settings)
    : usage_(usage), tokens_(tokens), settings_(std::move(settings))
{
}

bool DashboardEndpoint::serves(std::string_view path) { return path == showPath || path == linkPath || path == unlinkPath; }

HttpResponse DashboardEndpoint::handle(const HttpRequest& request)
{
    try {
        if (auto refused = checkPageSite(request, settings_.allowedHosts)) {
            logLine("[twk/server] " + request.method + " " + request.path + " refused: " + refused->message);
            throw PageRefusal{refused->status, "Request refused", refused->message};
        }
        const bool show = request.path == showPath;
        const char* method = show ? "GET" : "POST";
        if (request.method != method) {
            HttpResponse r = htmlResponse(405, messagePage("Method not allowed", request.method + " is not allowed on " + request.path + "."));
            r.headers.emplace_back("Allow", method);
            return r;
        }
        return show ? this->show(request) : change(request);
    } catch (const PageRefusal& r) {
        return htmlResponse(r.status, messagePage(r.title, r.text));
    } catch (const Error& e) {
        logLine("[twk/server] " + request.method + " " + request.path + " failed: " + e.description());
        return htmlResponse(500, messagePage("Server problem", "The usage database could not be read or written; nothing was changed."));
    } catch (const std::exception& e) {
        logLine("[twk/server] " + request.method + " " + request.path + " failed: " + e.what());
        return htmlResponse(500, messagePage("Server problem", "Something went wrong on the server; nothing was changed."));
    }
}

namespace {

/// The installation a request is about, checked against the allow-list.
std::string installation(const std::map<std::string, std::string>& f, const std::vector<std::string>& allowed)
{
    const auto it = f.find("uuid");
    if (it == f.end() || it->second.empty())
        throw PageRefusal{400, "No installation given",
                          "Open this page from the Tarnwick panel on your desktop: its link names your installation."};
    const auto id = canonicalUserId(it->second);
    if (!id)
        throw PageRefusal{400, "Not an installation identifier",
                          "\"" + it->second.substr(0, 64) + "\" is not an installation identifier (a UUID such as "
                          "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c). Open this page from the Tarnwick panel on your desktop."};
    if (!allowed.empty() && std::find(allowed.begin(), allowed.end(), *id) == allowed.end())
        throw PageRefusal{403, "Installation not served here", "This server only serves the installations its operator allows."};
    return *id;
}

} // namespace

HttpResponse DashboardEndpoint::show(const HttpRequest& request)
{
    // "source" says where the link came from; one page serves every source.
    const auto f = fields(request.query);
    const std::string id = installation(f, settings_.allowedUsers);
    std::string notice;
    if (const auto changed = f.find("changed"); changed != f.end()) {
        if (changed->second == "linked") notice = "Linked.";
        if (changed->second == "unlinked") notice = "Unlinked: this installation is anonymous again.";
    }
    const UsageStatus usage = usage_.status(id);
    const bool changed = !notice.empty();
    // An identifier the server has never seen looks like a fresh one: say so, in case it was mistyped.
    if (!changed && !usage.linkedLabel && usage.usedSeconds <= 0 && !usage_.everUsed(id))
        notice = "This server has no usage recorded for this installation yet. If you expected some, open this page "
                 "from the Tarnwick panel on the computer in question.";
    return page(200, id, usage, notice, false, changed);
}

HttpResponse DashboardEndpoint::change(const HttpRequest& request)
{
    const auto f = fields(request.body);
    const std::string id = installation(f, settings_.allowedUsers);
    const auto token = f.find("token");
    if (token == f.end() || !tokens_.valid(id, token->second)) {
        logLine("[twk/server] account page change for " + shortId(id) + " refused: no valid form token");
        throw PageRefusal{403, "Form expired or not from this page",
                          "The form did not come from this installation's page. Open the page again and retry."};
    }
    if (request.path == unlinkPath) {
        usage_.unlink(id);
        logLine("[twk/server] installation " + shortId(id) + " unlinked");
    } else {
        const auto typed = f.find("label");
        const auto checked = checkedLabel(typed == f.end() ? std::string() : typed->second);
        if (const auto* problem = std::get_if<LabelProblem>(&checked))
            return page(400, id, usage_.status(id), "Not linked: " + problem->message + ".", true, false);
        usage_.link(id, std::get<std::string>(checked));
        logLine("[twk/server] installation " + shortId(id) + " linked to a label");
    }
    // Back to the page, so that reloading it does not post the form again.
    HttpResponse r = htmlResponse(303, messagePage("Saved", "Saved; back to the account page."));
    r.headers.emplace_back("Location", std::string(showPath) + "?uuid=" + id + "&changed=" +
                                           (request.path == unlinkPath ? "unlinked" : "linked"));
    return r;
}

HttpResponse DashboardEndpoint::page(int status, const std::string& userId, const UsageStatus& usage, std::string notice,
                                     bool problem, bool offerRefresh)
{
    DashboardView view{userId, usage, usage_.dailyUsage(userId, chartDays), settings_.service, tokens_.token(userId),
                       std::move(notice), problem, offerRefresh};
    return htmlResponse(status, dashboardPage(view));
}

} // namespace twk::server

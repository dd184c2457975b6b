#include "dashboard_page.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace twk::server {
namespace {

std::string format(const char* pattern, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, pattern, value);
    return text;
}

std::string minutes(double seconds) { return format("%.1f", seconds / 60); }

std::string dayText(int64_t ms, const char* pattern)
{
    const std::time_t t = std::time_t(ms / 1000);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, pattern, &tm);
    // strftime pads the day with a zero; the page reads better without it.
    std::string out = text;
    if (const size_t zero = out.find(" 0"); zero != std::string::npos) out.erase(zero + 1, 1);
    return out;
}

const char* const style = R"(
body{font:15px/1.5 system-ui,sans-serif;margin:0;background:#111;color:#eee}
main{max-width:680px;margin:0 auto;padding:24px}
h1{font-size:22px;margin:0 0 4px}h1 span{color:#c4ff45}
h2{font-size:14px;text-transform:uppercase;letter-spacing:.06em;color:#999;margin:28px 0 8px}
.muted{color:#999}.figures{display:flex;gap:28px;flex-wrap:wrap}
.figure b{display:block;font-size:24px;font-weight:600}
.notice{padding:10px 12px;border-radius:8px;background:#1f2a12;border:1px solid #c4ff4555}
.notice.problem{background:#2a1212;border-color:#ff5a5a66}
.box{background:#ffffff0a;border-radius:8px;padding:12px}
input[type=text]{font:inherit;padding:6px 8px;width:min(320px,100%);background:#000;color:#eee;border:1px solid #555;border-radius:6px}
button{font:inherit;padding:6px 12px;border-radius:6px;border:1px solid #c4ff45;background:#c4ff45;color:#000;cursor:pointer}
button.quiet{background:none;color:#eee;border-color:#555}
a{color:#c4ff45}svg{width:100%;height:auto;display:block}
.bar{fill:#c4ff45}.axis{stroke:#444}.tick{fill:#999;font-size:11px}
code{font-size:13px;color:#bbb}
)";

} // namespace

std::string htmlEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(c);
        }
    }
    return out;
}

std::string utcDate(int64_t ms) { return dayText(ms, "%b %d, %Y"); }

std::string usageChartSvg(const std::vector<DayUsage>& days)
{
    constexpr double width = 600, height = 180, left = 52, bottom = 22, top = 8;
    const double plotWidth = width - left, plotHeight = height - bottom - top;
    double most = 0;
    for (const auto& d : days) most = std::max(most, d.seconds / 60);
    // A round top for the scale, so the label on it is a plain number.
    const double scale = most <= 1 ? 1 : std::pow(10, std::floor(std::log10(most))) * std::ceil(most / std::pow(10, std::floor(std::log10(most))));
    const double slot = days.empty() ? plotWidth : plotWidth / double(days.size());

    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " + format("%.0f", width) + " " +
                      format("%.0f", height) + "\" role=\"img\" aria-label=\"minutes used per day\">";
    svg += "<line class=\"axis\" x1=\"" + format("%.1f", left) + "\" y1=\"" + format("%.1f", top + plotHeight) + "\" x2=\"" +
           format("%.1f", width) + "\" y2=\"" + format("%.1f", top + plotHeight) + "\"/>";
    svg += "<text class=\"tick\" x=\"0\" y=\"" + format("%.1f", top + 10) + "\">" + format("%g", scale) + " min</text>";
    svg += "<text class=\"tick\" x=\"0\" y=\"" + format("%.1f", top + plotHeight) + "\">0</text>";
    for (size_t i = 0; i < days.size(); ++i) {
        const DayUsage& d = days[i];
        const double x = left + slot * double(i);
        if (d.seconds > 0) {
            // A day with any usage stays visible, however small next to the busiest.
            const double h = std::max(1.5, plotHeight * (d.seconds / 60) / scale);
            svg += "<rect class=\"bar\" data-day=\"" + dayText(d.dayStartMs, "%Y-%m-%d") + "\" x=\"" + format("%.1f", x + slot * 0.15) +
                   "\" y=\"" + format("%.1f", top + plotHeight - h) + "\" width=\"" + format("%.1f", slot * 0.7) +
                   "\" height=\"" + format("%.1f", h) + "\"><title>" + dayText(d.dayStartMs, "%b %d") + ": " +
                   minutes(d.seconds) + " min</title></rect>";
        }
        // First, middle and last day, anchored so that none runs off the chart.
        const char* anchor = i == 0 ? "start" : i + 1 == days.size() ? "end" : "middle";
        const double labelX = i == 0 ? x : i + 1 == days.size() ? width : x + slot / 2;
        if (i == 0 || i + 1 == days.size() || i == days.size() / 2)
            svg += "<text class=\"tick\" text-anchor=\"" + std::string(anchor) + "\" x=\"" + format("%.1f", labelX) + "\" y=\"" +
                   format("%.1f", height - 6) + "\">" + dayText(d.dayStartMs, "%b %d") + "</text>";
    }
    return svg + "</svg>";
}

std::string messagePage(std::string_view title, std::string_view text)
{
    return "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
           "content=\"width=device-width,initial-scale=1\"><title>" +
           htmlEscape(title) + " · tarnwick</title><style>" + style + "</style></head><body><main><h1>tarn<span>wick</span></h1><h2>" +
           htmlEscape(title) + "</h2><p>" + htmlEscape(text) + "</p></main></body></html>";
}

std::string dashboardPage(const DashboardView& v)
{
    const UsageStatus& s = v.status;
    const bool unlimited = s.quotaSeconds <= 0;
    std::string h = "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
                    "content=\"width=device-width,initial-scale=1\"><title>Your account · tarnwick</title><style>";
    h += style;
    h += "</style></head><body><main><h1>tarn<span>wick</span></h1><p class=\"muted\">This installation: <code>" +
         htmlEscape(v.userId) + "</code></p>";

    if (!v.notice.empty()) {
        h += std::string("<p class=\"notice") + (v.noticeIsProblem ? " problem" : "") + "\" id=\"notice\">" + htmlEscape(v.notice);
        if (v.offerAppRefresh)
            h += " The desktop app shows it the next time it checks (opening its panel does); "
                 "<a href=\"tarnwick://refresh\" id=\"refresh-app\">update the app now</a>.";
        h += "</p>";
    }

    h += "<h2>This month</h2><div class=\"figures\">";
    h += "<div class=\"figure\">Plan<b id=\"plan\">" + htmlEscape(s.plan) + "</b></div>";
    h += "<div class=\"figure\">Used<b id=\"used\">" + minutes(s.usedSeconds) + " min</b></div>";
    h += "<div class=\"figure\">Left<b id=\"left\">" +
         (unlimited ? std::string("no limit") : minutes(s.remainingSeconds) + " min") + "</b></div>";
    if (!unlimited) h += "<div class=\"figure\">Quota<b>" + minutes(s.quotaSeconds) + " min</b></div>";
    h += "</div>";
    if (s.resetAtMs > 0) h += "<p class=\"muted\" id=\"reset\">Resets on " + utcDate(s.resetAtMs) + " (UTC).</p>";

    h += "<h2>Minutes per day, last " + std::to_string(v.days.size()) + " days (UTC)</h2><div class=\"box\" id=\"chart\">" +
         usageChartSvg(v.days) + "</div>";

    if (!v.service.empty()) h += "<h2>Voice service</h2><p id=\"service\">" + htmlEscape(v.service) + "</p>";

    const std::string hidden = "<input type=\"hidden\" name=\"uuid\" value=\"" + htmlEscape(v.userId) +
                               "\"><input type=\"hidden\" name=\"token\" value=\"" + htmlEscape(v.formToken) + "\">";
    h += "<h2>Name on this installation</h2><div class=\"box\">";
    if (s.linkedLabel) {
        h += "<p>Linked to <b id=\"linked-label\">" + htmlEscape(*s.linkedLabel) + "</b>.</p>";
        h += "<form method=\"post\" action=\"/dashboard/unlink\" id=\"unlink-form\">" + hidden +
             "<button class=\"quiet\" type=\"submit\">Unlink</button></form>";
    }
    h += "<form method=\"post\" action=\"/dashboard/link\" id=\"link-form\">" + hidden +
         "<p><label for=\"label\">Name or e-mail address</label><br><input type=\"text\" id=\"label\" name=\"label\" maxlength=\"" +
         std::to_string(AccountLinks::maxLabelChars) + "\" required value=\"" + htmlEscape(s.linkedLabel.value_or("")) +
         "\"> <button type=\"submit\">" + (s.linkedLabel ? "Change" : "Link") + "</button></p></form>";
    h += "<p class=\"muted\">This server is your own: the name is a local label that the desktop app shows in its panel. "
         "It is not a verified account, nothing is sent anywhere, and no e-mail is checked.</p></div>";
    return h + "</main></body></html>";
}

} // namespace twk::server

#pragma once

#include "usage_service.h"

#include <string>
#include <string_view>
#include <vector>

namespace twk::server {

/// What the account page shows for one installation.
struct DashboardView {
    std::string userId;
    UsageStatus status;
    std::vector<DayUsage> days; // oldest first
    std::string service;        // which realtime service and model answer, in words (never a key)
    std::string formToken;
    std::string notice;         // after a change, or why it was not made
    bool noticeIsProblem = false;
    bool offerAppRefresh = false; // the identity changed: offer the link that refreshes the desktop app
};

/// The whole page: self-contained HTML, no scripts, nothing fetched from elsewhere.
std::string dashboardPage(const DashboardView& view);
/// A page with a title and one paragraph, for a request the page cannot answer.
std::string messagePage(std::string_view title, std::string_view text);
/// Minutes per day as an SVG bar chart: one bar (class "bar") per day with usage.
std::string usageChartSvg(const std::vector<DayUsage>& days);
/// Text made safe for HTML content and quoted attribute values.
std::string htmlEscape(std::string_view text);
/// "Jun 7, 2025" for an instant, in UTC.
std::string utcDate(int64_t ms);

} // namespace twk::server

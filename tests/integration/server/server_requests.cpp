#include "integration/server/server_requests.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>
#include <unistd.h>

namespace twk::test {

std::string jsonPost(const std::string& path, const std::string& body, const std::string& extraHeaders)
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/json\r\n" + extraHeaders +
           "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string getRequest(const std::string& target, const std::string& extraHeaders)
{
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "\r\n";
}

std::string mintSecret(int port, const std::string& userId)
{
    const auto r = rawRequest(port, jsonPost("/api/realtime/session", R"({"userId":")" + userId + R"("})"));
    return nlohmann::json::parse(r.body, nullptr, false).value("clientSecret", "");
}

long residentKiB(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("VmRSS:")) return std::stol(line.substr(6));
    return 0;
}

double cpuSeconds(int pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    std::getline(in, text);
    // Fields after the command name, which may hold spaces: state is field 3, utime 14, stime 15.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i)
        if (i >= 14) ticks += std::stol(field);
    return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

} // namespace twk::test

#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace twk::server {

struct HttpResponse {
    int status = 200;
    std::string contentType = "application/json";
    std::vector<std::pair<std::string, std::string>> headers; // beyond the standard ones
    std::string body;
    bool closeConnection = false; // close after sending, whatever the request asked
};

HttpResponse jsonResponse(int status, const nlohmann::ordered_json& body);
/// {"error": message}: every refusal carries one.
HttpResponse errorResponse(int status, std::string_view message);

std::string_view reasonPhrase(int status);
/// The bytes on the wire; `keepAlive` says whether the connection stays open.
std::string serializeResponse(const HttpResponse& response, bool keepAlive);

} // namespace twk::server

#include "http_response.h"

namespace twk::server {

HttpResponse jsonResponse(int status, const nlohmann::ordered_json& body)
{
    HttpResponse r;
    r.status = status;
    // Invalid UTF-8 (a message may quote what a client sent) is replaced, not thrown on.
    r.body = body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    return r;
}

HttpResponse errorResponse(int status, std::string_view message)
{
    return jsonResponse(status, {{"error", std::string(message)}});
}

std::string_view reasonPhrase(int status)
{
    switch (status) {
    case 100: return "Continue";
    case 101: return "Switching Protocols";
    case 200: return "OK";
    case 204: return "No Content";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 402: return "Payment Required";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 409: return "Conflict";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 415: return "Unsupported Media Type";
    case 417: return "Expectation Failed";
    case 426: return "Upgrade Required";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Unknown";
    }
}

std::string serializeResponse(const HttpResponse& response, bool keepAlive)
{
    std::string out = "HTTP/1.1 " + std::to_string(response.status) + " " + std::string(reasonPhrase(response.status)) + "\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    out += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\n";
    out += keepAlive && !response.closeConnection ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto& [k, v] : response.headers) out += k + ": " + v + "\r\n";
    out += "\r\n";
    out += response.body;
    return out;
}

} // namespace twk::server

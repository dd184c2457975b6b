// Bytes from a client into tarnwick-server's request reader: the head
// parser, the query decoder and the web-page checks (API and account page). Besides memory and UB
// errors, a complete head must lie within the bytes and the limits.

#include "fuzz_check.h"
#include "http_request.h"
#include "site_guard.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace twk::server;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    HttpLimits limits;
    limits.maxHeadBytes = 512;
    limits.maxBodyBytes = 4096;
    const HeadParse parsed = parseRequestHead(bytes, limits);
    if (parsed.outcome == HeadParse::Outcome::complete) {
        check(parsed.headLength <= bytes.size() && parsed.headLength <= limits.maxHeadBytes, "head within bytes and limit");
        check(parsed.contentLength <= limits.maxBodyBytes, "body within limit");
        check(!parsed.request.path.empty() && parsed.request.path.front() == '/', "path starts with /");
        (void)parseQuery(parsed.request.query);
        (void)checkSite(parsed.request, {"tarnwick.example"});
        (void)checkPageSite(parsed.request, {"tarnwick.example"});
    } else if (parsed.outcome == HeadParse::Outcome::invalid) {
        check(parsed.status >= 400 && parsed.status < 600 && !parsed.error.empty(), "a refusal has a status and a reason");
    }
    return 0;
}

// Client messages into tarnwick-server's realtime handling: the guarded JSON
// reader, the session settings and the reply printing that follow it.
// Whatever is accepted must be printable and no deeper than the bound, and
// the append reader must build exactly the document the general reader does.

#include "audio_append_scan.h"
#include "fuzz_check.h"
#include "json_input.h"
#include "session_config.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace twk::server;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto append = scanAudioAppend(text)) {
        const JsonInput general = parseJsonInput(text);
        check(general.ok() && general.value == *append, "an append reads the same either way");
    }
    const JsonInput input = parseJsonInput(text, 16);
    if (!input.ok()) {
        check(!input.error.empty(), "a refusal says why");
        return 0;
    }
    const std::string printed = input.value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    check(!nestsDeeperThan(printed, 16), "accepted input is within the depth bound");
    SessionConfig session;
    session.apply(input.value);
    nlohmann::json copy = input.value; // copies recurse like printing does
    (void)copy;
    return 0;
}

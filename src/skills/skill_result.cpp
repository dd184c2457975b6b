#include "common/log.h"
#include "skills/skills.h"
#include "tools/result_json.h"

namespace twk {

std::string Skills::ok(const std::string& message) { return okJSON(message); }

std::string Skills::err(const std::string& message)
{
    logLine("[twk/skill] error: " + message);
    return errJSON(message);
}

} // namespace twk

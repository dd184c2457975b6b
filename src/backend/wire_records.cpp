#include "backend/wire_records.h"

#include "backend/any_decodable.h"
#include "backend/json_fields.h"
#include "common/error.h"
#include "common/utf8.h"

namespace twk {

using namespace json_fields;

SessionMint SessionMint::decode(const std::string& body)
{
    const auto o = parseObject(body);
    return SessionMint{requiredString(o, "clientSecret"), requiredInteger(o, "expiresAt"),
                       requiredString(o, "model"),        requiredString(o, "plan"),
                       requiredNumber(o, "remainingSeconds"), requiredNumber(o, "quotaSeconds")};
}

QuotaError QuotaError::decode(const std::string& body)
{
    const auto o = parseObject(body);
    QuotaError e;
    e.error = requiredString(o, "error");
    e.plan = optionalString(o, "plan");
    e.remainingSeconds = optionalNumber(o, "remainingSeconds");
    return e;
}

Status Status::decode(const std::string& body)
{
    const auto o = parseObject(body);
    Status s;
    s.plan = requiredString(o, "plan");
    s.quotaSeconds = requiredNumber(o, "quotaSeconds");
    s.usedSeconds = requiredNumber(o, "usedSeconds");
    s.remainingSeconds = requiredNumber(o, "remainingSeconds");
    s.resetAt = requiredNumber(o, "resetAt");
    s.linked = requiredBool(o, "linked");
    s.email = optionalString(o, "email");
    return s;
}

AgentToolUse AgentToolUse::decode(const nlohmann::json& object)
{
    if (!object.is_object()) throw Error("twk.decode", 4, "a tool use is not a JSON object");
    AgentToolUse use;
    use.id = requiredString(object, "id");
    use.name = requiredString(object, "name");
    // Any JSON value is kept, scalars and null included, as its compact text.
    const auto input = AnyDecodable::decode(requiredValue(object, "input"));
    try {
        use.inputJSON = input.value.dump();
    } catch (const nlohmann::json::type_error&) {
        use.inputJSON = "{}";
    }
    if (!isValidUtf8(use.inputJSON)) use.inputJSON = "{}";
    return use;
}

AgentRound AgentRound::decode(const std::string& body)
{
    const auto o = parseObject(body);
    AgentRound round;
    round.sessionId = requiredString(o, "sessionId");
    round.done = requiredBool(o, "done");
    round.text = requiredString(o, "text");
    for (const auto& use : requiredArray(o, "toolUses")) round.toolUses.push_back(AgentToolUse::decode(use));
    round.inputTokens = requiredInteger(o, "inputTokens");
    round.outputTokens = requiredInteger(o, "outputTokens");
    return round;
}

nlohmann::ordered_json AgentToolResult::encode() const
{
    nlohmann::ordered_json o;
    o["tool_use_id"] = tool_use_id;
    if (text) o["text"] = *text;
    if (image) o["image"] = {{"base64", image->base64}, {"mediaType", image->mediaType}};
    o["isError"] = isError;
    return o;
}

} // namespace twk

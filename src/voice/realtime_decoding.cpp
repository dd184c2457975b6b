#include "voice/realtime_decoding.h"


namespace twk::realtime {

using nlohmann::json;

namespace {

const json* objectField(const json& object, const char* key)
{
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it != object.end() && it->is_object() ? &*it : nullptr;
}

std::string typeOr(const json& entry, std::string fallback)
{
    const std::string* type = stringField(entry, "type");
    return type ? *type : std::move(fallback);
}

std::string itemList(const json* response)
{
    if (!response) return {};
    const auto output = response->find("output");
    if (output == response->end() || !output->is_array()) return {};
    std::string list;
    for (const json& item : *output) {
        if (!list.empty()) list += ' ';
        list += typeOr(item, "?") + '[';
        if (item.is_object()) {
            const auto content = item.find("content");
            if (content != item.end() && content->is_array()) {
                bool first = true;
                for (const json& part : *content) {
                    if (!first) list += ',';
                    list += typeOr(part, "?");
                    first = false;
                }
            }
        }
        list += ']';
    }
    return list;
}

} // namespace

const std::string* stringField(const json& object, const char* key)
{
    if (!object.is_object()) return nullptr;
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
}

std::string audioDoneLine(std::int64_t deltas, std::int64_t bytes)
{
    // 24 kHz mono Int16 is 48 bytes per millisecond.
    return "[realtime] output_audio.done — total deltas=" + std::to_string(deltas) + " bytes=" +
           std::to_string(bytes) + " (~" + std::to_string(bytes / 48) + "ms at 24kHz Int16 mono)";
}

std::string responseDoneLine(const json& message, std::int64_t deltas, std::int64_t bytes)
{
    const json* response = objectField(message, "response");
    const std::string* status = response ? stringField(*response, "status") : nullptr;
    const json* details = response ? objectField(*response, "status_details") : nullptr;
    const std::string* reason = details ? stringField(*details, "reason") : nullptr;
    const json* usage = response ? objectField(*response, "usage") : nullptr;
    std::string tokens = "-1";
    if (usage) {
        const auto it = usage->find("output_tokens");
        if (it != usage->end() && it->is_number_integer()) tokens = it->dump();
    }
    return "[realtime] response.done — status=" + (status ? *status : std::string("?")) +
           " reason=" + (reason ? *reason : std::string("—")) + " audioDeltas=" + std::to_string(deltas) +
           " bytes=" + std::to_string(bytes) + " outputTokens=" + tokens + " items=[" + itemList(response) + "]";
}

ServerError serverError(const json& message)
{
    const json* error = objectField(message, "error");
    const std::string* text = error ? stringField(*error, "message") : nullptr;
    const std::string* code = error ? stringField(*error, "code") : nullptr;
    return {text ? *text : "realtime error", code ? *code : ""};
}

bool isBenign(const ServerError& error)
{
    std::string lower = error.message;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const char* phrase : {"no active response", "cancellation failed", "already has an active response"})
        if (lower.find(phrase) != std::string::npos) return true;
    return error.code == "response_cancel_not_active" || error.code == "conversation_already_has_active_response";
}

} // namespace twk::realtime

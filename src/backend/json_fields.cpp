#include "backend/json_fields.h"

#include <cmath>
#include <limits>

namespace twk::json_fields {
namespace {

enum DecodeCode { dataCorrupted = 1, keyNotFound = 2, valueNotFound = 3, typeMismatch = 4 };

Error decodeError(DecodeCode code, const std::string& message)
{
    return Error("twk.decode", code, message);
}

const nlohmann::json& present(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end()) throw decodeError(keyNotFound, std::string("missing key \"") + key + "\"");
    if (it->is_null()) throw decodeError(valueNotFound, std::string("key \"") + key + "\" is null");
    return *it;
}

[[noreturn]] void mismatch(const char* key, const char* expected)
{
    throw decodeError(typeMismatch, std::string("key \"") + key + "\" is not " + expected);
}

} // namespace

nlohmann::json parseObject(const std::string& body)
{
    nlohmann::json value = nlohmann::json::parse(body, nullptr, false);
    if (value.is_discarded()) throw decodeError(dataCorrupted, "the response is not valid JSON");
    if (!value.is_object()) throw decodeError(typeMismatch, "the response is not a JSON object");
    return value;
}

std::string requiredString(const nlohmann::json& object, const char* key)
{
    const auto& v = present(object, key);
    if (!v.is_string()) mismatch(key, "a string");
    return v.get<std::string>();
}

double requiredNumber(const nlohmann::json& object, const char* key)
{
    const auto& v = present(object, key);
    if (!v.is_number()) mismatch(key, "a number");
    return v.get<double>();
}

int64_t requiredInteger(const nlohmann::json& object, const char* key)
{
    const auto& v = present(object, key);
    if (v.is_number_integer()) {
        if (v.is_number_unsigned() && v.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            mismatch(key, "a 64-bit integer");
        return v.get<int64_t>();
    }
    // 3.0 is an integer written as a float; 3.5 is not.
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (std::trunc(d) == d && d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)
            return static_cast<int64_t>(d);
    }
    mismatch(key, "an integer");
}

bool requiredBool(const nlohmann::json& object, const char* key)
{
    const auto& v = present(object, key);
    if (!v.is_boolean()) mismatch(key, "a boolean");
    return v.get<bool>();
}

const nlohmann::json& requiredArray(const nlohmann::json& object, const char* key)
{
    const auto& v = present(object, key);
    if (!v.is_array()) mismatch(key, "an array");
    return v;
}

const nlohmann::json& requiredValue(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end()) throw decodeError(keyNotFound, std::string("missing key \"") + key + "\"");
    return *it;
}

std::optional<std::string> optionalString(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) mismatch(key, "a string");
    return it->get<std::string>();
}

std::optional<double> optionalNumber(const nlohmann::json& object, const char* key)
{
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_number()) mismatch(key, "a number");
    return it->get<double>();
}

} // namespace twk::json_fields

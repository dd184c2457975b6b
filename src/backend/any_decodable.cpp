#include "backend/any_decodable.h"

#include <cmath>
#include <limits>

namespace twk {
namespace {

nlohmann::json normalised(const nlohmann::json& v)
{
    switch (v.type()) {
    case nlohmann::json::value_t::number_unsigned:
        if (v.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            return v.get<double>(); // too large for an integer
        return v.get<int64_t>();
    case nlohmann::json::value_t::number_float: {
        const double d = v.get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)
            return static_cast<int64_t>(d);
        return d;
    }
    case nlohmann::json::value_t::array: {
        nlohmann::json out = nlohmann::json::array();
        for (const auto& e : v) out.push_back(normalised(e));
        return out;
    }
    case nlohmann::json::value_t::object: {
        nlohmann::json out = nlohmann::json::object();
        for (const auto& [k, e] : v.items()) out[k] = normalised(e);
        return out;
    }
    default:
        return v;
    }
}

} // namespace

AnyDecodable AnyDecodable::decode(const nlohmann::json& json)
{
    return AnyDecodable{normalised(json)};
}

} // namespace twk

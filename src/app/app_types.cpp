#include "app/app_types.h"

namespace twk {
namespace {

constexpr std::array<std::string_view, 4> verbosityRaw{"silent", "brief", "normal", "chatty"};
constexpr std::array<std::string_view, 4> stepStateRaw{"pending", "doing", "done", "failed"};

template <typename E, size_t N>
std::optional<E> fromRaw(const std::array<std::string_view, N>& table, std::string_view raw)
{
    for (size_t i = 0; i < N; ++i)
        if (table[i] == raw) return static_cast<E>(i);
    return std::nullopt;
}

} // namespace

std::string_view rawValue(Verbosity v) { return verbosityRaw[static_cast<size_t>(v)]; }
std::optional<Verbosity> verbosityFromRaw(std::string_view raw) { return fromRaw<Verbosity>(verbosityRaw, raw); }
std::string_view rawValue(StepState s) { return stepStateRaw[static_cast<size_t>(s)]; }
std::optional<StepState> stepStateFromRaw(std::string_view raw) { return fromRaw<StepState>(stepStateRaw, raw); }

} // namespace twk

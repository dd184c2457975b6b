#pragma once

#include <atspi/atspi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace twk {

/// What marking reads of one element, fetched in bulk.
struct AtspiFacts {
    std::optional<AtspiRole> role;
    /// Bit n set: the element has state n.
    std::optional<std::uint64_t> states;
    std::optional<AtspiRect> extents;
    /// (name, key binding) of each action, in order.
    std::optional<std::vector<std::pair<std::string, std::string>>> actions;
    std::optional<std::string> name;
    std::optional<int> childCount;
};

/// Reads role, states, screen extents, actions, name and child count of
/// every object
/// with all requests in flight at once: one round trip for the lot instead
/// of one per read, which is what a walk over a large window pays for. The
/// requests are the ones libatspi itself sends, so the answers are the same.
/// What an object does not answer (an interface it lacks, a vanished object)
/// stays empty. Runs on the accessibility thread.
std::vector<AtspiFacts> readFactsInBulk(const std::vector<AtspiAccessible*>& objects, int timeoutMs);

/// Up to `count` children of `parent` in order, from the one after
/// `previous` (a child read before), or from the first when it is null: one
/// Collection request instead of one per child. Nothing when the
/// application does not answer it. New references.
std::optional<std::vector<AtspiAccessible*>> childrenByCollection(AtspiAccessible* parent, AtspiAccessible* previous,
                                                                  int count, int timeoutMs);

/// Children `first` to `first + count - 1` of `parent` (new references;
/// null where one cannot be read), asked for all at once.
std::vector<AtspiAccessible*> childrenInBulk(AtspiAccessible* parent, int first, int count, int timeoutMs);

} // namespace twk

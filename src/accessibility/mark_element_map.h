#pragma once

#include "platform/accessibility.h"

#include <cstddef>
#include <vector>

namespace twk {

/// The live elements behind the last marking's numbers: id n is element
/// n - 1. Every successful marking replaces it whole; ids of an earlier
/// marking mean nothing afterwards.
///
/// One per application, owned by the composition root. Only the
/// accessibility thread touches it (marking fills it, the mark actions read
/// it): the elements it holds belong to that thread too, so no lock.
class MarkElementMap {
public:
    void replace(std::vector<AXElementRef> elements) { elements_ = std::move(elements); }
    /// The element marked `id` in the last marking; null when there is none.
    AXElementRef element(int id) const
    {
        if (id < 1 || static_cast<std::size_t>(id) > elements_.size()) return nullptr;
        return elements_[static_cast<std::size_t>(id) - 1];
    }
    std::size_t size() const { return elements_.size(); }
    void clear() { elements_.clear(); }

private:
    std::vector<AXElementRef> elements_;
};

} // namespace twk

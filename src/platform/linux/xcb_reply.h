#pragma once

// XCB hands out replies and errors allocated with malloc; the caller frees them.

#include <cstdlib>
#include <memory>

namespace twk {

struct FreeWithC {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeWithC>;

} // namespace twk

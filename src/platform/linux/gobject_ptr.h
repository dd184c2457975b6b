#pragma once

#include <glib-object.h>

#include <memory>

namespace twk {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};

/// Owns one reference to a GObject (GIO, libecal and libical objects alike).
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

} // namespace twk

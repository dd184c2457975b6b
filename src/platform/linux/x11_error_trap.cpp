#include "platform/linux/x11_error_trap.h"

#include <mutex>

namespace twk {
namespace {

int ignoreError(Display*, XErrorEvent*) { return 0; }

} // namespace

void installQuietXErrorHandler()
{
    static std::once_flag once;
    std::call_once(once, [] { XSetErrorHandler(ignoreError); });
}

} // namespace twk

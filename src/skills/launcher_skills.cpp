#include "skills/skills.h"

namespace twk {

std::string Skills::spotlight(const std::string& query)
{
    if (s_.launcher.searchDirectly(query)) return ok("opened the launcher search for: " + query);
    // Saying it was done when nothing opened would have the model tell the
    // user to look at a search that is not there.
    return err("launcher search failed: this desktop's launcher cannot be asked directly");
}

} // namespace twk

#include "skills/mailto_url.h"
#include "skills/skills.h"

namespace twk {

std::string Skills::composeEmail(const std::string& to, const std::optional<std::string>& subject,
                                 const std::optional<std::string>& body)
{
    // Only a draft opens: the user reads it and sends it themselves.
    if (!s_.workspace.openURL(mailtoUrl(to, subject, body))) return err("could not open mail client");
    return ok("composed email to " + to);
}

} // namespace twk

#pragma once

#include "platform/text_messages.h"

#include <string_view>
#include <variant>
#include <vector>

namespace twk {

/// The contacts in vCard text (one or more cards): each card's formatted
/// name ("FN") and phone numbers ("TEL"), folded lines unfolded and escaped
/// characters read. Cards without a name or a number are left out.
std::vector<PhoneContact> contactsInVCards(std::string_view text);

/// The contacts a spoken name means: those whose name equals it (letter case
/// and surrounding blanks ignored), else those whose name holds it as a
/// whole word ("mom" finds "Mom (mobile)", "maren" finds "Maren Holt").
std::vector<PhoneContact> contactsNamed(const std::vector<PhoneContact>& contacts, std::string_view name);

} // namespace twk

#pragma once

// The date and time as the speech model is told them: always in English,
// whatever the user's locale, so that they read the same to the model.

#include "platform/host.h"

#include <string>

namespace twk {

/// "Wednesday, May 20, 2026"
std::string fullDateText(const LocalTime& t);
/// "1:14 PM PDT"; zones without a lettered abbreviation read as "GMT+5:30".
std::string clockTimeText(const LocalTime& t);

} // namespace twk

#pragma once

#include "command_vocabulary.h"

#include <QDateTime>
#include <QTimeZone>

#include <string>

namespace twk::server {

/// A short sentence to say after a tool ran, from its output: the result's
/// message ("Opened Galculator."), or its error in plain words.
std::string confirmationOf(const std::string& toolOutput);

/// What to say when a sentence is not understood: examples of what this
/// engine can do, for the tools the client offers.
std::string refusalFor(const CommandVocabulary& vocabulary);

/// The time zone a session's instructions name after "Current local time:"
/// ("… (Europe/Berlin)"); the system's own when they name none it knows.
QTimeZone zoneFromInstructions(const std::string& instructions);

/// "It's 1:14 PM." and "Today is Monday, December 7, 2026." for `now`.
std::string timeAnswer(const QDateTime& now);
std::string dateAnswer(const QDateTime& now);

} // namespace twk::server

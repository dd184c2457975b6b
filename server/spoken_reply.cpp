#include "spoken_reply.h"

#include <nlohmann/json.hpp>

#include <QLocale>
#include <QTimeZone>

#include <cctype>

namespace twk::server {
namespace {

constexpr size_t maxSpokenChars = 160;

std::string sentence(std::string text)
{
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '.')) text.pop_back();
    if (text.empty()) return "Done.";
    if (text.size() > maxSpokenChars) {
        const auto cut = text.rfind(' ', maxSpokenChars);
        text.resize(cut == std::string::npos ? maxSpokenChars : cut);
    }
    if (text[0] >= 'a' && text[0] <= 'z') text[0] = char(text[0] - 'a' + 'A');
    return text + ".";
}

} // namespace

std::string confirmationOf(const std::string& toolOutput)
{
    const auto result = nlohmann::json::parse(toolOutput, nullptr, false);
    if (!result.is_object()) {
        // Plain text: its first line.
        return sentence(toolOutput.substr(0, toolOutput.find('\n')));
    }
    const auto text = [&result](const char* key) {
        const auto it = result.find(key);
        return it != result.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    if (result.value("ok", true) == false || !text("error").empty()) {
        std::string error = sentence(text("error"));
        if (error == "Done.") return "Sorry, that did not work.";
        if (error.size() > 1 && std::islower(static_cast<unsigned char>(error[1]))) error[0] = char(std::tolower(static_cast<unsigned char>(error[0])));
        return "Sorry, " + error;
    }
    const std::string message = text("message");
    return message.empty() ? "Done." : sentence(message);
}

std::string refusalFor(const CommandVocabulary& v)
{
    // Short, since the microphone waits while it is spoken: three examples of what works.
    std::vector<std::string> examples;
    if (v.offers("open_app") && !v.apps.empty()) examples.push_back("open " + v.apps.front().spoken);
    if (v.offers("set_volume")) examples.push_back("volume to fifty percent");
    else if (v.offers("play_pause_media")) examples.push_back("pause the music");
    if (v.offers("set_wifi") && examples.size() < 2) examples.push_back("turn off the wifi");
    examples.push_back("what time is it");
    std::string list;
    for (size_t i = 0; i < examples.size(); ++i)
        list += (i == 0 ? "" : (i + 1 == examples.size() ? ", or " : ", ")) + examples[i];
    return "Sorry, I can only do simple commands, like: " + list + ".";
}

QTimeZone zoneFromInstructions(const std::string& instructions)
{
    const auto at = instructions.find("Current local time:");
    if (at != std::string::npos) {
        const auto open = instructions.find('(', at), close = instructions.find(')', at);
        const auto line = instructions.find('\n', at);
        if (open != std::string::npos && close != std::string::npos && open < close && close < line) {
            const QTimeZone zone(QByteArray::fromStdString(instructions.substr(open + 1, close - open - 1)));
            if (zone.isValid()) return zone;
        }
    }
    return QTimeZone::systemTimeZone();
}

std::string timeAnswer(const QDateTime& now)
{
    return "It's " + QLocale::c().toString(now.time(), "h:mm AP").toStdString() + ".";
}

std::string dateAnswer(const QDateTime& now)
{
    return "Today is " + QLocale::c().toString(now.date(), "dddd, MMMM d, yyyy").toStdString() + ".";
}

} // namespace twk::server

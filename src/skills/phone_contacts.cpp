#include "skills/phone_contacts.h"

#include "common/text_case.h"
#include "skills/skill_text.h"

#include <algorithm>
#include <cctype>

namespace twk {
namespace {

/// The lines of vCard text with folded continuations joined.
std::vector<std::string> unfoldedLines(std::string_view text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(start, end - start));
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && (line[0] == ' ' || line[0] == '\t') && !lines.empty())
            lines.back() += line.substr(1);
        else
            lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string unescaped(std::string_view value)
{
    std::string out;
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            ++i;
            out.push_back(value[i] == 'n' || value[i] == 'N' ? ' ' : value[i]);
        } else {
            out.push_back(value[i]);
        }
    }
    return out;
}

bool isWordCharacter(char c) { return static_cast<unsigned char>(c) >= 0x80 || std::isalnum(static_cast<unsigned char>(c)); }

bool holdsWord(const std::string& text, const std::string& word)
{
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !isWordCharacter(text[at - 1])) && (end == text.size() || !isWordCharacter(text[end])))
            return true;
    }
    return false;
}

} // namespace

std::vector<PhoneContact> contactsInVCards(std::string_view text)
{
    std::vector<PhoneContact> contacts;
    PhoneContact card;
    for (const auto& line : unfoldedLines(text)) {
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        // "TEL;TYPE=CELL:..." names the property before any parameter.
        const std::string property = lowercased(line.substr(0, std::min(colon, line.find(';'))));
        const std::string value = unescaped(std::string_view(line).substr(colon + 1));
        if (property == "begin") {
            card = {};
        } else if (property == "fn") {
            card.name = trimmed(value);
        } else if (property == "tel" || property.ends_with(".tel")) {
            if (!trimmed(value).empty()) card.numbers.push_back(trimmed(value));
        } else if (property == "end" && !card.name.empty() && !card.numbers.empty()) {
            contacts.push_back(std::move(card));
            card = {};
        }
    }
    return contacts;
}

std::vector<PhoneContact> contactsNamed(const std::vector<PhoneContact>& contacts, std::string_view name)
{
    const std::string wanted = lowercased(trimmed(name));
    std::vector<PhoneContact> exact, partly;
    if (wanted.empty()) return {};
    for (const auto& contact : contacts) {
        const std::string have = lowercased(contact.name);
        if (have == wanted)
            exact.push_back(contact);
        else if (holdsWord(have, wanted))
            partly.push_back(contact);
    }
    return exact.empty() ? partly : exact;
}

} // namespace twk

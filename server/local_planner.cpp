#include "local_planner.h"

#include <algorithm>
#include <sstream>

namespace twk::server {
namespace {

using Kind = TaskStep::Kind;

constexpr std::string_view toggleRoles[] = {"checkbox", "switch", "radiobutton", "radio", "togglebutton", "menuitem"};
constexpr std::string_view fieldRoles[] = {"textfield", "textarea", "combobox", "searchfield", "textbox", "searchbox",
                                           "text", "input", "spinbutton"};

bool among(const std::string& role, const auto& roles)
{
    return std::find(std::begin(roles), std::end(roles), role) != std::end(roles);
}

bool compatible(const SnapshotMark& mark, Kind kind)
{
    if (kind == Kind::toggle) return among(mark.role, toggleRoles);
    if (kind == Kind::fill) return among(mark.role, fieldRoles);
    return !among(mark.role, fieldRoles);
}

std::vector<std::string> words(const std::string& normalized)
{
    std::vector<std::string> out;
    std::istringstream in(normalized);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

bool containsPhrase(const std::string& haystack, const std::string& needle)
{
    return (" " + haystack + " ").find(" " + needle + " ") != std::string::npos;
}

/// How well a label answers to the name in the task, 0 (not at all) to 100.
int labelScore(const std::string& label, const std::string& name)
{
    if (label.empty() || name.empty()) return 0;
    if (label == name) return 100;
    const auto labelWords = words(label), nameWords = words(name);
    const int extra = int(labelWords.size()) - int(nameWords.size());
    if (containsPhrase(label, name)) return 80 - std::min(20, 5 * std::abs(extra));
    if (containsPhrase(name, label)) return 70 - std::min(20, 5 * std::abs(extra));
    const auto found = std::count_if(nameWords.begin(), nameWords.end(), [&labelWords](const std::string& w) {
        return std::find(labelWords.begin(), labelWords.end(), w) != labelWords.end();
    });
    if (found == 0) return 0;
    const int share = int(100 * found / std::max<size_t>(nameWords.size(), labelWords.size()));
    return share >= 50 ? 20 + share / 3 : 0;
}

std::string quote(const std::string& s) { return "\u201c" + s + "\u201d"; }

std::string joined(const std::vector<std::string>& parts, const std::string& glue)
{
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : glue) + p;
    return out;
}

std::string onOff(bool on) { return on ? "on" : "off"; }

/// The field shows `text` (snapshots cut values at 60 characters).
bool shows(const SnapshotMark& mark, const std::string& text)
{
    if (!mark.value) return false;
    return *mark.value == text || (mark.value->size() >= 60 && text.starts_with(*mark.value));
}

const char* toolFor(Kind kind)
{
    switch (kind) {
    case Kind::press:
    case Kind::toggle: return "click";
    case Kind::fill: return "set_value";
    case Kind::menu: return "invoke_menu";
    case Kind::key: return "press_key";
    case Kind::typeText: return "type_text";
    case Kind::scroll: return "scroll";
    case Kind::navigate: return "navigate";
    }
    return "click";
}

/// The state an action's result reports ("element [4] now: value="1" ✓selected"), applied to the mark.
void applyHint(ScreenSnapshot& screen, const std::string& text)
{
    const size_t at = text.find("element [");
    const size_t now = text.find("] now: ", at);
    if (at == std::string::npos || now == std::string::npos) return;
    int id = 0;
    try {
        id = std::stoi(text.substr(at + 9, now - at - 9));
    } catch (...) {
        return;
    }
    for (auto& mark : screen.marks) {
        if (mark.id != id) continue;
        const std::string state = text.substr(now + 7);
        if (const size_t v = state.find("value=\""); v != std::string::npos) {
            const size_t close = state.rfind('"');
            if (close > v + 6) mark.value = state.substr(v + 7, close - v - 7);
        }
        if (state.find("\u2713selected") != std::string::npos) mark.selected = true;
        if (state.find("not-selected") != std::string::npos) mark.selected = false;
    }
}

} // namespace

std::optional<bool> toggleState(const SnapshotMark& mark)
{
    if (!among(mark.role, toggleRoles)) return std::nullopt;
    if (mark.selected) return true;
    if (!mark.value) return mark.role == "menuitem" ? std::nullopt : std::optional(false);
    const std::string v = normalizedWords(*mark.value);
    if (v == "1" || v == "true" || v == "on" || v == "yes" || v == "checked") return true;
    if (v == "0" || v == "false" || v == "off" || v == "no" || v == "unchecked") return false;
    return std::nullopt;
}

const SnapshotMark* findMark(const ScreenSnapshot& screen, const std::string& name, Kind kind)
{
    const std::string wanted = normalizedWords(name);
    const SnapshotMark* best = nullptr;
    int bestScore = 39; // below this a label only shares a word by chance
    for (const auto& mark : screen.marks) {
        int score = labelScore(normalizedWords(mark.label), wanted);
        if (score == 0) continue;
        score += compatible(mark, kind) ? 10 : -30;
        score += mark.disabled ? 0 : 5;
        if (score > bestScore) best = &mark, bestScore = score;
    }
    return best;
}

AgentToolUseOut LocalPlanner::use(std::string name, nlohmann::json input)
{
    return {"toolu_local_" + std::to_string(nextId_++), std::move(name), std::move(input)};
}

std::optional<std::string> LocalPlanner::unsupportedTool() const
{
    for (const auto& step : steps_)
        if (!supports(toolFor(step.kind)) && !(step.kind == Kind::press && supports("press_key") && !step.text.empty()))
            return std::string(toolFor(step.kind));
    return std::nullopt;
}

void LocalPlanner::start(const AgentTask& task, AgentAnswer answer)
{
    tools_ = std::set<std::string>(task.tools.begin(), task.tools.end());
    const std::string_view taskText = taskSection(task.description);
    if (const auto screen = screenSection(task.description)) screen_ = parseSnapshot(*screen);
    auto steps = parseTask(taskText);
    if (!steps) {
        answer(giveUp("Without a language model I can only do simple steps \u2014 press a named button, switch a named "
                      "check box on or off, fill a named field, choose a menu item or press a shortcut \u2014 and I "
                      "don't understand " + quote(std::string(taskText)) + "."));
        return;
    }
    steps_ = std::move(*steps);
    if (const auto tool = unsupportedTool()) {
        answer(giveUp("This task needs the " + *tool + " action, which is not available here, so I cannot do it."));
        return;
    }
    answer(advance());
}

void LocalPlanner::next(const AgentTurn& turn, AgentAnswer answer)
{
    if (turn.userMessage) {
        answer(verdict(screenSection(turn.userMessage->text)));
        return;
    }
    if (ended_ || current_ >= steps_.size()) {
        answer(AgentReply{true, ended_.value_or(summary_), {}, 0, 0});
        return;
    }
    const AgentToolResultIn* action = nullptr;
    for (const auto& result : turn.results) {
        if (result.toolUseId == actionId_) action = &result;
        else if (!result.isError && result.text && std::find(pendingIds_.begin(), pendingIds_.end(), result.toolUseId) != pendingIds_.end())
            screen_ = parseSnapshot(*result.text); // the fresh read of the screen
    }
    pendingIds_.clear();
    if (action == nullptr) {
        answer(giveUp("The step I asked for was not carried out, so I stopped."));
        return;
    }
    if (action->isError) {
        answer(giveUp("I could not do it: " + action->text.value_or("the action failed") + "."));
        return;
    }
    if (action->text) applyHint(screen_, *action->text);
    answer(advance());
}

AgentReply LocalPlanner::giveUp(std::string sentence)
{
    ended_ = sentence;
    return AgentReply{true, std::move(sentence), {}, 0, 0};
}

AgentReply LocalPlanner::advance()
{
    while (current_ < steps_.size()) {
        if (auto reply = act(steps_[current_])) return *reply;
        ++current_;
        attempts_ = 0;
    }
    return AgentReply{true, "Done: " + summary_ + ".", {}, 0, 0};
}

std::optional<AgentReply> LocalPlanner::act(TaskStep& step)
{
    const auto noted = [this](const std::string& what) {
        summary_ += (summary_.empty() ? "" : ", then ") + what;
        return std::nullopt;
    };
    const auto request = [this, &step](const std::string& narration, nlohmann::json input,
                                       const char* tool = nullptr) -> std::optional<AgentReply> {
        AgentReply reply{false, narration, {}, 0, 0};
        reply.toolUses.push_back(use(tool != nullptr ? tool : toolFor(step.kind), std::move(input)));
        actionId_ = reply.toolUses.back().id;
        if (supports("read_screen")) reply.toolUses.push_back(use("read_screen", nlohmann::json::object()));
        for (const auto& u : reply.toolUses) pendingIds_.push_back(u.id);
        ++attempts_;
        return reply;
    };
    const auto notFound = [this](const std::string& name) {
        if (screen_.marks.empty())
            return giveUp("I see no elements I can read in this window, and without a language model I cannot read "
                          "screenshots, so I cannot find " + quote(name) + ".");
        return giveUp("I can't find " + quote(name) + " on the screen.");
    };

    switch (step.kind) {
    case Kind::toggle: {
        const SnapshotMark* mark = findMark(screen_, step.target, Kind::toggle);
        if (mark == nullptr || !toggleState(*mark)) return notFound(step.target);
        const std::string name = quote(mark->label);
        if (*toggleState(*mark) == step.on)
            return noted(attempts_ > 0 ? "turned " + name + " " + onOff(step.on) : name + " was already " + onOff(step.on));
        if (attempts_ >= maxAttempts)
            return giveUp("I pressed " + name + " but it still shows " + onOff(!step.on) + ", so I stopped.");
        if (mark->disabled) return giveUp(name + " is disabled, so I cannot switch it " + onOff(step.on) + ".");
        return request("Switching " + name + " " + onOff(step.on) + ".", {{"id", mark->id}});
    }
    case Kind::fill: {
        const SnapshotMark* mark = findMark(screen_, step.target, Kind::fill);
        if (mark == nullptr) return notFound(step.target);
        const std::string name = quote(mark->label);
        if (shows(*mark, step.text)) return noted(name + " holds " + quote(step.text));
        // A field that never shows its contents (a password: no value, or "(hidden)" on a web page) is taken
        // at the action's word.
        if (attempts_ > 0 && (!mark->value || *mark->value == "(hidden)")) return noted("entered the text in " + name);
        if (attempts_ >= maxAttempts)
            return giveUp("I entered " + quote(step.text) + " in " + name + " but it shows " +
                          quote(mark->value.value_or("")) + ", so I stopped.");
        if (mark->disabled) return giveUp(name + " is disabled, so I cannot fill it in.");
        // What goes into a password field is not shown in the narration.
        const bool secret = mark->value == "(hidden)" || normalizedWords(mark->label).find("password") != std::string::npos;
        return request("Entering " + (secret ? std::string("the text") : quote(step.text)) + " in " + name + ".",
                       {{"id", mark->id}, {"text", step.text}});
    }
    case Kind::press: {
        if (attempts_ > 0) return noted("pressed " + quote(step.target));
        const SnapshotMark* mark = findMark(screen_, step.target, Kind::press);
        const bool isKey = !step.text.empty();
        if (mark != nullptr && (!isKey || normalizedWords(mark->label) == normalizedWords(step.target))) {
            if (mark->disabled) return giveUp(quote(mark->label) + " is disabled, so I cannot press it.");
            step.target = mark->label;
            return request("Pressing " + quote(mark->label) + ".", {{"id", mark->id}});
        }
        if (isKey && supports("press_key")) return request("Pressing " + step.text + ".", {{"keys", step.text}}, "press_key");
        // An item of the menu bar by that name.
        const std::string wanted = normalizedWords(step.target);
        for (const auto& menu : screen_.menus)
            for (const auto& item : menu.items)
                if (normalizedWords(item) == wanted && supports("invoke_menu")) {
                    step.target = item;
                    return request("Choosing " + menu.title + " \u203a " + item + ".", {{"path", {menu.title, item}}}, "invoke_menu");
                }
        return notFound(step.target);
    }
    case Kind::menu: {
        if (attempts_ > 0) return noted("chose " + joined(step.path, " \u203a "));
        // The menu bar's own spelling, when the snapshot lists it.
        for (const auto& menu : screen_.menus) {
            if (normalizedWords(menu.title) != normalizedWords(step.path.front())) continue;
            step.path.front() = menu.title;
            if (step.path.size() > 1)
                for (const auto& item : menu.items)
                    if (normalizedWords(item) == normalizedWords(step.path[1])) step.path[1] = item;
        }
        return request("Choosing " + joined(step.path, " \u203a ") + ".", {{"path", step.path}});
    }
    case Kind::key:
        if (attempts_ > 0) return noted("pressed " + step.text);
        return request("Pressing " + step.text + ".", {{"keys", step.text}});
    case Kind::typeText:
        if (attempts_ > 0) return noted("typed " + quote(step.text));
        return request("Typing " + quote(step.text) + ".", {{"text", step.text}});
    case Kind::scroll:
        if (attempts_ > 0) return noted("scrolled " + step.text);
        return request("Scrolling " + step.text + ".", {{"direction", step.text}});
    case Kind::navigate:
        if (attempts_ > 0) return noted("opened " + step.text);
        return request("Opening " + step.text + ".", {{"url", step.text}});
    }
    return std::nullopt;
}

AgentReply LocalPlanner::verdict(const std::optional<std::string_view>& screen) const
{
    if (ended_) return AgentReply{true, *ended_, {}, 0, 0};
    if (!screen) return AgentReply{true, "Done: " + summary_ + ".", {}, 0, 0};
    const ScreenSnapshot now = parseSnapshot(*screen);
    std::vector<std::string> confirmed, wrong;
    // A later press, menu choice, key or address may rightly take an earlier
    // step's control off the screen (a submitted search form): its absence
    // then says nothing against the task, while a wrong value still does.
    size_t lastLeaving = 0;
    for (size_t i = 0; i < steps_.size(); ++i)
        if (steps_[i].kind == Kind::press || steps_[i].kind == Kind::menu || steps_[i].kind == Kind::key ||
            steps_[i].kind == Kind::navigate)
            lastLeaving = i + 1;
    for (size_t i = 0; i < steps_.size(); ++i) {
        const TaskStep& step = steps_[i];
        const bool mayBeGone = i < lastLeaving;
        if (step.kind == Kind::toggle) {
            const SnapshotMark* mark = findMark(now, step.target, Kind::toggle);
            const auto state = mark != nullptr ? toggleState(*mark) : std::nullopt;
            if (!state) {
                if (!mayBeGone) wrong.push_back(quote(step.target) + " is no longer on the screen");
            } else {
                (*state == step.on ? confirmed : wrong).push_back(quote(mark->label) + " is " + onOff(*state));
            }
        } else if (step.kind == Kind::fill) {
            const SnapshotMark* mark = findMark(now, step.target, Kind::fill);
            if (mark == nullptr) {
                if (!mayBeGone) wrong.push_back(quote(step.target) + " is no longer on the screen");
            } else if (shows(*mark, step.text)) {
                confirmed.push_back(quote(mark->label) + " holds " + quote(step.text));
            } else if (mark->value) {
                wrong.push_back(quote(mark->label) + " holds " + quote(*mark->value));
            }
        }
    }
    if (!wrong.empty()) return AgentReply{true, "It did not work: " + joined(wrong, ", ") + ".", {}, 0, 0};
    if (confirmed.empty()) return AgentReply{true, "Done: " + summary_ + ".", {}, 0, 0};
    return AgentReply{true, "Confirmed: " + joined(confirmed, ", ") + ".", {}, 0, 0};
}

} // namespace twk::server

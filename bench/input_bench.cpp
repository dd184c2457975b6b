// Typing and key presses against a real GTK entry (zenity), as the agent
// does them. Needs an X display with a window manager: run it inside
// tests/harness/desktop.sh. Prints, for each round, the time to type a
// 200-character mixed-script text and whether the entry received exactly
// that text (checked character for character); then the time to post one
// key combination, the device alone and the whole pressKey.

#include "accessibility/input_synthesis.h"
#include "accessibility/user_characters.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/qt_main_loop.h"
#include "platform/linux/x11_clipboard.h"
#include "platform/linux/xtest_input_device.h"

#include "fakes/fake_host.h"
#include "fakes/fake_media_keys.h"
#include "integration/process_helpers.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <thread>

#include "integration/x11_focus.h"

namespace {

using namespace twk;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

/// 200 characters drawn in turn from several scripts, most of them missing
/// from a US keyboard.
std::string mixedText()
{
    const std::vector<std::string> pool = userCharacters(
        "The quick brown fox jumps; 0123456789 héllo Ünïcødé çàéèêëîïôöùûüÿ ß ÆØÅ æøå "
        "Ελληνικά Кириллица עברית العربية 日本語のテキスト 中文字符 한국어 → ✓ ★ € £ ¥ © ® ° ± × ÷ 𝄞 😀");
    std::string text;
    for (size_t i = 0; i < 200; ++i) text += pool[(i * 7) % pool.size()];
    return text;
}

template <typename T>
T runOn(QtMainLoop& loop, Task<T> task)
{
    auto result = std::make_shared<std::optional<T>>();
    spawn(loop, [](Task<T> t, std::shared_ptr<std::optional<T>> out) -> Task<void> {
        out->emplace(co_await std::move(t));
    }(std::move(task), result));
    while (!result->has_value()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return std::move(**result);
}

/// Waits until the dialog has the keyboard, not only the window manager's attention.
void waitForKeyboard(const test::ChildProcess& dialog)
{
    const auto deadline = Clock::now() + 20s;
    while (test::focusedWindowPid() != dialog.pid() && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
    // A window that gets the focus again selects its entry's text (GTK): let it settle.
    std::this_thread::sleep_for(1s);
}

/// Passes everything on to the real device, noting when the last key went up.
class TimingDevice : public InputDevice {
public:
    explicit TimingDevice(InputDevice& real) : real_(real) {}
    Clock::time_point lastKeyUp;

    bool usable() override { return real_.usable(); }
    bool postKey(int key, bool down, uint64_t flags) override
    {
        const bool ok = real_.postKey(key, down, flags);
        if (!down) lastKeyUp = Clock::now();
        return ok;
    }
    void releaseHeldKeys() override { real_.releaseHeldKeys(); }
    CharacterBatch prepareCharacters(const std::vector<std::string>& upcoming) override
    {
        return real_.prepareCharacters(upcoming);
    }
    bool postCharacter(const std::string& c) override { return real_.postCharacter(c); }
    void finishCharacters() override { real_.finishCharacters(); }
    Duration keyboardSettleTime() const override { return real_.keyboardSettleTime(); }
    std::optional<uint64_t> askTargetToConfirm() override { return real_.askTargetToConfirm(); }
    bool targetConfirmed(uint64_t ticket) override { return real_.targetConfirmed(ticket); }
    bool postMouseButton(MouseButton b, bool down, ScreenPoint at, int state) override
    {
        return real_.postMouseButton(b, down, at, state);
    }
    bool postScroll(int32_t y, int32_t x) override { return real_.postScroll(y, x); }
    std::optional<ScreenPoint> pointerLocation() override { return real_.pointerLocation(); }
    bool focusIsOwnWindow() override { return real_.focusIsOwnWindow(); }

private:
    InputDevice& real_;
};

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QtMainLoop loop;
    LinuxWorkspace workspace;
    XTestInputDevice realDevice;
    TimingDevice device(realDevice);
    X11Clipboard clipboard;
    test::FakeMediaKeys mediaKeys;
    test::FakeHost host;
    Skills skills{{loop, workspace, mediaKeys, host}};
    CaptureGeometry geometry;
    InputSynthesis input{{loop, device, clipboard, workspace, skills, geometry}};

    const std::string text = mixedText();
    const auto expected = userCharacters(text);
    int failures = 0;
    for (int round = 1; round <= 3; ++round) {
        test::ChildProcess entry("/usr/bin/zenity", {"--entry", "--text=Bench"});
        waitForKeyboard(entry);
        const auto start = Clock::now();
        const auto typed = runOn(loop, input.typeText(text));
        const double took = ms(Clock::now() - start);
        runOn(loop, input.pressKey("return", std::nullopt));
        const auto status = entry.waitForExit(40s);
        if (status != 0) std::printf("  zenity ended with %d\n", status.value_or(-999));
        std::string got = entry.output();
        const size_t line = got.find(expected.front());
        got = line == std::string::npos ? "" : got.substr(line, got.find('\n', line) - line);
        const auto received = userCharacters(got);
        size_t same = 0;
        while (same < std::min(received.size(), expected.size()) && received[same] == expected[same]) ++same;
        const bool exact = received == expected;
        failures += exact ? 0 : 1;
        if (!exact) std::printf("  zenity printed: %s\n", entry.output().c_str());
        std::printf("typing round %d: %zu characters in %.0f ms (%s); %s\n", round, expected.size(), took,
                    typed ? typed.value().c_str() : typed.error().description().c_str(),
                    exact ? "received exactly" : ("MISMATCH at character " + std::to_string(same)).c_str());
    }

    // What the pacing alone costs on this machine now: 200 timer waits of 6 ms.
    const auto paceStart = Clock::now();
    runOn(loop, [](QtMainLoop& l) -> Task<bool> {
        for (int i = 0; i < 200; ++i) co_await sleepFor(l, InputSynthesis::typingPace);
        co_return true;
    }(loop));
    std::printf("pacing alone: 200 waits of 6 ms took %.0f ms\n", ms(Clock::now() - paceStart));

    // Key combinations: a harmless key (Shift+Right in an entry).
    test::ChildProcess entry("/usr/bin/zenity", {"--entry", "--text=Keys", "--entry-text=some text"});
    waitForKeyboard(entry);
    std::vector<double> deviceMs, postedMs, pressMs;
    for (int i = 0; i < 300; ++i) {
        auto start = Clock::now();
        device.postKey(124, true, modifier::shift);
        device.postKey(124, false, modifier::shift);
        deviceMs.push_back(ms(Clock::now() - start));
        start = Clock::now();
        runOn(loop, input.pressKey("shift+left", std::nullopt));
        postedMs.push_back(ms(device.lastKeyUp - start));
        pressMs.push_back(ms(Clock::now() - start));
    }
    const auto report = [](const char* what, std::vector<double> v) {
        std::sort(v.begin(), v.end());
        std::printf("%s: median %.3f ms, p95 %.3f ms, max %.3f ms (%zu presses)\n", what, v[v.size() / 2],
                    v[v.size() * 95 / 100], v.back(), v.size());
    };
    report("key combination, device (down+up with modifier)", deviceMs);
    report("key combination, pressKey until posted (parse, focus check, post)", postedMs);
    report("key combination, whole pressKey (with the log line naming the frontmost app)", pressMs);
    return failures == 0 ? 0 : 1;
}

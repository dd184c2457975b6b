#include "platform/linux/x11_clipboard.h"

#include "accessibility/user_characters.h"
#include "platform/linux/x11_error_trap.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace twk {
namespace {

using Clock = std::chrono::steady_clock;
/// How long an owner gets to answer a read.
constexpr auto readTimeout = std::chrono::milliseconds(1000);

std::string latin1ToUtf8(const std::string& bytes)
{
    std::string out;
    for (const unsigned char b : bytes) {
        if (b < 0x80) {
            out += static_cast<char>(b);
        } else {
            out += static_cast<char>(0xC0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3F));
        }
    }
    return out;
}

std::string utf8ToLatin1(const std::string& text)
{
    std::string out;
    for (const char32_t c : codePoints(text)) out += c < 0x100 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

struct X11Clipboard::Connection {
    Display* display = nullptr;
    Window window = 0;
    Atom clipboard = 0, utf8 = 0, targets = 0, text = 0, textPlain = 0, incr = 0, property = 0, manager = 0,
         saveTargets = 0;
    std::optional<std::string> served;
    /// The largest property one request can carry.
    size_t maxBytes = 0;

    bool owned() const { return served.has_value(); }

    void serve(const XSelectionRequestEvent& request)
    {
        XSelectionEvent reply{};
        reply.type = SelectionNotify;
        reply.display = display;
        reply.requestor = request.requestor;
        reply.selection = request.selection;
        reply.target = request.target;
        reply.time = request.time;
        reply.property = None;
        const Atom into = request.property == None ? request.target : request.property;
        XErrorTrap trap(display); // the requestor may be gone
        if (served && request.selection == clipboard) {
            if (request.target == targets) {
                const Atom list[] = {targets, utf8, XA_STRING, text, textPlain};
                XChangeProperty(display, request.requestor, into, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(list), 5);
                reply.property = into;
            } else if (request.target == utf8 || request.target == text || request.target == textPlain ||
                       request.target == XA_STRING) {
                const std::string bytes = request.target == XA_STRING ? utf8ToLatin1(*served) : *served;
                const Atom type = request.target == XA_STRING ? XA_STRING : request.target == text ? utf8 : request.target;
                XChangeProperty(display, request.requestor, into, type, 8, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
                reply.property = into;
            }
        }
        XEvent event{};
        event.xselection = reply;
        XSendEvent(display, request.requestor, False, NoEventMask, &event);
        XFlush(display);
    }

    void handle(XEvent& event)
    {
        if (event.type == SelectionRequest) {
            serve(event.xselectionrequest);
        } else if (event.type == SelectionClear && event.xselectionclear.selection == clipboard) {
            // Also sent when we gave it up ourselves, and may arrive after we
            // took it back: only the server knows whether it is still ours.
            if (XGetSelectionOwner(display, clipboard) != window) served.reset();
        }
    }

    /// Handles events until one satisfies `wanted` (returned) or the deadline.
    template <typename Pred>
    std::optional<XEvent> waitFor(Pred wanted, Clock::time_point deadline)
    {
        for (;;) {
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (wanted(event)) return event;
                handle(event);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) return std::nullopt;
            pollfd fd{ConnectionNumber(display), POLLIN, 0};
            poll(&fd, 1, static_cast<int>(left));
        }
    }

    /// Reads and deletes our property: its type and bytes.
    std::optional<std::pair<Atom, std::string>> takeProperty()
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(display, window, property, 0, static_cast<long>(maxBytes / 4 + 1), True, AnyPropertyType, &type,
                               &format, &count, &after, &data) != Success)
            return std::nullopt;
        std::string bytes;
        if (data != nullptr) {
            if (format == 8) bytes.assign(reinterpret_cast<const char*>(data), count);
            XFree(data);
        }
        return std::make_pair(type, bytes);
    }

    std::optional<std::string> readIncrementally(Clock::time_point deadline)
    {
        std::string all;
        for (;;) {
            const auto event = waitFor(
                [&](const XEvent& e) {
                    return e.type == PropertyNotify && e.xproperty.atom == property && e.xproperty.state == PropertyNewValue;
                },
                deadline);
            if (!event) return std::nullopt;
            const auto chunk = takeProperty();
            if (!chunk) return std::nullopt;
            if (chunk->second.empty()) return all;
            all += chunk->second;
            deadline = Clock::now() + readTimeout; // each chunk gets its own time
        }
    }

    std::optional<std::string> read()
    {
        if (served) return served;
        if (XGetSelectionOwner(display, clipboard) == None) return std::nullopt;
        for (const Atom target : {utf8, static_cast<Atom>(XA_STRING)}) {
            XDeleteProperty(display, window, property);
            XConvertSelection(display, clipboard, target, property, window, CurrentTime);
            XFlush(display);
            const auto deadline = Clock::now() + readTimeout;
            const auto notify = waitFor(
                [&](const XEvent& e) { return e.type == SelectionNotify && e.xselection.selection == clipboard; }, deadline);
            if (!notify) return std::nullopt; // the owner does not answer
            if (notify->xselection.property == None) continue;
            auto got = takeProperty();
            if (!got) continue;
            if (got->first == incr) {
                auto whole = readIncrementally(deadline);
                if (!whole) return std::nullopt;
                got->second = std::move(*whole);
            }
            return target == XA_STRING ? latin1ToUtf8(got->second) : got->second;
        }
        return std::nullopt;
    }
};

X11Clipboard::X11Clipboard() = default;

X11Clipboard::~X11Clipboard()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    if (wakeFd_ >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = write(wakeFd_, &one, sizeof one);
    }
    if (thread_.joinable()) thread_.join();
    if (connection_ && connection_->display != nullptr) XCloseDisplay(connection_->display);
    if (wakeFd_ >= 0) close(wakeFd_);
}

void X11Clipboard::call(const std::function<void(Connection&)>& job)
{
    std::unique_lock lock(mutex_);
    if (!started_) {
        started_ = true;
        installQuietXErrorHandler();
        Display* display = XOpenDisplay(nullptr);
        if (display == nullptr) return;
        auto c = std::make_unique<Connection>();
        c->display = display;
        c->window = XCreateSimpleWindow(display, DefaultRootWindow(display), -10, -10, 1, 1, 0, 0, 0);
        XSelectInput(display, c->window, PropertyChangeMask);
        c->clipboard = XInternAtom(display, "CLIPBOARD", False);
        c->utf8 = XInternAtom(display, "UTF8_STRING", False);
        c->targets = XInternAtom(display, "TARGETS", False);
        c->text = XInternAtom(display, "TEXT", False);
        c->textPlain = XInternAtom(display, "text/plain;charset=utf-8", False);
        c->incr = XInternAtom(display, "INCR", False);
        c->property = XInternAtom(display, "TWK_CLIPBOARD", False);
        c->manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
        c->saveTargets = XInternAtom(display, "SAVE_TARGETS", False);
        const long maxRequest = XExtendedMaxRequestSize(display) > 0 ? XExtendedMaxRequestSize(display) : XMaxRequestSize(display);
        c->maxBytes = static_cast<size_t>(maxRequest) * 4 - 1024;
        XFlush(display);
        connection_ = std::move(c);
        wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        thread_ = std::thread([this] { run(); });
    }
    if (!connection_ || stopping_) return;
    bool finished = false;
    jobs_.push_back([&](Connection& c) {
        job(c);
        std::lock_guard done(mutex_);
        finished = true;
        done_.notify_all();
    });
    const uint64_t one = 1;
    [[maybe_unused]] const auto n = write(wakeFd_, &one, sizeof one);
    done_.wait(lock, [&] { return finished || (stopping_ && jobs_.empty()); });
}

void X11Clipboard::run()
{
    Connection& c = *connection_;
    for (;;) {
        std::deque<std::function<void(Connection&)>> jobs;
        {
            std::lock_guard lock(mutex_);
            if (stopping_) {
                jobs_.clear();
                done_.notify_all();
                return;
            }
            jobs.swap(jobs_);
        }
        for (auto& job : jobs) job(c);
        while (XPending(c.display) > 0) {
            XEvent event;
            XNextEvent(c.display, &event);
            c.handle(event);
        }
        pollfd fds[2] = {{ConnectionNumber(c.display), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        poll(fds, 2, -1);
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            [[maybe_unused]] const auto n = ::read(wakeFd_, &count, sizeof count);
        }
        if (fds[0].revents & (POLLHUP | POLLERR)) {
            // The display went away: nothing more to serve.
            std::lock_guard lock(mutex_);
            stopping_ = true;
            jobs_.clear();
            done_.notify_all();
            return;
        }
    }
}

std::optional<std::string> X11Clipboard::readString()
{
    std::optional<std::string> text;
    call([&](Connection& c) { text = c.read(); });
    return text;
}

void X11Clipboard::clear()
{
    call([](Connection& c) {
        if (!c.owned()) return;
        c.served.reset();
        XSetSelectionOwner(c.display, c.clipboard, None, CurrentTime);
        XFlush(c.display);
    });
}

bool X11Clipboard::writeString(const std::string& text)
{
    bool ok = false;
    call([&](Connection& c) {
        if (text.size() > c.maxBytes) return; // more than one property can carry
        XSetSelectionOwner(c.display, c.clipboard, c.window, CurrentTime);
        ok = XGetSelectionOwner(c.display, c.clipboard) == c.window;
        if (ok) c.served = text;
    });
    return ok;
}

bool X11Clipboard::ownsClipboard()
{
    bool owned = false;
    call([&](Connection& c) {
        while (XPending(c.display) > 0) { // a SelectionClear may be waiting
            XEvent event;
            XNextEvent(c.display, &event);
            c.handle(event);
        }
        owned = c.owned();
    });
    return owned;
}

bool X11Clipboard::handOver(std::chrono::milliseconds timeout)
{
    bool saved = false;
    call([&](Connection& c) {
        if (!c.owned() || XGetSelectionOwner(c.display, c.manager) == None) return;
        XConvertSelection(c.display, c.manager, c.saveTargets, c.property, c.window, CurrentTime);
        XFlush(c.display);
        const auto reply = c.waitFor(
            [&](const XEvent& e) { return e.type == SelectionNotify && e.xselection.selection == c.manager; },
            Clock::now() + timeout);
        saved = reply && reply->xselection.property != None;
    });
    return saved;
}

} // namespace twk

#include "integration/app/desktop_probe.h"

#include "integration/process_helpers.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDateTime>
#include <QImage>

#include <regex>
#include <thread>

// After Qt: Xlib's macros clash with Qt names.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace twk::test {
namespace {

std::string run(const std::string& program, const std::vector<std::string>& args)
{
    ChildProcess child(program, args);
    child.waitForExit();
    return child.output();
}

int field(const std::string& text, const std::string& label)
{
    const std::regex pattern(label + R"(:\s+(-?\d+))");
    std::smatch match;
    return std::regex_search(text, match, pattern) ? std::stoi(match[1]) : -1;
}

QDBusMessage call(const QString& service, const QString& path, const QString& interface, const QString& method,
                  const QVariantList& args)
{
    QDBusMessage message = QDBusMessage::createMethodCall(service, path, interface, method);
    message.setArguments(args);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, 5000);
}

// Finds the id of the entry labelled `label` in a dbusmenu layout node (i a{sv} av).
std::optional<int> findEntry(const QDBusArgument& node, const QString& label)
{
    int id = 0;
    QVariantMap properties;
    node.beginStructure();
    node >> id >> properties;
    std::optional<int> found;
    if (properties.value("label").toString() == label) found = id;
    node.beginArray();
    while (!node.atEnd()) {
        QDBusVariant child;
        node >> child;
        if (!found) found = findEntry(child.variant().value<QDBusArgument>(), label);
    }
    node.endArray();
    node.endStructure();
    return found;
}

} // namespace

std::optional<WindowInfo> windowTitled(const std::string& title)
{
    const std::string text = run("/usr/bin/xwininfo", {"-name", title});
    const std::regex idPattern(R"(Window id: (0x[0-9a-f]+))");
    std::smatch match;
    if (!std::regex_search(text, match, idPattern)) return std::nullopt;
    WindowInfo info;
    info.id = std::stoul(match[1], nullptr, 16);
    info.x = field(text, "Absolute upper-left X");
    info.y = field(text, "Absolute upper-left Y");
    info.width = field(text, "Width");
    info.height = field(text, "Height");
    info.viewable = text.find("Map State: IsViewable") != std::string::npos;
    return info;
}

unsigned long activeWindow()
{
    const std::string text = run("/usr/bin/xprop", {"-root", "_NET_ACTIVE_WINDOW"});
    const std::regex pattern(R"(window id # (0x[0-9a-f]+))");
    std::smatch match;
    return std::regex_search(text, match, pattern) ? std::stoul(match[1], nullptr, 16) : 0;
}

std::string windowProperty(unsigned long id, const std::string& property)
{
    return run("/usr/bin/xprop", {"-id", std::to_string(id), property});
}

void clickAt(int x, int y)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return;
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    XCloseDisplay(display);
}

bool saveScreenshot(const std::string& path)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const Window root = DefaultRootWindow(display);
    XWindowAttributes attributes;
    XGetWindowAttributes(display, root, &attributes);
    XImage* shot = XGetImage(display, root, 0, 0, static_cast<unsigned>(attributes.width),
                             static_cast<unsigned>(attributes.height), AllPlanes, ZPixmap);
    bool saved = false;
    if (shot && shot->bits_per_pixel == 32) {
        const QImage image(reinterpret_cast<const uchar*>(shot->data), shot->width, shot->height,
                           shot->bytes_per_line, QImage::Format_RGB32);
        saved = image.save(QString::fromStdString(path));
    }
    if (shot) XDestroyImage(shot);
    XCloseDisplay(display);
    return saved;
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout)
{
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return condition();
}

QVariant TrayItem::property(const QString& name) const
{
    const QDBusMessage reply = call(service_, path_, "org.freedesktop.DBus.Properties", "Get",
                                    {QStringLiteral("org.kde.StatusNotifierItem"), name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

QByteArray TrayItem::largestIcon() const
{
    const QVariant value = property("IconPixmap");
    if (!value.canConvert<QDBusArgument>()) return {};
    const QDBusArgument pixmaps = value.value<QDBusArgument>();
    QByteArray largest;
    int largestWidth = 0;
    pixmaps.beginArray();
    while (!pixmaps.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        pixmaps.beginStructure();
        pixmaps >> width >> height >> bytes;
        pixmaps.endStructure();
        if (width > largestWidth) largest = bytes, largestWidth = width;
    }
    pixmaps.endArray();
    return largest;
}

void TrayItem::activate() const
{
    call(service_, path_, "org.kde.StatusNotifierItem", "Activate", {0, 0});
}

bool TrayItem::clickMenuEntry(const QString& label) const
{
    const QString menu = property("Menu").value<QDBusObjectPath>().path();
    const QDBusMessage layout =
        call(service_, menu, "com.canonical.dbusmenu", "GetLayout", {0, -1, QStringList()});
    if (layout.arguments().size() < 2) return false;
    const auto id = findEntry(layout.arguments().at(1).value<QDBusArgument>(), label);
    if (!id) return false;
    const QDBusMessage clicked =
        call(service_, menu, "com.canonical.dbusmenu", "Event",
             {*id, QStringLiteral("clicked"), QVariant::fromValue(QDBusVariant(0)),
              static_cast<uint>(QDateTime::currentSecsSinceEpoch())});
    return clicked.type() == QDBusMessage::ReplyMessage;
}

} // namespace twk::test

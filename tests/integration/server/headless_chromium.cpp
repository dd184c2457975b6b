#include "integration/server/headless_chromium.h"

#include "integration/server/realtime_test_client.h"

#include <QByteArray>

#include <fstream>
#include <stdexcept>
#include <thread>

namespace twk::test {

namespace fs = std::filesystem;
using nlohmann::json;

HeadlessChromium::HeadlessChromium(int width, int height)
{
    std::string pattern = (fs::temp_directory_path() / "twk-chromium-XXXXXX").string();
    profile_ = mkdtemp(pattern.data());
    process_ = std::make_unique<ChildProcess>(
        path, std::vector<std::string>{"--headless=new", "--no-sandbox", "--no-first-run", "--disable-gpu",
                                       "--remote-debugging-port=0", "--user-data-dir=" + profile_.string(),
                                       "--window-size=" + std::to_string(width) + "," + std::to_string(height), "about:blank"},
        // Left to a test desktop's session bus, the browser waits on services that never answer.
        std::map<std::string, std::optional<std::string>>{{"DBUS_SESSION_BUS_ADDRESS", "disabled:"}});
    // The browser writes its port and endpoint path once it listens.
    const fs::path active = profile_ / "DevToolsActivePort";
    std::string port, endpoint;
    for (int i = 0; i < 300 && endpoint.empty(); ++i) {
        std::ifstream in(active);
        if (!(std::getline(in, port) && std::getline(in, endpoint))) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (endpoint.empty()) throw std::runtime_error("Chromium did not start: " + process_->output());

    QObject::connect(&socket_, &QWebSocket::textMessageReceived,
                     [this](const QString& text) { received_.push_back(json::parse(text.toStdString(), nullptr, false)); });
    QObject::connect(&socket_, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error),
                     [this](QAbstractSocket::SocketError) { failed_ = true; });
    const auto connectTo = [&](const std::string& devtoolsPath) {
        failed_ = false;
        socket_.open(QUrl(QString::fromStdString("ws://127.0.0.1:" + port + devtoolsPath)));
        if (!spinUntil([&] { return failed_ || socket_.state() == QAbstractSocket::ConnectedState; }) || failed_)
            throw std::runtime_error("no DevTools connection: " + socket_.errorString().toStdString());
    };
    // The browser makes the tab; the tab is then driven over its own connection.
    connectTo(endpoint);
    const std::string target = command("Target.createTarget", {{"url", "about:blank"}})["targetId"];
    socket_.close();
    spinUntil([this] { return socket_.state() == QAbstractSocket::UnconnectedState; });
    connectTo("/devtools/page/" + target);
}

HeadlessChromium::~HeadlessChromium()
{
    socket_.close();
    process_.reset();
    std::error_code ignored;
    fs::remove_all(profile_, ignored);
}

json HeadlessChromium::command(const std::string& method, json params)
{
    const int id = nextId_++;
    json message{{"id", id}, {"method", method}, {"params", std::move(params)}};
    socket_.sendTextMessage(QString::fromStdString(message.dump()));
    json answer;
    const bool answered = spinUntil([&] {
        for (const auto& m : received_)
            if (m.is_object() && m.value("id", 0) == id) {
                answer = m;
                return true;
            }
        return false;
    }, std::chrono::seconds(20));
    if (!answered) throw std::runtime_error(method + ": no answer from Chromium; it said: " + output());
    if (answer.contains("error")) throw std::runtime_error(method + ": " + answer["error"].dump());
    return answer.value("result", json::object());
}

void HeadlessChromium::navigate(const std::string& url)
{
    command("Page.navigate", {{"url", url}});
}

json HeadlessChromium::evaluate(const std::string& expression)
{
    const json r = command("Runtime.evaluate", {{"expression", expression}, {"returnByValue", true}, {"awaitPromise", true}});
    if (r.contains("exceptionDetails")) throw std::runtime_error("script failed: " + r["exceptionDetails"].dump());
    return r["result"].value("value", json());
}

bool HeadlessChromium::waitUntil(const std::string& expression, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        try {
            if (evaluate("!!(" + expression + ")") == true) return true;
        } catch (const std::runtime_error&) {
            // The page is between documents: ask again.
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        spinUntil([] { return false; }, std::chrono::milliseconds(50));
    }
}

void HeadlessChromium::screenshot(const fs::path& file)
{
    const json r = command("Page.captureScreenshot", {{"format", "png"}, {"captureBeyondViewport", true}});
    const QByteArray png = QByteArray::fromBase64(QByteArray::fromStdString(r.value("data", "")));
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(png.constData(), png.size());
}

} // namespace twk::test

#include "platform/linux/local_server.h"

#include "common/log.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <filesystem>

namespace twk {
namespace {

bool answers(const std::string& host, quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QString::fromStdString(host), port);
    return socket.waitForConnected(300);
}

std::string findServer()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const auto dir = self.parent_path();
        for (const auto& candidate : {dir / "tarnwick-server", dir.parent_path() / "server" / "tarnwick-server"})
            if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
    }
    return QStandardPaths::findExecutable("tarnwick-server").toStdString();
}

} // namespace

std::optional<std::string> ensureLocalServer(const ServiceConfig& config, std::chrono::milliseconds wait)
{
    if (!config.builtInBackend) return std::nullopt; // the user chose a backend
    const QUrl url(QString::fromStdString(config.backendOrigin));
    const std::string host = url.host().toStdString();
    if (host != "127.0.0.1" && host != "localhost" && host != "::1") return std::nullopt;
    const auto port = static_cast<quint16>(url.port(url.scheme() == "https" ? 443 : 80));
    if (answers(host, port)) return std::nullopt;

    const std::string server = findServer();
    std::error_code ec;
    if (server.empty()) return "no backend answers on " + config.backendOrigin + " and tarnwick-server was not found";
    // Its output goes to a log file: a daemon must not hold on to our terminal or pipes.
    const QString logDir = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/tarnwick";
    std::filesystem::create_directories(logDir.toStdString(), ec);
    QProcess process;
    process.setProgram(QString::fromStdString(server));
    process.setArguments({"--address", QString::fromStdString(host), "--port", QString::number(port)});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(logDir + "/tarnwick-server.log", QIODevice::Append);
    process.setStandardErrorFile(logDir + "/tarnwick-server.log", QIODevice::Append);
    if (!process.startDetached()) return "could not start " + server + ": " + process.errorString().toStdString();
    logLine("[twk] started the local server: " + server + " on " + config.backendOrigin);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < deadline) {
        if (answers(host, port)) return std::nullopt;
        QThread::msleep(50);
    }
    return "the local server did not answer on " + config.backendOrigin;
}

} // namespace twk

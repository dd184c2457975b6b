#include "platform/linux/quit_signals.h"

#include "common/log.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace twk {
namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int signo)
{
    const char byte = static_cast<char>(signo);
    (void)!::write(signalPipe[1], &byte, 1);
}

} // namespace

QuitSignals::QuitSignals(std::string tag, std::function<void()> onQuit)
{
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [tag = std::move(tag), onQuit = std::move(onQuit)] {
        char byte = 0;
        if (::read(signalPipe[0], &byte, 1) == 1) {
            logLine(tag + " quitting on " + (byte == SIGINT ? "SIGINT" : "SIGTERM"));
            if (onQuit)
                onQuit();
            else
                QCoreApplication::quit();
        }
    });
    struct sigaction action{};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

QuitSignals::~QuitSignals()
{
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    for (int& fd : signalPipe) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
}

} // namespace twk

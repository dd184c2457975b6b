#include "composition/commands.h"
#include "platform/linux/linux_permissions.h"

#include <QCoreApplication>

#include <iostream>

namespace twk {

int fail(const std::string& message, int code)
{
    std::cerr << "tarnwick: " << message << "\n";
    return code;
}

int runPermissions(int argc, char** argv)
{
    QCoreApplication core(argc, argv);
    LinuxPermissions permissions;
    const auto show = [](const char* name, bool granted) {
        std::cout << name << ": " << (granted ? "granted" : "missing") << "\n";
    };
    show("microphone", permissions.microphoneGranted());
    show("accessibility", permissions.accessibilityGranted());
    show("screen recording", permissions.screenRecordingGranted());
    return 0;
}

} // namespace twk

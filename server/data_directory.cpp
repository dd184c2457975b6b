#include "data_directory.h"

#include "common/error.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace twk::server {
namespace {

[[noreturn]] void refuse(int code, const std::string& text) { throw Error("twk.server", code, text); }

std::string octal(mode_t mode)
{
    char text[8];
    std::snprintf(text, sizeof text, "%04o", unsigned(mode & 07777));
    return text;
}

} // namespace

void prepareDataDirectory(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno != ENOENT) refuse(1, "cannot use the data directory " + path + ": " + std::strerror(errno));
        const QString parent = QFileInfo(QString::fromStdString(path)).absolutePath();
        if (!QDir().mkpath(parent) || (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST))
            refuse(1, "cannot create the data directory " + path + ": " + std::strerror(errno));
        if (::stat(path.c_str(), &st) != 0) refuse(1, "cannot use the data directory " + path + ": " + std::strerror(errno));
    }
    if (!S_ISDIR(st.st_mode)) refuse(1, "the data directory " + path + " is not a directory");
    if (st.st_uid != ::geteuid()) refuse(1, "the data directory " + path + " belongs to another user");
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        refuse(1, "the data directory " + path + " is writable by others (mode " + octal(st.st_mode) +
                      "); use a folder only you can write to");
}

void createPrivateFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) refuse(1, "cannot create " + path + ": " + std::strerror(errno));
    ::close(fd);
}

} // namespace twk::server

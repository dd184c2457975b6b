#pragma once

#include "integration/server/raw_http.h"

#include <string>

namespace twk::test {

/// An installation identifier the server accepts.
inline const std::string testUserId = "4f0c2a9e-1b7d-4c11-9a53-0d6f0e1a2b3c";

/// A JSON POST as the application's client sends it (loopback Host, JSON body).
std::string jsonPost(const std::string& path, const std::string& body, const std::string& extraHeaders = "");
std::string getRequest(const std::string& target, const std::string& extraHeaders = "");
/// A fresh credential for `userId`, or "" when the server refused one.
std::string mintSecret(int port, const std::string& userId = testUserId);
/// VmRSS of a process in KiB (0 when it cannot be read).
long residentKiB(int pid);
/// False in AddressSanitizer builds: their shadow memory and quarantine make a
/// process's resident size say nothing about what it keeps.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool residentSizeIsMeaningful = false;
#else
inline constexpr bool residentSizeIsMeaningful = true;
#endif
/// User plus system CPU time a process has used, in seconds.
double cpuSeconds(int pid);

} // namespace twk::test

#pragma once

#include <string>

namespace twk::server {

/// Makes `path` ready to hold usage figures and credentials. A missing folder
/// is created readable by the owner only (its parents as usual). An existing
/// one is used as it is, never re-moded (it may be a link to a folder that
/// others share), and refused when it is not a folder of this user or others
/// may write to it. Throws twk::Error saying why.
void prepareDataDirectory(const std::string& path);

/// Creates an empty owner-only (0600) file at `path` unless one exists.
/// SQLite gives its journal files the mode of the database file.
void createPrivateFile(const std::string& path);

} // namespace twk::server

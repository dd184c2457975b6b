#pragma once

// A private folder under the system's temporary one, removed on exit.

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

struct TempFolder {
    std::filesystem::path path;
    explicit TempFolder(const std::string& prefix)
    {
        std::string name = (std::filesystem::temp_directory_path() / (prefix + ".XXXXXX")).string();
        if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
        path = name;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
};

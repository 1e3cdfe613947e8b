#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tovakin::app {

struct RunDirectory {
    std::filesystem::path path;
    std::string error;  // empty when the directory is usable
};

// The directory that holds the program's files: `requested` (from --run-dir)
// when given, else TOVAKIN_RUN_DIR, else the directory of the running
// executable. It must exist and be writable; otherwise `error` says why.
RunDirectory resolveRunDirectory(const std::optional<std::filesystem::path>& requested);

// The directory of the running executable.
std::filesystem::path executableDirectory();

}  // namespace tovakin::app

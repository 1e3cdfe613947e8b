#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tovakin::platform {

// Reads a whole file; nullopt when it does not exist or cannot be read.
std::optional<std::string> readWholeFile(const std::filesystem::path& path);

// Replaces `path` with `bytes` atomically: the bytes go to a temporary file in
// the same directory, are synced, and the temporary is renamed over `path`.
// On failure the old file is untouched and the temporary is removed.
bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tovakin::platform

#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/profile/profile_document.h"

namespace tovakin::profile {

// A profile document bound to a file. Reads and writes work on memory; flush()
// replaces the file atomically (written aside, then renamed over it), so a
// crash leaves either the old file or the new one, never a torn one. Writers
// of many entries flush in batches instead of rewriting the file per entry.
class ProfileFile {
public:
    // Loads the file if it exists; a missing or unreadable file is empty, but
    // an unreadable one is never replaced: flush() then returns false.
    explicit ProfileFile(std::filesystem::path path);

    const std::filesystem::path& path() const { return m_path; }
    std::string read(std::string_view section, std::string_view key) const;
    void write(std::string_view section, std::string_view key, std::string_view value);
    void remove(std::string_view section, std::string_view key);
    std::vector<std::string> keys(std::string_view section) const { return m_document.keys(section); }

    bool dirty() const { return m_dirty; }
    // Writes pending changes; false when the file could not be replaced.
    bool flush();

private:
    std::filesystem::path m_path;
    ProfileDocument m_document;
    bool m_dirty = false;
    bool m_unreadable = false;  // a file is there that could not be read
};

// Single operations with the semantics of the Windows calls: each reads the
// file afresh, and each write replaces the file at once. Writes return false
// when the file could not be replaced, or is there but could not be read;
// deleting from a missing file, or a missing key, succeeds and writes nothing.
std::string readProfileString(const std::filesystem::path& path, std::string_view section,
                              std::string_view key);
bool writeProfileString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                        std::string_view value);
bool deleteProfileKey(const std::filesystem::path& path, std::string_view section, std::string_view key);

}  // namespace tovakin::profile

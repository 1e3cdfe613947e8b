#include "core/profile/profile_file.h"

#include <optional>
#include <system_error>
#include <utility>

#include "platform/atomic_file.h"

namespace tovakin::profile {
namespace {

// The file's bytes; empty text when there is no file; nullopt when a file is
// there but cannot be read. Rewriting such a file from an empty document
// would throw away whatever it holds, so writers give up instead.
std::optional<std::string> loadBytes(const std::filesystem::path& path) {
    if (auto bytes = platform::readWholeFile(path)) {
        return bytes;
    }
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::string();
    }
    return std::nullopt;
}

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path path) : m_path(std::move(path)) {
    if (const auto bytes = loadBytes(m_path)) {
        m_document = ProfileDocument::parse(*bytes);
    } else {
        m_unreadable = true;
    }
}

std::string ProfileFile::read(std::string_view section, std::string_view key) const {
    return m_document.value(section, key);
}

void ProfileFile::write(std::string_view section, std::string_view key, std::string_view value) {
    m_document.setValue(section, key, value);
    m_dirty = true;
}

void ProfileFile::remove(std::string_view section, std::string_view key) {
    if (m_document.hasKey(section, key)) {
        m_document.removeKey(section, key);
        m_dirty = true;
    }
}

bool ProfileFile::flush() {
    if (!m_dirty) {
        return true;
    }
    if (m_unreadable || !platform::replaceFileAtomically(m_path, m_document.serialize())) {
        return false;
    }
    m_dirty = false;
    return true;
}

std::string readProfileString(const std::filesystem::path& path, std::string_view section,
                              std::string_view key) {
    const auto bytes = platform::readWholeFile(path);
    if (!bytes) {
        return {};
    }
    return ProfileDocument::parse(*bytes).value(section, key);
}

bool writeProfileString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    const auto bytes = loadBytes(path);
    if (!bytes) {
        return false;
    }
    ProfileDocument document = ProfileDocument::parse(*bytes);
    document.setValue(section, key, value);
    return platform::replaceFileAtomically(path, document.serialize());
}

bool deleteProfileKey(const std::filesystem::path& path, std::string_view section, std::string_view key) {
    const auto bytes = loadBytes(path);
    if (!bytes) {
        return false;
    }
    ProfileDocument document = ProfileDocument::parse(*bytes);
    if (!document.hasKey(section, key)) {
        return true;  // nothing to remove: the file stays as it is, or absent
    }
    document.removeKey(section, key);
    return platform::replaceFileAtomically(path, document.serialize());
}

}  // namespace tovakin::profile

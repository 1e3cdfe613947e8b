#include "core/app/run_directory.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace tovakin::app {

std::filesystem::path executableDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::current_path() : exe.parent_path();
}

RunDirectory resolveRunDirectory(const std::optional<std::filesystem::path>& requested) {
    RunDirectory result;
    if (requested) {
        result.path = *requested;
    } else if (const char* fromEnv = std::getenv("TOVAKIN_RUN_DIR"); fromEnv && *fromEnv) {
        result.path = fromEnv;
    } else {
        result.path = executableDirectory();
    }
    std::error_code ec;
    result.path = std::filesystem::absolute(result.path, ec);
    if (!std::filesystem::is_directory(result.path, ec)) {
        result.error = "run directory " + result.path.string() + " does not exist or is not a directory";
        return result;
    }
    // Probe with a real file: permission bits alone miss read-only mounts.
    const std::string probe = (result.path / ".tovakin-write-probe-XXXXXX").string();
    std::string name = probe;
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        result.error = "run directory " + result.path.string() + " is not writable: " + std::strerror(errno);
        return result;
    }
    close(fd);
    unlink(name.c_str());
    return result;
}

}  // namespace tovakin::app

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>

#include "platform/atomic_file.h"

namespace tovakin::platform {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    // Closes now: close() can report a write error that write() did not.
    bool close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

std::string randomSuffix() {
    thread_local std::mt19937_64 generator{
        std::random_device{}() ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
        static_cast<std::uint64_t>(::getpid())};
    char buffer[17];
    std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(generator()));
    return buffer;
}

// Creates the temporary next to the target, so the rename stays on one file
// system. O_EXCL with a random name does what mkstemp does, but lets the
// umask set the mode as for any new file, instead of mkstemp's fixed 0600.
int createTemporary(const std::filesystem::path& target, std::filesystem::path& temporary) {
    // Kept short of NAME_MAX whatever the target's name is.
    const std::string stem = target.filename().string().substr(0, 100);
    for (int attempt = 0; attempt < 64; ++attempt) {
        temporary = target.parent_path() / ("." + stem + ".tmp-" + randomSuffix());
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    // O_NONBLOCK keeps a FIFO at the path from blocking the open; only
    // regular files are read.
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return std::nullopt;
    }
    std::string bytes;
    std::size_t size = 0;
    bytes.resize(static_cast<std::size_t>(info.st_size) + 1);  // +1 sees the end without another call
    while (true) {
        if (size == bytes.size()) {
            bytes.resize(bytes.size() * 2);  // the file grew while we read it
        }
        const ssize_t got = ::read(file.get(), bytes.data() + size, bytes.size() - size);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        size += static_cast<std::size_t>(got);
    }
    bytes.resize(size);
    return bytes;
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    if (!path.has_filename()) {
        return false;
    }
    std::filesystem::path temporary;
    FileDescriptor file(createTemporary(path, temporary));
    if (file.get() < 0) {
        return false;
    }
    bool ok = writeAll(file.get(), bytes) && ::fdatasync(file.get()) == 0;
    ok = file.close() && ok;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
    }
    return ok;
}

}  // namespace tovakin::platform

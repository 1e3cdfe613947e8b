#include "core/profile/profile_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"

namespace tovakin::profile {
namespace {

namespace fs = std::filesystem;

class ProfileFileTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tovakin-profile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override {
        // Permission tests may leave a directory read-only.
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(m_dir, error)) {
            if (entry.is_directory(error)) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
            }
        }
        fs::remove_all(m_dir, error);
    }

    static std::string bytesOf(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void put(const fs::path& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    static std::vector<std::string> namesIn(const fs::path& dir) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static ino_t inodeOf(const fs::path& path) {
        struct stat info {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
    }

    fs::path m_dir;
};

using Names = std::vector<std::string>;

TEST_F(ProfileFileTest, SingleWritesFromNoFileLeaveWindowsBytes) {
    const fs::path file = m_dir / "day.ini";
    ASSERT_TRUE(writeProfileString(file, "S1", "a", "1"));
    ASSERT_TRUE(writeProfileString(file, "S2", "b", "2"));
    ASSERT_TRUE(writeProfileString(file, "S1", "c", "3"));
    ASSERT_TRUE(writeProfileString(file, "s1", "A", "9"));
    EXPECT_EQ(bytesOf(file), "[S1]\r\na=9\r\nc=3\r\n[S2]\r\nb=2\r\n");
    EXPECT_EQ(readProfileString(file, "s2", "B"), "2");
    EXPECT_EQ(namesIn(m_dir), Names{"day.ini"});
}

TEST_F(ProfileFileTest, MissingFileReadsEmptyAndIsNeverCreatedByReadsOrDeletes) {
    const fs::path file = m_dir / "none.ini";
    EXPECT_EQ(readProfileString(file, "S", "k"), "");
    EXPECT_TRUE(deleteProfileKey(file, "S", "k"));

    ProfileFile profile(file);
    EXPECT_EQ(profile.read("S", "k"), "");
    profile.remove("S", "k");
    EXPECT_FALSE(profile.dirty());
    EXPECT_TRUE(profile.flush());
    EXPECT_TRUE(namesIn(m_dir).empty());
}

TEST_F(ProfileFileTest, DeleteRewritesOnlyWhenTheKeyIsThere) {
    const fs::path file = m_dir / "d.ini";
    put(file, "[S]\nk=1\nj=2\n");
    const ino_t before = inodeOf(file);
    EXPECT_TRUE(deleteProfileKey(file, "S", "x"));
    EXPECT_EQ(inodeOf(file), before);
    EXPECT_EQ(bytesOf(file), "[S]\nk=1\nj=2\n");

    EXPECT_TRUE(deleteProfileKey(file, "s", "K"));
    EXPECT_EQ(bytesOf(file), "[S]\r\nj=2\r\n");
}

TEST_F(ProfileFileTest, ChangesReachTheFileOnlyOnFlush) {
    const fs::path file = m_dir / "batch.ini";
    put(file, "; kept\n[S]\nn=1\n");
    ProfileFile profile(file);
    EXPECT_EQ(profile.read("S", "n"), "1");

    profile.write("S", "n", "2");
    profile.write("T", "k", "v");
    EXPECT_TRUE(profile.dirty());
    EXPECT_EQ(profile.read("S", "n"), "2");
    EXPECT_EQ(bytesOf(file), "; kept\n[S]\nn=1\n");

    ASSERT_TRUE(profile.flush());
    EXPECT_FALSE(profile.dirty());
    EXPECT_EQ(bytesOf(file), "; kept\r\n[S]\r\nn=2\r\n[T]\r\nk=v\r\n");

    // A clean flush leaves the file alone, even if someone else changed it.
    put(file, "[S]\r\nn=7\r\n");
    const ino_t before = inodeOf(file);
    EXPECT_TRUE(profile.flush());
    EXPECT_EQ(inodeOf(file), before);
    EXPECT_EQ(bytesOf(file), "[S]\r\nn=7\r\n");

    profile.remove("S", "missing");
    EXPECT_FALSE(profile.dirty());
    profile.remove("s", "N");
    EXPECT_TRUE(profile.dirty());
    ASSERT_TRUE(profile.flush());
    EXPECT_EQ(bytesOf(file), "; kept\r\n[S]\r\n[T]\r\nk=v\r\n");
    EXPECT_EQ(namesIn(m_dir), Names{"batch.ini"});
}

TEST_F(ProfileFileTest, FailedFlushKeepsChangesPending) {
    const fs::path dir = m_dir / "later";
    ProfileFile profile(dir / "p.ini");
    profile.write("S", "k", "v");
    EXPECT_FALSE(profile.flush());
    EXPECT_TRUE(profile.dirty());

    fs::create_directory(dir);
    ASSERT_TRUE(profile.flush());
    EXPECT_FALSE(profile.dirty());
    EXPECT_EQ(bytesOf(dir / "p.ini"), "[S]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, WriteFailsWhereNoFileCanBeMade) {
    EXPECT_FALSE(writeProfileString(m_dir / "missing" / "p.ini", "S", "k", "v"));
    EXPECT_TRUE(namesIn(m_dir).empty());

    // The temporary is written, then cannot be renamed over a directory.
    const fs::path occupied = m_dir / "occupied";
    fs::create_directories(occupied / "child");
    EXPECT_FALSE(writeProfileString(occupied, "S", "k", "v"));
    EXPECT_FALSE(platform::replaceFileAtomically(occupied, "bytes"));
    EXPECT_TRUE(fs::is_directory(occupied / "child"));
    EXPECT_EQ(namesIn(m_dir), Names{"occupied"});
}

TEST_F(ProfileFileTest, WriteFailsInReadOnlyDirectoryAndLeavesTheOldFile) {
    const fs::path dir = m_dir / "ro";
    fs::create_directory(dir);
    put(dir / "p.ini", "[S]\r\nk=old\r\n");
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(dir.c_str(), W_OK) == 0) {
        GTEST_SKIP() << "running with rights that ignore directory permissions";
    }
    EXPECT_FALSE(writeProfileString(dir / "p.ini", "S", "k", "new"));
    ProfileFile profile(dir / "p.ini");
    profile.write("S", "k", "new");
    EXPECT_FALSE(profile.flush());
    EXPECT_EQ(bytesOf(dir / "p.ini"), "[S]\r\nk=old\r\n");
    EXPECT_EQ(namesIn(dir), Names{"p.ini"});
}

TEST_F(ProfileFileTest, FileThatCannotBeReadIsNeverReplaced) {
    // Rewriting it from an empty document would lose what it holds.
    const fs::path fifo = m_dir / "fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(readProfileString(fifo, "S", "k"), "");
    EXPECT_FALSE(writeProfileString(fifo, "S", "k", "v"));
    EXPECT_FALSE(deleteProfileKey(fifo, "S", "k"));
    ProfileFile profile(fifo);
    profile.write("S", "k", "v");
    EXPECT_FALSE(profile.flush());
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(namesIn(m_dir), Names{"fifo.ini"});
}

using ProfileAtomicFileTest = ProfileFileTest;

TEST_F(ProfileAtomicFileTest, ReplacesByRenameNotInPlace) {
    const fs::path file = m_dir / "a.ini";
    put(file, "old bytes");
    // A reader holding the old file keeps seeing it whole: the new bytes go to
    // a new file, never over the old one.
    const int reader = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(reader, 0);

    const mode_t previous = ::umask(022);
    const std::string fresh("new\0bytes", 9);
    const bool replaced = platform::replaceFileAtomically(file, fresh);
    ::umask(previous);
    ASSERT_TRUE(replaced);

    char buffer[32] = {};
    const ssize_t got = ::pread(reader, buffer, sizeof buffer, 0);
    ::close(reader);
    EXPECT_EQ(std::string(buffer, got > 0 ? static_cast<std::size_t>(got) : 0), "old bytes");
    EXPECT_EQ(platform::readWholeFile(file), fresh);
    EXPECT_EQ(namesIn(m_dir), Names{"a.ini"});
    // Made like any new file under the umask, not with a temporary's 0600.
    EXPECT_EQ(fs::status(file).permissions(), static_cast<fs::perms>(0644));
}

TEST_F(ProfileAtomicFileTest, ReadWholeFileOnlyReadsRegularFiles) {
    EXPECT_EQ(platform::readWholeFile(m_dir / "missing"), std::nullopt);
    EXPECT_EQ(platform::readWholeFile(m_dir), std::nullopt);
    put(m_dir / "empty", "");
    EXPECT_EQ(platform::readWholeFile(m_dir / "empty"), std::string());
}

}  // namespace
}  // namespace tovakin::profile

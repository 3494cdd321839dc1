#include "app/single_instance_lock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zevra {
namespace {

using testing::readFile;

TEST(SingleInstanceLock, TakesOnlyARegularFileOfOurOwnAndWritesThePid) {
    EXPECT_EQ(singleInstanceLockPath().string(),
              "/tmp/com.kelmor.zevra." + std::to_string(getuid()) + ".lock");
    const testing::TemporaryFolder folder;
    const auto path = folder.path() / "zevra.lock";
    const auto fd = acquireSingleInstanceLockAt(path);
    ASSERT_TRUE(fd.has_value());
    EXPECT_EQ(readFile(path), std::to_string(getpid()) + "\n");
    using std::filesystem::perms;
    EXPECT_EQ(std::filesystem::status(path).permissions(), perms::owner_read | perms::owner_write);
    EXPECT_NE(fcntl(*fd, F_GETFD) & FD_CLOEXEC, 0) << "children must not inherit the lock";
    // A second open file description cannot take it while we hold it.
    EXPECT_FALSE(acquireSingleInstanceLockAt(path).has_value());
    close(*fd);
    // A stale, longer pid text is replaced whole.
    folder.write("zevra.lock", "999999999 stale text that is longer than a pid\n");
    const auto again = acquireSingleInstanceLockAt(path);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(readFile(path), std::to_string(getpid()) + "\n");
    close(*again);

    // Only a regular file of our own is a lock; a planted link is neither followed nor truncated.
    const auto victim = folder.write("victim.txt", "precious contents\n");
    std::filesystem::create_symlink(victim, folder.path() / "link.lock");
    ASSERT_EQ(mkfifo((folder.path() / "fifo.lock").c_str(), 0600), 0);
    std::filesystem::create_directory(folder.path() / "folder.lock");
    for (const char* name : {"link.lock", "fifo.lock", "folder.lock"}) {
        EXPECT_FALSE(acquireSingleInstanceLockAt(folder.path() / name).has_value()) << name;
    }
    EXPECT_EQ(readFile(victim), "precious contents\n");
    if (getuid() == 0) { // only root can give the file to another user
        ASSERT_EQ(chown(victim.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(acquireSingleInstanceLockAt(victim).has_value());
        EXPECT_EQ(readFile(victim), "precious contents\n");
    }
}

} // namespace
} // namespace zevra

#include "platform/restore_channel.h"

#include "base/unique_fd.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <vector>

namespace zevra {
namespace {

using Paths = std::vector<std::string>;

// A Unix socket bound (`bind`) or connected to `path`.
UniqueFd unixSocket(const std::filesystem::path& path, bool bind) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    const auto* any = reinterpret_cast<sockaddr*>(&address);
    EXPECT_EQ(
        bind ? ::bind(fd.get(), any, sizeof address) : ::connect(fd.get(), any, sizeof address), 0);
    return fd;
}

TEST(RestoreChannel, DeliversRequestsInOrderToThePrivateListenerOnly) {
    const testing::TemporaryFolder folder;
    const auto path = folder.path() / "channel";
    EXPECT_FALSE(postRestoreRequest(path, {}));
    EXPECT_FALSE(postRestoreRequest({}, {}));
    unixSocket(path, true); // a socket left by a copy that was killed
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Paths> received; // the documents of each request, in order
    auto listener = RestoreChannelListener::start(path, [&](const RestoreRequest& request) {
        const std::lock_guard lock(mutex);
        received.push_back(request.documentPaths);
        changed.notify_all();
    });
    ASSERT_NE(listener, nullptr);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "only this user may reach the channel";

    const Paths odd = {"/home/u/a world.zev", "/home/u/b\nline.zevr",
                       "/home/u/\xc3\xa9t\xc3\xa9.zev"};
    EXPECT_TRUE(postRestoreRequest(path, {}));
    ASSERT_EQ(::write(unixSocket(path, false).get(), "GET / HTTP/1.1\r\n\r\n", 18), 18);
    EXPECT_TRUE(postRestoreRequest(path, {odd}));
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(10), [&] { return received.size() >= 2; });
    EXPECT_EQ(received, (std::vector<Paths>{{}, odd}));
    lock.unlock();

    listener.reset();
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(RestoreChannel, NeverReplacesSomethingThatIsNotASocket) {
    const testing::TemporaryFolder folder;
    const auto path = folder.write("channel", "a user's file\n");
    EXPECT_EQ(RestoreChannelListener::start(path, [](const RestoreRequest&) {}), nullptr);
    EXPECT_EQ(testing::readFile(path), "a user's file\n");
}

} // namespace
} // namespace zevra

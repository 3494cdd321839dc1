#include "platform/restore_channel.h"
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

using testing::TemporaryFolder;

class Received {
public:
    void add(const RestoreRequest& request) {
        const std::lock_guard lock(mutex_);
        requests_.push_back(request);
        changed_.notify_all();
    }
    std::vector<RestoreRequest> waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(10),
                          [&] { return requests_.size() >= count; });
        return requests_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<RestoreRequest> requests_;
};

TEST(RestoreChannel, NobodyListening) {
    const TemporaryFolder folder;
    EXPECT_FALSE(postRestoreRequest(folder.path() / "channel", {}));
    EXPECT_FALSE(postRestoreRequest({}, {}));
}

TEST(RestoreChannel, DeliversRequestsWithTheirDocumentsInOrder) {
    const TemporaryFolder folder;
    const auto path = folder.path() / "channel";
    Received received;
    const auto listener =
        RestoreChannelListener::start(path, [&](const RestoreRequest& r) { received.add(r); });
    ASSERT_NE(listener, nullptr);

    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 077, 0u) << "only this user may reach the channel";

    EXPECT_TRUE(postRestoreRequest(path, {}));
    EXPECT_TRUE(postRestoreRequest(
        path, {{"/home/u/a world.zev", "/home/u/b\nline.zevr", "/home/u/\xc3\xa9t\xc3\xa9.zev"}}));
    const auto requests = received.waitFor(2);
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_TRUE(requests[0].documentPaths.empty());
    EXPECT_EQ(requests[1].documentPaths,
              (std::vector<std::string>{"/home/u/a world.zev", "/home/u/b\nline.zevr",
                                        "/home/u/\xc3\xa9t\xc3\xa9.zev"}));
}

TEST(RestoreChannel, IgnoresForeignBytesAndKeepsServing) {
    const TemporaryFolder folder;
    const auto path = folder.path() / "channel";
    Received received;
    const auto listener =
        RestoreChannelListener::start(path, [&](const RestoreRequest& r) { received.add(r); });
    ASSERT_NE(listener, nullptr);

    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(write(fd, "GET / HTTP/1.1\r\n\r\n", 18), 18);
    close(fd);

    EXPECT_TRUE(postRestoreRequest(path, {{"/x.zev"}}));
    const auto requests = received.waitFor(1);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].documentPaths, std::vector<std::string>{"/x.zev"});
}

TEST(RestoreChannel, ReplacesAStaleSocketAndRemovesItsOwnOnStop) {
    const TemporaryFolder folder;
    const auto path = folder.path() / "channel";
    {
        const auto first = RestoreChannelListener::start(path, [](const RestoreRequest&) {});
        ASSERT_NE(first, nullptr);
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    // A socket left by a copy that was killed.
    const int stale = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);

    Received received;
    const auto second =
        RestoreChannelListener::start(path, [&](const RestoreRequest& r) { received.add(r); });
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(postRestoreRequest(path, {}));
    EXPECT_EQ(received.waitFor(1).size(), 1u);
}

TEST(RestoreChannel, NeverReplacesSomethingThatIsNotASocket) {
    const TemporaryFolder folder;
    const auto path = folder.write("channel", "a user's file\n");
    EXPECT_EQ(RestoreChannelListener::start(path, [](const RestoreRequest&) {}), nullptr);
    EXPECT_EQ(testing::readFile(path), "a user's file\n");
}

} // namespace
} // namespace zevra

#include "platform/restore_channel.h"

#include "base/unique_fd.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <future>
#include <vector>

namespace zevra {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

// A Unix socket bound (`bind`) or connected to `path`.
UniqueFd unixSocket(const fs::path& path, bool bind) {
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    const auto* any = reinterpret_cast<sockaddr*>(&address);
    EXPECT_EQ(
        bind ? ::bind(fd.get(), any, sizeof address) : ::connect(fd.get(), any, sizeof address), 0);
    return fd;
}

TEST(RestoreChannel, ReplacesOnlyASocketAndDeliversRequestsInOrderToThePrivateListener) {
    const testing::TemporaryFolder folder;
    const auto file = folder.write("file", "a user's file\n");
    EXPECT_EQ(RestoreChannelListener::start(file, [](const RestoreRequest&) {}), nullptr);
    EXPECT_EQ(testing::readFile(file), "a user's file\n");

    const auto path = folder.path() / "channel";
    EXPECT_FALSE(postRestoreRequest(path, {}));
    unixSocket(path, true);      // a socket left by a copy that was killed
    std::vector<Paths> received; // the documents of each request, in order
    std::promise<void> two;
    auto listener = RestoreChannelListener::start(path, [&](const RestoreRequest& request) {
        received.push_back(request.documentPaths);
        if (received.size() == 2) {
            two.set_value();
        }
    });
    ASSERT_NE(listener, nullptr);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms(077), fs::perms::none)
        << "only this user may reach the channel";

    const Paths odd = {"/home/u/a world.zev", "/home/u/b\nline.zevr",
                       "/home/u/\xc3\xa9t\xc3\xa9.zev"};
    EXPECT_TRUE(postRestoreRequest(path, {}));
    ASSERT_EQ(::write(unixSocket(path, false).get(), "GET / HTTP/1.1\r\n\r\n", 18), 18);
    EXPECT_TRUE(postRestoreRequest(path, {odd}));
    ASSERT_EQ(two.get_future().wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(received, (std::vector<Paths>{{}, odd}));

    listener.reset();
    EXPECT_FALSE(fs::exists(path));
}

} // namespace
} // namespace zevra

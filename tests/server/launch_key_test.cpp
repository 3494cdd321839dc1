#include "server/launch_key.h"

#include "support/temporary_folder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>

namespace zevra {
namespace {

TEST(LaunchKey, OnlyTheExactKeyInTheHeaderOrCookieIsAccepted) {
    const std::string key(64, 'a');
    const std::string line = "GET /api/search HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n";
    const std::pair<std::string, bool> cases[] = {
        {line, false},
        {line + "X-Zevra-Launch-Key: " + key + "\r\n", true},
        {line + "x-zevra-launch-key:" + key + "\r\n", true},
        {line + "X-Zevra-Launch-Key: " + key + "b\r\n", false},
        {line + "X-Zevra-Launch-Key: " + key.substr(1) + "\r\n", false},
        {line + "Cookie: a=1; zevra_launch_key=" + key + "; b=2\r\n", true},
        {line + "Cookie: xzevra_launch_key=" + key + "\r\n", false},
        {line + "Cookie: zevra_launch_key=\r\n", false},
    };
    for (const auto& [headers, accepted] : cases) {
        EXPECT_EQ(requestCarriesLaunchKey(headers, key), accepted) << headers;
    }
    EXPECT_FALSE(requestCarriesLaunchKey(
        line + "X-Zevra-Launch-Key: \r\nCookie: zevra_launch_key=\r\n", ""));
}

mode_t modeOf(const std::filesystem::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

TEST(LaunchKey, FileIsPrivateReplacedEachLaunchAndNeverWrittenThroughALink) {
    const testing::TemporaryFolder folder;
    const auto file = launchKeyFile(folder.path());
    std::filesystem::create_directory(file.parent_path());
    ::chmod(file.parent_path().c_str(), 0755); // left open by someone: closed again
    ASSERT_TRUE(writeLaunchKeyFile(file, "first"));
    ASSERT_TRUE(writeLaunchKeyFile(file, "second"));
    EXPECT_EQ(testing::readFile(file), "second");
    EXPECT_EQ(modeOf(file.parent_path()), 0700U);
    EXPECT_EQ(modeOf(file), 0600U);

    const testing::TemporaryFolder other;
    std::filesystem::create_directory_symlink(folder.path() / "ZEVRA", other.path() / "ZEVRA");
    EXPECT_FALSE(writeLaunchKeyFile(launchKeyFile(other.path()), "third"));
    EXPECT_EQ(testing::readFile(file), "second");
}

} // namespace
} // namespace zevra

#include "update/sha256_file.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(Sha256File, MatchesSha256sumAcrossChunkBoundaries) {
    const testing::TemporaryFolder folder;
    for (const std::size_t size : {0, 1048576, 3 * 1048576 + 5}) {
        std::string data(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            data[i] = static_cast<char>((i * 131) ^ (i >> 9));
        }
        const auto file = folder.write("data-" + std::to_string(size), data);
        const auto tool = testing::runProcess({"/usr/bin/sha256sum", file.string()});
        ASSERT_EQ(tool.exitCode, 0);
        EXPECT_EQ(sha256File(file), tool.standardOutput.substr(0, 64)) << size;
    }
    EXPECT_EQ(sha256File(folder.path() / "missing"), std::nullopt);
    EXPECT_EQ(sha256File(folder.path()), std::nullopt);
}

} // namespace
} // namespace zevra

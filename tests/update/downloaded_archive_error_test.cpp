#include "update/downloaded_archive_error.h"
#include "update/sha256_file.h"
#include "update/zip_fixture.h"

#include "build_config.h"
#include "support/temporary_folder.h"

#include "support/child_process.h"
#include <gtest/gtest.h>

namespace zevra {
namespace {

const std::string archiveURL =
    std::string("https://") + config::ReleaseHost + "/downloads/ZEVRA-app-arm64-v1.4.0.zip";
const std::string tooLarge = "The release archive exceeds the approved download-size limit.";

// Each check in turn; the size is compared before the digest, the entries are listed last.
TEST(DownloadedArchiveError, GivesTheFirstFailingCheck) {
    const testing::TemporaryFolder folder;
    const auto zip = folder.path() / "download.zip";
    testing::writeZipFixture(zip);
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(zip));
    const auto sha = sha256File(zip).value();
    std::string upperSha = sha;
    for (char& c : upperSha) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const auto notZip = folder.write("not.zip", std::string(1001, 'z'));
    const auto linked = folder.path() / "linked.zip"; // a link in place of our own download
    std::filesystem::create_symlink(zip, linked);
    const auto check = [&](const std::filesystem::path& file, const std::string& digest,
                           std::optional<std::int64_t> bytes, std::int64_t maxBytes = 1 << 20,
                           const std::string& mime = "application/zip") {
        return downloadedArchiveError(file, ReleaseResponse{200, archiveURL, mime}, archiveURL,
                                      digest, bytes, {maxBytes, 512, 1 << 20, 1 << 20});
    };
    const std::string zeros(64, '0');
    EXPECT_EQ(check(zip, sha, size), std::nullopt);
    EXPECT_EQ(check(zip, upperSha, std::nullopt), std::nullopt);
    EXPECT_EQ(check(zip, sha, 0, size), std::nullopt);
    EXPECT_EQ(check(zip, sha, size, size, "text/plain"),
              "The download did not come from the trusted " + std::string(config::ReleaseHost) +
                  " release host.");
    EXPECT_EQ(check(zip, "xyz", size + 1), "The release manifest has an invalid SHA-256 value.");
    EXPECT_EQ(check(folder.write("empty.zip", ""), sha, size), tooLarge);
    EXPECT_EQ(check(linked, sha, size), tooLarge);
    EXPECT_EQ(check(zip, sha, size, size - 1), tooLarge);
    EXPECT_EQ(check(zip, zeros, size),
              "SHA-256 verification failed. The archive was not installed.");
    EXPECT_EQ(check(notZip, zeros, 1000),
              "Size verification failed (received 1001, expected 1000 bytes).");
    EXPECT_EQ(check(notZip, sha256File(notZip).value(), 1001),
              "The release archive contains unsafe paths, special entries, collisions, or "
              "excessive expansion.");
}

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

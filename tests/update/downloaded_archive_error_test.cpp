#include "update/downloaded_archive_error.h"
#include "update/sha256_file.h"
#include "update/zip_fixture.h"

#include "build_config.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

const std::string archiveURL =
    std::string("https://") + config::ReleaseHost + "/downloads/ZEVRA-app-arm64-v1.4.0.zip";
const std::string untrusted = std::string("The download did not come from the trusted ") +
                              config::ReleaseHost + " release host.";
const std::string tooLarge = "The release archive exceeds the approved download-size limit.";
const std::string unsafe = "The release archive contains unsafe paths, special entries, "
                           "collisions, or excessive expansion.";
const std::string badDigest = "SHA-256 verification failed. The archive was not installed.";
const std::string sizeMismatch = "Size verification failed (received 1001, expected 1000 bytes).";

// Each check in turn; the size is compared before the digest, the entries are listed last.
TEST(DownloadedArchiveError, GivesTheFirstFailingCheck) {
    const testing::TemporaryFolder folder;
    const auto zip = folder.path() / "download.zip";
    testing::writeZipFixture(zip, testing::appShapedEntries());
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(zip));
    const auto sha = sha256File(zip).value();
    std::string upperSha = sha;
    for (char& c : upperSha) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    const auto notZip = folder.write("not.zip", std::string(1001, 'z'));
    const auto notZipSha = sha256File(notZip).value();
    const auto linked = folder.path() / "linked.zip"; // a link in place of our own download
    std::filesystem::create_symlink(zip, linked);
    const ReleaseResponse ok{200, archiveURL, "application/zip"};
    const auto check = [&](const std::filesystem::path& file, const std::string& digest,
                           std::optional<std::int64_t> bytes,
                           std::optional<ReleaseResponse> response = std::nullopt,
                           const ArchiveLimits& limits = appArchiveLimits) {
        return downloadedArchiveError(file, response ? response : ok, archiveURL, digest, bytes,
                                      limits);
    };
    const std::string zeros(64, '0');
    EXPECT_EQ(check(zip, sha, size), std::nullopt);
    EXPECT_EQ(check(zip, upperSha, std::nullopt), std::nullopt);
    EXPECT_EQ(check(zip, sha, 0, ok, {size, 512, 1 << 20, 1 << 20}), std::nullopt);
    EXPECT_EQ(check(zip, sha, size, ReleaseResponse{200, archiveURL, "text/plain"}), untrusted);
    EXPECT_EQ(check(zip, "xyz", size + 1), "The release manifest has an invalid SHA-256 value.");
    EXPECT_EQ(check(folder.path() / "missing.zip", sha, size), tooLarge);
    EXPECT_EQ(check(folder.write("empty.zip", ""), sha, size), tooLarge);
    EXPECT_EQ(check(linked, sha, size), tooLarge);
    EXPECT_EQ(check(zip, sha, size, ok, {size - 1, 512, 1 << 20, 1 << 20}), tooLarge);
    EXPECT_EQ(check(zip, zeros, size), badDigest);
    EXPECT_EQ(check(notZip, notZipSha, 1000), sizeMismatch);
    EXPECT_EQ(check(notZip, zeros, 1000), sizeMismatch);
    EXPECT_EQ(check(notZip, notZipSha, 1001), unsafe);
}

} // namespace
} // namespace zevra

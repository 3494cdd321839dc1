#include "update/downloaded_archive_error.h"
#include "update/sha256_file.h"
#include "update/zip_fixture.h"

#include "build_config.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::TemporaryFolder;

const std::string archiveURL =
    std::string("https://") + config::ReleaseHost + "/downloads/ZEVRA-app-arm64-v1.4.0.zip";
const std::string untrusted = std::string("The download did not come from the trusted ") +
                              config::ReleaseHost + " release host.";
const std::string tooLarge = "The release archive exceeds the approved download-size limit.";
const std::string unsafe = "The release archive contains unsafe paths, special entries, "
                           "collisions, or excessive expansion.";

std::optional<ReleaseResponse> zipResponse(const std::string& mime = "application/zip") {
    return ReleaseResponse{200, archiveURL, mime};
}

class DownloadedArchiveError : public ::testing::Test {
protected:
    void SetUp() override {
        testing::writeZipFixture(archive, testing::appShapedEntries("deflated"));
        digest = sha256File(archive).value();
        size = static_cast<std::int64_t>(std::filesystem::file_size(archive));
    }

    std::optional<std::string> check(const std::filesystem::path& file, const std::string& sha256,
                                     std::optional<std::int64_t> bytes,
                                     const std::optional<ReleaseResponse>& response = zipResponse(),
                                     const ArchiveLimits& limits = appArchiveLimits) const {
        return downloadedArchiveError(file, response, archiveURL, sha256, bytes, limits);
    }

    TemporaryFolder folder;
    std::filesystem::path archive = folder.path() / "download.zip";
    std::string digest;
    std::int64_t size = 0;
};

TEST_F(DownloadedArchiveError, GivesTheFirstFailingCheck) {
    std::string upperDigest = digest;
    for (char& c : upperDigest) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(check(archive, digest, size), std::nullopt);
    EXPECT_EQ(check(archive, upperDigest, size), std::nullopt);
    EXPECT_EQ(check(archive, digest, std::nullopt), std::nullopt);
    EXPECT_EQ(check(archive, digest, 0), std::nullopt);

    EXPECT_EQ(check(archive, digest, size, zipResponse("application/octet-stream")), untrusted);
    EXPECT_EQ(check(archive, digest, size, std::nullopt), untrusted);
    EXPECT_EQ(check(archive, "xyz", size + 1),
              "The release manifest has an invalid SHA-256 value.");

    EXPECT_EQ(check(folder.path() / "missing.zip", digest, size), tooLarge);
    EXPECT_EQ(check(folder.write("empty.zip", ""), digest, size), tooLarge);
    EXPECT_EQ(check(archive, digest, size, zipResponse(), {size - 1, 512, 1 << 20, 1 << 20}),
              tooLarge);
    EXPECT_EQ(check(archive, digest, size, zipResponse(), {size, 512, 1 << 20, 1 << 20}),
              std::nullopt);

    EXPECT_EQ(check(archive, std::string(64, '0'), size),
              "SHA-256 verification failed. The archive was not installed.");

    // The size is compared before the digest; the entries are listed last.
    const auto notZip = folder.write("not.zip", std::string(1001, 'z'));
    const std::string sizeMismatch =
        "Size verification failed (received 1001, expected 1000 bytes).";
    EXPECT_EQ(check(notZip, sha256File(notZip).value(), 1000), sizeMismatch);
    EXPECT_EQ(check(notZip, std::string(64, '0'), 1000), sizeMismatch);
    EXPECT_EQ(check(notZip, sha256File(notZip).value(), 1001), unsafe);
}

TEST_F(DownloadedArchiveError, ChecksTheFileAtThePathItself) {
    // As a pattern "a[1].zip" names the safe "a1.zip"; the file itself holds a link.
    auto entries = testing::appShapedEntries("deflated");
    entries.push_back(testing::zipSymbolicLink("ZEVRA.app/Contents/link", "/etc/passwd"));
    const auto trap = folder.path() / "a[1].zip";
    testing::writeZipFixture(trap, entries);
    std::filesystem::copy_file(archive, folder.path() / "a1.zip");
    const auto trapSize = static_cast<std::int64_t>(std::filesystem::file_size(trap));
    EXPECT_EQ(check(trap, sha256File(trap).value(), trapSize), unsafe);

    // The download is a file of our own: a link in its place is not followed.
    const auto linked = folder.path() / "linked.zip";
    std::filesystem::create_symlink(archive, linked);
    EXPECT_EQ(check(linked, digest, size), tooLarge);
}

} // namespace
} // namespace zevra

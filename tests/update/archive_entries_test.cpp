#include "update/archive_entries.h"
#include "update/release_limits.h"
#include "update/zip_fixture.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::appShapedEntries;
using testing::writeZipFixture;

bool safe(const std::filesystem::path& archive) {
    return archiveEntriesAreSafe(archive, appMaxArchiveEntries, appMaxUncompressedBytes,
                                 appMaxMemberBytes);
}

// What unzip and zipinfo print for what zipfile and zip write; zip_listing_test has the rules.
TEST(ArchiveEntriesAreSafe, JudgesWhatTheToolsList) {
    const testing::TemporaryFolder folder;
    const auto archive = folder.path() / "f.zip";
    const std::vector<std::tuple<std::vector<testing::ZipFixtureEntry>, bool, bool>> cases{
        {appShapedEntries(), false, true},
        {{{"notes/readme.txt", "a", std::nullopt}}, false, true},              // no file-type bits
        {appShapedEntries(), true, false},                                     // data descriptors
        {{{"ZEVRA.app/Contents/link", "/etc/passwd", 0120777}}, false, false}, // a link
        {{{"ok.txt", "a"}, {"a\tb", "a"}}, false, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [entries, streamed, expected] = cases[i];
        writeZipFixture(archive, entries, streamed);
        EXPECT_EQ(safe(archive), expected) << "case " << i;
    }
    folder.write("payload/ZEVRA.app/Contents/Info.plist", "<plist/>\n");
    for (const std::string options : {"", "-X"}) { // zip adds time and owner fields unless -X
        const auto zip = testing::runProcess({"/bin/sh", "-c",
                                              "cd \"$0\" && /usr/bin/zip -q -r $1 \"$2\" ZEVRA.app",
                                              (folder.path() / "payload").string(), options,
                                              (folder.path() / ("z" + options + ".zip")).string()});
        ASSERT_EQ(zip.exitCode, 0) << zip.standardError;
        EXPECT_EQ(safe(folder.path() / ("z" + options + ".zip")), options == "-X") << options;
    }
    EXPECT_FALSE(safe(folder.write("text.zip", "not a zip file\n")));
}

// Info-ZIP reads an archive name as a wildcard pattern: the listings must still describe the
// archive checked, not the one with a link that the name also matches.
TEST(ArchiveEntriesAreSafe, ListsTheArchiveItWasGivenWhateverItsName) {
    for (const auto& [checked, decoy] : std::vector<std::pair<std::string, std::string>>{
             {"a[1].zip", "a1.zip"}, {"c*.zip", "c-link.zip"}, {"d?.zip", "dx.zip"}}) {
        const testing::TemporaryFolder folder;
        auto entries = appShapedEntries();
        entries.push_back({"link", "/etc/passwd", 0120777});
        writeZipFixture(folder.path() / decoy, entries);
        writeZipFixture(folder.path() / checked);
        EXPECT_TRUE(safe(folder.path() / checked)) << checked;
    }
}

} // namespace
} // namespace zevra

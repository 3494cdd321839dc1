#include "update/archive_entries.h"
#include "update/release_limits.h"
#include "update/zip_fixture.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::TemporaryFolder;
using testing::ZipFixtureEntry;

bool safe(const std::filesystem::path& archive) {
    return archiveEntriesAreSafe(archive, appMaxArchiveEntries, appMaxUncompressedBytes,
                                 appMaxMemberBytes);
}

ZipFixtureEntry file(const std::string& name) {
    ZipFixtureEntry entry;
    entry.name = name;
    entry.data = std::string(300, 'a');
    return entry;
}

// What the real listing tools make of archives written by Python's zipfile.
TEST(ArchiveEntriesAreSafe, JudgesWhatTheToolsList) {
    auto noTypeBits = file("notes/readme.txt");
    noTypeBits.mode.reset();
    auto bzip2 = file("a.txt");
    bzip2.method = "bzip2";
    auto extra = file("a.txt");
    extra.extraHex = "cafe0400deadbeef";
    struct Case {
        std::vector<ZipFixtureEntry> entries;
        bool streamed;
        bool safe;
    };
    const std::vector<Case> cases{
        {testing::appShapedEntries("stored"), false, true},
        {testing::appShapedEntries("deflated"), false, true},
        {{noTypeBits}, false, true},
        {testing::appShapedEntries("deflated"), true, false}, // data descriptors
        {{testing::zipSymbolicLink("ZEVRA.app/Contents/link", "/etc/passwd")}, false, false},
        {{file("ok.txt"), file("a/../b")}, false, false},
        {{file("ok.txt"), file("a\tb")}, false, false},
        {{file("ok.txt"), file("a\x7f"
                               "b")},
         false,
         false},
        {{bzip2}, false, false},
        {{extra}, false, false},
        {{}, false, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TemporaryFolder folder;
        const auto archive = folder.path() / "fixture.zip";
        testing::writeZipFixture(archive, cases[i].entries, cases[i].streamed);
        EXPECT_EQ(safe(archive), cases[i].safe) << "case " << i;
    }
}

// Info-ZIP reads an archive name as a wildcard pattern, so the listings could describe other
// files than the one checked.
TEST(ArchiveEntriesAreSafe, ListsTheArchiveItWasGivenWhateverItsName) {
    struct Archive {
        std::string name;
        bool holdsALink;
    };
    struct Case {
        std::vector<Archive> folder; // the first one is checked
        bool safe;
    };
    const std::vector<Case> cases{
        {{{"a[1].zip", true}, {"a1.zip", false}}, false}, // the pattern matches only a1.zip
        {{{"b[x].zip", false}}, true},                    // the pattern matches nothing
        {{{"c*.zip", false}, {"c-copy.zip", false}}, true},
        {{{"d?.zip", false}, {"dx.zip", false}}, true},
    };
    for (const auto& c : cases) {
        const TemporaryFolder folder;
        for (const auto& archive : c.folder) {
            auto entries = testing::appShapedEntries("deflated");
            if (archive.holdsALink) {
                entries.push_back(testing::zipSymbolicLink("link", "/etc/passwd"));
            }
            testing::writeZipFixture(folder.path() / archive.name, entries);
        }
        EXPECT_EQ(safe(folder.path() / c.folder.front().name), c.safe) << c.folder.front().name;
    }
}

TEST(ArchiveEntriesAreSafe, ArchivesMadeByTheZipToolAndOtherFiles) {
    const TemporaryFolder folder;
    folder.write("payload/ZEVRA.app/Contents/Info.plist", "<plist/>\n");
    const auto zipWith = [&](const std::string& options, const std::string& name) {
        const auto archive = folder.path() / name;
        const auto result = testing::runProcess(
            {"/bin/sh", "-c", "cd \"$1\" && /usr/bin/zip -q -r $2 \"$3\" ZEVRA.app", "sh",
             (folder.path() / "payload").string(), options, archive.string()});
        EXPECT_EQ(result.exitCode, 0) << result.standardError;
        return safe(archive);
    };
    EXPECT_FALSE(zipWith("", "with-extra-fields.zip")); // zip adds time and owner fields
    EXPECT_TRUE(zipWith("-X", "plain.zip"));
    EXPECT_FALSE(safe(folder.path() / "missing.zip"));
    EXPECT_FALSE(safe(folder.write("text.zip", "not a zip file\n")));
}

} // namespace
} // namespace zevra

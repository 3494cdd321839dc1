#include "update/archive_entries.h"
#include "update/release_limits.h"
#include "update/zip_fixture.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::appShapedEntries;
using testing::TemporaryFolder;
using testing::ZipFixtureEntry;
using Entries = std::vector<ZipFixtureEntry>;

bool safe(const std::filesystem::path& archive) {
    return archiveEntriesAreSafe(archive, appMaxArchiveEntries, appMaxUncompressedBytes,
                                 appMaxMemberBytes);
}

// What the real listing tools make of archives written by Python's zipfile.
TEST(ArchiveEntriesAreSafe, JudgesWhatTheToolsList) {
    struct Case {
        Entries entries;
        bool streamed;
        bool safe;
    };
    const std::vector<Case> cases{
        {appShapedEntries(), false, true},
        {{{"a.txt", "a", 0100644, "stored"}}, false, true},
        {{{"notes/readme.txt", "a", std::nullopt}}, false, true},
        {appShapedEntries(), true, false}, // data descriptors
        {{testing::zipLink("ZEVRA.app/Contents/link", "/etc/passwd")}, false, false},
        {{{"ok.txt", "a"}, {"a\tb", "a"}}, false, false},
        {{{"a.txt", std::string(300, 'a'), 0100644, "bzip2"}}, false, false},
        {{}, false, false},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TemporaryFolder folder;
        testing::writeZipFixture(folder.path() / "f.zip", cases[i].entries, cases[i].streamed);
        EXPECT_EQ(safe(folder.path() / "f.zip"), cases[i].safe) << "case " << i;
    }
}

// Info-ZIP reads an archive name as a wildcard pattern, so the listings could describe other
// files than the one checked.
TEST(ArchiveEntriesAreSafe, ListsTheArchiveItWasGivenWhateverItsName) {
    struct Case {
        std::string checked;
        bool checkedHoldsALink;
        std::string decoy; // what the name matches as a pattern
        bool safe;
    };
    const std::vector<Case> cases{
        {"a[1].zip", true, "a1.zip", false},
        {"b[x].zip", false, "", true}, // the pattern matches nothing
        {"c*.zip", false, "c-copy.zip", true},
        {"d?.zip", false, "dx.zip", true},
    };
    for (const auto& c : cases) {
        const TemporaryFolder folder;
        auto entries = appShapedEntries();
        if (!c.decoy.empty()) {
            testing::writeZipFixture(folder.path() / c.decoy, entries);
        }
        if (c.checkedHoldsALink) {
            entries.push_back(testing::zipLink("link", "/etc/passwd"));
        }
        testing::writeZipFixture(folder.path() / c.checked, entries);
        EXPECT_EQ(safe(folder.path() / c.checked), c.safe) << c.checked;
    }
}

TEST(ArchiveEntriesAreSafe, ArchivesMadeByTheZipToolAndOtherFiles) {
    const TemporaryFolder folder;
    folder.write("payload/ZEVRA.app/Contents/Info.plist", "<plist/>\n");
    const auto zipWith = [&](const std::string& options, const std::string& name) {
        const auto result = testing::runProcess(
            {"/bin/sh", "-c", "cd \"$1\" && /usr/bin/zip -q -r $2 \"$3\" ZEVRA.app", "sh",
             (folder.path() / "payload").string(), options, (folder.path() / name).string()});
        EXPECT_EQ(result.exitCode, 0) << result.standardError;
        return safe(folder.path() / name);
    };
    EXPECT_FALSE(zipWith("", "with-extra-fields.zip")); // zip adds time and owner fields
    EXPECT_TRUE(zipWith("-X", "plain.zip"));
    EXPECT_FALSE(safe(folder.path() / "missing.zip"));
    EXPECT_FALSE(safe(folder.write("text.zip", "not a zip file\n")));
}

} // namespace
} // namespace zevra

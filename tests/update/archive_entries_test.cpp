#include "update/archive_entries.h"
#include "update/release_limits.h"
#include "update/zip_fixture.h"

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using testing::TemporaryFolder;
using testing::zipDirectory;
using testing::ZipFixtureEntry;

ZipFixtureEntry file(const std::string& name, const std::string& data = "x") {
    ZipFixtureEntry entry;
    entry.name = name;
    entry.data = data;
    return entry;
}

bool safeWith(const std::vector<ZipFixtureEntry>& entries, const ArchiveLimits& limits,
              bool streamed = false) {
    const TemporaryFolder folder;
    const auto archive = folder.path() / "fixture.zip";
    testing::writeZipFixture(archive, entries, streamed);
    return archiveEntriesAreSafe(archive, limits.maxEntries, limits.maxUncompressedBytes,
                                 limits.maxMemberBytes);
}

bool safeForApp(const std::vector<ZipFixtureEntry>& entries) {
    return safeWith(entries, appArchiveLimits);
}

std::vector<ZipFixtureEntry> numberedFiles(int count) {
    std::vector<ZipFixtureEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back(file("f" + std::to_string(i)));
    }
    return entries;
}

TEST(ArchiveEntriesAreSafe, AcceptsAnAppShapedArchiveStoredOrDeflated) {
    EXPECT_TRUE(safeForApp(testing::appShapedEntries("stored")));
    EXPECT_TRUE(safeForApp(testing::appShapedEntries("deflated")));
    EXPECT_TRUE(safeWith(testing::appShapedEntries("deflated"), extensionArchiveLimits));
}

TEST(ArchiveEntriesAreSafe, AcceptsEntriesWithoutFileTypeBits) {
    auto entry = file("notes/readme.txt");
    entry.mode.reset();
    EXPECT_TRUE(safeForApp({entry}));
}

TEST(ArchiveEntriesAreSafe, RefusesUnsafeNames) {
    const std::vector<std::string> names{"a/../b",
                                         "/abs",
                                         "a//b",
                                         "a\\b",
                                         "./x",
                                         "a\tb",
                                         "a\x7f"
                                         "b",
                                         "..",
                                         "x/./y",
                                         std::string(256, 'n'),
                                         "a^Ib"};
    for (const auto& name : names) {
        EXPECT_FALSE(safeForApp({file("ok.txt"), file(name)})) << name;
    }
}

TEST(ArchiveEntriesAreSafe, NameLengthAndDepthLimits) {
    std::string deep;
    for (int i = 0; i < 31; ++i) {
        deep += "d/";
    }
    EXPECT_TRUE(safeForApp({file(deep + "f")}));    // 32 pieces
    EXPECT_FALSE(safeForApp({file(deep + "d/f")})); // 33 pieces
    EXPECT_TRUE(safeForApp({file(std::string(255, 'n'))}));
}

TEST(ArchiveEntriesAreSafe, RefusesSymbolicLinksAndTypeMismatches) {
    EXPECT_FALSE(safeForApp({testing::zipSymbolicLink("ZEVRA.app/Contents/link", "/etc/passwd")}));

    auto directoryWithoutSlash = file("folder", "");
    directoryWithoutSlash.mode = testing::directoryMode;
    EXPECT_FALSE(safeForApp({directoryWithoutSlash}));

    auto fileWithSlash = zipDirectory("folder/");
    fileWithSlash.mode = testing::regularFileMode;
    EXPECT_FALSE(safeForApp({fileWithSlash}));
}

TEST(ArchiveEntriesAreSafe, RefusesCollidingKeys) {
    struct Case {
        std::vector<ZipFixtureEntry> entries;
        bool safe;
    };
    const std::vector<Case> cases{
        {{file("Readme"), file("README")}, false},
        {{file("caf\xc3\xa9"), file("cafe\xcc\x81")}, false},
        {{file("stra\u00dfe"), file("strasse")}, false},       // sharp s folds to "ss"
        {{file("STRASSE"), file("stra\u1e9ee")}, false},       // capital sharp s
        {{file("\u03b1\u03c2"), file("\u03b1\u03c3")}, false}, // final and medial sigma
        {{file("Stra\u00dfe"), file("strasse/x")}, false},     // a file as a folder
        {{file("x"), zipDirectory("x/")}, false},
        {{file("lib"), file("lib/x.js")}, false},
        {{file("lib/x.js"), file("LIB")}, false},
        {{zipDirectory("lib/"), file("lib/x.js"), file("lib2")}, true},
        {{file("strase"), file("strasse"), file("\u03b1\u03c3\u03b1")}, true},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(safeForApp(cases[i].entries), cases[i].safe) << "case " << i;
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
        EXPECT_EQ(archiveEntriesAreSafe(folder.path() / c.folder.front().name, appMaxArchiveEntries,
                                        appMaxUncompressedBytes, appMaxMemberBytes),
                  c.safe)
            << c.folder.front().name;
    }
}

TEST(ArchiveEntriesAreSafe, EntryCountLimits) {
    EXPECT_TRUE(safeForApp(numberedFiles(512)));
    EXPECT_FALSE(safeForApp(numberedFiles(513)));
    EXPECT_TRUE(safeWith(numberedFiles(256), extensionArchiveLimits));
    EXPECT_FALSE(safeWith(numberedFiles(257), extensionArchiveLimits));
}

TEST(ArchiveEntriesAreSafe, MemberAndTotalSizeLimits) {
    auto atLimit = file("big");
    atLimit.declaredSize = 268435456;
    EXPECT_TRUE(safeForApp({atLimit}));
    auto overLimit = file("big");
    overLimit.declaredSize = 268435457;
    EXPECT_FALSE(safeForApp({overLimit}));

    auto half = file("a");
    half.declaredSize = 268435456;
    auto otherHalf = file("b");
    otherHalf.declaredSize = 268435456;
    auto oneMore = file("c", "");
    EXPECT_TRUE(safeForApp({half, otherHalf, oneMore}));
    oneMore.data = "x";
    EXPECT_FALSE(safeForApp({half, otherHalf, oneMore}));
}

TEST(ArchiveEntriesAreSafe, RefusesOtherMethodsExtraFieldsAndDataDescriptors) {
    auto bzip2 = file("a.txt", std::string(300, 'a'));
    bzip2.method = "bzip2";
    EXPECT_FALSE(safeForApp({bzip2}));

    auto extra = file("a.txt");
    extra.extraHex = "cafe0400deadbeef";
    EXPECT_FALSE(safeForApp({extra}));

    EXPECT_TRUE(safeWith(testing::appShapedEntries("deflated"), appArchiveLimits, false));
    EXPECT_FALSE(safeWith(testing::appShapedEntries("deflated"), appArchiveLimits, true));
}

TEST(ArchiveEntriesAreSafe, ArchivesMadeByTheZipTool) {
    const TemporaryFolder folder;
    folder.write("payload/ZEVRA.app/Contents/Info.plist", "<plist/>\n");
    const auto zipWith = [&](const std::string& options, const std::string& name) {
        const auto archive = folder.path() / name;
        const auto result = testing::runProcess({"/bin/sh", "-c",
                                                 "cd '" + (folder.path() / "payload").string() +
                                                     "' && /usr/bin/zip -q -r " + options + " '" +
                                                     archive.string() + "' ZEVRA.app"});
        EXPECT_EQ(result.exitCode, 0) << result.standardError;
        return archiveEntriesAreSafe(archive, appMaxArchiveEntries, appMaxUncompressedBytes,
                                     appMaxMemberBytes);
    };
    EXPECT_FALSE(zipWith("", "with-extra-fields.zip")); // zip adds time and owner fields
    EXPECT_TRUE(zipWith("-X", "plain.zip"));
}

TEST(ArchiveEntriesAreSafe, RefusesWhatIsNotAnArchive) {
    const TemporaryFolder folder;
    EXPECT_FALSE(archiveEntriesAreSafe(folder.path() / "missing.zip", 512, 1 << 20, 1 << 20));
    const auto text = folder.write("text.zip", "not a zip file\n");
    EXPECT_FALSE(archiveEntriesAreSafe(text, 512, 1 << 20, 1 << 20));
    testing::writeZipFixture(folder.path() / "empty.zip", {});
    EXPECT_FALSE(archiveEntriesAreSafe(folder.path() / "empty.zip", 512, 1 << 20, 1 << 20));
}

} // namespace
} // namespace zevra

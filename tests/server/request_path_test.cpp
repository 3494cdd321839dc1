#include "server/request_path.h"
#include "server/safe_file.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>

namespace zevra {
namespace {

TEST(NormalisedPath, CutsTheQueryMapsTheRootAndDecodes) {
    // The raw path, then the path and query it gives.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"/?v=2", "/index.html", "v=2"},
        {"/a%20b?a=%20&b", "/a b", "a=%20&b"},
        {"/q?x?y", "/q", "x?y"},
        {"/%2e%2e/caf%C3%A9%2F", "/../caf\xC3\xA9/", ""},
        // Invalid escapes, or escapes that are not UTF-8, leave the path as it came.
        {"/100%", "/100%", ""},
        {"/%ff", "/%ff", ""},
        {"/%25", "/%", ""},
        {"?only", "", "only"},
    };
    for (const auto& [rawPath, path, query] : cases) {
        const auto result = normalisedPath(rawPath);
        EXPECT_EQ(result.path, path) << rawPath;
        EXPECT_EQ(result.query, query) << rawPath;
    }
    // NUL is decoded for later checks to refuse.
    EXPECT_EQ(removingPercentEncoding("a%00b"), std::string("a\0b", 3));
}

TEST(SafeFile, ResolvesInsideTheRootAndRefusesEverythingThatLeavesIt) {
    const testing::TemporaryFolder folder;
    const std::filesystem::path root = folder.path() / "root";
    folder.write("root/index.html", "shell");
    folder.write("root/css/site.css", "css");
    folder.write("outside/secret.txt", "secret");
    std::filesystem::create_symlink(folder.path() / "outside", root / "escape");
    std::filesystem::create_symlink(folder.path() / "outside/secret.txt", root / "secret-link");
    std::filesystem::create_symlink("css/site.css", root / "inner-link");
    // A root reached through a symbolic link works like the real folder.
    std::filesystem::create_symlink(root, folder.path() / "root-link");
    const std::filesystem::path realRoot = std::filesystem::canonical(root);

    const std::pair<std::string, std::string> inside[] = {
        {"css/../index.html", "index.html"},
        {"./css//site.css", "css/site.css"},
        {"inner-link", "css/site.css"},
        // A leading slash is a component under the root, not the file system's root.
        {"/index.html", "index.html"},
        {"new/missing.txt", "new/missing.txt"},
    };
    for (const auto& [relative, expected] : inside) {
        EXPECT_EQ(safeFile(root, relative), realRoot / expected) << relative;
    }
    EXPECT_EQ(safeFile(folder.path() / "root-link", "index.html"), realRoot / "index.html");

    const std::string refused[] = {
        "",
        "css/..",
        "..",
        "css/../../outside/secret.txt",
        "escape/secret.txt",
        "secret-link",
        "/../outside/secret.txt",
        "../root",
        "../rootx/file",
        std::string("index.html\0.txt", 15),
    };
    for (const auto& relative : refused) {
        EXPECT_EQ(safeFile(root, relative), std::nullopt) << relative;
    }
}

} // namespace
} // namespace zevra

#include "server/safe_file.h"

#include "support/temporary_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace zevra {
namespace {

namespace fs = std::filesystem;
using testing::TemporaryFolder;

class SafeFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder.write("root/index.html", "shell");
        folder.write("root/css/site.css", "css");
        folder.write("outside/secret.txt", "secret");
        fs::create_symlink(folder.path() / "outside", root() / "escape");
        fs::create_symlink(folder.path() / "outside/secret.txt", root() / "secret-link");
        fs::create_symlink("css/site.css", root() / "inner-link");
        // A root reached through a symbolic link works like the real folder.
        fs::create_symlink(root(), folder.path() / "root-link");
    }

    [[nodiscard]] fs::path root() const { return folder.path() / "root"; }
    [[nodiscard]] fs::path realRoot() const { return fs::canonical(root()); }

    TemporaryFolder folder;
};

TEST_F(SafeFileTest, ResolvesPathsInsideTheRoot) {
    struct Case {
        std::string relative;
        std::string expected; // below the real root
    };
    const Case cases[] = {
        {"index.html", "index.html"},
        {"css/site.css", "css/site.css"},
        {"css/../index.html", "index.html"},
        {"./css//site.css", "css/site.css"},
        {"inner-link", "css/site.css"},
        // A leading slash is a component under the root, not the file system's root.
        {"/index.html", "index.html"},
        {"missing.txt", "missing.txt"},
        {"new/missing.txt", "new/missing.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(safeFile(root(), c.relative), realRoot() / c.expected) << c.relative;
    }
    EXPECT_EQ(safeFile(folder.path() / "root-link", "index.html"), realRoot() / "index.html");
}

TEST_F(SafeFileTest, RefusesEverythingThatLeavesTheRoot) {
    const std::string refused[] = {
        "",
        ".",
        "css/..",
        "..",
        "../outside/secret.txt",
        "css/../../outside/secret.txt",
        "escape/secret.txt",
        "secret-link",
        "/../outside/secret.txt",
        "../root",
        "../rootx/file",
        std::string("index.html\0.txt", 15),
        std::string("\0", 1),
    };
    for (const auto& relative : refused) {
        EXPECT_EQ(safeFile(root(), relative), std::nullopt) << relative;
    }
}

} // namespace
} // namespace zevra

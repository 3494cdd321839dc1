#include "search/search_catalogue.h"

#include "search/executor_drain.h"
#include "support/manual_clock.h"
#include "support/temporary_folder.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <future>

namespace zevra {
namespace {

using namespace std::chrono_literals;

using Titles = std::vector<std::string>;

class SearchCatalogueTest : public ::testing::Test {
protected:
    SearchCatalogueTest() {
        setenv("HOME", home.path().c_str(), 1);
        setenv("ZEVRA_WORKSPACE_ROOT", (home.path() / "work").c_str(), 1);
        unsetenv("ZEVRA_VIBE_TOOLS_ROOT");
        home.write("Resources/tools/my_tool-v2 (final).html", "<p>tool");
        home.write("Resources/tools/notes.txt", "not a tool");
        home.write("work/_deploy/kelmor/at-limit.md", std::string(200000, 'a'));
        home.write("work/_deploy/kelmor/over-limit.md", std::string(200001, 'a'));
        home.write("work/_deploy/kelmor/R&D plan.md", "# Research\nand development");
        home.write("work/_deploy/kelmor/.hidden.md", "hidden");
        home.write("work/_deploy/kelmor/folder.md/inner.md", "inside a folder");
        home.write("work/.ai-sync/memory.json", "{\"a\": 1}");
        std::filesystem::create_symlink(home.write("secret.md", "secret"),
                                        home.path() / "work/_deploy/kelmor/link.md");
    }

    testing::TemporaryFolder home;
    testing::ManualClock clock;
    BackgroundExecutor executor{1};
    SearchCatalogue catalogue{home.path() / "Resources", clock, executor};

    Titles titles(std::string_view query) {
        Titles found;
        for (const auto& result : catalogue.performSearch(query)) {
            found.push_back(result.at("title"));
        }
        return found;
    }
};

TEST_F(SearchCatalogueTest, FirstSearchSeesTheFixedRowsAndARebuildShowsOnlyOnceDone) {
    // Hold the worker, so the rebuild cannot have run when the second search is answered.
    std::promise<void> gate;
    ASSERT_TRUE(executor.post([future = gate.get_future().share()] { future.wait(); }));
    const auto first = catalogue.performSearch("");
    EXPECT_EQ(first.size(), 12U);
    EXPECT_EQ(first.at(0).at("tab"), "home");
    EXPECT_TRUE(catalogue.performSearch("tool final").empty());
    gate.set_value();
    testing::drain(executor);

    EXPECT_EQ(titles("tool final"), Titles{"My Tool V2 Final"});
    EXPECT_EQ(catalogue.performSearch("tool final").at(0).at("open_url"),
              "http://127.0.0.1:18484/vibe-codes/my_tool-v2%20(final).html");
    EXPECT_EQ(titles("md"), (Titles{"At Limit", "R&d Plan"}));
    const auto document = catalogue.performSearch("research").at(0);
    EXPECT_EQ(document.at("open_url"),
              "http://127.0.0.1:18484/workspace-view?path=" +
                  (home.path() / "work/_deploy/kelmor/R%26D%20plan.md").string());
    EXPECT_EQ(document.at("source_path"), "~/work/_deploy/kelmor/R&D plan.md");
    EXPECT_EQ(document.at("summary"), "Research and development");
    EXPECT_EQ(catalogue.performSearch("memory").at(0).at("kind"), "memory");
}

TEST_F(SearchCatalogueTest, RebuildsOnlyWhenOlderThanTwentySeconds) {
    static_cast<void>(catalogue.performSearch(""));
    testing::drain(executor);
    home.write("work/_deploy/kelmor/later.md", "later");
    clock.advance(20s);
    EXPECT_TRUE(catalogue.performSearch("later").empty());
    testing::drain(executor);
    EXPECT_TRUE(catalogue.performSearch("later").empty());
    clock.advance(1ms);
    static_cast<void>(catalogue.performSearch(""));
    testing::drain(executor);
    EXPECT_EQ(catalogue.performSearch("later").size(), 1U);
}

} // namespace
} // namespace zevra

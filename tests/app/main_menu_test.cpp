#include "app/launch_environment.h"
#include "app/main_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zevra {
namespace {

TEST(MainMenu, MacKeyEquivalentsBecomeGnomeAccelerators) {
    struct Case {
        const char* key;
        bool option;
        bool control;
        const char* expected;
    };
    const Case cases[] = {
        {"r", false, false, "<Control>r"},     {"R", false, false, "<Control><Shift>r"},
        {"h", true, false, "<Control><Alt>h"}, {"f", false, true, "F11"},
        {",", false, false, "<Control>comma"}, {"[", false, false, "<Control>bracketleft"},
        {"1", false, false, "<Control>1"},     {"", false, false, ""},
    };
    for (const auto& [key, option, control, expected] : cases) {
        EXPECT_EQ(acceleratorFor(key, option, control), expected) << key;
    }
}

TEST(MainMenu, ItemsRunTheirSnippets) {
    std::vector<std::string> evaluated;
    const auto menus = mainMenu(
        {[&](const std::string& snippet) { evaluated.push_back(snippet); }, [] {}, [] {}, [] {}});
    std::vector<std::string> titles;
    for (const Menu& menu : menus) {
        titles.push_back(menu.title);
    }
    EXPECT_EQ(titles,
              (std::vector<std::string>{"ZEVRA", "File", "Edit", "View", "Navigation", "Window"}));
    const auto run = [&](const std::string& key) {
        for (const Menu& menu : menus) {
            for (const MenuItem& item : menu.items) {
                if (item.key == key && item.action) {
                    item.action();
                    return item.title;
                }
            }
        }
        return std::string();
    };
    EXPECT_EQ(run("<Control><Shift>h"), "Home");
    EXPECT_EQ(run("<Control>1"), "Jump to home");
    EXPECT_EQ(run("<Control>9"), "Jump to account");
    EXPECT_EQ(run("<Control>t"), "New Tab");
    EXPECT_EQ(run("<Control><Shift>t"), "Manage Tabs\u2026");
    EXPECT_EQ(evaluated, (std::vector<std::string>{
                             "typeof switchTab === 'function' && switchTab('home')",
                             "typeof switchTab === 'function' && switchTab('home')",
                             "typeof switchTab === 'function' && switchTab('account')",
                             "window.zevraTabsOpenModal && window.zevraTabsOpenModal()",
                             "window.zevraTabsOpenModal && window.zevraTabsOpenModal()"}));
    EXPECT_EQ(jumpToTabSnippet("it's"), "typeof switchTab === 'function' && switchTab('it\\'s')");
}

TEST(LaunchEnvironment, InspectorAndFirstPage) {
    EXPECT_TRUE(developerExtrasEnabled("1"));
    for (const char* off : {"true", "", " 1", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(developerExtrasEnabled(off)) << (off ? off : "unset");
    }
    const std::pair<const char*, const char*> pages[] = {
        {"http://127.0.0.1:18484/index.html#worlds", "http://127.0.0.1:18484/index.html#worlds"},
        {"file:///tmp/a.html", "file:///tmp/a.html"},
        {"not a url", "http://127.0.0.1:18484/index.html"},
        {"index.html", "http://127.0.0.1:18484/index.html"},
        {"1http://x", "http://127.0.0.1:18484/index.html"},
        {nullptr, "http://127.0.0.1:18484/index.html"},
    };
    for (const auto& [value, expected] : pages) {
        EXPECT_EQ(firstPageURL(value), expected) << (value ? value : "unset");
    }
}

} // namespace
} // namespace zevra

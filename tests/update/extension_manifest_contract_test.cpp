#include "update/extension_manifest_contract.h"
#include "update/extension_manifest_fixture.h"
#include "update/json_values.h"

#include <gtest/gtest.h>

#include <functional>

namespace zevra {
namespace {

using nlohmann::json;

struct Mutation {
    const char* what;
    std::function<void(json&)> change;
    bool approved;
};

// cppcheck-suppress constParameter
json& startScript(json& m) {
    return m["content_scripts"][0];
}
// cppcheck-suppress constParameter
json& idleScript(json& m) {
    return m["content_scripts"][1];
}

TEST(ExtensionManifestHasApprovedCapabilities, AppliesTheWholeContract) {
    const std::vector<Mutation> mutations{
        {"approved", [](json&) {}, true},
        {"extra key", [](json& m) { m["key"] = "MIIB"; }, false},
        {"missing key", [](json& m) { m.erase("icons"); }, false},
        {"manifest 2", [](json& m) { m["manifest_version"] = 2; }, false},
        {"manifest 3.0", [](json& m) { m["manifest_version"] = 3.0; }, false},
        {"manifest \"3\"", [](json& m) { m["manifest_version"] = "3"; }, false},
        {"name", [](json& m) { m["name"] = "zevra"; }, false},
        {"other version", [](json& m) { m["version"] = "1.7.1"; }, false},
        {"empty description", [](json& m) { m["description"] = ""; }, false},
        {"description of 256", [](json& m) { m["description"] = std::string(256, 'd'); }, true},
        {"description of 257", [](json& m) { m["description"] = std::string(257, 'd'); }, false},
        {"description not a string", [](json& m) { m["description"] = 5; }, false},
        {"permissions reordered",
         [](json& m) {
             m["permissions"] = {"downloads", "contextMenus", "storage", "activeTab"};
         },
         true},
        {"extra permission", [](json& m) { m["permissions"].push_back("cookies"); }, false},
        {"optional permissions missing one", [](json& m) { m["optional_permissions"].erase(0); },
         false},
        {"host permissions www", [](json& m) { m["host_permissions"][0] = "https://www.x/*"; },
         false},
        {"icons with extra size", [](json& m) { m["icons"]["32"] = "icons/icon32.png"; }, false},
        {"background module", [](json& m) { m["background"]["type"] = "module"; }, false},
        {"background other worker", [](json& m) { m["background"]["service_worker"] = "evil.js"; },
         false},
        {"action popup", [](json& m) { m["action"]["default_popup"] = "other.html"; }, false},
        {"action title", [](json& m) { m["action"]["default_title"] = "ZEVRA"; }, false},
        {"action icon", [](json& m) { m["action"]["default_icon"] = "icons/icon16.png"; }, false},
        {"scripts swapped",
         [](json& m) { std::swap(m["content_scripts"][0], m["content_scripts"][1]); }, true},
        {"start js reordered",
         [](json& m) {
             startScript(m)["js"] = {"auth-bridge.js", "extension-api.js"};
         },
         false},
        {"idle js reordered",
         [](json& m) {
             idleScript(m)["js"] = {"vendor/gif.js", "extension-api.js", "content.js"};
         },
         false},
        {"start matches reordered",
         [](json& m) {
             auto& matches = startScript(m)["matches"];
             std::swap(matches[0], matches[5]);
         },
         true},
        {"start matches all urls", [](json& m) { startScript(m)["matches"][4] = "<all_urls>"; },
         false},
        {"start script all frames", [](json& m) { startScript(m)["all_frames"] = true; }, false},
        {"idle css extra", [](json& m) { idleScript(m)["css"].push_back("more.css"); }, false},
        {"idle matches narrowed", [](json& m) { idleScript(m)["matches"] = {"https://x/*"}; },
         false},
        {"both start", [](json& m) { idleScript(m)["run_at"] = "document_start"; }, false},
        {"third script", [](json& m) { m["content_scripts"].push_back(m["content_scripts"][1]); },
         false},
        {"resources reordered",
         [](json& m) {
             std::swap(m["web_accessible_resources"][0]["resources"][0],
                       m["web_accessible_resources"][0]["resources"][1]);
         },
         false},
        {"resources extra key",
         [](json& m) { m["web_accessible_resources"][0]["use_dynamic_url"] = true; }, false},
        {"two resource entries",
         [](json& m) { m["web_accessible_resources"].push_back(m["web_accessible_resources"][0]); },
         false},
    };
    for (const auto& mutation : mutations) {
        auto manifest = testing::approvedExtensionManifest("1.7.0");
        mutation.change(manifest);
        EXPECT_EQ(extensionManifestHasApprovedCapabilities(manifest, "1.7.0"), mutation.approved)
            << mutation.what;
    }
    EXPECT_FALSE(extensionManifestHasApprovedCapabilities(json::array(), "1.7.0"));
}

TEST(JsonValues, ExactStringSetAndStringDictionary) {
    const std::set<std::string> ab{"a", "b"};
    const json ba{"b", "a"};
    const json aab{"a", "a", "b"};
    const json aa{"a", "a"};
    const json notStrings{"a", 2};
    const json text = "ab";
    EXPECT_TRUE(exactStringSet(&ba, ab));
    EXPECT_FALSE(exactStringSet(&aab, ab));
    EXPECT_FALSE(exactStringSet(&aa, ab));
    EXPECT_FALSE(exactStringSet(&notStrings, ab));
    EXPECT_FALSE(exactStringSet(&text, ab));
    EXPECT_FALSE(exactStringSet(nullptr, ab));

    const json strings{{"a", "1"}, {"b", "2"}};
    const json mixed{{"a", "1"}, {"b", 2}};
    const auto dictionary = stringDictionary(&strings);
    ASSERT_TRUE(dictionary);
    EXPECT_EQ(dictionary->at("b"), "2");
    EXPECT_FALSE(stringDictionary(&mixed));
    EXPECT_FALSE(stringDictionary(&ba));
    EXPECT_FALSE(stringDictionary(nullptr));
}

} // namespace
} // namespace zevra

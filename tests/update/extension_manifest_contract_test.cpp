#include "update/extension_manifest_contract.h"
#include "update/manifest_fixtures.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

using nlohmann::json;
using testing::copyTo;
using testing::put;
using testing::swapAt;

TEST(ExtensionManifestHasApprovedCapabilities, AppliesTheWholeContract) {
    const std::string start = "/content_scripts/0/";
    const std::string idle = "/content_scripts/1/";
    const std::string resources = "/web_accessible_resources/";
    const std::vector<std::tuple<const char*, testing::JsonChange, bool>> cases{
        {"approved", put("/version", "1.7.0"), true},
        {"extra key", put("/key", "MIIB"), false},
        {"manifest 2", put("/manifest_version", 2), false},
        {"manifest 3.0", put("/manifest_version", 3.0), false},
        {"name", put("/name", "zevra"), false},
        {"other version", put("/version", "1.7.1"), false},
        {"empty description", put("/description", ""), false},
        {"description of 256", put("/description", std::string(256, 'd')), true},
        {"description of 257", put("/description", std::string(257, 'd')), false},
        {"permissions reordered", swapAt("/permissions/0", "/permissions/3"), true},
        {"extra permission", put("/permissions/4", "cookies"), false},
        {"permission twice", put("/permissions/3", "activeTab"), false},
        {"permission not a string", put("/permissions/3", 5), false},
        {"icon not a string", put("/icons/16", 16), false},
        {"icons not an object", put("/icons", json::array()), false},
        {"icons with extra size", put("/icons/32", "icons/icon32.png"), false},
        {"background module", put("/background/type", "module"), false},
        {"background other worker", put("/background/service_worker", "evil.js"), false},
        {"action popup", put("/action/default_popup", "other.html"), false},
        {"action title", put("/action/default_title", "ZEVRA"), false},
        {"scripts swapped", swapAt("/content_scripts/0", "/content_scripts/1"), true},
        {"start js reordered", swapAt(start + "js/0", start + "js/1"), false},
        {"start matches all urls", put(start + "matches/4", "<all_urls>"), false},
        {"start script all frames", put(start + "all_frames", true), false},
        {"idle css extra", put(idle + "css/1", "more.css"), false},
        {"both start", put(idle + "run_at", "document_start"), false},
        {"third script", copyTo("/content_scripts/1", "/content_scripts/2"), false},
        {"resources reordered", swapAt(resources + "0/resources/0", resources + "0/resources/1"),
         false},
        {"resources extra key", put(resources + "0/use_dynamic_url", true), false},
        {"two resource entries", copyTo(resources + "0", resources + "1"), false},
    };
    for (const auto& [what, change, approved] : cases) {
        auto manifest = testing::approvedExtensionManifest("1.7.0");
        change(manifest);
        EXPECT_EQ(extensionManifestHasApprovedCapabilities(manifest, "1.7.0"), approved) << what;
    }
    EXPECT_FALSE(extensionManifestHasApprovedCapabilities(json::array(), "1.7.0"));
}

} // namespace
} // namespace zevra

#include "update/extension_manifest_fixture.h"

#include "build_config.h"

namespace zevra::testing {

nlohmann::json approvedExtensionManifest(const std::string& version) {
    const std::string site = config::SiteHost;
    const std::string release = config::ReleaseHost;
    const nlohmann::json icons{
        {"16", "icons/icon16.png"}, {"48", "icons/icon48.png"}, {"128", "icons/icon128.png"}};
    return {
        {"manifest_version", 3},
        {"name", "ZEVRA"},
        {"version", version},
        {"description", "Sign in and save pages with ZEVRA."},
        {"permissions", {"activeTab", "storage", "contextMenus", "downloads"}},
        {"optional_permissions",
         {"notifications", "tabs", "bookmarks", "history", "clipboardRead", "clipboardWrite"}},
        {"host_permissions", {"https://" + site + "/*", "https://" + release + "/*"}},
        {"background", {{"service_worker", "background.js"}}},
        {"action", {{"default_icon", icons}, {"default_popup", "popup.html"}}},
        {"icons", icons},
        {"content_scripts",
         {{{"js", {"extension-api.js", "auth-bridge.js"}},
           {"matches",
            {"https://" + site + "/ext-signin*", "https://www." + site + "/ext-signin*",
             "https://" + release + "/ext-signin*", "https://www." + release + "/ext-signin*",
             "http://127.0.0.1/*", "http://localhost/*"}},
           {"run_at", "document_start"}},
          {{"css", {"styles.css"}},
           {"js", {"extension-api.js", "vendor/gif.js", "content.js"}},
           {"matches", {"<all_urls>"}},
           {"run_at", "document_idle"}}}},
        {"web_accessible_resources",
         {{{"matches", {"<all_urls>"}},
           {"resources",
            {"styles.css", "extension-api.js", "vendor/gif.js", "vendor/gif.worker.js"}}}}},
    };
}

} // namespace zevra::testing

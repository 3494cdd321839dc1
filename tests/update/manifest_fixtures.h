#pragma once

#include "build_config.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace zevra::testing {

// Small edits of a JSON document, addressed by JSON pointer, for tables of mutations.
using JsonChange = std::function<void(nlohmann::json&)>;
using Pointer = nlohmann::json::json_pointer;

inline JsonChange put(const std::string& at, const nlohmann::json& value) {
    return [=](nlohmann::json& m) { m[Pointer(at)] = value; };
}

inline JsonChange erase(const std::string& key) {
    return [=](nlohmann::json& m) { m.erase(key); };
}

inline JsonChange copyTo(const std::string& from, const std::string& to) {
    return [=](nlohmann::json& m) { m[Pointer(to)] = m[Pointer(from)]; };
}

inline JsonChange swapAt(const std::string& a, const std::string& b) {
    return [=](nlohmann::json& m) { std::swap(m[Pointer(a)], m[Pointer(b)]); };
}

// A browser extension "manifest.json" with exactly the approved capabilities, for `version`.
inline nlohmann::json approvedExtensionManifest(const std::string& version) {
    auto m = nlohmann::json::parse(R"({"manifest_version": 3, "name": "ZEVRA",
        "description": "Sign in and save pages with ZEVRA.",
        "permissions": ["activeTab", "storage", "contextMenus", "downloads"],
        "optional_permissions": ["notifications", "tabs", "bookmarks", "history", "clipboardRead",
                                 "clipboardWrite"],
        "background": {"service_worker": "background.js"},
        "icons": {"16": "icons/icon16.png", "48": "icons/icon48.png", "128": "icons/icon128.png"},
        "content_scripts": [
            {"js": ["extension-api.js", "auth-bridge.js"], "run_at": "document_start"},
            {"css": ["styles.css"], "js": ["extension-api.js", "vendor/gif.js", "content.js"],
             "matches": ["<all_urls>"], "run_at": "document_idle"}],
        "web_accessible_resources": [{"matches": ["<all_urls>"], "resources": ["styles.css",
            "extension-api.js", "vendor/gif.js", "vendor/gif.worker.js"]}]})");
    const std::string site = config::SiteHost;
    const std::string release = config::ReleaseHost;
    m["version"] = version;
    m["action"] = {{"default_icon", m["icons"]}, {"default_popup", "popup.html"}};
    m["host_permissions"] = {"https://" + site + "/*", "https://" + release + "/*"};
    m["content_scripts"][0]["matches"] = {"https://" + site + "/ext-signin*",
                                          "https://www." + site + "/ext-signin*",
                                          "https://" + release + "/ext-signin*",
                                          "https://www." + release + "/ext-signin*",
                                          "http://127.0.0.1/*",
                                          "http://localhost/*"};
    return m;
}

} // namespace zevra::testing

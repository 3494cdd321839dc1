#include "update/extension_manifest_contract.h"

#include "base/unicode_text.h"
#include "build_config.h"
#include "update/json_values.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace zevra {
namespace {

using nlohmann::json;

constexpr std::int64_t maxDescriptionCharacters = 256;

const json* member(const json& object, const char* key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto found = object.find(key);
    return found == object.end() ? nullptr : &*found;
}

bool hasExactlyKeys(const json& object, const std::set<std::string>& keys) {
    if (!object.is_object() || object.size() != keys.size()) {
        return false;
    }
    for (const auto& [key, value] : object.items()) {
        if (keys.count(key) == 0) {
            return false;
        }
    }
    return true;
}

bool isString(const json* value, std::string_view expected) {
    return value != nullptr && value->is_string() &&
           value->get_ref<const std::string&>() == expected;
}

bool isStringArray(const json* value, const std::vector<std::string>& expected) {
    if (value == nullptr || !value->is_array() || value->size() != expected.size()) {
        return false;
    }
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!isString(&(*value)[i], expected[i])) {
            return false;
        }
    }
    return true;
}

const std::map<std::string, std::string>& approvedIcons() {
    static const std::map<std::string, std::string> icons{
        {"16", "icons/icon16.png"}, {"48", "icons/icon48.png"}, {"128", "icons/icon128.png"}};
    return icons;
}

bool isApprovedIcons(const json* value) {
    const auto icons = stringDictionary(value);
    return icons && *icons == approvedIcons();
}

bool descriptionIsAcceptable(const json* value) {
    if (value == nullptr || !value->is_string()) {
        return false;
    }
    const auto& text = value->get_ref<const std::string&>();
    return !text.empty() && hasAtMostCharacters(text, maxDescriptionCharacters);
}

bool manifestVersionIsThree(const json* value) {
    return value != nullptr && value->is_number_integer() && value->get<std::int64_t>() == 3;
}

std::string site(const char* prefix, const char* host, const char* suffix) {
    return std::string(prefix) + host + suffix;
}

bool isApprovedAction(const json* value) {
    return value != nullptr && hasExactlyKeys(*value, {"default_icon", "default_popup"}) &&
           isApprovedIcons(member(*value, "default_icon")) &&
           isString(member(*value, "default_popup"), "popup.html");
}

const json* firstScriptRunningAt(const json& scripts, std::string_view runAt) {
    const auto found = std::find_if(scripts.begin(), scripts.end(), [runAt](const json& script) {
        return isString(member(script, "run_at"), runAt);
    });
    return found == scripts.end() ? nullptr : &*found;
}

bool isApprovedStartScript(const json* script) {
    const std::set<std::string> matches{site("https://", config::SiteHost, "/ext-signin*"),
                                        site("https://www.", config::SiteHost, "/ext-signin*"),
                                        site("https://", config::ReleaseHost, "/ext-signin*"),
                                        site("https://www.", config::ReleaseHost, "/ext-signin*"),
                                        "http://127.0.0.1/*",
                                        "http://localhost/*"};
    return script != nullptr && hasExactlyKeys(*script, {"js", "matches", "run_at"}) &&
           isStringArray(member(*script, "js"), {"extension-api.js", "auth-bridge.js"}) &&
           exactStringSet(member(*script, "matches"), matches);
}

bool isApprovedIdleScript(const json* script) {
    return script != nullptr && hasExactlyKeys(*script, {"css", "js", "matches", "run_at"}) &&
           isStringArray(member(*script, "css"), {"styles.css"}) &&
           isStringArray(member(*script, "js"),
                         {"extension-api.js", "vendor/gif.js", "content.js"}) &&
           isStringArray(member(*script, "matches"), {"<all_urls>"});
}

bool areApprovedContentScripts(const json* value) {
    if (value == nullptr || !value->is_array() || value->size() != 2) {
        return false;
    }
    if (!std::all_of(value->begin(), value->end(),
                     [](const json& script) { return script.is_object(); })) {
        return false;
    }
    return isApprovedStartScript(firstScriptRunningAt(*value, "document_start")) &&
           isApprovedIdleScript(firstScriptRunningAt(*value, "document_idle"));
}

bool areApprovedWebAccessibleResources(const json* value) {
    if (value == nullptr || !value->is_array() || value->size() != 1) {
        return false;
    }
    const json& entry = (*value)[0];
    return hasExactlyKeys(entry, {"matches", "resources"}) &&
           isStringArray(member(entry, "matches"), {"<all_urls>"}) &&
           isStringArray(member(entry, "resources"), {"styles.css", "extension-api.js",
                                                      "vendor/gif.js", "vendor/gif.worker.js"});
}

} // namespace

bool extensionManifestHasApprovedCapabilities(const json& manifest, std::string_view version) {
    const std::set<std::string> topLevelKeys{"manifest_version", "name",
                                             "version",          "description",
                                             "permissions",      "optional_permissions",
                                             "host_permissions", "background",
                                             "action",           "icons",
                                             "content_scripts",  "web_accessible_resources"};
    if (!hasExactlyKeys(manifest, topLevelKeys)) {
        return false;
    }
    if (!manifestVersionIsThree(member(manifest, "manifest_version")) ||
        !isString(member(manifest, "name"), "ZEVRA") ||
        !isString(member(manifest, "version"), version) ||
        !descriptionIsAcceptable(member(manifest, "description"))) {
        return false;
    }
    if (!exactStringSet(member(manifest, "permissions"),
                        {"activeTab", "storage", "contextMenus", "downloads"}) ||
        !exactStringSet(
            member(manifest, "optional_permissions"),
            {"notifications", "tabs", "bookmarks", "history", "clipboardRead", "clipboardWrite"}) ||
        !exactStringSet(member(manifest, "host_permissions"),
                        {site("https://", config::SiteHost, "/*"),
                         site("https://", config::ReleaseHost, "/*")})) {
        return false;
    }
    if (!isApprovedIcons(member(manifest, "icons"))) {
        return false;
    }
    const json* background = member(manifest, "background");
    if (background == nullptr || !hasExactlyKeys(*background, {"service_worker"}) ||
        !isString(member(*background, "service_worker"), "background.js")) {
        return false;
    }
    return isApprovedAction(member(manifest, "action")) &&
           areApprovedContentScripts(member(manifest, "content_scripts")) &&
           areApprovedWebAccessibleResources(member(manifest, "web_accessible_resources"));
}

} // namespace zevra

#include "update/update_manifest.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace zevra {
namespace {

using nlohmann::json;

// Reads the fields of one JSON object; the first failure sticks.
class FieldReader {
public:
    explicit FieldReader(const json& object) : object_(object) {}

    [[nodiscard]] bool failed() const { return failed_; }

    std::string requiredString(const char* key) {
        const auto found = object_.find(key);
        if (found == object_.end() || !found->is_string()) {
            failed_ = true;
            return {};
        }
        return found->get<std::string>();
    }

    std::optional<std::string> optionalString(const char* key) {
        const json* value = optionalValue(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_string()) {
            failed_ = true;
            return std::nullopt;
        }
        return value->get<std::string>();
    }

    std::optional<std::int64_t> optionalInteger(const char* key) {
        const json* value = optionalValue(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (value->is_number_unsigned()) {
            const auto unsignedValue = value->get<std::uint64_t>();
            if (unsignedValue >
                static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                failed_ = true;
                return std::nullopt;
            }
            return static_cast<std::int64_t>(unsignedValue);
        }
        if (!value->is_number_integer()) {
            failed_ = true;
            return std::nullopt;
        }
        return value->get<std::int64_t>();
    }

    std::optional<std::vector<std::string>> optionalStrings(const char* key) {
        const json* value = optionalValue(key);
        if (value == nullptr) {
            return std::nullopt;
        }
        if (!value->is_array()) {
            failed_ = true;
            return std::nullopt;
        }
        std::vector<std::string> strings;
        for (const auto& element : *value) {
            if (!element.is_string()) {
                failed_ = true;
                return std::nullopt;
            }
            strings.push_back(element.get<std::string>());
        }
        return strings;
    }

private:
    const json* optionalValue(const char* key) const {
        const auto found = object_.find(key);
        if (found == object_.end() || found->is_null()) {
            return nullptr;
        }
        return &*found;
    }

    const json& object_;
    bool failed_ = false;
};

std::optional<json> parsedObject(std::string_view body) {
    // Integers too large for 64 bits parse as floating point and then fail the integer check.
    json document = json::parse(body.begin(), body.end(), nullptr, false);
    if (document.is_discarded() || !document.is_object()) {
        return std::nullopt;
    }
    return document;
}

} // namespace

std::optional<ZevraUpdateManifest> decodeZevraUpdateManifest(std::string_view body) {
    const auto document = parsedObject(body);
    if (!document) {
        return std::nullopt;
    }
    FieldReader read(*document);
    ZevraUpdateManifest manifest;
    manifest.schemaVersion = read.requiredString("schema_version");
    manifest.product = read.requiredString("product");
    manifest.channel = read.requiredString("channel");
    manifest.version = read.requiredString("version");
    manifest.build = read.optionalString("build");
    manifest.architecture = read.requiredString("architecture");
    manifest.minimumMacOS = read.requiredString("minimum_macos");
    manifest.downloadURL = read.requiredString("download_url");
    manifest.sha256 = read.requiredString("sha256");
    manifest.bytes = read.optionalInteger("bytes");
    manifest.releaseNotesURL = read.optionalString("release_notes_url");
    manifest.notes = read.optionalStrings("notes");
    if (read.failed()) {
        return std::nullopt;
    }
    return manifest;
}

std::optional<ZevraExtensionUpdateManifest>
decodeZevraExtensionUpdateManifest(std::string_view body) {
    const auto document = parsedObject(body);
    if (!document) {
        return std::nullopt;
    }
    FieldReader read(*document);
    ZevraExtensionUpdateManifest manifest;
    manifest.schemaVersion = read.requiredString("schema_version");
    manifest.product = read.requiredString("product");
    manifest.channel = read.requiredString("channel");
    manifest.version = read.requiredString("version");
    manifest.platform = read.requiredString("platform");
    manifest.downloadURL = read.requiredString("download_url");
    manifest.sha256 = read.requiredString("sha256");
    manifest.bytes = read.optionalInteger("bytes");
    manifest.installNotesURL = read.optionalString("install_notes_url");
    manifest.notes = read.optionalStrings("notes");
    if (read.failed()) {
        return std::nullopt;
    }
    return manifest;
}

} // namespace zevra

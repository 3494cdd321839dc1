#include "capsule/world_capsule_verification.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>

#include "base/json_members.h"
#include "base/sha256.h"
#include "capsule/base64_decode.h"
#include "capsule/canonical_json.h"
#include "capsule/ed25519_verify.h"

namespace zevra {
namespace {

constexpr std::string_view capsuleSchema = "zevr-world/1.0";
constexpr std::string_view signatureAlgorithm = "Ed25519";
constexpr std::string_view signatureContext = "world-capsule";
// 22 ASCII bytes; the zero byte that follows keeps the label apart from the digest.
constexpr std::string_view signedMessageLabel = "ZEVRA-WORLD-CAPSULE-V1";

bool memberEquals(const nlohmann::json& object, std::string_view key, std::string_view expected) {
    const std::string* value = stringMember(object, key);
    return value != nullptr && *value == expected;
}

bool memberEqualsDigest(const nlohmann::json& object, std::string_view key, std::string_view hex) {
    const std::string* value = stringMember(object, key);
    // An empty digest stands for a failed hash and must never match "sha256:".
    return !hex.empty() && value != nullptr && value->starts_with(digestTextPrefix) &&
           std::string_view(*value).substr(digestTextPrefix.size()) == hex;
}

// Key and signature texts may come URL-safe and unpadded; nothing else is forgiven.
std::optional<std::string> decodeLenientKeyText(const nlohmann::json& signature,
                                                std::string_view key) {
    std::string text = textualForm(findMember(signature, key));
    std::replace(text.begin(), text.end(), '-', '+');
    std::replace(text.begin(), text.end(), '_', '/');
    text.append((4 - text.size() % 4) % 4, '=');
    std::optional<std::vector<unsigned char>> bytes = decodeBase64Strict(text);
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}

bool signatureHolds(const nlohmann::json& signature, std::string_view publicKey,
                    std::string_view signatureBytes, const std::string& manifestHex) {
    constexpr std::size_t publicKeyBytes = 32;
    if (publicKey.size() != publicKeyBytes) {
        return false;
    }
    if (!memberEqualsDigest(signature, "signed_digest", manifestHex)) {
        return false;
    }
    if (!memberEqualsDigest(signature, "public_key_fingerprint", sha256Hex(publicKey))) {
        return false;
    }
    std::string message(signedMessageLabel);
    message.push_back('\0');
    message += manifestHex;
    return verifyEd25519(publicKey, message, signatureBytes);
}

bool snapshotMatches(const nlohmann::json& capsule, const nlohmann::json& manifest) {
    const nlohmann::json* world = objectMember(capsule, "world");
    const nlohmann::json* content = objectMember(capsule, "content");
    const nlohmann::json* archiveAssets = findMember(capsule, "archive_assets");
    if (archiveAssets != nullptr && !archiveAssets->is_array()) {
        archiveAssets = nullptr;
    }
    // Written by hand so the large members are not copied into a temporary object.
    std::string snapshot = "{\"archive_assets\":";
    bool written =
        appendCanonicalJSON(snapshot, archiveAssets ? *archiveAssets : nlohmann::json::array());
    snapshot += ",\"content\":";
    written =
        written && appendCanonicalJSON(snapshot, content ? *content : nlohmann::json::object());
    snapshot += ",\"world\":";
    written = written && appendCanonicalJSON(snapshot, world ? *world : nlohmann::json::object());
    snapshot += "}";
    return written && memberEqualsDigest(manifest, "snapshot_sha256", sha256Hex(snapshot));
}

// The manifest's promised assets: path to digest text, a later listing winning.
std::map<std::string, std::string, std::less<>> expectedAssets(const nlohmann::json& manifest) {
    std::map<std::string, std::string, std::less<>> expected;
    const nlohmann::json* listed = objectListMember(manifest, "assets");
    if (listed == nullptr) {
        return expected;
    }
    for (const nlohmann::json& asset : *listed) {
        const std::string* path = stringMember(asset, "path");
        const std::string* digest = stringMember(asset, "sha256");
        if (path != nullptr && digest != nullptr) {
            expected[*path] = *digest;
        }
    }
    return expected;
}

std::optional<std::string> carriedAssetDigest(const std::string& base64Text) {
    Sha256 hash;
    const bool decoded =
        decodeBase64Strict(base64Text, [&hash](const unsigned char* bytes, std::size_t count) {
            hash.update(bytes, count);
        });
    if (!decoded) {
        return std::nullopt;
    }
    return std::string(digestTextPrefix) + hash.finishHex();
}

bool carriedAssetsMatch(const nlohmann::json& capsule, const nlohmann::json& manifest) {
    const auto expected = expectedAssets(manifest);
    const nlohmann::json* carriedList = objectListMember(capsule, "assets");
    const nlohmann::json emptyList = nlohmann::json::array();
    const nlohmann::json& carried = carriedList ? *carriedList : emptyList;
    bool ok = carried.size() == expected.size();
    std::set<std::string, std::less<>> seen;
    for (const nlohmann::json& asset : carried) {
        const std::string* path = stringMember(asset, "path");
        const std::string* data = stringMember(asset, "data_base64");
        const std::optional<std::string> digest =
            data != nullptr ? carriedAssetDigest(*data) : std::nullopt;
        if (path == nullptr || !digest) {
            ok = false;
            continue;
        }
        const auto promised = expected.find(*path);
        const bool matches = !seen.contains(*path) && promised != expected.end() &&
                             promised->second == *digest && memberEquals(asset, "sha256", *digest);
        ok = ok && matches;
        seen.insert(*path);
    }
    const bool allSeen = seen.size() == expected.size() &&
                         std::all_of(expected.begin(), expected.end(), [&seen](const auto& entry) {
                             return seen.contains(entry.first);
                         });
    return ok && allSeen;
}

} // namespace

WorldCapsuleVerification verifyWorldCapsule(const nlohmann::json& capsule) {
    const nlohmann::json* manifest = objectMember(capsule, "manifest");
    if (manifest == nullptr || !memberEquals(*manifest, "schema", capsuleSchema)) {
        return {};
    }
    const std::optional<std::string> canonicalManifest = canonicalJSON(*manifest);
    if (!canonicalManifest) {
        return {};
    }
    const nlohmann::json* signature = objectMember(capsule, "signature");
    if (signature == nullptr || !memberEquals(*signature, "alg", signatureAlgorithm) ||
        !memberEquals(*signature, "context", signatureContext)) {
        return {};
    }
    const std::optional<std::string> publicKey = decodeLenientKeyText(*signature, "public_key");
    const std::optional<std::string> signatureBytes = decodeLenientKeyText(*signature, "sig");
    if (!publicKey || !signatureBytes) {
        return {};
    }
    const std::string manifestHex = sha256Hex(*canonicalManifest);
    WorldCapsuleVerification result;
    result.signatureValid = signatureHolds(*signature, *publicKey, *signatureBytes, manifestHex);
    // Decided apart from the signature so the page can report both.
    const bool snapshotPassed = snapshotMatches(capsule, *manifest);
    const bool assetsPassed = carriedAssetsMatch(capsule, *manifest);
    result.integrityComplete = snapshotPassed && assetsPassed;
    result.verified = result.signatureValid && result.integrityComplete;
    return result;
}

std::string sha256DigestText(std::string_view bytes) {
    return std::string(digestTextPrefix) + sha256Hex(bytes);
}

} // namespace zevra

#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <string_view>

namespace zevra {

struct WorldCapsuleVerification {
    bool verified = false;          // signatureValid and integrityComplete
    bool signatureValid = false;    // the signature block is consistent and the signature verifies
    bool integrityComplete = false; // the snapshot digest and every asset match the manifest

    bool operator==(const WorldCapsuleVerification&) const = default;
};

// Checks a parsed capsule offline: its Ed25519 signature over the canonical manifest, the
// snapshot digest and every carried asset. A malformed capsule gives three false Booleans.
[[nodiscard]] WorldCapsuleVerification verifyWorldCapsule(const nlohmann::json& capsule);

inline constexpr std::string_view digestTextPrefix = "sha256:";

// "sha256:" followed by the lowercase hexadecimal digest, the form capsules carry.
[[nodiscard]] std::string sha256DigestText(std::string_view bytes);

} // namespace zevra

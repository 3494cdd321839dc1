#include "capsule/world_capsule_verification.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "base/sha256.h"
#include "capsule_producer.h"

namespace zevra {
namespace {

using Json = nlohmann::json;
using Pointer = Json::json_pointer;

constexpr WorldCapsuleVerification allTrue{true, true, true};
constexpr WorldCapsuleVerification malformed{false, false, false};
constexpr WorldCapsuleVerification sigOnly{false, true, false};
constexpr WorldCapsuleVerification integrityOnly{false, false, true};
constexpr const char* key = "/signature/public_key";
constexpr const char* signedDigest = "/signature/signed_digest";

// Every row changes one member of a copy of a produced capsule; `gone` removes the member.
TEST(WorldCapsuleVerificationTest, EveryTamperingGivesTheRightVerdict) {
    const Json produced = testing::produceCapsule(testing::richRecipe());
    ASSERT_EQ(verifyWorldCapsule(produced), allTrue);
    const Json gone(Json::value_t::discarded);
    const auto text = [&](const char* at) { return produced[Pointer(at)].get<std::string>(); };
    const auto flip = [&](const char* at, std::size_t i) {
        std::string t = text(at);
        t[i] = t[i] == 'A' ? 'B' : 'A';
        return t;
    };
    const auto upper = [&](const char* at) { // "sha256:" and the hex digits upper-cased
        std::string t = text(at);
        std::transform(t.begin() + 7, t.end(), t.begin() + 7, [](char c) { return toupper(c); });
        return t;
    };
    std::string urlSafe = text(key);
    std::replace(urlSafe.begin(), urlSafe.end(), '/', '_');
    std::replace(urlSafe.begin(), urlSafe.end(), '+', '-');
    urlSafe.erase(urlSafe.find('='));
    const Json a0 = produced["assets"][0];
    const Json l0 = produced["manifest"]["assets"][0];
    const Json l1 = produced["manifest"]["assets"][1];
    const Json l0Wrong = {{"path", l0["path"]}, {"sha256", l1["sha256"]}};
    const Json l0Upper = {{"path", l0["path"]}, {"sha256", upper("/manifest/assets/0/sha256")}};
    const Json extra{{"path", "x"}, {"data_base64", "eA=="}, {"sha256", sha256DigestText("x")}};
    const std::tuple<const char*, const char*, Json, WorldCapsuleVerification> cases[] = {
        {"key text URL-safe, unpadded", key, urlSafe, allTrue},
        {"manifest member never read", "/manifest/limits/ratio", 0.5, integrityOnly},
        {"later listing wins", "/manifest/assets", {l0Wrong, l0, l1}, integrityOnly},
        {"later listing wrong", "/manifest/assets", {l0, l0Wrong, l1}, malformed},
        {"listed digest upper-case", "/manifest/assets", {l0Upper, l1}, malformed},
        {"asset byte changed", "/assets/0/data_base64", flip("/assets/0/data_base64", 0), sigOnly},
        {"asset missing", "/assets", Json::array({a0}), sigOnly},
        {"asset doubled in place of another", "/assets/1", a0, sigOnly},
        {"asset data not Base64", "/assets/0/data_base64", "c2hlbGw!", sigOnly},
        {"extra asset not in the manifest", "/assets/2", extra, sigOnly},
        {"world changed after signing", "/world/display", "Other", sigOnly},
        {"signed digest upper-case", signedDigest, upper(signedDigest), integrityOnly},
        {"public key of 31 bytes", key, std::string(42, 'A') + "==", integrityOnly},
        {"signature bytes changed", "/signature/sig", flip("/signature/sig", 5), integrityOnly},
        {"key text with a line break", key, text(key) + "\n", malformed},
        {"algorithm lower-case", "/signature/alg", "ed25519", malformed},
        {"schema 1.1", "/manifest/schema", "zevr-world/1.1", malformed},
        {"manifest not an object", "/manifest", Json::array(), malformed},
        {"signature block missing", "/signature", gone, malformed},
        {"infinity in the manifest", "/manifest/x", std::numeric_limits<double>::infinity(),
         malformed},
    };
    for (const auto& [name, where, value, expected] : cases) {
        Json capsule = produced;
        const Pointer at(where);
        if (value.is_discarded()) {
            capsule[at.parent_pointer()].erase(at.back());
        } else {
            capsule[at] = value;
        }
        EXPECT_EQ(verifyWorldCapsule(capsule), expected) << name;
    }
    EXPECT_EQ(verifyWorldCapsule(testing::produceCapsule(Json::object())), allTrue) << "no assets";
    EXPECT_EQ(verifyWorldCapsule(Json::array()), malformed);
}

} // namespace
} // namespace zevra

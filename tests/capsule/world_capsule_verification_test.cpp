#include "capsule/world_capsule_verification.h"

#include <algorithm>
#include <functional>
#include <ostream>

#include <gtest/gtest.h>

#include "base/sha256.h"
#include "capsule_producer.h"

namespace zevra {

void PrintTo(const WorldCapsuleVerification& v, std::ostream* out) {
    *out << "{verified " << v.verified << ", signature " << v.signatureValid << ", integrity "
         << v.integrityComplete << "}";
}

namespace {

using Json = nlohmann::json;

constexpr WorldCapsuleVerification allTrue{true, true, true};
constexpr WorldCapsuleVerification malformed{false, false, false};
constexpr WorldCapsuleVerification signatureOnly{false, true, false};
constexpr WorldCapsuleVerification integrityOnly{false, false, true};

std::string upperCased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// Made once: every case tampers with a copy.
const Json& produced() {
    static const Json capsule = testing::produceCapsule(testing::richRecipe());
    return capsule;
}

using Change = std::function<void(Json&)>;
using Pointer = Json::json_pointer;

Change put(const std::string& at, const Json& value) {
    return [=](Json& c) { c[Pointer(at)] = value; };
}

Change erase(const std::string& at, const std::string& key) {
    return [=](Json& c) { c[Pointer(at)].erase(key); };
}

// Edits the text at `at` in place.
Change edit(const std::string& at, const std::function<void(std::string&)>& change) {
    return [=](Json& c) { change(c[Pointer(at)].get_ref<std::string&>()); };
}

// A digest text "sha256:<hex>" with its hex digits upper-cased.
Change upperDigest(const std::string& at) {
    return edit(at, [](std::string& t) { t = "sha256:" + upperCased(t.substr(7)); });
}

Change flip(const std::string& at, std::size_t index) {
    return edit(at, [index](std::string& t) { t[index] = t[index] == 'A' ? 'B' : 'A'; });
}

TEST(WorldCapsuleVerificationTest, EveryTamperingGivesTheRightVerdict) {
    EXPECT_EQ(verifyWorldCapsule(produced()), allTrue);
    struct Case {
        const char* name;
        Change tamper;
        WorldCapsuleVerification expected;
    };
    const Json extra{
        {"path", "extra"}, {"data_base64", "b3RoZXI="}, {"sha256", sha256DigestText("other")}};
    const Case cases[] = {
        {"manifest member never read changed", put("/manifest/limits/ratio", 0.5), integrityOnly},
        {"asset byte changed", flip("/assets/0/data_base64", 0), signatureOnly},
        {"asset missing", [](Json& c) { c["assets"].erase(1); }, signatureOnly},
        {"asset doubled", [](Json& c) { c["assets"].push_back(c["assets"][0]); }, signatureOnly},
        {"asset doubled in place of another", [](Json& c) { c["assets"][1] = c["assets"][0]; },
         signatureOnly},
        {"asset data not Base64", put("/assets/0/data_base64", "c2hlbGw!"), signatureOnly},
        {"asset without own digest", erase("/assets/0", "sha256"), signatureOnly},
        {"asset own digest upper-case", upperDigest("/assets/0/sha256"), signatureOnly},
        {"extra asset not in the manifest", put("/assets/2", extra), signatureOnly},
        {"world changed after signing", put("/world/display", "Other"), signatureOnly},
        {"archive assets dropped", erase("", "archive_assets"), signatureOnly},
        {"signed digest upper-case", upperDigest("/signature/signed_digest"), integrityOnly},
        {"fingerprint upper-case", upperDigest("/signature/public_key_fingerprint"), integrityOnly},
        {"fingerprint missing", erase("/signature", "public_key_fingerprint"), integrityOnly},
        {"public key missing", erase("/signature", "public_key"), integrityOnly},
        {"signature missing", erase("/signature", "sig"), integrityOnly},
        {"public key of 31 bytes", put("/signature/public_key", std::string(40, 'A') + "AA=="),
         integrityOnly},
        {"public key a number", put("/signature/public_key", 1234), integrityOnly},
        {"signature bytes changed", flip("/signature/sig", 5), integrityOnly},
        {"algorithm lower-case", put("/signature/alg", "ed25519"), malformed},
        {"context other", put("/signature/context", "world"), malformed},
        {"schema 1.1", put("/manifest/schema", "zevr-world/1.1"), malformed},
        {"manifest not an object", put("/manifest", Json::array()), malformed},
        {"signature block missing", erase("", "signature"), malformed},
        {"key text with a line break",
         edit("/signature/public_key", [](std::string& t) { t += "\n"; }), malformed},
        {"signature text with a space",
         edit("/signature/sig", [](std::string& t) { t.insert(8, 1, ' '); }), malformed},
        {"manifest holds an infinite number",
         put("/manifest/x", std::numeric_limits<double>::infinity()), malformed},
    };
    for (const Case& c : cases) {
        Json capsule = produced();
        c.tamper(capsule);
        EXPECT_EQ(verifyWorldCapsule(capsule), c.expected) << c.name;
    }
}

TEST(WorldCapsuleProducerTest, ProducerVariantsGiveTheRightVerdict) {
    const Json shell = {{"path", "a"}, {"source_url", "u"}, {"mime", "image/png"}, {"text", "A"}};
    // A capsule carrying "a" as "A", whose manifest lists "a" with the digests of `texts`.
    const auto listing = [&](const std::vector<std::string>& texts, bool upper = false) {
        Json listed = Json::array();
        for (const auto& text : texts) {
            listed.push_back({{"path", "a"}, {"sha256", sha256DigestText(text)}});
        }
        if (upper) {
            listed.push_back({{"path", "a"}, {"sha256", "sha256:" + upperCased(sha256Hex("A"))}});
        }
        return Json{{"assets", {shell}}, {"manifest", {{"assets", listed}}}};
    };
    struct Case {
        const char* name;
        Json recipe;
        WorldCapsuleVerification expected;
    };
    const Case cases[] = {
        {"no assets anywhere", Json::object(), allTrue},
        {"key texts URL-safe and unpadded", {{"key_encoding", "urlsafe"}}, allTrue},
        {"signed with a wrong snapshot digest",
         {{"snapshot_sha256", sha256DigestText("{}")}, {"assets", {shell}}},
         signatureOnly},
        {"manifest lists a path twice, later digest right", listing({"B", "A"}), allTrue},
        {"manifest lists a path twice, later digest wrong", listing({"A", "B"}), signatureOnly},
        {"manifest asset digest upper-case", listing({}, true), signatureOnly},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(verifyWorldCapsule(testing::produceCapsule(c.recipe)), c.expected) << c.name;
    }
    EXPECT_EQ(verifyWorldCapsule(Json::array()), malformed);
    EXPECT_EQ(verifyWorldCapsule(Json("world-capsule")), malformed);
}

} // namespace
} // namespace zevra

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

TEST(WorldCapsuleVerificationTest, EveryTamperingGivesTheRightVerdict) {
    EXPECT_EQ(verifyWorldCapsule(produced()), allTrue);
    struct Case {
        const char* name;
        std::function<void(Json&)> tamper;
        WorldCapsuleVerification expected;
    };
    const std::string otherBase64 = "b3RoZXI="; // "other"
    const Case cases[] = {
        {"manifest member never read changed",
         [](Json& c) { c["manifest"]["limits"]["ratio"] = 0.5; }, integrityOnly},
        {"manifest owner changed", [](Json& c) { c["manifest"]["owner"] = "eve"; }, integrityOnly},
        {"asset byte changed",
         [](Json& c) {
             std::string& data = c["assets"][0]["data_base64"].get_ref<std::string&>();
             data[0] = data[0] == 'A' ? 'B' : 'A';
         },
         signatureOnly},
        {"asset missing", [](Json& c) { c["assets"].erase(1); }, signatureOnly},
        {"asset doubled", [](Json& c) { c["assets"].push_back(c["assets"][0]); }, signatureOnly},
        {"asset doubled in place of another", [](Json& c) { c["assets"][1] = c["assets"][0]; },
         signatureOnly},
        {"asset data not Base64", [](Json& c) { c["assets"][0]["data_base64"] = "c2hlbGw!"; },
         signatureOnly},
        {"asset data URL-safe", [](Json& c) { c["assets"][0]["data_base64"] = "-_-_"; },
         signatureOnly},
        {"asset without own digest", [](Json& c) { c["assets"][0].erase("sha256"); },
         signatureOnly},
        {"asset own digest upper-case",
         [](Json& c) {
             c["assets"][0]["sha256"] =
                 "sha256:" + upperCased(c["assets"][0]["sha256"].get<std::string>().substr(7));
         },
         signatureOnly},
        {"extra asset not in the manifest",
         [&](Json& c) {
             c["assets"].push_back({{"path", "extra"},
                                    {"data_base64", otherBase64},
                                    {"sha256", sha256DigestText("other")}});
         },
         signatureOnly},
        {"world changed after signing", [](Json& c) { c["world"]["display"] = "Other"; },
         signatureOnly},
        {"archive assets dropped", [](Json& c) { c.erase("archive_assets"); }, signatureOnly},
        {"signed digest upper-case",
         [](Json& c) {
             Json& s = c["signature"];
             s["signed_digest"] =
                 "sha256:" + upperCased(s["signed_digest"].get<std::string>().substr(7));
         },
         integrityOnly},
        {"fingerprint upper-case",
         [](Json& c) {
             Json& s = c["signature"];
             s["public_key_fingerprint"] =
                 "sha256:" + upperCased(s["public_key_fingerprint"].get<std::string>().substr(7));
         },
         integrityOnly},
        {"fingerprint missing", [](Json& c) { c["signature"].erase("public_key_fingerprint"); },
         integrityOnly},
        {"public key missing", [](Json& c) { c["signature"].erase("public_key"); }, integrityOnly},
        {"signature missing", [](Json& c) { c["signature"].erase("sig"); }, integrityOnly},
        {"public key of 31 bytes",
         [](Json& c) { c["signature"]["public_key"] = std::string(40, 'A') + "AA=="; },
         integrityOnly},
        {"public key a number", [](Json& c) { c["signature"]["public_key"] = 1234; },
         integrityOnly},
        {"signature bytes changed",
         [](Json& c) {
             std::string& sig = c["signature"]["sig"].get_ref<std::string&>();
             sig[5] = sig[5] == 'A' ? 'B' : 'A';
         },
         integrityOnly},
        {"algorithm lower-case", [](Json& c) { c["signature"]["alg"] = "ed25519"; }, malformed},
        {"context other", [](Json& c) { c["signature"]["context"] = "world"; }, malformed},
        {"schema 1.1", [](Json& c) { c["manifest"]["schema"] = "zevr-world/1.1"; }, malformed},
        {"schema missing", [](Json& c) { c["manifest"].erase("schema"); }, malformed},
        {"manifest not an object", [](Json& c) { c["manifest"] = Json::array(); }, malformed},
        {"signature block missing", [](Json& c) { c.erase("signature"); }, malformed},
        {"key text with a line break",
         [](Json& c) {
             std::string& key = c["signature"]["public_key"].get_ref<std::string&>();
             key.insert(20, 1, '\n');
         },
         malformed},
        {"key text with a trailing line break",
         [](Json& c) { c["signature"]["public_key"].get_ref<std::string&>() += "\n"; }, malformed},
        {"signature text with a space",
         [](Json& c) { c["signature"]["sig"].get_ref<std::string&>().insert(8, 1, ' '); },
         malformed},
        {"manifest holds an infinite number",
         [](Json& c) { c["manifest"]["x"] = std::numeric_limits<double>::infinity(); }, malformed},
    };
    for (const Case& c : cases) {
        Json capsule = produced();
        c.tamper(capsule);
        EXPECT_EQ(verifyWorldCapsule(capsule), c.expected) << c.name;
    }
}

TEST(WorldCapsuleProducerTest, ProducerVariantsGiveTheRightVerdict) {
    const Json shell = {{"path", "a"}, {"source_url", "u"}, {"mime", "image/png"}, {"text", "A"}};
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
        {"manifest lists a path twice, later digest right",
         {{"assets", {shell}},
          {"manifest",
           {{"assets",
             {{{"path", "a"}, {"sha256", sha256DigestText("B")}},
              {{"path", "a"}, {"sha256", sha256DigestText("A")}}}}}}},
         allTrue},
        {"manifest lists a path twice, later digest wrong",
         {{"assets", {shell}},
          {"manifest",
           {{"assets",
             {{{"path", "a"}, {"sha256", sha256DigestText("A")}},
              {{"path", "a"}, {"sha256", sha256DigestText("B")}}}}}}},
         signatureOnly},
        {"manifest asset digest upper-case",
         {{"assets", {shell}},
          {"manifest",
           {{"assets", {{{"path", "a"}, {"sha256", "sha256:" + upperCased(sha256Hex("A"))}}}}}}},
         signatureOnly},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(verifyWorldCapsule(testing::produceCapsule(c.recipe)), c.expected) << c.name;
    }
    EXPECT_EQ(verifyWorldCapsule(Json::array()), malformed);
    EXPECT_EQ(verifyWorldCapsule(Json("world-capsule")), malformed);
}

} // namespace
} // namespace zevra

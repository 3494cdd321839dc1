#include "app/document_service.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "capsule/capsule_producer.h"
#include "platform/headless/headless_application.h"
#include "support/temporary_folder.h"

namespace zevra {
namespace {

bool contains(std::string_view page, std::string_view text) {
    return page.find(text) != std::string_view::npos;
}

class DocumentServiceTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& contents) {
        return folder.write(name, contents).string();
    }
    std::vector<std::string> titles() const {
        std::vector<std::string> result;
        for (const DocumentWindowDescription& window : application.documentWindows()) {
            result.push_back(window.title);
        }
        return result;
    }

    testing::TemporaryFolder folder;
    HeadlessApplication application;
    DocumentService documents{application};
};

TEST_F(DocumentServiceTest, QueuesUntilLaunchFinishesThenShowsInArrivalOrder) {
    const std::string first = write("first.zev", "{}");
    const std::string second = write("second.ZEVR", "[]");
    EXPECT_TRUE(documents.receiveDocuments({second}));
    EXPECT_TRUE(documents.receiveDocuments({first, write("notes.txt", "x")}));
    EXPECT_TRUE(application.documentWindows().empty());
    EXPECT_EQ(documents.pendingDocumentURLs().size(), 2u);

    documents.finishLaunching();
    EXPECT_EQ(titles(), (std::vector<std::string>{"second.ZEVR — ZEVRA", "first.zev — ZEVRA"}));
    EXPECT_EQ(application.documentWindows()[0].width, 820);
    EXPECT_EQ(application.documentWindows()[0].height, 640);
    EXPECT_TRUE(documents.pendingDocumentURLs().empty());

    documents.finishLaunching(); // drained once only
    EXPECT_EQ(application.documentWindows().size(), 2u);
    EXPECT_TRUE(documents.receiveDocuments({first}));
    EXPECT_EQ(application.documentWindows().size(), 3u); // never reused
}

TEST_F(DocumentServiceTest, AcceptsOnlySupportedExtensions) {
    documents.finishLaunching();
    struct Case {
        const char* name;
        bool accepted;
    };
    const Case cases[] = {
        {"a.zev", true}, {"b.ZEV", true},    {"c.Zevr", true}, {"e.zev.txt", false},
        {"zev", false},  {"f.zevra", false}, {".zev", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(documents.receiveDocuments({write(c.name, "{}")}), c.accepted) << c.name;
    }
    EXPECT_FALSE(documents.receiveDocuments({}));
    EXPECT_FALSE(documents.receiveDocuments({""}));
    EXPECT_EQ(application.documentWindows().size(), 3u);
}

TEST_F(DocumentServiceTest, OpensUpToTheSizeLimitAndNothingBeyond) {
    documents.finishLaunching();
    const std::string line = "not json, plain text\n";
    std::string contents;
    contents.reserve(DocumentService::maximumOpenedDocumentBytes + 1);
    while (contents.size() + line.size() <= DocumentService::maximumOpenedDocumentBytes) {
        contents += line;
    }
    contents.append(DocumentService::maximumOpenedDocumentBytes - contents.size(), 'x');
    const std::filesystem::path atLimit = folder.write("limit.zev", contents);
    contents.push_back('x');
    const std::filesystem::path overLimit = folder.write("over.zev", contents);
    EXPECT_TRUE(documents.receiveDocuments({overLimit.string()})); // accepted, but shows nothing
    EXPECT_TRUE(application.documentWindows().empty());
    EXPECT_TRUE(documents.receiveDocuments({atLimit.string()}));
    ASSERT_EQ(application.documentWindows().size(), 1u);
    const std::string page = application.documentWindows().front().html;
    EXPECT_GT(page.size(), DocumentService::maximumOpenedDocumentBytes);
    EXPECT_TRUE(page.ends_with("xxxx</pre></body></html>"));
    // Unreadable files open nothing.
    std::filesystem::create_directory(folder.path() / "folder.zev");
    EXPECT_TRUE(documents.receiveDocuments({(folder.path() / "folder.zev").string()}));
    EXPECT_TRUE(documents.receiveDocuments({(folder.path() / "missing.zev").string()}));
    documents.displayDocument(write("wrong.txt", "{}"));
    EXPECT_EQ(application.documentWindows().size(), 1u);
}

TEST_F(DocumentServiceTest, ChoosesThePageByKind) {
    documents.finishLaunching();
    testing::TemporaryFolder capsules;
    const std::filesystem::path capsule = testing::writeProducedCapsule(
        capsules, "world.zevr", {{"world", {{"display", "Lagoon"}}}, {"indent", 2}});
    const std::string capsuleText = testing::readFile(capsule);
    struct Case {
        const char* name;
        std::string contents;
        std::string expected;
    };
    const Case cases[] = {
        {"capsule.zevr", capsuleText, "<div class=\"verify good\">verified · complete integrity"},
        {"compact.zevr", nlohmann::json::parse(capsuleText).dump(), "<div class=\"verify good\">"},
        {"kind-number.zev", "{\"kind\":1}", "<h1>ZEVRA document</h1>"},
        {"kind-other.zev", "{\"kind\":\"world\"}", "<h1>ZEVRA document</h1>"},
        {"array.zev", "[{\"kind\":\"world-capsule\"}]", "<h1>ZEVRA document</h1>"},
        {"empty.zev", "", "<pre></pre>"},
        {"text.zev", "kind: <world-capsule>", "<pre>kind: &lt;world-capsule&gt;</pre>"},
        {"deep.zev", std::string(100000, '[') + std::string(100000, ']'), "<pre>[[[["},
    };
    for (const Case& c : cases) {
        documents.displayDocument(write(c.name, c.contents));
        const auto windows = application.documentWindows();
        ASSERT_FALSE(windows.empty());
        EXPECT_TRUE(contains(windows.back().html, c.expected)) << c.name;
    }
    // A capsule whose world changed after signing still opens as a capsule, with the true verdict.
    nlohmann::json tampered = nlohmann::json::parse(capsuleText);
    tampered["world"]["display"] = "Forged";
    documents.displayDocument(write("forged.zevr", tampered.dump()));
    const std::string page = application.documentWindows().back().html;
    EXPECT_TRUE(contains(page, "<h1>#Forged</h1>"));
    EXPECT_TRUE(contains(page, "verification failed · inspect before trusting"));
}

} // namespace
} // namespace zevra

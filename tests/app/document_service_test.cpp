#include "app/document_service.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "app/document_legacy_html.h"
#include "capsule/capsule_producer.h"
#include "platform/headless/headless_application.h"
#include "support/temporary_folder.h"

namespace zevra {
namespace {

class DocumentServiceTest : public ::testing::Test {
protected:
    std::string write(const std::string& name, const std::string& contents) {
        return folder.write(name, contents).string();
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
    const auto windows = application.documentWindows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0].title, "second.ZEVR — ZEVRA");
    EXPECT_EQ(windows[1].title, "first.zev — ZEVRA");
    EXPECT_EQ(std::pair(windows[0].width, windows[0].height), std::pair(820, 640));
    EXPECT_TRUE(documents.pendingDocumentURLs().empty());

    documents.finishLaunching(); // drained once only
    EXPECT_EQ(application.documentWindows().size(), 2u);
    EXPECT_TRUE(documents.receiveDocuments({first}));
    EXPECT_EQ(application.documentWindows().size(), 3u); // never reused

    const std::pair<const char*, bool> cases[] = {
        {"a.zev", true}, {"b.ZEV", true},    {"c.Zevr", true}, {"e.zev.txt", false},
        {"zev", false},  {"f.zevra", false}, {".zev", false},
    };
    for (const auto& [name, accepted] : cases) {
        EXPECT_EQ(documents.receiveDocuments({write(name, "{}")}), accepted) << name;
    }
    EXPECT_FALSE(documents.receiveDocuments({}));
    EXPECT_FALSE(documents.receiveDocuments({""}));
    EXPECT_EQ(application.documentWindows().size(), 6u);
}

TEST_F(DocumentServiceTest, OpensUpToTheSizeLimitAndNothingBeyond) {
    documents.finishLaunching();
    const std::string contents(DocumentService::maximumOpenedDocumentBytes, 'x');
    EXPECT_TRUE(documents.receiveDocuments({write("over.zev", contents + 'x')})); // shows nothing
    EXPECT_TRUE(application.documentWindows().empty());
    EXPECT_TRUE(documents.receiveDocuments({write("limit.zev", contents)}));
    ASSERT_EQ(application.documentWindows().size(), 1u);
    const std::string page = application.documentWindows().front().html;
    EXPECT_TRUE(page.ends_with("<pre>" + contents + "</pre></body></html>"));
    std::filesystem::create_directory(folder.path() / "folder.zev");
    EXPECT_TRUE(documents.receiveDocuments({(folder.path() / "folder.zev").string()}));
    EXPECT_TRUE(documents.receiveDocuments({(folder.path() / "missing.zev").string()}));
    documents.displayDocument(write("wrong.txt", "{}"));
    EXPECT_EQ(application.documentWindows().size(), 1u);
}

TEST_F(DocumentServiceTest, ChoosesThePageByKind) {
    documents.finishLaunching();
    nlohmann::json forged = testing::produceCapsule({{"world", {{"display", "Lagoon"}}}});
    const std::string capsule = forged.dump(2);
    // A capsule whose world changed after signing still opens as a capsule, with the true verdict.
    forged["world"]["display"] = "Forged";
    const std::tuple<const char*, std::string, std::string> cases[] = {
        {"capsule.zevr", capsule, "<div class=\"verify good\">verified · complete integrity"},
        {"forged.zevr", forged.dump(), "verification failed · inspect before trusting"},
        {"kind-number.zev", "{\"kind\":1}", "<h1>ZEVRA document</h1>"},
        {"kind-other.zev", "{\"kind\":\"world\"}", "<h1>ZEVRA document</h1>"},
        {"array.zev", "[{\"kind\":\"world-capsule\"}]", "<h1>ZEVRA document</h1>"},
        {"empty.zev", "", "<pre></pre>"},
        {"deep.zev", std::string(100000, '[') + std::string(100000, ']'), "<pre>[[[["},
    };
    for (const auto& [name, contents, expected] : cases) {
        documents.displayDocument(write(name, contents));
        ASSERT_FALSE(application.documentWindows().empty());
        EXPECT_NE(application.documentWindows().back().html.find(expected), std::string::npos)
            << name;
    }
}

TEST(LegacyDocumentHTMLTest, ShowsTheDocumentAsEscapedText) {
    const std::string notUTF8 = "<pre>This ZEVRA document is not UTF-8 text.</pre>";
    // Name, data, file name, the page's end from the file name on.
    const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
        {"keys sorted, pretty-printed", "{\"b\":[1,2.5],\"a\":\"x/y\"}", "n.zev",
         "n.zev</div><pre>{\n  &quot;a&quot;: &quot;x/y&quot;,\n  &quot;b&quot;: [\n    1,\n"
         "    2.5\n  ]\n}</pre>"},
        {"raw UTF-8 text verbatim", "Läguna <b> & 'x'\n", "t.zev",
         "t.zev</div><pre>Läguna &lt;b&gt; &amp; &#39;x&#39;\n</pre>"},
        {"not UTF-8", std::string("{\"a\":\"\xc3\x28\"}"), "b.zev", "b.zev</div>" + notUTF8},
        {"surrogate encoded in UTF-8", "\xed\xa0\x80", "s.zev", "s.zev</div>" + notUTF8},
        {"file name escaped", "1", "<a'b>.zev", "<div>&lt;a&#39;b&gt;.zev</div><pre>1</pre>"},
    };
    for (const auto& [name, data, filename, tail] : cases) {
        const std::string page = legacyDocumentHTML(data, filename);
        EXPECT_TRUE(page.ends_with(tail + "</body></html>")) << name << ": " << page;
        EXPECT_NE(page.find("content=\"default-src 'none';"), std::string::npos) << name;
    }
}

} // namespace
} // namespace zevra

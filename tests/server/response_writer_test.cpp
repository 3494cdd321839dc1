#include "server/response_writer.h"

#include "server/content_type.h"
#include "server/http_framing.h"
#include "server/memory_byte_sink.h"
#include "support/loopback_client.h"
#include "support/temporary_folder.h"

#include <sys/stat.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>

namespace zevra {
namespace {

template <typename Write> testing::HttpAnswer answerOf(Write write) {
    testing::MemoryByteSink sink;
    ResponseWriter writer(sink);
    write(writer);
    return testing::splitAnswer(sink.written).value_or(testing::HttpAnswer{});
}

std::string header(const testing::HttpAnswer& answer, std::string_view name) {
    return parseHeader(answer.head, name).value_or("<none>");
}

TEST(ResponseWriter, EachAnswerCarriesItsHeaderSet) {
    const testing::TemporaryFolder folder;
    const auto file = folder.write("site.CSS", "body{}");
    const auto plain =
        answerOf([](ResponseWriter& w) { w.sendResponse("418 Teapot", "t/x", "tea"); });
    const auto json = answerOf([](ResponseWriter& w) { w.sendJSON({{"n", 3}}, "201 Created"); });
    const auto broken = answerOf([](ResponseWriter& w) { w.sendJSON({{"text", "\xff\xfe"}}); });
    const auto staticFile = answerOf([&](ResponseWriter& w) { w.sendStaticFile(file, "/s"); });
    EXPECT_TRUE(plain.head.starts_with("HTTP/1.1 418 Teapot\r\n"));
    EXPECT_EQ(plain.body, "tea");
    EXPECT_EQ(json.status, 201);
    EXPECT_EQ(json.body, R"({"n":3})");
    EXPECT_EQ(header(json, "Content-Type"), "application/json");
    EXPECT_EQ(broken.status, 500);
    EXPECT_EQ(broken.body, R"({"ok":false,"detail":"json encode error"})");
    EXPECT_EQ(staticFile.status, 200);
    EXPECT_EQ(staticFile.body, "body{}");
    EXPECT_EQ(header(staticFile, "Content-Type"), "text/css");
    // Cache-Control, Pragma, X-Content-Type-Options, Referrer-Policy, Connection.
    const std::string sent = "no-store <none> nosniff no-referrer close";
    const std::string fileHeaders = "no-store, must-revalidate no-cache nosniff <none> close";
    for (const auto& [answer, expected] :
         {std::pair(plain, sent), std::pair(json, sent), std::pair(broken, sent),
          std::pair(staticFile, fileHeaders)}) {
        EXPECT_EQ(header(answer, "Cache-Control") + " " + header(answer, "Pragma") + " " +
                      header(answer, "X-Content-Type-Options") + " " +
                      header(answer, "Referrer-Policy") + " " + header(answer, "Connection"),
                  expected);
        EXPECT_EQ(header(answer, "Content-Length"), std::to_string(answer.body.size()));
    }
}

TEST(ContentTypeForFile, LooksUpTheLowerCasedExtension) {
    const std::pair<std::string, std::string> cases[] = {
        {"index.html", "text/html; charset=utf-8"},     {"site.CSS", "text/css"},
        {"archive.tar.gz", "application/octet-stream"}, {"README", "application/octet-stream"},
        {"page.htm", "application/octet-stream"},
    };
    for (const auto& [name, type] : cases) {
        EXPECT_EQ(contentTypeForFile(std::filesystem::path("/r") / name), type) << name;
    }
}

TEST(ResponseWriter, AnswersNotFoundForWhatIsNoReadableRegularFile) {
    const testing::TemporaryFolder folder;
    folder.write("dir/inside.txt", "x");
    const auto fifo = folder.path() / "pipe.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    // Absent: the path was refused before any file was looked at.
    const std::optional<std::filesystem::path> cases[] = {
        std::nullopt, folder.path() / "missing.html", folder.path() / "dir", fifo};
    for (const auto& file : cases) {
        const auto answer = answerOf([&](ResponseWriter& w) { w.sendStaticFile(file, "/asked"); });
        EXPECT_EQ(answer.status, 404) << (file ? file->string() : "absent");
        EXPECT_EQ(answer.body, "Not Found: /asked");
        EXPECT_EQ(header(answer, "Content-Type"), "text/plain; charset=utf-8");
    }
}

} // namespace
} // namespace zevra

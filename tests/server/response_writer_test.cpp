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
    const auto json = answerOf([](ResponseWriter& w) {
        w.sendJSON({{"ok", true}, {"n", 3}}, "201 Created");
    });
    const auto broken = answerOf([](ResponseWriter& w) { w.sendJSON({{"text", "\xff\xfe"}}); });
    const auto staticFile = answerOf([&](ResponseWriter& w) { w.sendStaticFile(file, "/s"); });

    EXPECT_TRUE(plain.head.starts_with("HTTP/1.1 418 Teapot\r\n"));
    EXPECT_EQ(plain.body, "tea");
    EXPECT_EQ(json.status, 201);
    EXPECT_EQ(json.body, R"({"n":3,"ok":true})");
    EXPECT_EQ(header(json, "Content-Type"), "application/json");
    EXPECT_EQ(broken.status, 500);
    EXPECT_EQ(broken.body, R"({"ok":false,"detail":"json encode error"})");
    for (const auto& answer : {plain, json, broken}) {
        EXPECT_EQ(header(answer, "Cache-Control"), "no-store");
        EXPECT_EQ(header(answer, "X-Content-Type-Options"), "nosniff");
        EXPECT_EQ(header(answer, "Referrer-Policy"), "no-referrer");
        EXPECT_EQ(header(answer, "Connection"), "close");
        EXPECT_EQ(header(answer, "Content-Length"), std::to_string(answer.body.size()));
        EXPECT_EQ(header(answer, "Pragma"), "<none>");
    }

    EXPECT_EQ(staticFile.status, 200);
    EXPECT_EQ(staticFile.body, "body{}");
    EXPECT_EQ(header(staticFile, "Content-Type"), "text/css");
    EXPECT_EQ(header(staticFile, "Cache-Control"), "no-store, must-revalidate");
    EXPECT_EQ(header(staticFile, "Pragma"), "no-cache");
    EXPECT_EQ(header(staticFile, "X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(header(staticFile, "Content-Length"), "6");
    EXPECT_EQ(header(staticFile, "Connection"), "close");
    EXPECT_EQ(header(staticFile, "Referrer-Policy"), "<none>");
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

#include "server/http_response.h"

#include "base/unique_fd.h"
#include "server/content_type.h"
#include "server/socket_pair.h"
#include "support/loopback_client.h"
#include "support/temporary_folder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <thread>

namespace zevra {
namespace {

using testing::headerSetA;
using testing::SocketPair;
using testing::TemporaryFolder;

std::string headerSetB(std::string_view contentType, std::size_t length) {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + std::string(contentType) +
           "\r\nCache-Control: no-store, must-revalidate\r\nPragma: no-cache\r\n"
           "X-Content-Type-Options: nosniff\r\nContent-Length: " +
           std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

TEST(SendResponse, WritesHeaderSetAThenTheBody) {
    for (const std::size_t size : {std::size_t{0}, std::size_t{5}, std::size_t{200000}}) {
        SocketPair pair;
        const std::string body(size, 'x');
        std::thread writer([&] {
            sendResponse(pair.sink, "418 I'm a teapot", "text/x-tea", body);
            pair.server.reset();
        });
        const auto all = pair.readAll();
        writer.join();
        EXPECT_EQ(all, headerSetA("418 I'm a teapot", "text/x-tea", size) + body) << size;
    }
}

TEST(SendJSON, SerialisesCompactlyOrFallsBackTo500) {
    SocketPair ok;
    sendJSON(ok.sink, {{"ok", true}, {"n", 3}}, "201 Created");
    const std::string okBody = R"({"n":3,"ok":true})";
    EXPECT_EQ(ok.written(), headerSetA("201 Created", "application/json", okBody.size()) + okBody);

    SocketPair broken;
    sendJSON(broken.sink, {{"ok", true}, {"text", "\xff\xfe"}});
    const std::string fallback = R"({"ok":false,"detail":"json encode error"})";
    EXPECT_EQ(broken.written(),
              headerSetA("500 Internal Server Error", "application/json", fallback.size()) +
                  fallback);
}

TEST(ContentTypeForFile, LooksUpTheLowerCasedExtension) {
    struct Case {
        std::string name;
        std::string type;
    };
    const Case cases[] = {
        {"index.html", "text/html; charset=utf-8"},
        {"app.js", "application/javascript"},
        {"site.CSS", "text/css"},
        {"a.png", "image/png"},
        {"a.jpg", "image/jpeg"},
        {"a.JPEG", "image/jpeg"},
        {"a.gif", "image/gif"},
        {"a.svg", "image/svg+xml"},
        {"favicon.ico", "image/x-icon"},
        {"data.json", "application/json"},
        {"a.webp", "image/webp"},
        {"a.mp4", "video/mp4"},
        {"a.mp3", "audio/mpeg"},
        {"a.webm", "video/webm"},
        {"f.woff2", "font/woff2"},
        {"f.woff", "font/woff"},
        {"f.ttf", "font/ttf"},
        {"archive.tar.gz", "application/octet-stream"},
        {"README", "application/octet-stream"},
        {"page.htm", "application/octet-stream"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(contentTypeForFile(std::filesystem::path("/r") / c.name), c.type) << c.name;
    }
}

TEST(SendStaticFile, SendsTheFileWithHeaderSetB) {
    const TemporaryFolder folder;
    const std::string contents(300000, 'z');
    const auto file = folder.write("big.JS", contents);
    SocketPair pair;
    std::thread writer([&] {
        sendStaticFile(pair.sink, file, "/big.JS");
        pair.server.reset();
    });
    const auto all = pair.readAll();
    writer.join();
    EXPECT_EQ(all, headerSetB("application/javascript", contents.size()) + contents);
}

TEST(SendStaticFile, SendsFilesOfEverySizeWhole) {
    const TemporaryFolder folder;
    for (const std::size_t size : {0, 1, 4095, 4096, 4097, 65536, 65537, 1 << 20}) {
        std::string contents(size, '\0');
        for (std::size_t i = 0; i < size; ++i) {
            contents[i] = static_cast<char>('a' + i % 26);
        }
        const auto file = folder.write("file-" + std::to_string(size) + ".json", contents);
        SocketPair pair;
        std::thread writer([&] {
            sendStaticFile(pair.sink, file, "/f");
            pair.server.reset();
        });
        const auto all = pair.readAll();
        writer.join();
        EXPECT_EQ(all, headerSetB("application/json", size) + contents) << size;
    }
}

TEST(SendStaticFile, SurvivesAPeerThatLeavesMidFile) {
    const TemporaryFolder folder;
    const auto file = folder.write("big.bin", std::string(8 << 20, 'x'));
    SocketPair pair;
    bool sigpipeLeftPending = true;
    std::thread writer([&] {
        sendStaticFile(pair.sink, file, "/big.bin");
        sigset_t pending;
        sigpending(&pending);
        sigpipeLeftPending = sigismember(&pending, SIGPIPE) == 1;
    });
    char first[64];
    ASSERT_GT(::recv(pair.peer.get(), first, sizeof first, 0), 0);
    pair.peer.reset();
    // Had the kernel's copy raised SIGPIPE, the test process would have ended here.
    writer.join();
    EXPECT_FALSE(sigpipeLeftPending);
}

TEST(SendStaticFile, AnswersNotFoundForWhatCannotBeRead) {
    const TemporaryFolder folder;
    folder.write("dir/inside.txt", "x");
    const auto unreadable = folder.write("locked.txt", "x");
    std::filesystem::permissions(unreadable, std::filesystem::perms::none);
    const auto fifo = folder.path() / "pipe.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const bool runningAsRoot = ::geteuid() == 0;

    const std::optional<std::filesystem::path> cases[] = {
        std::nullopt,
        std::filesystem::path(),
        folder.path() / "missing.html",
        folder.path() / "dir",
        fifo,
    };
    for (const auto& file : cases) {
        SocketPair pair;
        sendStaticFile(pair.sink, file, "/asked/for");
        const std::string body = "Not Found: /asked/for";
        EXPECT_EQ(pair.written(),
                  headerSetA("404 Not Found", "text/plain; charset=utf-8", body.size()) + body)
            << (file ? file->string() : "absent");
    }
    if (!runningAsRoot) {
        SocketPair pair;
        sendStaticFile(pair.sink, unreadable, "/locked.txt");
        EXPECT_TRUE(pair.written().starts_with("HTTP/1.1 404 Not Found\r\n"));
    }
}

TEST(SendStaticFile, AnswersNotFoundForACharacterDevice) {
    // A twin of /dev/null: read as a file it would answer 200 with nothing (and a twin of
    // /dev/zero would be read without end).
    const TemporaryFolder folder;
    const auto device = folder.path() / "device.html";
    if (::mknod(device.c_str(), S_IFCHR | 0600, ::makedev(1, 3)) != 0 ||
        !UniqueFd(::open(device.c_str(), O_RDONLY | O_CLOEXEC)).valid()) {
        GTEST_SKIP() << "cannot make a usable device node here";
    }
    SocketPair pair;
    sendStaticFile(pair.sink, device, "/device.html");
    const std::string body = "Not Found: /device.html";
    EXPECT_EQ(pair.written(),
              headerSetA("404 Not Found", "text/plain; charset=utf-8", body.size()) + body);
}

} // namespace
} // namespace zevra

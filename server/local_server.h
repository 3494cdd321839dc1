#pragma once

#include "platform/clock.h"
#include "server/route_services.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zevra {

class BrowserSession;
class DownloadsIndex;
class HttpClient;
class SearchCatalogue;

struct LocalServerOptions {
    std::filesystem::path resourcesPath; // root of the shell's files
    std::uint16_t port = 18484;          // the bind port; tests pick their own (0: any free one)
    const Clock* clock = &systemClock();
    // The session and sign-in state, the search catalogue and the downloads listing, made by
    // the caller; never null.
    std::shared_ptr<BrowserSession> session;
    std::shared_ptr<SearchCatalogue> search;
    std::shared_ptr<DownloadsIndex> downloads;
    std::filesystem::path downloadsFolder; // served under "/downloads/"
    // Shows a folder in the file manager without waiting; never empty.
    std::function<void(const std::filesystem::path&)> revealFolder;
    // A value drawn once per launch: "/health" names it, so the health check can tell its own
    // server from anything else answering on the port.
    std::string instance;
    // The proxy's upstream client; never null.
    std::shared_ptr<HttpClient> firstParty;
    // The key the app's own web views carry; see RouteServices.
    std::string launchKey;
};

// What the routes of a server with these options work with.
[[nodiscard]] RouteServices routeServicesFor(const LocalServerOptions& options);

// The loopback HTTP server on 127.0.0.1: one request and one answer per connection, at most
// twelve connections served at once.
class LocalServer {
public:
    explicit LocalServer(LocalServerOptions options);
    // Stops listening and waits for the connections being served.
    ~LocalServer();
    LocalServer(const LocalServer&) = delete;
    LocalServer& operator=(const LocalServer&) = delete;

    // Begins listening and accepting; true when listening, also when it already was.
    [[nodiscard]] bool start();
    // Retires the listening socket and waits for the accept loop to end. Connections already
    // handed to workers finish normally. `start` may be called again.
    void stop();
    // Reads one request from an accepted connection, answers it and closes the descriptor.
    void handleClient(int fd);

    // The port the listening socket is bound to; absent while not listening.
    [[nodiscard]] std::optional<std::uint16_t> listeningPort() const;

    struct Shared;

private:
    // Runs once each time listening begins; services that start with the server hook in here.
    void didStartListening();
    // `answerOut` runs just before the answer's last byte is written.
    void serveClient(int fd, std::function<void()> answerOut);

    LocalServerOptions options_;
    RouteServices routeServices_;
    // The listening state, the accept loop, the client slots and the running workers.
    std::unique_ptr<Shared> shared_;
};

} // namespace zevra

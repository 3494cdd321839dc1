#include "server/local_server.h"

#include "auth/browser_session.h"
#include "base/unique_fd.h"
#include "server/byte_stream.h"
#include "server/client_socket.h"
#include "server/http_framing.h"
#include "server/request_reader.h"
#include "server/request_router.h"
#include "server/response_writer.h"
#include "server/socket_byte_sink.h"
#include "server/socket_byte_stream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <semaphore>
#include <set>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace zevra {

inline constexpr int listenBacklog = 32;
inline constexpr std::ptrdiff_t clientSlotCount = 12;
// Pause after an accept failure that is not about the one connection (out of descriptors,
// out of memory), so the loop waits for resources instead of spinning on the error.
inline constexpr auto acceptRetryDelay = std::chrono::milliseconds(20);

using ClientSlots = std::counting_semaphore<clientSlotCount>;

// A taken client slot, given back once: as soon as the answer is out, or when the connection
// ends without one.
class SlotLease {
public:
    explicit SlotLease(ClientSlots& slots) : slots_(slots) {}
    ~SlotLease() { release(); }
    SlotLease(const SlotLease&) = delete;
    SlotLease& operator=(const SlotLease&) = delete;

    void release() {
        if (std::exchange(held_, false)) {
            slots_.release();
        }
    }

private:
    ClientSlots& slots_;
    bool held_ = true;
};

struct LocalServer::Shared {
    explicit Shared(LocalServer& owner) : server(owner) {}

    LocalServer& server;

    // Guards serverSocket, listenGeneration and acceptLoop, nothing else; never held during I/O.
    std::mutex stateLock;
    int serverSocket = -1;
    // Tells a restarted socket from an old one that happens to reuse its descriptor number.
    std::uint64_t listenGeneration = 0;
    // Accepts on serverSocket until it is retired; joined by whoever retires it.
    std::thread acceptLoop;

    ClientSlots clientSlots{clientSlotCount};

    // Workers running `server` code, and their sockets, so the server's end can cut them short.
    std::mutex workerLock;
    std::condition_variable workersFinished;
    std::set<int> workerSockets;
    bool closing = false;

    [[nodiscard]] bool stillListening(int fd, std::uint64_t generation) {
        const std::lock_guard lock(stateLock);
        return serverSocket == fd && listenGeneration == generation;
    }

    void endWorker(int fd) {
        const std::lock_guard lock(workerLock);
        workerSockets.erase(fd);
        workersFinished.notify_all();
    }

    // One connection on a worker thread. It leaves the set before its descriptor is closed,
    // so the number is never shut down after being reused for something else. The slot is
    // free before the answer's last byte goes out, so a peer that reconnects as soon as it has
    // read the answer always finds it free, whatever the input drain and the close still take.
    void runWorker(UniqueFd client) {
        SlotLease slot(clientSlots);
        server.serveClient(client.get(), [&slot] { slot.release(); });
        slot.release();
        endWorker(client.get());
        client.reset();
    }

    // Hands an accepted connection (holding a slot) to a pool worker.
    void enqueue(UniqueFd client) {
        const std::lock_guard lock(workerLock);
        if (closing) {
            clientSlots.release();
            return;
        }
        startPoolLocked();
        workerSockets.insert(client.get());
        pending.push_back(client.release());
        workReady.notify_one();
    }

    // Lets no new worker in, wakes the running ones from blocked socket calls, waits for them.
    void finishWorkers() {
        std::vector<std::thread> workers;
        {
            std::unique_lock lock(workerLock);
            closing = true;
            for (const int fd : workerSockets) {
                static_cast<void>(::shutdown(fd, SHUT_RDWR));
            }
            workReady.notify_all();
            workersFinished.wait(lock, [this] { return workerSockets.empty(); });
            workers.swap(pool);
        }
        for (auto& worker : workers) {
            worker.join();
        }
    }

private:
    // One thread per client slot, made once: a connection costs no thread creation.
    std::vector<std::thread> pool;
    std::deque<int> pending;
    std::condition_variable workReady;

    void startPoolLocked() {
        if (!pool.empty()) {
            return;
        }
        for (std::ptrdiff_t i = 0; i < clientSlotCount; ++i) {
            pool.emplace_back([this] { workLoop(); });
        }
    }

    void workLoop() {
        for (;;) {
            int fd = -1;
            {
                std::unique_lock lock(workerLock);
                workReady.wait(lock, [this] { return closing || !pending.empty(); });
                if (pending.empty()) {
                    return;
                }
                fd = pending.front();
                pending.pop_front();
            }
            runWorker(UniqueFd(fd));
        }
    }
};

namespace {

// Errors about one connection that went away before it was accepted: try the next one at once.
bool acceptErrorIsTransient(int error) {
    return error == EINTR || error == ECONNABORTED || error == EPROTO || error == EAGAIN;
}

// Never waits on the peer: the accept loop must not be held up by one that does not read.
void refuseBusy(UniqueFd client) {
    constexpr std::string_view body = "ZEVRA is busy; retry shortly.";
    const auto answer =
        headerSetA("503 Service Unavailable", "text/plain; charset=utf-8", body.size()) +
        std::string(body);
    static_cast<void>(
        ::send(client.get(), answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT));
    discardArrivedInput(client.get());
}

// Reads one request and answers it.
void answerRequest(const RouteServices& services, int fd, SocketByteStream& stream,
                   SocketByteSink& sink) {
    ResponseWriter writer(sink);
    const auto result = readRequest(stream);
    if (const auto* failure = std::get_if<RequestReadFailure>(&result)) {
        switch (*failure) {
        case RequestReadFailure::closeSilently:
            return;
        case RequestReadFailure::headersTooLarge:
            writer.sendResponse("431 Request Header Fields Too Large", "text/plain; charset=utf-8",
                                "Request headers are too large.");
            drainBeforeClose(fd);
            return;
        case RequestReadFailure::bodyTooLarge:
            writer.sendResponse("413 Payload Too Large", "text/plain; charset=utf-8",
                                "Request body is too large.");
            drainBeforeClose(fd);
            return;
        }
        return;
    }
    const auto& request = std::get<HttpRequest>(result);
    if (!hostIsLocalShell(request.headers)) {
        writer.sendResponse("421 Misdirected Request", "text/plain; charset=utf-8", "Invalid Host");
        return;
    }
    dispatchRequest(services, request, writer);
}

void serveOnWorker(LocalServer::Shared& shared, UniqueFd client) {
    try {
        shared.enqueue(std::move(client));
    } catch (const std::system_error&) {
        // No worker threads to be had: the connection is dropped.
        shared.clientSlots.release();
    }
}

// Runs until the socket is retired: its shutdown wakes a blocked accept.
void runAcceptLoop(LocalServer::Shared& shared, int listenFd, std::uint64_t generation) {
    while (shared.stillListening(listenFd, generation)) {
        UniqueFd client(::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC));
        if (!client.valid()) {
            const int error = errno;
            if (!acceptErrorIsTransient(error) && shared.stillListening(listenFd, generation)) {
                std::this_thread::sleep_for(acceptRetryDelay);
            }
            continue;
        }
        configureClientSocket(client.get());
        if (!shared.clientSlots.try_acquire()) {
            refuseBusy(std::move(client));
            continue;
        }
        serveOnWorker(shared, std::move(client));
    }
}

sockaddr_in loopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

RouteServices routeServicesFor(const LocalServerOptions& options) {
    return RouteServices{options.resourcesPath, *options.session,        *options.search,
                         *options.downloads,    options.downloadsFolder, options.revealFolder,
                         options.instance,      *options.firstParty,     options.launchKey};
}

LocalServer::LocalServer(LocalServerOptions options)
    : options_(std::move(options)), routeServices_(routeServicesFor(options_)),
      shared_(std::make_unique<Shared>(*this)) {}

LocalServer::~LocalServer() {
    stop();
    shared_->finishWorkers();
}

bool LocalServer::start() {
    int fd = -1;
    std::uint64_t generation = 0;
    {
        const std::lock_guard lock(shared_->stateLock);
        if (shared_->serverSocket >= 0) {
            return true;
        }
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return false;
        }
        shared_->serverSocket = fd;
        generation = ++shared_->listenGeneration;
    }

    const int one = 1;
    static_cast<void>(::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one));
    const auto address = loopbackAddress(options_.port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, listenBacklog) != 0) {
        // Someone may have stopped us meanwhile; then the socket is theirs to close.
        stop();
        return false;
    }

    std::thread loop;
    try {
        loop = std::thread(runAcceptLoop, std::ref(*shared_), fd, generation);
    } catch (const std::system_error&) {
        stop();
        return false;
    }
    {
        const std::lock_guard lock(shared_->stateLock);
        if (shared_->serverSocket == fd && shared_->listenGeneration == generation) {
            shared_->acceptLoop = std::move(loop);
        }
    }
    if (loop.joinable()) {
        // Stopped meanwhile: the loop has been told to end and nobody else will join it.
        loop.join();
        return false;
    }
    didStartListening();
    return true;
}

void LocalServer::stop() {
    int fd = -1;
    std::thread loop;
    {
        const std::lock_guard lock(shared_->stateLock);
        fd = std::exchange(shared_->serverSocket, -1);
        loop = std::move(shared_->acceptLoop);
    }
    if (fd < 0) {
        return;
    }
    // The descriptor stays open until the loop has ended, so it never accepts on a number
    // that was meanwhile reused.
    static_cast<void>(::shutdown(fd, SHUT_RDWR));
    if (loop.joinable()) {
        loop.join();
    }
    ::close(fd);
}

std::optional<std::uint16_t> LocalServer::listeningPort() const {
    const std::lock_guard lock(shared_->stateLock);
    if (shared_->serverSocket < 0) {
        return std::nullopt;
    }
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(shared_->serverSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return std::nullopt;
    }
    return ntohs(address.sin_port);
}

void LocalServer::didStartListening() {
    options_.session->loadStoredTokenInBackground();
}

void LocalServer::handleClient(int fd) {
    const UniqueFd client(fd);
    configureClientSocket(fd);
    serveClient(fd, {});
}

void LocalServer::serveClient(int fd, std::function<void()> answerOut) {
    SocketByteStream stream(fd, *options_.clock);
    SocketByteSink sink(fd, *options_.clock, std::move(answerOut));
    answerRequest(routeServices_, fd, stream, sink);
}

} // namespace zevra

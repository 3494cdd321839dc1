// Holds one LocalServer on a resources folder and a port until SIGINT or SIGTERM, for the
// benchmark scripts. Usage: zevra_bench_serve_folder FOLDER PORT [CA_FILE CONNECT_TO]
// With a CA file and a libcurl connect-to entry ("host:443:127.0.0.1:PORT") the proxy reaches a
// local upstream; ZEVRA_BENCH_LAUNCH_KEY opens the guarded routes to the benchmark's client.
#include "app/production_services.h"
#include "server/local_server.h"

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

int main(int argc, char** argv) {
    if (argc != 3 && argc != 5) {
        std::fprintf(stderr, "usage: %s FOLDER PORT [CA_FILE CONNECT_TO]\n", argv[0]);
        return 2;
    }
    const long port = std::strtol(argv[2], nullptr, 10);
    if (port <= 0 || port > 65535) {
        std::fprintf(stderr, "bad port: %s\n", argv[2]);
        return 2;
    }
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    // Blocked before any thread starts, so only sigwait below receives them.
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    // The services the app would hand in: the benchmark measures the server as it ships.
    zevra::BackgroundExecutor executor;
    zevra::LocalServerOptions options = zevra::productionLocalServerOptions(
        argv[1], executor, zevra::systemClock(), [](std::function<void()>) {});
    options.port = static_cast<std::uint16_t>(port);
    if (argc == 5) {
        options.firstParty = zevra::makeHttpClient(
            {.caFile = argv[3], .connectTo = {argv[4]}, .shareSession = true});
    }
    if (const char* key = std::getenv("ZEVRA_BENCH_LAUNCH_KEY")) {
        options.launchKey = key;
    }
    zevra::LocalServer server(std::move(options));
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%ld\n", port);
        return 1;
    }
    std::printf("listening on 127.0.0.1:%ld\n", port);
    std::fflush(stdout);
    int received = 0;
    sigwait(&stopSignals, &received);
    return 0;
}

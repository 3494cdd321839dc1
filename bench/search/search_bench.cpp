// Search and downloads listing timings. Usage: zevra_search_bench EMPTY_FOLDER
// Makes a catalogue of 10,000 entries (5,000 tools, 5,000 workspace documents) and 10,000
// downloads under the folder, then prints medians and 99th percentiles.
#include "app/production_services.h"
#include "search/downloads_listing.h"
#include "search/search_catalogue.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::vector<std::string> words{"layers", "atlas",  "palette", "world",   "agent", "notes",
                                     "render", "import", "export",  "capsule", "sync",  "plan"};

void writeFile(const fs::path& path, const std::string& contents) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << contents;
}

double percentile(std::vector<double> values, double fraction) {
    std::ranges::sort(values);
    return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

template <typename Work> double microseconds(Work&& work) {
    const auto start = Clock::now();
    work();
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// One request on a fresh connection, read to the end; false when nothing came back.
bool roundTrip(std::uint16_t port, const std::string& target) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return false;
    }
    const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n\r\n";
    bool answered = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) > 0;
    char buffer[16384];
    ssize_t total = 0;
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        total += n;
    }
    ::close(fd);
    return answered && total > 0;
}

std::vector<std::string> mixedQueries() {
    std::mt19937 random(7);
    std::vector<std::string> queries;
    for (int i = 0; i < 1000; ++i) {
        const auto& first = words[random() % words.size()];
        const auto& second = words[random() % words.size()];
        switch (i % 5) {
        case 0:
            queries.push_back(first);
            break;
        case 1:
            queries.push_back(first + " " + second);
            break;
        case 2:
            queries.push_back(first.substr(0, 3));
            break;
        case 3:
            queries.push_back(std::to_string(random() % 5000));
            break;
        default:
            queries.push_back(i % 10 == 4 ? "" : "zzz nothing");
            break;
        }
    }
    return queries;
}

std::string encoded(const std::string& query) {
    std::string text;
    for (const char c : query) {
        text += c == ' ' ? std::string("%20") : std::string(1, c);
    }
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s EMPTY_FOLDER\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    setenv("HOME", root.c_str(), 1);
    setenv("ZEVRA_WORKSPACE_ROOT", (root / "work").c_str(), 1);
    for (int i = 0; i < 5000; ++i) {
        const std::string name = words[i % words.size()] + "-" + words[(i / 12) % words.size()] +
                                 "-" + std::to_string(i);
        writeFile(root / "Resources/tools" / (name + ".html"), "<p>tool</p>");
        writeFile(root / "work/_deploy/kelmor" / (name + ".md"), "# " + name + "\n\nNotes about " +
                                                                     words[i % 7] + " and " +
                                                                     words[i % 11] + ".\n");
    }
    for (int i = 0; i < 10000; ++i) {
        writeFile(root / "Desktop/ZEVRA Downloads" / ("file " + std::to_string(i) + ".bin"), "x");
    }

    zevra::BackgroundExecutor executor;
    const auto resources = root / "Resources";
    std::vector<double> builds;
    for (int i = 0; i < 3; ++i) {
        builds.push_back(microseconds(
            [&] { (void)zevra::indexedSearchEntries(zevra::fullSearchCatalogue(resources)); }));
    }
    zevra::SearchCatalogue catalogue(resources, zevra::systemClock(), executor);
    while (catalogue.searchEntries()->entries.size() < 10000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const auto queries = mixedQueries();
    std::vector<double> inProcess;
    for (const auto& query : queries) {
        inProcess.push_back(microseconds([&] { (void)catalogue.performSearch(query); }));
    }

    auto options = zevra::productionLocalServerOptions(resources, executor, zevra::systemClock(),
                                                       [](std::function<void()>) {});
    options.port = 0;
    zevra::LocalServer server(std::move(options));
    if (!server.start()) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    const auto port = *server.listeningPort();
    while (!roundTrip(port, "/api/search?q=x")) {
    }
    // Lets the server's own catalogue finish its first rebuild.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::vector<double> searchTrips;
    std::vector<double> healthTrips;
    for (const auto& query : queries) {
        searchTrips.push_back(
            microseconds([&] { roundTrip(port, "/api/search?q=" + encoded(query)); }));
        healthTrips.push_back(microseconds([&] { roundTrip(port, "/health"); }));
    }

    const auto downloads = root / "Desktop/ZEVRA Downloads";
    std::vector<double> scans;
    for (int i = 0; i < 15; ++i) {
        scans.push_back(microseconds(
            [&] { (void)zevra::downloadsJSON(zevra::scanDownloadsDirectory(downloads)); }));
    }
    // Requests while rescans run: each call finds the previous listing stale (no age limit
    // is reached with a clock that jumps a minute per reading).
    struct JumpingClock final : zevra::Clock {
        mutable std::atomic<long> minutes{0};
        zevra::TimePoint now() const override {
            return zevra::TimePoint{} + std::chrono::minutes(minutes++);
        }
    } jumping;
    zevra::DownloadsIndex index(downloads, jumping, executor);
    std::vector<double> listingCalls;
    for (int i = 0; i < 2000; ++i) {
        listingCalls.push_back(microseconds([&] { (void)index.downloadsListing(); }));
    }

    const double searchMedian = percentile(inProcess, 0.5);
    std::printf("catalogue: 10,022 entries, rebuild median %.1f ms\n",
                percentile(builds, 0.5) / 1000);
    std::printf(
        "performSearch, 1,000 mixed queries: median %.3f ms, p99 %.3f ms (goal < 0.5 / < 2)\n",
        searchMedian / 1000, percentile(inProcess, 0.99) / 1000);
    const double searchTrip = percentile(searchTrips, 0.5);
    const double healthTrip = percentile(healthTrips, 0.5);
    std::printf("round trip median: /api/search %.3f ms, /health %.3f ms; "
                "budget (health + in-process) x 1.1 = %.3f ms\n",
                searchTrip / 1000, healthTrip / 1000, (healthTrip + searchMedian) * 1.1 / 1000);
    std::printf("downloads: 10,000 files, rescan median %.1f ms (goal < 20); "
                "downloadsListing during rescans: median %.3f ms, max %.3f ms\n",
                percentile(scans, 0.5) / 1000, percentile(listingCalls, 0.5) / 1000,
                percentile(listingCalls, 1.0) / 1000);
    server.stop();
    return 0;
}

// Times what opening one capsule costs the app: read, parse, verify and render.
// Usage: zevra_capsule_bench CAPSULE. Prints seconds, page size, verdict and peak memory.

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/document_service.h"
#include "platform/headless/headless_application.h"

namespace {

// Keeps only what the bench reports, so the page is not copied.
class MeasuringApplication final : public zevra::HeadlessApplication {
public:
    void showDocumentWindow(const zevra::DocumentWindowDescription& window) override {
        ++windows;
        pageBytes = window.html.size();
        verified = window.html.find("verified · complete integrity") != std::string::npos;
    }

    int windows = 0;
    std::size_t pageBytes = 0;
    bool verified = false;
};

long peakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CAPSULE\n", argv[0]);
        return 2;
    }
    MeasuringApplication application;
    zevra::DocumentService documents(application);
    documents.finishLaunching();
    const auto start = std::chrono::steady_clock::now();
    documents.displayDocument(argv[1]);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (application.windows != 1 || !application.verified) {
        std::fprintf(stderr, "capsule did not open as verified\n");
        return 1;
    }
    std::printf("seconds %.3f\npage_bytes %zu\npeak_rss_kib %ld\n", elapsed.count(),
                application.pageBytes, peakResidentKiB());
    return 0;
}

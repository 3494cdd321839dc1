#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace zevra {

inline constexpr std::chrono::seconds healthCheckInterval{5};

// What the health check works with. Every call comes on the main thread.
struct LocalShellHealthServices {
    std::function<bool()> serverIsListening;
    // True when the server listens afterwards.
    std::function<bool()> startServer;
    std::function<void()> stopServer;
    // Probes the server in the background and hands the verdict (true: healthy) to `done` on
    // the main thread.
    std::function<void(std::function<void(bool)> done)> probe;
    // Loads the page the main view shows after its server came back.
    std::function<void()> reloadShellPage;
};

// Keeps the loopback server answering. Each check restarts a server that is not listening at
// once; otherwise it probes it, and two failed probes in a row restart it. Main thread only;
// made with std::make_shared, since a probe still out holds it weakly.
class LocalShellHealth : public std::enable_shared_from_this<LocalShellHealth> {
public:
    static constexpr int failuresBeforeRestart = 2;

    explicit LocalShellHealth(LocalShellHealthServices services);

    void checkLocalShellHealth();
    [[nodiscard]] int localHealthFailures() const { return localHealthFailures_; }

private:
    LocalShellHealthServices services_;
    int localHealthFailures_ = 0;

    void probeDidFinish(bool healthy);
    // Starts the server; on success clears the count and reloads the page. A failure leaves
    // both, so the next check tries again.
    void startAndReload();
};

} // namespace zevra

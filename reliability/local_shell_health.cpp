#include "reliability/local_shell_health.h"

namespace zevra {

LocalShellHealth::LocalShellHealth(LocalShellHealthServices services)
    : services_(std::move(services)) {}

void LocalShellHealth::checkLocalShellHealth() {
    if (!services_.serverIsListening()) {
        startAndReload();
        return;
    }
    services_.probe([weak = weak_from_this()](bool healthy) {
        if (const auto self = weak.lock()) {
            self->probeDidFinish(healthy);
        }
    });
}

void LocalShellHealth::probeDidFinish(bool healthy) {
    if (healthy) {
        localHealthFailures_ = 0;
        return;
    }
    ++localHealthFailures_;
    if (localHealthFailures_ < failuresBeforeRestart) {
        return;
    }
    services_.stopServer();
    startAndReload();
}

void LocalShellHealth::startAndReload() {
    if (!services_.startServer()) {
        return;
    }
    localHealthFailures_ = 0;
    services_.reloadShellPage();
}

} // namespace zevra

#include "app/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace zevra {
namespace {

// Written by the signal handler, so it cannot belong to an object.
int terminationPipe[2] = {-1, -1};
std::atomic<bool> watcherLeaving{false};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(terminationPipe[1], &byte, 1);
}

void wakeWatcher() {
    const char byte = 0;
    while (::write(terminationPipe[1], &byte, 1) < 0 && errno == EINTR) {
    }
}

} // namespace

TerminationSignals::TerminationSignals(Application& application) {
    if (::pipe2(terminationPipe, O_CLOEXEC) != 0) {
        return;
    }
    try {
        watcher_ = std::thread([&application] {
            char byte = 0;
            while (::read(terminationPipe[0], &byte, 1) < 0 && errno == EINTR) {
            }
            if (!watcherLeaving.load()) {
                application.quit();
            }
        });
    } catch (const std::system_error&) {
        return; // Without a watcher the default actions stay: the signals still end the process.
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!watcher_.joinable()) {
        return;
    }
    watcherLeaving.store(true);
    wakeWatcher();
    watcher_.join();
}

} // namespace zevra

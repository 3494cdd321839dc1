#include "app/app_delegate.h"
#include "app/existing_instance.h"
#include "app/release_verifier_command.h"
#include "app/single_instance_lock.h"
#include "platform/application.h"
#include "platform/bundle.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// Everything after the program path is a document handed to us (the desktop entry passes %F).
std::vector<std::string> documentArguments(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(arguments[i], error);
        paths.push_back(error ? arguments[i] : absolute.string());
    }
    return paths;
}

// Termination signals end the event loop so the shutdown sequence runs. Libraries start threads
// of their own before `main`, so masking cannot steer the signal to one thread; the handler only
// writes a byte to a pipe (async-signal-safe) and a watcher thread does the rest.
int terminationPipe[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t ignored = write(terminationPipe[1], &byte, 1);
}

void quitOnTerminationSignal(zevra::Application& application) {
    if (pipe2(terminationPipe, O_CLOEXEC) != 0) {
        return;
    }
    std::thread([&application] {
        char byte = 0;
        while (read(terminationPipe[0], &byte, 1) < 0 && errno == EINTR) {
        }
        application.quit();
    }).detach();
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> arguments(argv, argv + argc);
    zevra::runReleaseVerifierCommandIfPresent(arguments);

    const auto documents = documentArguments(arguments);
    const auto lock = zevra::acquireZevraSingleInstanceLock();
    if (!lock) {
        zevra::activateExistingZevraApplication(documents);
        return 0;
    }
    // The lock descriptor stays open until the process ends.

    signal(SIGPIPE, SIG_IGN);

    const auto application = zevra::makeApplication();
    if (!application->hasDisplay()) {
        std::fputs("ZEVRA: no display available; runs without a window, serving "
                   "http://127.0.0.1:18484\n",
                   stderr);
    }
    quitOnTerminationSignal(*application);

    zevra::AppDelegate delegate(*application,
                                zevra::resourcesPathForExecutable(zevra::executablePath()));
    static_cast<void>(delegate.receiveDocuments(documents));
    application->run([&delegate] { delegate.applicationDidFinishLaunching(); });
    delegate.applicationWillTerminate();
    return 0;
}

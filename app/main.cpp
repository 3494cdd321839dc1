#include "app/app_delegate.h"
#include "app/existing_instance.h"
#include "app/release_verifier_command.h"
#include "app/single_instance_lock.h"
#include "app/termination_signals.h"
#include "platform/application.h"
#include "platform/bundle.h"

#include <signal.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
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
    const zevra::TerminationSignals terminationSignals(*application);

    zevra::AppDelegate delegate(*application,
                                zevra::resourcesPathForExecutable(zevra::executablePath()));
    static_cast<void>(delegate.receiveDocuments(documents));
    application->run([&delegate] { delegate.applicationDidFinishLaunching(); });
    delegate.applicationWillTerminate();
    return 0;
}

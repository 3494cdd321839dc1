#include "app/update_services.h"

#include "platform/bundle.h"
#include "platform/clock.h"
#include "platform/detached_process.h"
#include "platform/paths.h"
#include "platform/secure_random.h"
#include "platform/workspace.h"
#include "update/version.h"

#include <unistd.h>

namespace zevra {
namespace {

// ".../ZEVRA.app" above "Contents/MacOS/ZEVRA".
std::filesystem::path mainBundlePath() {
    return executablePath().parent_path().parent_path().parent_path();
}

// The release host's client, cut short once the application is going away.
class StoppableHttpClient final : public HttpClient {
public:
    StoppableHttpClient(std::shared_ptr<HttpClient> http, const std::atomic<bool>& stopping)
        : http_(std::move(http)), stopping_(stopping) {}

    std::optional<HttpClientResponse> send(const HttpClientRequest& request) override {
        return exchange(request).response;
    }

    HttpClientResult exchange(const HttpClientRequest& request) override {
        auto stoppable = request;
        stoppable.progress = [this, progress = request.progress](std::int64_t received,
                                                                 std::int64_t expected) {
            return !stopping_ && (!progress || progress(received, expected));
        };
        return http_->exchange(stoppable);
    }

private:
    const std::shared_ptr<HttpClient> http_;
    const std::atomic<bool>& stopping_;
};

} // namespace

UpdateServices::UpdateServices(Application& application,
                               std::function<std::optional<std::string>()> sessionToken,
                               std::function<void()> quitApplication)
    : defaults_(userConfigFolder() / "defaults.plist"),
      handoff_(applicationSupportFolder(), systemClock()),
      app_(environment(application),
           AppUpdateSettings{currentVersion(), mainBundlePath(), updateManifestURL(),
                             std::move(sessionToken), &handoff_, std::move(quitApplication),
                             installerToolPaths(), static_cast<int>(::getpid())},
           state_),
      extension_(environment(application), extensionUpdateSettings(homeFolder(), defaults_),
                 state_) {}

UpdateServices::~UpdateServices() {
    stopping_ = true;
}

void UpdateServices::checkForExtensionUpdates(bool silent) {
    if (silent) {
        extension_.checkForExtensionUpdateNotice();
        return;
    }
    extension_.updateChromeExtensionFolder();
}

UpdateEnvironment UpdateServices::environment(Application& application) {
    std::error_code error;
    auto temporary = std::filesystem::temp_directory_path(error);
    if (error) {
        temporary = "/tmp";
    }
    return {
        .http = std::make_shared<StoppableHttpClient>(makeHttpClient(), stopping_),
        .runInBackground =
            [this](std::function<void()> work) { return transfers_.post(std::move(work)); },
        .postToMain =
            [&application](std::function<void()> work) { application.postToMain(std::move(work)); },
        .runAlert = [&application](
                        const AlertDescription& alert) { return application.runModalAlert(alert); },
        .showProgress =
            [&application](const ProgressDescription& progress, std::function<void()> cancel) {
                return application.showProgressWindow(progress, std::move(cancel));
            },
        .openURL = [](const std::string& url) { return processWorkspace().openURL(url); },
        .reveal =
            [](const std::filesystem::path& path) {
                // The file manager opens the folder a file sits in.
                const auto folder = std::filesystem::is_directory(path) ? path : path.parent_path();
                processWorkspace().revealFolder(folder.string());
            },
        .startProgram =
            [](const std::vector<std::string>& argv) { return startDetachedProgram(argv); },
        .downloadsFolder = downloadsFolder(),
        .temporaryFolder = temporary,
        .random = &processSecureRandom(),
    };
}

} // namespace zevra

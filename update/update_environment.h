#pragma once

#include "platform/alert.h"
#include "platform/http_client.h"
#include "platform/progress_window.h"
#include "platform/secure_random.h"

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevra {

// What both update flows take from the application; tests substitute each piece.
struct UpdateEnvironment {
    std::shared_ptr<HttpClient> http;
    // Queues work on the transfer thread; false when it could not be queued.
    std::function<bool(std::function<void()>)> runInBackground;
    std::function<void(std::function<void()>)> postToMain;
    // A modal alert on the main thread; the index of the button chosen.
    std::function<std::size_t(const AlertDescription&)> runAlert;
    // A progress window with a Cancel button (main thread), as Application offers it.
    std::function<std::unique_ptr<ProgressWindow>(const ProgressDescription&,
                                                  std::function<void()>)>
        showProgress;
    // The default browser; false when nothing could be started.
    std::function<bool(const std::string&)> openURL;
    // A file manager window with the item selected.
    std::function<void(const std::filesystem::path&)> reveal;
    // Starts a program without waiting for it; false when it could not be started.
    std::function<bool(const std::vector<std::string>&)> startProgram;
    // "~/Desktop/ZEVRA Downloads" and the user's temporary folder.
    std::filesystem::path downloadsFolder;
    std::filesystem::path temporaryFolder;
    SecureRandom* random = nullptr;
};

// Queues a one-button informational message box on the main thread and returns at once.
void showUpdateMessage(const UpdateEnvironment& environment, const std::string& title,
                       const std::string& detail);

// A random (version 4) UUID in upper case, as the file names use it; empty when the random
// generator fails.
[[nodiscard]] std::string newUUIDString(SecureRandom& random);

} // namespace zevra

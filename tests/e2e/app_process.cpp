#include "app_process.h"

#include "base/unique_fd.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace zevra::testing {

AppSandbox::AppSandbox() {
    std::filesystem::create_directories(folder_.path() / "runtime");
    chmod((folder_.path() / "runtime").c_str(), 0700);
}

ProcessOptions AppSandbox::options(const std::string& display) const {
    ProcessOptions options;
    const std::string home = folder_.path().string();
    options.environment = {"HOME=" + home,
                           "XDG_RUNTIME_DIR=" + home + "/runtime",
                           "XDG_DATA_HOME=" + home + "/.local/share",
                           "XDG_CONFIG_HOME=" + home + "/.config",
                           "G_MESSAGES_DEBUG=ZEVRA",
                           "WEBKIT_DISABLE_COMPOSITING_MODE=1"};
    options.unsetEnvironment = {"WAYLAND_DISPLAY"};
    if (display.empty()) {
        options.unsetEnvironment.emplace_back("DISPLAY");
    } else {
        options.environment.push_back("DISPLAY=" + display);
    }
    return options;
}

std::unique_ptr<BackgroundProcess> AppSandbox::start(const std::vector<std::string>& arguments,
                                                     const std::string& display) const {
    std::vector<std::string> argv{bundleExecutable};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return std::make_unique<BackgroundProcess>(argv, options(display));
}

std::filesystem::path bundleWithShellPage(const AppSandbox& sandbox, const std::string& shellPage) {
    const auto bundle = sandbox.home() / "ZEVRA.app";
    std::filesystem::copy(ZEVRA_BUNDLE_DIR, bundle, std::filesystem::copy_options::recursive);
    std::ofstream(bundle / "Contents/Resources/index.html", std::ios::trunc) << shellPage;
    return bundle / "Contents/MacOS/ZEVRA";
}

ProcessOptions withRecordingBrowser(const AppSandbox& sandbox, ProcessOptions options,
                                    const std::filesystem::path& record) {
    std::filesystem::create_directories(sandbox.home() / "bin");
    const auto script = sandbox.home() / "bin/xdg-open";
    std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record.string() << "'\n";
    chmod(script.c_str(), 0755);
    options.environment.push_back("PATH=" + script.parent_path().string() + ":" +
                                  std::getenv("PATH"));
    return options;
}

std::size_t standardErrorCount(const BackgroundProcess& process, const std::string& text) {
    return countOf(process.standardErrorSoFar(), text);
}

std::string screenColour(const std::string& display, const std::string& name, int x, int y) {
    const auto screenshot = artifactsFolder() / name;
    const auto shot = runProcess(
        {"/usr/bin/import", "-display", display, "-window", "root", screenshot.string()});
    return shot.exitCode == 0 ? pixelColour(screenshot, x, y) : shot.standardError;
}

std::string testDisplay() {
    const char* display = std::getenv("ZEVRA_TEST_DISPLAY");
    if (display == nullptr) {
        ADD_FAILURE() << "run through scripts/run-tests.sh, which starts Xvfb";
    }
    return display != nullptr ? display : "";
}

std::string pixelColour(const std::filesystem::path& png, int x, int y) {
    const auto result =
        runProcess({"/usr/bin/convert", png.string(), "-crop",
                    "1x1+" + std::to_string(x) + "+" + std::to_string(y), "-depth", "8", "txt:-"});
    // "0,0: (192,192,192)  #C0C0C0  gray(192)" after a "# ImageMagick ..." comment line.
    const auto hash = result.standardOutput.find("  #");
    return hash == std::string::npos ? "" : result.standardOutput.substr(hash + 2, 7);
}

std::filesystem::path artifactsFolder() {
    const char* artifacts = std::getenv("ZEVRA_TEST_ARTIFACTS");
    std::filesystem::path folder = artifacts ? artifacts : ZEVRA_BINARY_DIR "/test-artifacts";
    std::filesystem::create_directories(folder);
    return folder;
}

std::vector<pid_t> webProcessesOf(pid_t app) {
    std::vector<std::pair<pid_t, pid_t>> parents; // pid, parent
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            continue;
        }
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text) || text.rfind(')') == std::string::npos) {
            continue;
        }
        std::istringstream rest(text.substr(text.rfind(')') + 2));
        char state = 0;
        pid_t parent = 0;
        rest >> state >> parent;
        parents.emplace_back(std::stoi(name), parent);
    }
    std::vector<pid_t> below{app};
    for (std::size_t i = 0; i < below.size(); ++i) {
        for (const auto& [pid, parent] : parents) {
            if (parent == below[i]) {
                below.push_back(pid);
            }
        }
    }
    std::vector<pid_t> renderers;
    for (const pid_t pid : below) {
        if (readFile("/proc/" + std::to_string(pid) + "/comm").starts_with("WebKitWebProces")) {
            renderers.push_back(pid);
        }
    }
    return renderers;
}

std::string xdotool(const std::string& display, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"/usr/bin/xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    ProcessOptions options;
    options.environment = {"DISPLAY=" + display};
    return runProcess(argv, options).standardOutput;
}

void focusMainWindow(const std::string& display) {
    const auto window = xdotool(display, {"search", "--name", "^ZEVRA$"});
    xdotool(display, {"windowfocus", "--sync", window.substr(0, window.find('\n'))});
}

bool shutDownListeningSocket(pid_t app, std::uint16_t port) {
    const UniqueFd process(static_cast<int>(syscall(SYS_pidfd_open, app, 0)));
    if (!process.valid()) {
        return false;
    }
    bool found = false;
    for (const auto& entry :
         std::filesystem::directory_iterator("/proc/" + std::to_string(app) + "/fd")) {
        std::error_code error;
        if (!std::filesystem::read_symlink(entry.path(), error).string().starts_with("socket:")) {
            continue;
        }
        const UniqueFd socket(static_cast<int>(
            syscall(SYS_pidfd_getfd, process.get(), std::stoi(entry.path().filename()), 0)));
        int listening = 0;
        socklen_t size = sizeof listening;
        sockaddr_in address{};
        socklen_t addressSize = sizeof address;
        if (!socket.valid() ||
            getsockopt(socket.get(), SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 ||
            listening == 0 ||
            getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address), &addressSize) != 0 ||
            address.sin_family != AF_INET || ntohs(address.sin_port) != port) {
            continue;
        }
        found = shutdown(socket.get(), SHUT_RDWR) == 0;
    }
    return found;
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool waitForStandardError(const BackgroundProcess& process, const std::string& text,
                          std::chrono::milliseconds timeout) {
    return waitUntil([&] { return process.standardErrorSoFar().find(text) != std::string::npos; },
                     timeout);
}

} // namespace zevra::testing

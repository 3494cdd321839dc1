#pragma once

#include "support/child_process.h"
#include "support/temporary_folder.h"

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zevra::testing {

inline constexpr const char* bundleExecutable = ZEVRA_BUNDLE_DIR "/Contents/MacOS/ZEVRA";

// A private home and runtime folder for one copy (or several copies) of the app.
class AppSandbox {
public:
    AppSandbox();
    [[nodiscard]] const std::filesystem::path& home() const { return folder_.path(); }
    // Environment for a copy without a display; `display` names an X display to use instead.
    [[nodiscard]] ProcessOptions options(const std::string& display = "") const;
    [[nodiscard]] std::unique_ptr<BackgroundProcess>
    start(const std::vector<std::string>& arguments, const std::string& display = "") const;

private:
    TemporaryFolder folder_;
};

// A copy of the bundle in the sandbox whose shell page is `shellPage`; returns its executable.
std::filesystem::path bundleWithShellPage(const AppSandbox& sandbox, const std::string& shellPage);

// `options` with a stand-in for the desktop's browser launcher first on PATH, which appends
// each URL it is asked to open to `record`.
ProcessOptions withRecordingBrowser(const AppSandbox& sandbox, ProcessOptions options,
                                    const std::filesystem::path& record);

// Counts the lines of a running copy's standard error that hold `text`.
std::size_t standardErrorCount(const BackgroundProcess& process, const std::string& text);

// Takes a screenshot of the whole display into the artefacts folder; the colour at x, y, or
// the tool's complaint.
std::string screenColour(const std::string& display, const std::string& name, int x, int y);

// The X display scripts/run-tests.sh started for window tests; empty (with a test failure
// noted) outside it.
std::string testDisplay();

// The colour of one pixel of a PNG, as ImageMagick writes it: "#RRGGBB".
std::string pixelColour(const std::filesystem::path& png, int x, int y);

// Where screenshots are kept after the run.
std::filesystem::path artifactsFolder();

// The app's web content processes (renderers), wherever the engine started them below it.
std::vector<pid_t> webProcessesOf(pid_t app);

// Runs xdotool on `display` with `arguments`; its standard output.
std::string xdotool(const std::string& display, const std::vector<std::string>& arguments);

// Gives the keyboard focus to the main window ("ZEVRA"), as a click on it would.
void focusMainWindow(const std::string& display);

// Shuts the app's listening socket on `port` down from outside, as if its server had stopped
// answering; connections are refused from then on. Tells whether it found the socket.
bool shutDownListeningSocket(pid_t app, std::uint16_t port);

// Polls until `done` holds or the time is up; tells whether it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Polls a running copy's standard error until it holds `text`.
bool waitForStandardError(const BackgroundProcess& process, const std::string& text,
                          std::chrono::milliseconds timeout);

} // namespace zevra::testing

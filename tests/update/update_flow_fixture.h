#pragma once

#include "build_config.h"
#include "support/temporary_folder.h"
#include "update/sha256_file.h"
#include "update/update_environment.h"
#include "zip_fixture.h"

#include <deque>
#include <map>
#include <memory>

namespace zevra::testing {

inline const std::string releaseDownloads =
    std::string("https://") + config::ReleaseHost + "/downloads/";

// The release host: answers by URL, or passes each request on to `through` (a real client to a
// TLS host); a URL without an answer gets no response at all.
class FakeReleaseHost final : public HttpClient {
public:
    void serve(const std::string& url, const std::string& body,
               const std::string& mime = "application/json", int status = 200) {
        answers_[url] = HttpClientResponse{status, {{"Content-Type", mime}}, body};
    }
    std::optional<HttpClientResponse> send(const HttpClientRequest& request) override {
        return exchange(request).response;
    }
    HttpClientResult exchange(const HttpClientRequest& request) override {
        requests.push_back(request);
        whileSending();
        if (through) {
            return through->exchange(request);
        }
        const auto answer = answers_.find(request.url);
        if (answer == answers_.end()) {
            return {std::nullopt, "No response arrived."};
        }
        const auto size = static_cast<std::int64_t>(answer->second.body.size());
        if (request.progress && !request.progress(size, size)) {
            return {std::nullopt, "The transfer was cancelled."};
        }
        return {answer->second};
    }
    std::vector<HttpClientRequest> requests;
    // What the main thread does meanwhile.
    std::function<void()> whileSending = [] {};
    std::shared_ptr<HttpClient> through;

private:
    std::map<std::string, HttpClientResponse> answers_;
};

// Numbers counting up, so every UUID differs.
class CountingRandom final : public SecureRandom {
public:
    bool fill(std::span<std::byte> bytes) override {
        for (auto& byte : bytes) {
            byte = std::byte(next_++);
        }
        return true;
    }

private:
    unsigned char next_ = 0;
};

// Counts the windows open and keeps what they showed.
class FakeProgressWindow final : public ProgressWindow {
public:
    FakeProgressWindow(int& open, std::vector<double>& shown) : open_(open), shown_(shown) {
        ++open_;
    }
    ~FakeProgressWindow() override { --open_; }
    FakeProgressWindow(const FakeProgressWindow&) = delete;
    FakeProgressWindow& operator=(const FakeProgressWindow&) = delete;
    void setProgress(double fraction) override { shown_.push_back(fraction); }

private:
    int& open_;
    std::vector<double>& shown_;
};

// Everything a flow reaches outside itself, recorded. Background and main-thread work wait in
// queues until `settle` runs them, so a test decides what runs while what is in flight.
struct UpdateFlowHarness {
    TemporaryFolder folder;
    std::shared_ptr<FakeReleaseHost> host = std::make_shared<FakeReleaseHost>();
    std::deque<std::function<void()>> background;
    std::deque<std::function<void()>> main;
    std::vector<AlertDescription> alerts;
    std::deque<std::size_t> answers;
    std::vector<std::string> opened;
    std::vector<std::filesystem::path> revealed;
    std::vector<std::vector<std::string>> started;
    bool programsStart = true;
    CountingRandom random;
    int openProgressWindows = 0;
    std::vector<double> progressShown;
    bool cancelDownloads = false;

    // The main thread runs what is queued for it while a request is on its way.
    UpdateFlowHarness() {
        std::filesystem::create_directories(folder.path() / "tmp");
        host->whileSending = [this] { runMain(); };
    }

    UpdateEnvironment environment() {
        return {host,
                [this](std::function<void()> work) {
                    background.push_back(std::move(work));
                    return true;
                },
                [this](std::function<void()> work) { main.push_back(std::move(work)); },
                [this](const AlertDescription& alert) {
                    alerts.push_back(alert);
                    const auto answer = answers.empty() ? 0 : answers.front();
                    if (!answers.empty()) {
                        answers.pop_front();
                    }
                    return answer;
                },
                [this](const ProgressDescription&, std::function<void()> cancel) {
                    auto window =
                        std::make_unique<FakeProgressWindow>(openProgressWindows, progressShown);
                    if (cancelDownloads) {
                        cancel();
                    }
                    return window;
                },
                [this](const std::string& url) {
                    opened.push_back(url);
                    return programsStart;
                },
                [this](const std::filesystem::path& path) { revealed.push_back(path); },
                [this](const std::vector<std::string>& argv) {
                    started.push_back(argv);
                    return programsStart;
                },
                folder.path() / "Downloads",
                folder.path() / "tmp",
                &random};
    }

    void runMain() {
        while (!main.empty()) {
            auto work = std::move(main.front());
            main.pop_front();
            work();
        }
    }

    void settle() {
        while (!background.empty() || !main.empty()) {
            auto& queue = background.empty() ? main : background;
            auto work = std::move(queue.front());
            queue.pop_front();
            work();
        }
    }

    // "title: text" of every message box so far.
    [[nodiscard]] std::vector<std::string> messages() const {
        std::vector<std::string> shown;
        for (const auto& alert : alerts) {
            shown.push_back(alert.message + ": " + alert.informativeText);
        }
        return shown;
    }
};

// A zip archive with the given entries and its SHA-256.
struct ServedArchive {
    std::string bytes;
    std::string sha256;
};

inline ServedArchive makeArchive(const std::filesystem::path& path,
                                 const std::vector<ZipFixtureEntry>& entries) {
    writeZipFixture(path, entries);
    return {readFile(path), sha256File(path).value_or("")};
}

} // namespace zevra::testing

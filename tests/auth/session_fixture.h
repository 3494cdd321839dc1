#pragma once

#include "auth/browser_session.h"
#include "support/manual_clock.h"
#include "support/memory_keyring.h"
#include "support/temporary_folder.h"

#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zevra::testing {

// The site as the session sees it: one scripted answer (none: no response at all). While a
// gate is set, every exchange waits for it to open.
class ScriptedSite final : public HttpClient {
public:
    std::optional<HttpClientResponse> answer;
    std::shared_future<void> gate;
    void answers(int status, const std::string& body = "") {
        answer = HttpClientResponse{.status = status, .headers = {}, .body = body};
    }
    std::optional<HttpClientResponse> send(const HttpClientRequest& request) override {
        {
            const std::lock_guard guard(lock_);
            sent_.push_back(request);
        }
        if (gate.valid()) {
            gate.wait();
        }
        return answer;
    }
    [[nodiscard]] std::vector<HttpClientRequest> sent() {
        const std::lock_guard guard(lock_);
        return sent_;
    }

private:
    std::mutex lock_;
    std::vector<HttpClientRequest> sent_;
};

// A random generator that can be told to fail.
class SwitchableRandom final : public SecureRandom {
public:
    bool failing = false;
    bool fill(std::span<std::byte> bytes) override {
        return !failing && processSecureRandom().fill(bytes);
    }
};

// A BrowserSession over an in-memory keyring and site, a private application-support folder
// and a hand-moved clock. Not to be copied: the session refers to its members.
struct SessionFixture {
    TemporaryFolder support;
    ManualClock clock;
    SwitchableRandom random;
    MemoryKeyring memoryKeyring;
    Keyring* keyring = &memoryKeyring;
    std::optional<std::string> version = "2.0.0";
    std::shared_ptr<ScriptedSite> site = std::make_shared<ScriptedSite>();
    IdentityCheckSettings identity{.siteHost = "zevra.example"};
    BackgroundExecutor executor{4};

    [[nodiscard]] std::shared_ptr<BrowserSession> makeSession() {
        return std::make_shared<BrowserSession>(BrowserSessionServices{
            .executor = executor,
            .keyring = *keyring,
            .version = [this] { return version; },
            .applicationSupportFolder = support.path(),
            .clock = clock,
            .random = random,
            .http = site,
            .identity = identity,
        });
    }
};

} // namespace zevra::testing

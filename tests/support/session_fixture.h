#pragma once

#include "auth/browser_session.h"
#include "support/manual_clock.h"
#include "support/memory_keyring.h"
#include "support/temporary_folder.h"

#include <unistd.h>

#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <vector>

namespace zevra::testing {

// A three-part version no other test process uses, so keyring items are never shared.
inline std::string uniqueTestVersion() {
    static std::atomic<int> counter{0};
    return "7." + std::to_string(::getpid()) + "." + std::to_string(++counter);
}

// The site as the session sees it: one scripted answer (none: no response at all). While a
// gate is set, every exchange waits for it to open.
class ScriptedSite final : public HttpClient {
public:
    std::optional<HttpClientResponse> answer;
    std::shared_future<void> gate;
    std::vector<HttpClientRequest> sent;
    void answers(int status, const std::string& body = "") {
        answer = HttpClientResponse{.status = status, .headers = {}, .body = body};
    }
    std::optional<HttpClientResponse> send(const HttpClientRequest& request) override {
        sent.push_back(request);
        if (gate.valid()) {
            gate.wait();
        }
        return answer;
    }
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

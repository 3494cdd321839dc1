#include "support/loopback_http.h"

#include <thread>

namespace zevra::testing {

std::optional<HttpAnswer> exchangeRaw(std::uint16_t port, const std::string& request,
                                      std::chrono::seconds timeout) {
    LoopbackClient client(port, timeout);
    if (!client.connected() || !client.send(request)) {
        return std::nullopt;
    }
    const auto raw = client.readToEnd();
    if (!raw) {
        return std::nullopt;
    }
    return splitAnswer(*raw);
}

std::optional<HttpAnswer> httpGet(std::uint16_t port, const std::string& path,
                                  const std::string& extraHeaders) {
    return exchangeRaw(port, "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:18484\r\n" +
                                 extraHeaders + "\r\n");
}

bool waitForHealth(std::uint16_t port, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto answer = httpGet(port, "/health");
        if (answer && answer->status == 200) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

} // namespace zevra::testing

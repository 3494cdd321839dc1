#include "server/first_party_fetch.h"

#include "base/absolute_url.h"
#include "server/first_party_hosts.h"

#include <strings.h>

#include <chrono>

namespace zevra {
namespace {

constexpr int maximumRequests = 6;
constexpr std::chrono::seconds hopTimeout{60};

HttpClientRequest hopRequest(const FirstPartyRequest& request, const AbsoluteURL& url) {
    HttpClientRequest hop;
    hop.method = request.method;
    hop.url = url.absoluteString;
    hop.body = request.body;
    hop.timeout = hopTimeout;
    const std::string contentType = request.contentType.value_or("");
    if (!request.body.empty()) {
        hop.headers.emplace_back("Content-Type",
                                 contentType.empty() ? "application/json" : contentType);
    } else if (!contentType.empty()) {
        hop.headers.emplace_back("Content-Type", contentType);
    }
    // A taken-over release subdomain must never see the session.
    if (!request.token.empty() && isSiteHost(url.host)) {
        hop.headers.emplace_back("Authorization", "Bearer " + request.token);
        hop.headers.emplace_back("X-Zevra-Token", request.token);
    }
    return hop;
}

std::string headerValue(const HttpClientResponse& response, const char* name) {
    for (const auto& [key, value] : response.headers) {
        if (strcasecmp(key.c_str(), name) == 0) {
            return value;
        }
    }
    return {};
}

// 303 always, and 301/302 for anything but GET and HEAD, continue as a bodiless GET.
void followRedirectMethod(int status, FirstPartyRequest& request) {
    const bool safe = request.method == "GET" || request.method == "HEAD";
    if (status == 303 || ((status == 301 || status == 302) && !safe)) {
        request.method = "GET";
        request.body.clear();
        request.contentType.reset();
    }
}

} // namespace

std::optional<HttpClientResponse> fetchNativeFirstParty(HttpClient& http,
                                                        FirstPartyRequest request) {
    auto url = parseAbsoluteURL(request.url);
    if (!url || !nativeProxyOrigin(request.url)) {
        return std::nullopt;
    }
    for (int sent = 1;; ++sent) {
        auto response = http.send(hopRequest(request, *url));
        if (!response) {
            return std::nullopt;
        }
        response->finalURL = url->absoluteString;
        if (response->status < 300 || response->status > 399) {
            return response;
        }
        const std::string location = headerValue(*response, "Location");
        if (location.empty()) {
            return response;
        }
        if (sent == maximumRequests) {
            return std::nullopt;
        }
        url = resolvedURL(*url, location);
        if (!url || !nativeProxyOrigin(url->absoluteString)) {
            return std::nullopt;
        }
        followRedirectMethod(response->status, request);
    }
}

} // namespace zevra

#pragma once

#include "platform/http_client.h"

#include <deque>
#include <vector>

namespace zevra::testing {

// Answers from a script, in order, and keeps every request; no response once the script ends.
class ScriptedHttpClient final : public HttpClient {
public:
    std::optional<HttpClientResponse> send(const HttpClientRequest& request) override {
        sent.push_back(request);
        if (answers.empty()) {
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<HttpClientResponse> answers;
    std::vector<HttpClientRequest> sent;
};

} // namespace zevra::testing

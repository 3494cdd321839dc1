#pragma once

#include "platform/http_client.h"

#include <optional>
#include <string>

namespace zevra {

struct FirstPartyRequest {
    std::string url; // a first-party https URL
    std::string method;
    std::string body;
    std::optional<std::string> contentType; // the page's own, when it sent one
    std::string token;                      // the session token, or empty
};

// One upstream exchange, following redirects by hand: at most 6 requests, each to a first-party
// host. Absent on a transport failure, a redirect elsewhere or one too many. The session token
// goes only to the site host and its "www." form.
[[nodiscard]] std::optional<HttpClientResponse> fetchNativeFirstParty(HttpClient& http,
                                                                      FirstPartyRequest request);

} // namespace zevra

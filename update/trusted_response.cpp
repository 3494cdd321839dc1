#include "update/trusted_response.h"

#include "base/ascii.h"
#include "update/trusted_release_url.h"

namespace zevra {

bool exactTrustedResponseURL(const std::optional<ReleaseResponse>& response,
                             std::string_view expected, std::string_view expectedMIME) {
    if (!response || response->statusCode != 200 || !response->url) {
        return false;
    }
    const auto finalURL = parseAbsoluteURL(*response->url);
    const auto expectedURL = parseAbsoluteURL(expected);
    if (!finalURL || !expectedURL || *finalURL != *expectedURL) {
        return false;
    }
    if (!trustedReleaseURL(finalURL->absoluteString)) {
        return false;
    }
    if (!response->mimeType) {
        return false;
    }
    return asciiLowerCase(*response->mimeType) == expectedMIME;
}

} // namespace zevra

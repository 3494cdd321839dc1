#include "server/proxy_target.h"

#include "base/absolute_url.h"
#include "base/ascii.h"
#include "base/shell_address.h"
#include "build_config.h"
#include "server/first_party_hosts.h"
#include "server/request_path.h"

namespace zevra {
namespace {

// "/head/rest" split after its first segment; `head` decoded, `rest` as written.
struct SplitPath {
    std::string head;
    std::string_view rest;
};

std::optional<SplitPath> splitFirstSegment(std::string_view path) {
    if (!path.starts_with("/")) {
        return std::nullopt;
    }
    path.remove_prefix(1);
    const auto slash = path.find('/');
    if (slash == std::string_view::npos) {
        return std::nullopt;
    }
    auto head = removingPercentEncoding(path.substr(0, slash));
    if (!head) {
        return std::nullopt;
    }
    return SplitPath{std::move(*head), path.substr(slash + 1)};
}

// Appends rather than adding to a literal, which GCC 12 misreads as overlapping copies.
std::string joined(std::string_view first, std::string_view second) {
    std::string text;
    text.reserve(first.size() + second.size());
    return text.append(first).append(second);
}

ProxyTarget finished(std::string origin, std::string localBase, std::string upstreamPath,
                     std::string_view query) {
    ProxyTarget target;
    target.origin = std::move(origin);
    target.localBase = std::move(localBase);
    target.upstreamPath = std::move(upstreamPath);
    target.url = target.origin + target.upstreamPath;
    if (!query.empty()) {
        target.url.append("?").append(query);
    }
    target.outcome =
        parseAbsoluteURL(target.url) ? ProxyTargetOutcome::ok : ProxyTargetOutcome::proxyError;
    return target;
}

} // namespace

ProxyTarget proxyTarget(std::string_view rawPath) {
    const auto question = rawPath.find('?');
    const std::string_view path = rawPath.substr(0, question);
    const std::string_view query =
        question == std::string_view::npos ? std::string_view{} : rawPath.substr(question + 1);
    const auto split = splitFirstSegment(path);
    if (!split) {
        return {};
    }
    const std::string siteOrigin = std::string("https://") + config::SiteHost;
    const std::string siteBase = std::string(loopbackBase) + "/proxy";

    if (split->head == "surface") {
        const auto slash = split->rest.find('/');
        const std::string host =
            asciiLowerCase(removingPercentEncoding(split->rest.substr(0, slash)).value_or(""));
        if (!isNativeFirstPartySurfaceHost(host) || isSiteHost(host)) {
            ProxyTarget refused;
            refused.outcome = ProxyTargetOutcome::unsupportedSurfaceHost;
            return refused;
        }
        const std::string_view pagePath =
            slash == std::string_view::npos ? std::string_view{} : split->rest.substr(slash + 1);
        return finished(joined("https://", host), localBaseForHost(host), joined("/", pagePath),
                        query);
    }
    if (split->head == "proxy") {
        return finished(siteOrigin, siteBase, joined("/", split->rest), query);
    }
    if (split->head != "api") {
        return {};
    }
    const bool verify = normalisedPath(path).path.starts_with("/api/verify");
    return finished(siteOrigin, siteBase,
                    verify ? "/api/auth/app-code/verify" : joined("/api/", split->rest), query);
}

} // namespace zevra

#include "platform/http_client.h"

#include "platform/system/curl_shared_session.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <strings.h>

namespace zevra {
namespace {

struct EasyDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

// curl_global_init is not thread-safe; run it once before the first handle.
void initialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool setsCookies(const std::vector<std::pair<std::string, std::string>>& headers) {
    return std::any_of(headers.begin(), headers.end(), [](const auto& header) {
        return strcasecmp(header.first.c_str(), "Set-Cookie") == 0;
    });
}

// Where the body goes, what limits it, and whether the limit or the caller ended it.
struct BodySink {
    std::string* body;
    const HttpClientRequest* request;
    bool overLimit = false;
    bool cancelled = false;
};

size_t appendBody(char* data, size_t size, size_t count, void* target) {
    auto* sink = static_cast<BodySink*>(target);
    const auto& limit = sink->request->maxBodyBytes;
    if (limit && static_cast<std::int64_t>(sink->body->size() + size * count) > *limit) {
        sink->overLimit = true;
        return 0; // curl ends the transfer with a write error
    }
    sink->body->append(data, size * count);
    return size * count;
}

int reportProgress(void* target, curl_off_t expected, curl_off_t received, curl_off_t, curl_off_t) {
    auto* sink = static_cast<BodySink*>(target);
    const auto* request = sink->request;
    if (request->maxBodyBytes && expected > *request->maxBodyBytes) {
        sink->overLimit = true;
        return 1;
    }
    if (request->progress && !request->progress(received, expected > 0 ? expected : -1)) {
        sink->cancelled = true;
        return 1;
    }
    return 0;
}

std::string sizeInWords(std::int64_t bytes) {
    constexpr std::int64_t mebibyte = std::int64_t{1} << 20;
    return bytes % mebibyte == 0 ? std::to_string(bytes / mebibyte) + " MiB"
                                 : std::to_string(bytes) + " bytes";
}

// Why no response arrived, for the user.
std::string failureInWords(CURLcode code, const BodySink& sink, const char* detail) {
    if (sink.overLimit) {
        return "The response was larger than the " +
               sizeInWords(sink.request->maxBodyBytes.value_or(0)) + " allowed.";
    }
    if (sink.cancelled) {
        return "The transfer was cancelled.";
    }
    const std::string because = *detail != '\0' ? std::string(" (") + detail + ")." : ".";
    switch (code) {
    case CURLE_OPERATION_TIMEDOUT:
        return "The connection timed out" + because;
    case CURLE_COULDNT_RESOLVE_HOST:
        return "The host name could not be resolved" + because;
    case CURLE_COULDNT_CONNECT:
        return "The connection was refused" + because;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
        return "A secure (TLS) connection could not be made" + because;
    case CURLE_GOT_NOTHING:
        return "The server closed the connection without answering.";
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return "The connection broke off" + because;
    default:
        return std::string(curl_easy_strerror(code)) + ".";
    }
}

std::string trimmed(std::string text) {
    const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
    text.erase(text.begin(), std::find_if(text.begin(), text.end(), notSpace));
    text.erase(std::find_if(text.rbegin(), text.rend(), notSpace).base(), text.end());
    return text;
}

// Collects the header lines of the last response only (a proxy's or a 100's come first).
size_t appendHeader(char* data, size_t size, size_t count, void* target) {
    auto* headers = static_cast<std::vector<std::pair<std::string, std::string>>*>(target);
    const std::string line(data, size * count);
    if (line.rfind("HTTP/", 0) == 0) {
        headers->clear();
        return size * count;
    }
    const auto colon = line.find(':');
    if (colon != std::string::npos) {
        headers->emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return size * count;
}

class CurlHttpClient final : public HttpClient {
public:
    explicit CurlHttpClient(HttpClientOptions options) : options_(std::move(options)) {
        initialiseCurlOnce();
        if (options_.shareSession) {
            shared_ = std::make_unique<CurlSharedSession>(options_.cookieFile);
        }
    }

    std::optional<HttpClientResponse> send(const HttpClientRequest& request) override {
        return exchange(request).response;
    }

    HttpClientResult exchange(const HttpClientRequest& request) override {
        const std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
        if (handle == nullptr) {
            return {std::nullopt, "The network library could not start a transfer."};
        }
        CURL* curl = handle.get();
        HttpClientResponse response;
        const HeaderList headers = headerList(request);
        const HeaderList connectTo = connectToList();

        curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, request.method.c_str());
        if (request.method == "HEAD") {
            curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
        }
        if (!request.body.empty()) {
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.body.size()));
        }
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        const auto timeout = static_cast<long>(request.timeout.count());
        if (request.stallTimeout) {
            curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
            curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, std::max(1L, timeout / 1000));
        } else {
            curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, timeout);
        }
        // Worker threads must never receive SIGALRM/SIGPIPE from name resolution or writes.
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
        BodySink sink{&response.body, &request};
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, reportProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &sink);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, appendHeader);
        curl_easy_setopt(curl, CURLOPT_HEADERDATA, &response.headers);
        if (!options_.caFile.empty()) {
            curl_easy_setopt(curl, CURLOPT_CAINFO, options_.caFile.c_str());
        }
        if (connectTo != nullptr) {
            curl_easy_setopt(curl, CURLOPT_CONNECT_TO, connectTo.get());
        }
        if (shared_ != nullptr) {
            shared_->attach(curl);
        }

        char detail[CURL_ERROR_SIZE] = "";
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, detail);
        if (const auto code = curl_easy_perform(curl); code != CURLE_OK) {
            return {std::nullopt, failureInWords(code, sink, detail)};
        }
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        if (status <= 0) {
            return {std::nullopt, "No HTTP response arrived."};
        }
        response.status = static_cast<int>(status);
        const char* finalURL = nullptr;
        curl_easy_getinfo(curl, CURLINFO_EFFECTIVE_URL, &finalURL);
        response.finalURL = finalURL != nullptr ? finalURL : request.url;
        if (shared_ != nullptr && setsCookies(response.headers)) {
            // The cookie file only loses the newest cookies when this fails; the answer stands.
            static_cast<void>(shared_->saveCookies());
        }
        return {std::move(response)};
    }

private:
    HttpClientOptions options_;
    std::unique_ptr<CurlSharedSession> shared_;

    static HeaderList headerList(const HttpClientRequest& request) {
        curl_slist* list = nullptr;
        for (const auto& [name, value] : request.headers) {
            // "Name;" is curl's way of sending a header with an empty value.
            const std::string line = value.empty() ? name + ";" : name + ": " + value;
            list = curl_slist_append(list, line.c_str());
        }
        // curl would otherwise add "Expect: 100-continue" to larger bodies.
        list = curl_slist_append(list, "Expect:");
        return HeaderList(list);
    }

    HeaderList connectToList() const {
        curl_slist* list = nullptr;
        for (const auto& entry : options_.connectTo) {
            list = curl_slist_append(list, entry.c_str());
        }
        return HeaderList(list);
    }
};

} // namespace

std::shared_ptr<HttpClient> makeHttpClient(const HttpClientOptions& options) {
    return std::make_shared<CurlHttpClient>(options);
}

} // namespace zevra

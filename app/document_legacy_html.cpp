#include "app/document_legacy_html.h"

#include <optional>

#include "base/document_json.h"
#include "base/html_escape.h"
#include "base/utf8.h"

namespace zevra {
namespace {

constexpr std::string_view pageStart =
    "<!doctype html><html><head><meta charset=\"utf-8\"><meta "
    "http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
    "'unsafe-inline'\"><style>body{margin:0;background:#c0c0c0;color:#000;font:13px/1.5 "
    "Monaco,monospace;padding:24px}h1{font:28px Georgia,serif;margin:0 0 "
    "5px}pre{white-space:pre-wrap;word-break:break-word;background:#fff;color:#000;border:2px "
    "inset #ddd;padding:15px}</style></head><body><h1>ZEVRA document</h1><div>";

constexpr std::string_view notUTF8Text = "This ZEVRA document is not UTF-8 text.";

std::optional<std::string> prettyPrinted(const nlohmann::json& parsed) {
    try {
        // Objects keep sorted keys; "/" is never escaped by this writer. The parser bounded the
        // nesting, so its recursion is bounded too.
        return parsed.dump(2);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace

std::string legacyDocumentHTML(std::string_view data, const nlohmann::json* parsed,
                               std::string_view filename) {
    std::optional<std::string> pretty = parsed ? prettyPrinted(*parsed) : std::nullopt;
    std::string_view text = notUTF8Text;
    if (pretty) {
        text = *pretty;
    } else if (isValidUtf8(data)) {
        text = data;
    }
    std::string page;
    page.reserve(pageStart.size() + filename.size() + text.size() + text.size() / 8 + 64);
    page += pageStart;
    appendHTMLEscaped(page, filename);
    page += "</div><pre>";
    appendHTMLEscaped(page, text);
    page += "</pre></body></html>";
    return page;
}

std::string legacyDocumentHTML(std::string_view data, std::string_view filename) {
    const std::optional<nlohmann::json> parsed = parseDocumentJSON(data);
    return legacyDocumentHTML(data, parsed ? &*parsed : nullptr, filename);
}

} // namespace zevra

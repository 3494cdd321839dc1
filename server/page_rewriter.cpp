#include "server/page_rewriter.h"

#include "base/html_escape.h"
#include "build_config.h"
#include "server/interceptor_script.h"
#include "server/terminal_block.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <memory>

namespace zevra {
namespace {

constexpr std::string_view terminalPrefix = "/kelmor/terminal";
constexpr std::string_view baseMarker = "id=\"__ZEVRA_BASE\"";

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
using Pattern = std::unique_ptr<pcre2_code, CodeDeleter>;

Pattern compiled(std::string_view pattern, uint32_t options) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    Pattern code(pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(),
                               options, &error, &offset, nullptr));
    if (code != nullptr) {
        // Without JIT the interpreter runs the same patterns, only slower.
        static_cast<void>(pcre2_jit_compile(code.get(), PCRE2_JIT_COMPLETE));
    }
    return code;
}

// The site's shell scripts and styles, its page bootstrap, and pictographs: the application
// shows its own in their place.
const std::array<Pattern, 3>& terminalPatterns() {
    static const std::array<Pattern, 3> patterns{
        compiled(R"(<(?:script|link)\b[^>]*(?:/tarvik\.js|/static/zevra-nowplaying\.js|)"
                 R"(/static/zevra_os_shell(?:\.js|\.css)|/static/zevra_auth_shim\.js|)"
                 R"(/static/zevra_actions\.js|/theme(?:\.js|\.css))[^>]*(?:></script>|/?>))",
                 0),
        compiled(R"(<script>window\.__TARVIK_PAGE__[^<]*</script>)", 0),
        compiled(R"([\x{1F000}-\x{1FAFF}\x{2600}-\x{27BF}])", PCRE2_UTF | PCRE2_NO_UTF_CHECK),
    };
    return patterns;
}

// Every match of `pattern` removed; the text unchanged when the pattern is unusable.
std::string withoutMatches(const pcre2_code* pattern, std::string text) {
    if (pattern == nullptr) {
        return text;
    }
    const std::unique_ptr<pcre2_match_data, decltype(&pcre2_match_data_free)> match(
        pcre2_match_data_create_from_pattern(pattern, nullptr), pcre2_match_data_free);
    std::string result;
    PCRE2_SIZE start = 0;
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    while (start <= text.size() && pcre2_match(pattern, subject, text.size(), start,
                                               PCRE2_NO_UTF_CHECK, match.get(), nullptr) > 0) {
        const PCRE2_SIZE* range = pcre2_get_ovector_pointer(match.get());
        result.append(text, start, range[0] - start);
        start = range[1] > range[0] ? range[1] : range[1] + 1;
        if (range[1] == range[0] && range[0] < text.size()) {
            result.push_back(text[range[0]]);
        }
    }
    if (start < text.size()) {
        result.append(text, start);
    }
    return result;
}

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

std::string cleanedTerminalPage(std::string html) {
    for (const auto& pattern : terminalPatterns()) {
        html = withoutMatches(pattern.get(), std::move(html));
    }
    replaceAll(html, "const SORVEX_URL = 'http://localhost:7777';",
               "const SORVEX_URL = 'http://127.0.0.1:18484/proxy';");
    replaceAll(html,
               std::string("const API_BASE   = '';  // relative to this page's origin (") +
                   config::SiteHost + ")",
               "const API_BASE   = 'http://127.0.0.1:18484/proxy';");
    replaceAll(html, "Agent unreachable. Is Sorvex running on :7777?",
               "Sorvex service is unavailable. Your session is retained.");
    return html;
}

// Position of `needle` (lower case) in `text` with ASCII letters in any case. Pages are large and
// their head is near the start, so no lowered copy of the whole page is made.
std::size_t findIgnoringCase(std::string_view text, std::string_view needle) {
    const auto found =
        std::search(text.begin(), text.end(), needle.begin(), needle.end(),
                    [](char a, char b) { return (a >= 'A' && a <= 'Z' ? a + 32 : a) == b; });
    return found == text.end() ? std::string::npos : static_cast<std::size_t>(found - text.begin());
}

// The page path's directory, or the page's own root-relative base href.
std::string baseDirectory(const std::string& html, std::string_view pagePath) {
    std::string directory(pagePath);
    if (!pagePath.ends_with("/")) {
        const auto slash = pagePath.rfind('/');
        if (slash != std::string_view::npos) {
            directory = std::string(pagePath.substr(0, slash + 1));
        }
    }
    constexpr std::string_view baseHref = "<base href=\"";
    const auto at = findIgnoringCase(html, baseHref);
    if (at == std::string::npos) {
        return directory;
    }
    const auto start = at + baseHref.size();
    const auto quote = html.find('"', start);
    const std::string own = html.substr(start, quote == std::string::npos ? quote : quote - start);
    return own.starts_with("/") && !own.starts_with("//") ? own : directory;
}

// Just after the first "<head>", or after the ">" closing the first "<head " tag.
std::size_t afterHeadTag(const std::string& html) {
    if (const auto head = findIgnoringCase(html, "<head>"); head != std::string::npos) {
        return head + 6;
    }
    const auto head = findIgnoringCase(html, "<head ");
    if (head == std::string::npos) {
        return std::string::npos;
    }
    const auto close = html.find('>', head);
    return close == std::string::npos ? close : close + 1;
}

} // namespace

std::string rewrittenPage(std::string html, const PageOrigin& page) {
    const bool terminal = page.pagePath.starts_with(terminalPrefix);
    if (terminal) {
        html = cleanedTerminalPage(std::move(html));
    }
    const std::string directory = baseDirectory(html, page.pagePath);

    // "<HEAD>" counts too: without the base tag such a page's relative URLs would miss.
    if (findIgnoringCase(html, "<head") != std::string::npos &&
        html.find(baseMarker) == std::string::npos) {
        if (const auto at = afterHeadTag(html); at != std::string::npos) {
            const std::string tag = "<base id=\"__ZEVRA_BASE\" href=\"" +
                                    htmlEscaped(std::string(page.localBase) + directory) + "\">";
            html.insert(at, tag);
        }
    }
    if (html.find("__ZEVRA_AUTH_INJECTED") != std::string::npos) {
        return html;
    }
    std::size_t at = std::string::npos;
    if (const auto marker = html.find(baseMarker); marker != std::string::npos) {
        const auto close = html.find('>', marker);
        at = close == std::string::npos ? close : close + 1;
    } else if (const auto head = findIgnoringCase(html, "<head>"); head != std::string::npos) {
        at = head + 6;
    }
    if (at != std::string::npos) {
        html.insert(at, interceptorScript(page.localBase, page.origin) +
                            (terminal ? std::string(terminalBlock()) : std::string()));
    }
    return html;
}

} // namespace zevra

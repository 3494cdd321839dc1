#include "app/document_legacy_html.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

constexpr std::string_view pageStart =
    "<!doctype html><html><head><meta charset=\"utf-8\"><meta "
    "http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src "
    "'unsafe-inline'\"><style>body{margin:0;background:#c0c0c0;color:#000;font:13px/1.5 "
    "Monaco,monospace;padding:24px}h1{font:28px Georgia,serif;margin:0 0 "
    "5px}pre{white-space:pre-wrap;word-break:break-word;background:#fff;color:#000;border:2px "
    "inset #ddd;padding:15px}</style></head><body><h1>ZEVRA document</h1><div>";

std::string page(std::string_view filename, std::string_view text) {
    return std::string(pageStart) + std::string(filename) + "</div><pre>" + std::string(text) +
           "</pre></body></html>";
}

TEST(LegacyDocumentHTMLTest, ShowsTheDocumentAsEscapedText) {
    struct Case {
        const char* name;
        std::string data;
        std::string filename;
        std::string expected;
    };
    const Case cases[] = {
        {"keys sorted, pretty-printed", "{\"b\":[1,2.5],\"a\":\"x/y\"}", "n.zev",
         page("n.zev", "{\n  &quot;a&quot;: &quot;x/y&quot;,\n  &quot;b&quot;: [\n    1,\n"
                       "    2.5\n  ]\n}")},
        {"raw UTF-8 text verbatim", "Läguna <b> & 'x'\n", "t.zev",
         page("t.zev", "Läguna &lt;b&gt; &amp; &#39;x&#39;\n")},
        {"not UTF-8", std::string("{\"a\":\"\xc3\x28\"}"), "b.zev",
         page("b.zev", "This ZEVRA document is not UTF-8 text.")},
        {"surrogate encoded in UTF-8", "\xed\xa0\x80", "s.zev",
         page("s.zev", "This ZEVRA document is not UTF-8 text.")},
        {"file name escaped", "1", "<a'b>.zev", page("&lt;a&#39;b&gt;.zev", "1")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(legacyDocumentHTML(c.data, c.filename), c.expected) << c.name;
    }
}

} // namespace
} // namespace zevra

#include "app/document_legacy_html.h"

#include <gtest/gtest.h>

namespace zevra {
namespace {

TEST(LegacyDocumentHTMLTest, ShowsTheDocumentAsEscapedText) {
    const std::string notUTF8 = "<pre>This ZEVRA document is not UTF-8 text.</pre>";
    // Name, data, file name, the page's end from the file name on.
    const std::tuple<const char*, std::string, std::string, std::string> cases[] = {
        {"keys sorted, pretty-printed", "{\"b\":[1,2.5],\"a\":\"x/y\"}", "n.zev",
         "n.zev</div><pre>{\n  &quot;a&quot;: &quot;x/y&quot;,\n  &quot;b&quot;: [\n    1,\n"
         "    2.5\n  ]\n}</pre>"},
        {"raw UTF-8 text verbatim", "Läguna <b> & 'x'\n", "t.zev",
         "t.zev</div><pre>Läguna &lt;b&gt; &amp; &#39;x&#39;\n</pre>"},
        {"not UTF-8", std::string("{\"a\":\"\xc3\x28\"}"), "b.zev", "b.zev</div>" + notUTF8},
        {"surrogate encoded in UTF-8", "\xed\xa0\x80", "s.zev", "s.zev</div>" + notUTF8},
        {"file name escaped", "1", "<a'b>.zev", "<div>&lt;a&#39;b&gt;.zev</div><pre>1</pre>"},
    };
    for (const auto& [name, data, filename, tail] : cases) {
        const std::string page = legacyDocumentHTML(data, filename);
        EXPECT_TRUE(page.ends_with(tail + "</body></html>")) << name << ": " << page;
        EXPECT_NE(page.find("content=\"default-src 'none';"), std::string::npos) << name;
    }
}

} // namespace
} // namespace zevra

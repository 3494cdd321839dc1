#include "capsule/portable_world_html.h"

#include <gtest/gtest.h>

#include "capsule/document_html_escape.h"
#include "capsule_producer.h"
#include "support/temporary_folder.h"
#include <string_view>
#include <utility>

namespace zevra {
namespace {

using Json = nlohmann::json;

Json medium(const char* url, const std::string& mime, const std::string& data) {
    return {{"source_url", url}, {"mime", mime}, {"data_base64", data}};
}

bool contains(std::string_view page, std::string_view text) {
    return page.find(text) != std::string_view::npos;
}

// The page shows its parts in order and loads only the carried media (three images, a wallpaper).
TEST(PortableWorldHTMLTest, WritesTheFragmentsInOrder) {
    const std::string page =
        portableWorldHTML(testing::produceCapsule(testing::richRecipe()), "lagoon.zevr");
    EXPECT_EQ(testing::countOf(page, "src="), 3u);
    EXPECT_EQ(testing::countOf(page, "url("), 1u);
    const std::string display = "Läguna 🌊 &lt;b&gt;&#39;s&lt;/b&gt;";
    const std::string fragments[] = {
        "content=\"default-src 'none'; img-src data:; style-src 'unsafe-inline'\">",
        "<title>" + display + " — portable World</title>",
        "url('data:image/svg+xml;base64,d2FsbC1ieXRlcyDinJM=');",
        "<h1>#" + display + "</h1><div>owned by <b>@ana</b> · world <b>#lagoon</b></div>",
        "<div class=\"verify good\">verified · complete integrity</div>",
        "<div class=\"foot\">lagoon.zevr · signature valid · snapshot/assets valid · private",
        "<h2>Pages <small>2</small></h2><article><h3>Home</h3><div class='meta'>@ana · public",
        "<pre>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;</pre>",
        "<h2>Posts <small>1</small></h2><article><div class='meta'>@ana</div><p>first\npost &amp;",
        "<h2>Objects <small>2</small></h2><article><img "
        "src='data:image/png;base64,c2hlbGwtYnl0ZXM=",
        "<h2>Collage wall <small>2</small></h2><article><img src='data:image/png;base64,c2hlbGw",
        "<h3>fallback</h3><p>c</p></article></section></main></body></html>",
    };
    std::size_t at = 0;
    for (const std::string& fragment : fragments) {
        const std::size_t found = page.find(fragment, at);
        ASSERT_NE(found, std::string::npos) << fragment;
        at = found + fragment.size();
    }
    EXPECT_EQ(at, page.size());
}

// Unsigned capsules: the page does not depend on the verdict beyond showing it.
TEST(PortableWorldHTMLFallbackTest, ChoosesTitleWallpaperAndSummary) {
    const auto carrying = [](const Json& world) {
        return Json{{"world", world}, {"assets", {medium("w", "image/png", "dw==")}}};
    };
    const Json three = Json::array({Json::object(), Json::object(), Json::object()});
    // Capsule, a text the page holds, a text it lacks ("" for none).
    const std::tuple<Json, const char*, const char*> cases[] = {
        {{{"manifest", {{"word", "lagoon"}}}}, "<h1>#lagoon</h1>", ""},
        {Json::object(), "<title>World — portable World</title>", ""},
        {Json::array(), "<div class=\"verify bad\">verification failed · inspect before",
         "verify good"},
        // A panel wallpaper that is not carried hides a carried one; a non-string one does not.
        {carrying({{"panel_wallpaper", "m"}, {"wallpaper", "w"}}), "", "background-image"},
        {carrying({{"panel_wallpaper", 1}, {"wallpaper", "w"}}), "base64,dw==')", ""},
        {{{"completeness", {{"unresolved", three}}}},
         "3 referenced asset(s) could not be embedded;",
         "All referenced"},
        // Empty lists, missing ones and lists holding a non-object leave their sections out.
        {{{"content", {{"posts", Json::array()}, {"pages", {{{"t", 1}}}}}}},
         "Pages <small>1",
         "Posts"},
        {{{"content", {{"wall", {{{"title", "x"}}, 3}}}}}, "", "Collage wall"},
    };
    for (const auto& [capsule, present, absent] : cases) {
        const std::string page = portableWorldHTML(capsule, "f.zevr");
        EXPECT_TRUE(contains(page, present)) << capsule << ": " << present;
        EXPECT_TRUE(!*absent || !contains(page, absent)) << capsule << ": " << absent;
    }
    EXPECT_TRUE(portableWorldHTML(Json::array(), "x.zev").ends_with("</main></body></html>"));
}

// Every capsule text the page shows carries markup; none of it may survive unescaped.
TEST(PortableWorldHTMLFallbackTest, EscapesEverythingTheCapsuleCarries) {
    const std::string evil = "<i>\"'&</i>";
    const Json capsule = {
        {"world", {{"display", evil}}},
        {"manifest", {{"owner", evil}, {"word", evil}, {"exported_at", evil}}},
        {"content",
         {{"pages",
           {{{"title", evil}, {"author", evil}, {"visibility", evil}, {"raw_html", evil}},
            {{"slug", evil}, {"content", {{evil, evil}}}}}},
          {"posts", {{{"username", evil}, {"body", evil}}}},
          {"objects", {{{"L1", evil}, {"L2", evil}}, {{"id", evil}}}},
          {"wall", {{{"title", evil}, {"caption", evil}}}}}}};
    const std::string page = portableWorldHTML(capsule, evil + ".zevr");
    EXPECT_FALSE(contains(page, "<i>"));
    EXPECT_FALSE(contains(page, "\"'&"));
    EXPECT_GE(testing::countOf(page, "&lt;i&gt;&quot;&#39;&amp;&lt;/i&gt;"), 16u);
}

// A hostile medium must not be able to end the attribute or the style sheet it lands in.
TEST(PortableWorldHTMLFallbackTest, HostileMediaCannotForgeTheVerdict) {
    const std::string good = "<div class=\"verify good\">verified · complete integrity</div>";
    const std::string forged = "x' alt=''></div>" + good + "<img src='x";
    const std::string closeStyle = "');}</style>" + good + "<style>a{b:url('";
    const Json capsule = {
        {"world", {{"panel_wallpaper", "w"}}},
        {"content",
         {{"objects",
           {{{"image_url", "a"}}, {{"image_url", "b"}}, {{"L1", "c"}, {"image_url", "c"}}}}}},
        {"assets",
         {medium("a", "image/png;" + forged, "YQ=="), medium("b", "image/png", "Yg==" + forged),
          medium("w", "image/png", "dw==" + closeStyle), medium("c", "image/png", "Yw==")}}};
    const std::string page = portableWorldHTML(capsule, "hostile.zevr");
    EXPECT_FALSE(contains(page, "verified · complete integrity"));
    EXPECT_FALSE(contains(page, "background-image"));
    EXPECT_EQ(testing::countOf(page, "<img "), 1u) << "only the clean medium is shown";
    EXPECT_TRUE(contains(page, "<img src='data:image/png;base64,Yw==' alt=''><h3>c</h3>"));
}

TEST(DocumentHTMLEscapeTest, EscapesEachSpecialCharacterOnce) {
    using namespace std::string_view_literals;
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&#39;f"},
        {"&amp;", "&amp;amp;"},
        {"Läguna — 🌊", "Läguna — 🌊"},
        {"owner\0</b>tail"sv, "owner\uFFFD&lt;/b&gt;tail"},
    };
    for (const auto& [text, escaped] : cases) {
        EXPECT_EQ(htmlEscaped(text), escaped) << text;
    }
}

} // namespace
} // namespace zevra

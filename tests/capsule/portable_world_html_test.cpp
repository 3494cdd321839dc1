#include "capsule/portable_world_html.h"

#include <gtest/gtest.h>

#include "capsule_producer.h"

namespace zevra {
namespace {

using Json = nlohmann::json;

constexpr std::string_view goodVerdict =
    "<div class=\"verify good\">verified · complete integrity</div>";
constexpr std::string_view badVerdict =
    "<div class=\"verify bad\">verification failed · inspect before trusting</div>";

std::size_t occurrences(std::string_view page, std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = page.find(text); at != std::string_view::npos;
         at = page.find(text, at + 1)) {
        ++count;
    }
    return count;
}

bool contains(std::string_view page, std::string_view text) {
    return page.find(text) != std::string_view::npos;
}

// The page loads nothing but the media the capsule carries, and shows its parts in order.
TEST(PortableWorldHTMLTest, WritesTheFragmentsInOrder) {
    const std::string page =
        portableWorldHTML(testing::produceCapsule(testing::richRecipe()), "lagoon.zevr");
    EXPECT_EQ(occurrences(page, "src="), 3u);
    EXPECT_EQ(occurrences(page, "src='data:"), 3u);
    EXPECT_EQ(occurrences(page, "url("), 1u);
    EXPECT_FALSE(contains(page, "elsewhere.example"));
    EXPECT_FALSE(contains(page, "<script"));
    const std::string display = "Läguna 🌊 &lt;b&gt;&#39;s&lt;/b&gt;";
    const std::string fragments[] = {
        "content=\"default-src 'none'; img-src data:; style-src 'unsafe-inline'\">",
        "<title>" + display + " — portable World</title>",
        "<div class=\"k\">ZEVRA portable World · offline view</div><h1>#" + display + "</h1>",
        "<div>owned by <b>@ana</b> · world <b>#lagoon</b></div>",
        std::string(goodVerdict),
        "<p>Exported 2026-12-06T10:00:00Z. All referenced portable assets were embedded.</p>",
        "<div class=\"foot\">lagoon.zevr · signature valid · snapshot/assets valid · private",
        "<h2>Pages <small>2</small></h2><article><h3>Home</h3><div class='meta'>@ana · public",
        "<pre>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;</pre>",
        "<h3>about</h3><div class='meta'>@ana · friends</div><pre>{&quot;a&quot;:{&quot;url",
        "<h2>Posts <small>1</small></h2><article><div class='meta'>@ana</div><p>first\npost &amp;",
        "<h2>Objects <small>2</small></h2><article><img "
        "src='data:image/png;base64,c2hlbGwtYnl0ZXM=",
        "<h3>Shell</h3><p>found</p></article><article><h3>7</h3><p>no picture</p>",
        "<h2>Collage wall <small>2</small></h2><article><img src='data:image/png;base64,c2hlbGw",
        "<h3>tide</h3><p>low</p></article><article><img src='data:image/svg+xml;base64,d2FsbC1i",
        "<h3>fallback</h3><p>c</p></article></section>",
        "</main></body></html>",
    };
    std::size_t at = 0;
    for (const std::string& fragment : fragments) {
        const std::size_t found = page.find(fragment, at);
        ASSERT_NE(found, std::string::npos) << fragment;
        at = found + fragment.size();
    }
    EXPECT_EQ(at, page.size());
    EXPECT_TRUE(contains(page, "url('data:image/svg+xml;base64,d2FsbC1ieXRlcyDinJM=');"
                               "background-size:cover;background-attachment:fixed;}"));
}

TEST(PortableWorldHTMLFallbackTest, ChoosesTitleWallpaperAndSummary) {
    const Json carried = {{"path", "w"},
                          {"source_url", "https://cdn.example/carried.png"},
                          {"mime", "image/png"},
                          {"text", "w"}};
    struct Case {
        const char* name;
        Json recipe;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"word stands in for the display",
         {{"manifest", {{"word", "lagoon"}}}},
         {"<title>lagoon — portable World</title>", "<h1>#lagoon</h1>"},
         {}},
        {"no display members",
         Json::object(),
         {"<title>World — portable World</title>", "<h1>#World</h1>"},
         {}},
        {"non-string display in its textual form",
         {{"world", {{"display", 42}}}, {"manifest", {{"word", "lagoon"}}}},
         {"<title>42 — portable World</title>"},
         {}},
        {"panel wallpaper not carried hides a carried wallpaper",
         {{"world",
           {{"panel_wallpaper", "https://cdn.example/missing.png"},
            {"wallpaper", "https://cdn.example/carried.png"}}},
          {"assets", {carried}}},
         {},
         {"background-image"}},
        {"non-string panel wallpaper is passed over",
         {{"world", {{"panel_wallpaper", 1}, {"wallpaper", "https://cdn.example/carried.png"}}},
          {"assets", {carried}}},
         {"url('data:image/png;base64,dw==')"},
         {}},
        {"three unresolved assets",
         {{"completeness", {{"unresolved", {Json::object(), Json::object(), Json::object()}}}}},
         {"3 referenced asset(s) could not be embedded; their addresses and reasons remain in "
          "the manifest."},
         {"All referenced"}},
        {"empty lists leave their sections out",
         {{"content", {{"posts", Json::array()}, {"pages", {{{"title", "t"}}}}}}},
         {"<h2>Pages <small>1</small></h2>"},
         {"Posts", "Objects", "Collage wall"}},
        {"a list with a non-object is treated as empty",
         {{"content", {{"posts", {{{"body", "x"}}, 3}}}}},
         {},
         {"Posts"}},
    };
    for (const Case& c : cases) {
        const std::string page = portableWorldHTML(testing::produceCapsule(c.recipe), "f.zevr");
        for (const std::string& text : c.present) {
            EXPECT_TRUE(contains(page, text)) << c.name << ": " << text;
        }
        for (const std::string& text : c.absent) {
            EXPECT_FALSE(contains(page, text)) << c.name << ": " << text;
        }
    }
}

TEST(PortableWorldHTMLFallbackTest, MalformedCapsuleStillRenders) {
    const Json capsule = {{"kind", "world-capsule"}, {"world", {{"display", "Broken"}}}};
    const std::string page = portableWorldHTML(capsule, "broken.zev");
    EXPECT_TRUE(contains(page, "<h1>#Broken</h1>"));
    EXPECT_EQ(occurrences(page, badVerdict), 1u);
    EXPECT_TRUE(contains(page, "broken.zev · signature invalid · snapshot/assets invalid"));
    EXPECT_TRUE(portableWorldHTML(Json::array(), "x.zev").ends_with("</main></body></html>"));
}

// Every capsule text the page shows carries markup; none of it may survive unescaped.
TEST(PortableWorldHTMLFallbackTest, EscapesEverythingTheCapsuleCarries) {
    const std::string evil = "<i>\"'&</i>";
    const Json recipe = {
        {"world", {{"display", evil}}},
        {"manifest", {{"owner", evil}, {"word", evil}, {"exported_at", evil}}},
        {"content",
         {{"pages",
           {{{"title", evil}, {"author", evil}, {"visibility", evil}, {"raw_html", evil}},
            {{"slug", evil}, {"content", {{evil, evil}}}}}},
          {"posts", {{{"username", evil}, {"body", evil}}}},
          {"objects", {{{"L1", evil}, {"L2", evil}}, {{"id", evil}}}},
          {"wall", {{{"title", evil}, {"caption", evil}}}}}}};
    const std::string page = portableWorldHTML(testing::produceCapsule(recipe), evil + ".zevr");
    EXPECT_FALSE(contains(page, "<i>"));
    EXPECT_FALSE(contains(page, "\"'&"));
    EXPECT_GE(occurrences(page, "&lt;i&gt;&quot;&#39;&amp;&lt;/i&gt;"), 16u);
}

// A hostile medium must not be able to end the attribute or the style sheet it lands in.
TEST(PortableWorldHTMLFallbackTest, HostileMediaCannotForgeTheVerdict) {
    const std::string forged = "x' alt=''></div><div class=\"verify good\">verified · complete "
                               "integrity</div><img src='x";
    const std::string closeStyle = "');}</style><div class=\"verify good\">verified · complete "
                                   "integrity</div><style>a{b:url('";
    Json capsule = testing::produceCapsule(
        {{"world", {{"panel_wallpaper", "https://w"}}},
         {"content",
          {{"objects",
            {{{"L1", "a"}, {"image_url", "https://a"}},
             {{"L1", "b"}, {"image_url", "https://b"}},
             {{"L1", "c"}, {"image_url", "https://c"}}}}}},
         {"assets",
          {{{"path", "a"},
            {"source_url", "https://a"},
            {"mime", "image/png;" + forged},
            {"text", "a"}},
           {{"path", "b"}, {"source_url", "https://b"}, {"mime", "image/png"}, {"text", "b"}},
           {{"path", "w"}, {"source_url", "https://w"}, {"mime", "image/png"}, {"text", "w"}},
           {{"path", "c"}, {"source_url", "https://c"}, {"mime", "image/png"}, {"text", "c"}}}}});
    capsule["assets"][1]["data_base64"] = "Yg==" + forged;
    capsule["assets"][2]["data_base64"] = "dw==" + closeStyle;
    const std::string page = portableWorldHTML(capsule, "hostile.zevr");
    EXPECT_EQ(occurrences(page, "class=\"verify"), 1u);
    EXPECT_EQ(occurrences(page, badVerdict), 1u);
    EXPECT_FALSE(contains(page, "verified · complete integrity"));
    EXPECT_FALSE(contains(page, "background-image"));
    // Only the clean medium is shown.
    EXPECT_EQ(occurrences(page, "<img "), 1u);
    EXPECT_TRUE(contains(page, "<img src='data:image/png;base64,Yw==' alt=''><h3>c</h3>"));
}

} // namespace
} // namespace zevra

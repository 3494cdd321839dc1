#include "capsule/portable_world_html.h"

#include <array>
#include <functional>
#include <numeric>

#include "base/json_members.h"
#include "capsule/canonical_json.h"
#include "capsule/document_html_escape.h"
#include "capsule/embedded_media.h"
#include "capsule/world_capsule_verification.h"

namespace zevra {
namespace {

constexpr std::string_view pageHead =
    "<!doctype html><html><head><meta charset=\"utf-8\"><meta "
    "http-equiv=\"Content-Security-Policy\" "
    "content=\"default-src 'none'; img-src data:; style-src 'unsafe-inline'\"><meta "
    "name=\"viewport\" content=\"width=device-width,initial-scale=1\"><title>";

// Ends inside the body rule, where the wallpaper rule goes.
constexpr std::string_view styleSheetStart =
    " — portable World</title><style>*{box-sizing:border-box}body{margin:0;background:#c0c0c0;"
    "color:#111;font:14px/1.45 Georgia,serif;";

constexpr std::string_view styleSheetRest =
    "}header,main{max-width:980px;margin:0 auto}header{border-bottom:2px solid #222;"
    "padding:34px 24px 18px}.k{font:11px Monaco,monospace;text-transform:uppercase;"
    "letter-spacing:.12em}.verify{display:inline-block;border:1px solid #000;font:11px "
    "Monaco,monospace;padding:3px 6px;margin-top:8px}.good{background:#d8ffd8}"
    ".bad{background:#ffd2d2}h1{font-size:38px;margin:6px 0}main{padding:0 24px 34px}"
    "section{border:1px solid #222;background:rgba(224,224,224,.94);padding:16px;margin:16px 0}"
    "h2{border-bottom:1px solid #888;margin:0 0 10px;padding-bottom:4px}h2 small,.meta{font:11px "
    "Monaco,monospace;color:#555}article{padding:10px 0}article+article{border-top:1px dotted "
    "#555}p{white-space:pre-wrap}pre{white-space:pre-wrap;max-height:280px;overflow:auto;"
    "background:#fff;border:2px inset #ddd;padding:10px;font:11px Monaco,monospace}"
    "img{display:block;max-width:100%;max-height:420px;object-fit:contain;border:1px solid "
    "#222}.foot{font:11px Monaco,monospace;color:#444;margin-top:10px}"
    "</style></head><body><header><div class=\"k\">ZEVRA portable World · offline view</div><h1>#";

constexpr std::string_view verdictGoodText = "verified · complete integrity";
constexpr std::string_view verdictBadText = "verification failed · inspect before trusting";

const nlohmann::json& emptyObject() {
    static const nlohmann::json empty = nlohmann::json::object();
    return empty;
}

const nlohmann::json& objectOrEmpty(const nlohmann::json& parent, std::string_view key) {
    const nlohmann::json* object = objectMember(parent, key);
    return object ? *object : emptyObject();
}

void appendEscapedValue(std::string& out, const nlohmann::json* value) {
    appendHTMLEscaped(out, textualForm(value));
}

void appendEscapedMember(std::string& out, const nlohmann::json& item, std::string_view key) {
    appendEscapedValue(out, findMember(item, key));
}

// The member, or the fallback member when the first is absent.
const nlohmann::json* memberOr(const nlohmann::json& item, std::string_view key,
                               std::string_view fallback) {
    const nlohmann::json* value = findMember(item, key);
    return value ? value : findMember(item, fallback);
}

class PageWriter {
public:
    PageWriter(std::string& out, const EmbeddedMediaMap& media) : out_(out), media_(media) {}

    void appendImage(const std::string* sourceURL) {
        if (sourceURL == nullptr) {
            return;
        }
        const auto found = media_.find(*sourceURL);
        if (found == media_.end()) {
            return;
        }
        out_ += "<img src='";
        found->second.appendDataURL(out_);
        out_ += "' alt=''>";
    }

    void appendPage(const nlohmann::json& item) {
        out_ += "<article><h3>";
        appendEscapedValue(out_, memberOr(item, "title", "slug"));
        out_ += "</h3><div class='meta'>@";
        appendEscapedMember(out_, item, "author");
        out_ += " · ";
        appendEscapedMember(out_, item, "visibility");
        out_ += "</div><pre>";
        const std::string* rawHTML = stringMember(item, "raw_html");
        if (rawHTML != nullptr && !rawHTML->empty()) {
            appendHTMLEscaped(out_, *rawHTML);
        } else if (const nlohmann::json* content = objectMember(item, "content")) {
            appendHTMLEscaped(out_, canonicalJSON(*content).value_or(std::string()));
        }
        out_ += "</pre></article>";
    }

    void appendPost(const nlohmann::json& item) {
        out_ += "<article><div class='meta'>@";
        appendEscapedMember(out_, item, "username");
        out_ += "</div><p>";
        appendEscapedMember(out_, item, "body");
        out_ += "</p></article>";
    }

    void appendObject(const nlohmann::json& item) {
        out_ += "<article>";
        appendImage(stringMember(item, "image_url"));
        out_ += "<h3>";
        appendEscapedValue(out_, memberOr(item, "L1", "id"));
        out_ += "</h3><p>";
        appendEscapedMember(out_, item, "L2");
        out_ += "</p></article>";
    }

    void appendWallItem(const nlohmann::json& item) {
        out_ += "<article>";
        const std::string* media = stringMember(item, "media_url");
        appendImage(media ? media : stringMember(item, "source_url"));
        out_ += "<h3>";
        appendEscapedMember(out_, item, "title");
        out_ += "</h3><p>";
        appendEscapedMember(out_, item, "caption");
        out_ += "</p></article>";
    }

    using ArticleWriter = void (PageWriter::*)(const nlohmann::json&);

    void appendSection(std::string_view heading, const nlohmann::json& content,
                       std::string_view listKey, ArticleWriter writeArticle) {
        const nlohmann::json* items = objectListMember(content, listKey);
        if (items == nullptr || items->empty()) {
            return;
        }
        out_ += "<section><h2>";
        appendHTMLEscaped(out_, heading);
        out_ += " <small>";
        out_ += std::to_string(items->size());
        out_ += "</small></h2>";
        for (const nlohmann::json& item : *items) {
            std::invoke(writeArticle, this, item);
        }
        out_ += "</section>";
    }

private:
    std::string& out_;
    const EmbeddedMediaMap& media_;
};

std::string displayName(const nlohmann::json& world, const nlohmann::json& manifest) {
    const nlohmann::json* display = findMember(world, "display");
    if (display == nullptr) {
        display = memberOr(manifest, "display", "word");
    }
    return display ? textualForm(display) : std::string("World");
}

// The first wallpaper member that is a string names the only candidate image.
void appendBackgroundRule(std::string& out, const nlohmann::json& world,
                          const EmbeddedMediaMap& media) {
    const std::string* wallpaper = nullptr;
    for (const std::string_view key : {"panel_wallpaper", "wallpaper", "banner_url"}) {
        wallpaper = stringMember(world, key);
        if (wallpaper != nullptr) {
            break;
        }
    }
    if (wallpaper == nullptr) {
        return;
    }
    const auto found = media.find(*wallpaper);
    if (found == media.end()) {
        return;
    }
    out += "background-image:linear-gradient(rgba(192,192,192,.88),rgba(192,192,192,.88)),url('";
    found->second.appendDataURL(out);
    out += "');background-size:cover;background-attachment:fixed;";
}

std::string assetSummary(const nlohmann::json& capsule) {
    const nlohmann::json* unresolved =
        objectListMember(objectOrEmpty(capsule, "completeness"), "unresolved");
    const std::size_t count = unresolved ? unresolved->size() : 0;
    if (count == 0) {
        return "All referenced portable assets were embedded.";
    }
    return std::to_string(count) +
           " referenced asset(s) could not be embedded; their addresses and reasons remain in "
           "the manifest.";
}

// The text a value holds, roughly as written out; escaping can sextuple it.
std::size_t textBytes(const nlohmann::json& value, int depth) {
    constexpr int deepestCounted = 64; // an estimate: deeper values are rare and small
    constexpr std::size_t escapeGrowth = 6;
    if (value.is_string()) {
        return value.get_ref<const std::string&>().size() * escapeGrowth;
    }
    if (!value.is_structured()) {
        return 24;
    }
    if (depth >= deepestCounted) {
        return 0;
    }
    const auto members = value.items();
    return std::accumulate(members.begin(), members.end(), std::size_t{0},
                           [depth](std::size_t sum, const auto& member) {
                               return sum + member.key().size() +
                                      textBytes(member.value(), depth + 1);
                           });
}

std::size_t dataURLBytes(const EmbeddedMediaMap& media, const std::string* sourceURL) {
    if (sourceURL == nullptr) {
        return 0;
    }
    const auto found = media.find(*sourceURL);
    if (found == media.end()) {
        return 0;
    }
    return found->second.mime.size() + found->second.dataBase64.size() + 16;
}

// Room for every medium the page shows, each time it shows it, so that the large page is not
// reallocated (briefly holding two copies) while it grows. Text gets a generous allowance;
// capacity that is never written costs no memory.
std::size_t expectedPageBytes(const nlohmann::json& world, const nlohmann::json& content,
                              const EmbeddedMediaMap& media, std::size_t capsuleTextBytes) {
    constexpr std::size_t fixedAllowance = 64 * 1024;
    constexpr std::array<std::string_view, 3> wallpaperKeys = {"panel_wallpaper", "wallpaper",
                                                               "banner_url"};
    std::size_t bytes = std::accumulate(
        wallpaperKeys.begin(), wallpaperKeys.end(), fixedAllowance + capsuleTextBytes,
        [&](std::size_t sum, std::string_view key) {
            return sum + dataURLBytes(media, stringMember(world, key));
        });
    const nlohmann::json emptyList = nlohmann::json::array();
    const nlohmann::json* objects = objectListMember(content, "objects");
    const nlohmann::json* wall = objectListMember(content, "wall");
    bytes = std::accumulate((objects ? *objects : emptyList).begin(),
                            (objects ? *objects : emptyList).end(), bytes,
                            [&](std::size_t sum, const nlohmann::json& item) {
                                return sum + dataURLBytes(media, stringMember(item, "image_url"));
                            });
    return std::accumulate(
        (wall ? *wall : emptyList).begin(), (wall ? *wall : emptyList).end(), bytes,
        [&](std::size_t sum, const nlohmann::json& item) {
            const std::string* mediaURL = stringMember(item, "media_url");
            return sum +
                   dataURLBytes(media, mediaURL ? mediaURL : stringMember(item, "source_url"));
        });
}

} // namespace

std::string portableWorldHTML(const nlohmann::json& capsule, std::string_view filename) {
    const nlohmann::json& manifest = objectOrEmpty(capsule, "manifest");
    const nlohmann::json& world = objectOrEmpty(capsule, "world");
    const nlohmann::json& content = objectOrEmpty(capsule, "content");
    const std::string display = htmlEscaped(displayName(world, manifest));
    const WorldCapsuleVerification verification = verifyWorldCapsule(capsule);
    const EmbeddedMediaMap media = embeddedMediaMap(capsule);

    std::string out;
    out.reserve(expectedPageBytes(world, content, media, textBytes(content, 0)));
    PageWriter page(out, media);
    out += pageHead;
    out += display;
    out += styleSheetStart;
    appendBackgroundRule(out, world, media);
    out += styleSheetRest;
    out += display;
    out += "</h1><div>owned by <b>@";
    appendEscapedMember(out, manifest, "owner");
    out += "</b> · world <b>#";
    appendEscapedMember(out, manifest, "word");
    out += "</b></div><div class=\"verify ";
    out += verification.verified ? "good" : "bad";
    out += "\">";
    out += verification.verified ? verdictGoodText : verdictBadText;
    out += "</div></header><main><section><h2>Portability receipt</h2><p>Exported ";
    appendEscapedMember(out, manifest, "exported_at");
    out += ". ";
    appendHTMLEscaped(out, assetSummary(capsule));
    out += "</p><div class=\"foot\">";
    appendHTMLEscaped(out, filename);
    out += verification.signatureValid ? " · signature valid" : " · signature invalid";
    out +=
        verification.integrityComplete ? " · snapshot/assets valid" : " · snapshot/assets invalid";
    out += " · private chats, direct messages, account secrets, and internal user IDs "
           "excluded</div></section>";
    page.appendSection("Pages", content, "pages", &PageWriter::appendPage);
    page.appendSection("Posts", content, "posts", &PageWriter::appendPost);
    page.appendSection("Objects", content, "objects", &PageWriter::appendObject);
    page.appendSection("Collage wall", content, "wall", &PageWriter::appendWallItem);
    out += "</main></body></html>";
    return out;
}

} // namespace zevra

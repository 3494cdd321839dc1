#include "server/workspace_view.h"

#include "base/html_escape.h"
#include "base/read_only_file.h"
#include "base/utf8.h"
#include "search/local_roots.h"
#include "search/search_text.h"
#include "server/request_path.h"

#include <nlohmann/json.hpp>

namespace zevra {
namespace {

std::string workspacePage(std::string_view title, std::string_view path, std::string_view body) {
    std::string page = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1.0">
<title>)";
    page.append(title);
    page.append(R"(</title>
<style>
body{margin:0;background:#0b0b0d;color:#f3efe6;font-family:'Fragment Mono','SF Mono',monospace}
.shell{min-height:100vh;padding:28px 30px 42px;box-sizing:border-box;background:radial-gradient(circle at top,rgba(215,119,87,0.12),transparent 32%)}
.kicker{color:#d77757;font-size:11px;letter-spacing:0.22em;text-transform:uppercase;margin-bottom:10px}
h1{font-weight:600;font-size:26px;line-height:1.1;font-family:'Sora',system-ui,sans-serif;letter-spacing:0.04em;margin:0}
.path{color:#938b81;font-size:11px;word-break:break-all;margin:8px 0 22px}
pre{white-space:pre-wrap;word-wrap:break-word;background:rgba(255,255,255,0.03);border:1px solid rgba(255,255,255,0.08);border-radius:14px;padding:20px;line-height:1.65;font-size:12px;color:#f3efe6;margin:0}
</style>
</head>
<body>
<div class="shell">
<div class="kicker">Workspace File</div>
<h1>)");
    page.append(title);
    page.append("</h1>\n<div class=\"path\">");
    page.append(path);
    page.append("</div>\n<pre>");
    page.append(body);
    page.append("</pre>\n</div>\n</body>\n</html>\n");
    return page;
}

} // namespace

std::string workspacePreviewBody(const std::filesystem::path& file) {
    const auto contents = readRegularFile(file, largestWorkspacePreview);
    if (!contents) {
        return {};
    }
    if (lowercaseExtension(file) == "json") {
        try {
            return nlohmann::json::parse(*contents).dump(2);
        } catch (const nlohmann::json::exception&) {
            // Shown as the raw text below.
        }
    }
    return isValidUtf8(*contents) ? *contents : std::string();
}

void sendWorkspaceView(ResponseWriter& writer, std::string_view rawPath) {
    const auto value = queryItemValue(rawPath, "path");
    const auto file = value ? allowedWorkspaceFile(*value) : std::nullopt;
    std::error_code error;
    const auto size = file ? std::filesystem::file_size(*file, error) : 0;
    if (!file || error || size > largestWorkspacePreview) {
        writer.sendResponse("404 Not Found", "text/plain; charset=utf-8", "Not found.");
        return;
    }
    const std::string title = prettyTitle(utf8WithReplacement(file->stem().string()));
    const std::string shownPath = homeAbbreviated(utf8WithReplacement(file->string()));
    writer.sendResponse("200 OK", "text/html; charset=utf-8",
                        workspacePage(htmlEscaped(title), htmlEscaped(shownPath),
                                      htmlEscaped(workspacePreviewBody(*file))));
}

} // namespace zevra

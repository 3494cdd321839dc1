#include "app/document_service.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/document_file_contents.h"
#include "app/document_legacy_html.h"
#include "base/document_json.h"
#include "base/json_members.h"
#include "capsule/portable_world_html.h"

namespace zevra {
namespace {

constexpr int documentWindowWidth = 820;
constexpr int documentWindowHeight = 640;

std::string lowerCasedASCII(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return text;
}

bool isWorldCapsule(const nlohmann::json& document) {
    const std::string* kind = stringMember(document, "kind");
    return kind != nullptr && *kind == "world-capsule";
}

std::string pageFor(std::optional<DocumentFileContents> contents, std::string_view filename) {
    std::optional<nlohmann::json> parsed = parseDocumentJSON(contents->bytes());
    if (parsed && isWorldCapsule(*parsed)) {
        // The page is built from the tree alone; drop the file's pages before it grows.
        contents.reset();
        return portableWorldHTML(*parsed, filename);
    }
    return legacyDocumentHTML(contents->bytes(), parsed ? &*parsed : nullptr, filename);
}

} // namespace

bool DocumentService::isSupportedDocument(const std::filesystem::path& path) {
    const std::string extension = path.extension().string();
    if (extension.size() < 2) {
        return false;
    }
    const std::string lowered = lowerCasedASCII(extension.substr(1));
    return std::find(supportedDocumentExtensions.begin(), supportedDocumentExtensions.end(),
                     lowered) != supportedDocumentExtensions.end();
}

bool DocumentService::receiveDocuments(const std::vector<std::string>& paths) {
    std::vector<std::filesystem::path> accepted;
    for (const std::string& path : paths) {
        if (path.empty()) {
            continue;
        }
        std::error_code error;
        std::filesystem::path absolute = std::filesystem::absolute(path, error);
        if (error || !isSupportedDocument(absolute)) {
            continue;
        }
        accepted.push_back(std::move(absolute));
    }
    if (accepted.empty()) {
        return false;
    }
    if (!finishedLaunching_) {
        pendingDocumentURLs_.insert(pendingDocumentURLs_.end(), accepted.begin(), accepted.end());
        return true;
    }
    for (const std::filesystem::path& path : accepted) {
        displayDocument(path);
    }
    return true;
}

void DocumentService::displayDocument(const std::filesystem::path& path) {
    if (!isSupportedDocument(path)) {
        return;
    }
    std::optional<DocumentFileContents> contents =
        DocumentFileContents::open(path, maximumOpenedDocumentBytes);
    if (!contents) {
        return;
    }
    const std::string filename = path.filename().string();
    DocumentWindowDescription window;
    window.title = filename + " — ZEVRA";
    window.width = documentWindowWidth;
    window.height = documentWindowHeight;
    window.html = pageFor(std::move(contents), filename);
    application_.showDocumentWindow(window);
}

void DocumentService::finishLaunching() {
    if (finishedLaunching_) {
        return;
    }
    finishedLaunching_ = true;
    const std::vector<std::filesystem::path> queued = std::exchange(pendingDocumentURLs_, {});
    for (const std::filesystem::path& path : queued) {
        displayDocument(path);
    }
}

} // namespace zevra

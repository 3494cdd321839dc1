#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zevra {

// A page's window.webkit.messageHandlers.NAME.postMessage(body). The origin and the top-frame
// flag are taken where the page cannot reach them, so a handler may trust them.
struct ScriptMessage {
    std::string handlerName;
    std::string frameOrigin; // serialised security origin of the sending frame, "null" if opaque
    bool isTopFrame = false;
    nlohmann::json body; // null when the page posted nothing that has a JSON form
};

enum class NavigationTarget {
    MainFrame,
    SubFrame,
    NewWindow, // no target frame: a blank-target link or window.open
    Unknown,   // a frame the engine does not name (WebKitGTK never says which frame navigates)
};

struct NavigationAction {
    std::string url; // empty when the request has no URL
    NavigationTarget target = NavigationTarget::Unknown;
    bool isUserGesture = false;
};

enum class NavigationDecision { Allow, Cancel };

struct NavigationResponse {
    std::string url;
    std::string mimeType;
    bool canShowMimeType = true;
    bool isMainFrame = true;
    std::optional<std::uint16_t> httpStatus; // absent for non-HTTP answers
    std::string contentDisposition;          // empty when absent
};

enum class ResponseDecision { Allow, Download, Ignore };

enum class NavigationFailureKind {
    Failed,
    Cancelled,                 // stopped or superseded by another navigation
    InterruptedByPolicyChange, // the answer became a download
};

struct NavigationFailure {
    std::string failingURL;
    std::string description; // the engine's message, for people
    NavigationFailureKind kind = NavigationFailureKind::Failed;
};

struct NewWindowRequest {
    std::string url;
};

struct DownloadRequest {
    std::string url;
    std::string suggestedFilename;
};

struct DownloadFailure {
    std::filesystem::path destination; // empty when none had been chosen
    std::string description;           // the engine's message
    bool cancelled = false;            // stopped rather than failed
};

// A page's <input type=file>.
struct OpenPanelRequest {
    bool allowsMultipleSelection = false;
};

// What the native chooser offers: files only, never folders.
struct OpenPanelOptions {
    bool allowsMultipleSelection = false;
    std::vector<std::string> mimeTypes; // "image/*" style patterns; empty offers every file
};

} // namespace zevra

#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application.h"

namespace zevra {

// Documents handed to the application (.zev and .zevr JSON files): each accepted one opens a
// read-only page in a window of its own; those arriving before launch has finished wait.
// Main thread only.
class DocumentService {
public:
    static constexpr std::array<std::string_view, 2> supportedDocumentExtensions = {"zev", "zevr"};
    static constexpr std::uint64_t maximumOpenedDocumentBytes = 100663296; // 96 MiB

    explicit DocumentService(Application& application) : application_(application) {}

    // True when at least one of the paths was accepted (shown, or queued until launch ends).
    [[nodiscard]] bool receiveDocuments(const std::vector<std::string>& paths);

    // Opens one document window; unreadable, oversized or unsupported files open nothing.
    void displayDocument(const std::filesystem::path& path);

    // Launch has finished: shows what was queued, once, in arrival order.
    void finishLaunching();

    [[nodiscard]] bool finishedLaunching() const { return finishedLaunching_; }
    [[nodiscard]] const std::vector<std::filesystem::path>& pendingDocumentURLs() const {
        return pendingDocumentURLs_;
    }

    [[nodiscard]] static bool isSupportedDocument(const std::filesystem::path& path);

private:
    Application& application_;
    std::vector<std::filesystem::path> pendingDocumentURLs_;
    bool finishedLaunching_ = false;
};

} // namespace zevra

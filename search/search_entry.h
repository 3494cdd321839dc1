#pragma once

#include <optional>
#include <string>
#include <vector>

namespace zevra {

// One row of the search catalogue.
struct SearchEntry {
    std::string title;    // also the most heavily weighted search text
    std::string kind;     // "page", "tool", "agent", "atlas", "doc" or "memory"
    std::string summary;  // one line
    std::string location; // "app tab", "local tool", "hosted page", "vibe codes" or a folder
    std::string openURL;  // what the shell opens when the result is chosen
    std::optional<std::string> tab;
    std::vector<std::string> keywords;
    std::optional<std::string> sourcePath; // the file behind a tool or document
    int priority = 0;                      // static rank; smaller ranks higher
};

} // namespace zevra

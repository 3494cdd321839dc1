#pragma once

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/child_process.h"

namespace zevra::testing {

// A capsule written and signed by the Python producer, not by the code under test.
inline nlohmann::json produceCapsule(const nlohmann::json& recipe) {
    ProcessOptions options;
    options.standardInput = recipe.dump();
    const ProcessResult result = runProcess(
        {"/usr/bin/python3", ZEVRA_SOURCE_DIR "/tests/capsule/make_capsule.py", "/dev/stdout"},
        options);
    EXPECT_EQ(result.exitCode, 0) << result.standardError;
    return nlohmann::json::parse(result.standardOutput);
}

// Texts and numbers that trip canonical writers (key order, astral text, control characters,
// 64-bit edges, both sides of the fixed-notation bounds) and every part the page shows.
inline nlohmann::json richRecipe() {
    return nlohmann::json::parse(R"({
      "world": {
        "display": "Läguna 🌊 <b>'s</b>",
        "panel_wallpaper": "https://cdn.example/w/wall.png",
        "z": 1, "Z": 2, "é": 3, "ｚ": 4, "😀": 5, "\u007f": 6, "a/b": "c/d",
        "ctl": "tab\tnew\nline\u0001bell\u001f\"q\" back\\slash"
      },
      "content": {
        "pages": [{"title": "Home", "author": "ana", "visibility": "public",
                   "raw_html": "<script>alert('x')</script>"},
                  {"slug": "about", "author": "ana", "visibility": "friends", "raw_html": "",
                   "content": {"b": [1, 2.5], "a": {"url": "https://x.example/a/b"}}}],
        "posts": [{"username": "ana", "body": "first\npost & more"}],
        "objects": [{"L1": "Shell", "L2": "found", "image_url": "https://cdn.example/o/shell.png"},
                    {"id": 7, "L2": "no picture", "image_url": "https://elsewhere.example/x.png"}],
        "wall": [{"title": "tide", "caption": "low", "media_url": "https://cdn.example/o/shell.png"},
                 {"title": "fallback", "caption": "c", "media_url": 5,
                  "source_url": "https://cdn.example/w/wall.png"}],
        "numbers": [0, -0.0, 1.0, 0.1, 2.5, 100.0, 1e15, 1e16, 1.5e16, 123456789012345.6,
                    0.0001, 0.00001, 1.5e-7, 5e-324, 1.7976931348623157e308, 1e22,
                    9223372036854775807, -9223372036854775808, 18446744073709551615,
                    3.141592653589793, -2.5e-5]
      },
      "archive_assets": [{"path": "media/shell.png", "note": "ünïcödé"}],
      "assets": [
        {"path": "media/shell.png", "source_url": "https://cdn.example/o/shell.png",
         "mime": "image/png", "text": "shell-bytes"},
        {"path": "media/wall.png", "source_url": "https://cdn.example/w/wall.png",
         "mime": "image/svg+xml", "text": "wall-bytes ✓"}
      ],
      "manifest": {"owner": "ana", "word": "lagoon", "exported_at": "2026-12-06T10:00:00Z",
                   "limits": {"ratio": 0.75, "count": 3, "path": "/a/b"}}
    })");
}

} // namespace zevra::testing

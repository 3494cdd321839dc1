#include "base/shell_address.h"
#include "base/shell_tabs.h"
#include "build_config.h"
#include "search/catalogue_entries.h"

#include <string>

namespace zevra {
namespace {

std::string sitePage(std::string_view section) {
    return std::string("https://") + config::SiteHost + "/" + std::string(section);
}

std::string companion(int port) {
    return "http://localhost:" + std::to_string(port);
}

SearchEntry row(std::string title, std::string kind, std::string summary, std::string location,
                std::string openURL, std::optional<std::string> tab,
                std::vector<std::string> keywords, int priority) {
    return SearchEntry{.title = std::move(title),
                       .kind = std::move(kind),
                       .summary = std::move(summary),
                       .location = std::move(location),
                       .openURL = std::move(openURL),
                       .tab = std::move(tab),
                       .keywords = std::move(keywords),
                       .sourcePath = std::nullopt,
                       .priority = priority};
}

SearchEntry sectionRow(std::size_t index, std::string title, std::string summary,
                       std::vector<std::string> keywords) {
    const std::string tab(shellSectionTabs[index]);
    return row(std::move(title), "page", std::move(summary), "app tab",
               sitePage(index == 0 ? "" : tab), tab, std::move(keywords), static_cast<int>(index));
}

SearchEntry toolRow(const std::optional<std::filesystem::path>& toolsRoot, std::string title,
                    std::string file, std::string tab, std::string summary,
                    std::vector<std::string> keywords, int priority) {
    SearchEntry entry = row(std::move(title), "tool", std::move(summary), "app tab",
                            std::string(loopbackBase) + "/vibe-codes/" + file, std::move(tab),
                            std::move(keywords), priority);
    if (toolsRoot) {
        entry.sourcePath = (*toolsRoot / file).string();
    }
    return entry;
}

} // namespace

std::vector<SearchEntry>
curatedSearchEntries(const std::optional<std::filesystem::path>& toolsRoot) {
    return {
        sectionRow(0, "Home", "Your ZEVRA start page with recent worlds, agents and activity.",
                   {"home", "start", "dashboard", "recent"}),
        sectionRow(1, "Studio", "Build and edit worlds with the visual studio.",
                   {"studio", "editor", "build", "create"}),
        sectionRow(2, "Agents", "Browse, run and manage your AI agents.",
                   {"agents", "agent", "ai", "assistants"}),
        sectionRow(3, "Worlds", "Every world you made or saved, with its capsules.",
                   {"worlds", "world", "capsules", "projects"}),
        sectionRow(4, "Terminal", "The command terminal for scripting your worlds and agents.",
                   {"terminal", "command", "shell", "console", "cli"}),
        sectionRow(5, "Docs", "Guides and reference for ZEVRA, its agents and its file formats.",
                   {"docs", "documentation", "guide", "help", "reference"}),
        sectionRow(6, "Community", "Shared worlds, discussions and showcases from other makers.",
                   {"community", "forum", "showcase", "share"}),
        sectionRow(7, "Pricing", "Plans, usage limits and billing for your account.",
                   {"pricing", "plans", "billing", "subscription"}),
        sectionRow(8, "Account", "Your profile, sign-in, devices and connected apps.",
                   {"account", "profile", "settings", "sign in"}),
        toolRow(toolsRoot, "Layers Tool", "layers-tool.html", "layers",
                "Stack, reorder and blend image layers locally.", {"layers", "image", "blend"}, 8),
        toolRow(toolsRoot, "Palette Tool", "palette-tool.html", "palette",
                "Pick, mix and export colour palettes.", {"palette", "colour", "color", "swatches"},
                9),
        toolRow(toolsRoot, "Timeline Tool", "timeline-tool.html", "timeline",
                "Lay out events and keyframes on a timeline.", {"timeline", "keyframes", "events"},
                10),
        toolRow(toolsRoot, "Scratchpad", "scratchpad.html", "scratchpad",
                "A local notepad that keeps your notes on this machine.",
                {"scratchpad", "notes", "notepad", "text"}, 11),
        row("Local Agent", "agent", "The agent runner on this machine, for offline tasks.",
            "app tab", companion(18490), "local-agent",
            {"local agent", "runner", "offline", "local-agent"}, 12),
        row("Agent Builder", "agent", "Design a new agent from templates and tools.", "app tab",
            sitePage("agents/builder"), "agent-builder",
            {"builder", "agent", "templates", "agent-builder"}, 13),
        row("Agent Runs", "agent", "History and logs of every agent run.", "app tab",
            sitePage("agents/runs"), "agent-runs", {"runs", "history", "logs", "agent-runs"}, 14),
        row("World Atlas", "atlas", "A local map of your worlds and how they link.", "local tool",
            companion(18486), std::nullopt, {"atlas", "map", "worlds", "graph"}, 15),
        row("Atlas Inspector", "atlas", "Inspect capsules, signatures and assets locally.",
            "local tool", companion(18487), std::nullopt,
            {"inspector", "capsule", "atlas", "verify"}, 16),
        row("Changelog", "page", "What changed in each ZEVRA release.", "hosted page",
            sitePage("changelog"), std::nullopt, {"changelog", "release notes", "updates"}, 17),
        row("Status", "page", "Service status of the ZEVRA site and its APIs.", "hosted page",
            sitePage("status"), std::nullopt, {"status", "uptime", "incidents"}, 18),
        row("Support", "page", "Contact support and browse known issues.", "hosted page",
            sitePage("support"), std::nullopt, {"support", "contact", "help", "issues"}, 19),
        row("Agent Console", "agent", "Watch and steer running agents from one console.", "app tab",
            companion(18491), "agent-console", {"console", "monitor", "live", "agent-console"}, 22),
    };
}

} // namespace zevra

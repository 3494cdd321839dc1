#include "app/release_verifier_command.h"

#include "update/archive_entries.h"
#include "update/extension_manifest_contract.h"
#include "update/release_limits.h"
#include "update/update_installer_script.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace zevra {
namespace {

constexpr int rejectedExitCode = 64;

ReleaseVerifierOutcome verdict(bool approved) {
    if (approved) {
        return {"approved\n", 0};
    }
    return {"rejected\n", rejectedExitCode};
}

bool releaseArchiveIsApproved(const std::string& kind, const std::string& path) {
    if (kind == "app") {
        return archiveEntriesAreSafe(path, appMaxArchiveEntries, appMaxUncompressedBytes,
                                     appMaxMemberBytes);
    }
    if (kind == "extension") {
        return archiveEntriesAreSafe(path, extensionMaxArchiveEntries,
                                     extensionMaxUncompressedBytes, extensionMaxMemberBytes);
    }
    return false;
}

// Reads one byte past the limit at most, so an oversized or endless file is refused unread.
std::optional<std::string> manifestFileContents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string contents(static_cast<std::size_t>(releaseManifestMaxBytes) + 1, '\0');
    in.read(contents.data(), static_cast<std::streamsize>(contents.size()));
    if (in.bad()) {
        return std::nullopt;
    }
    contents.resize(static_cast<std::size_t>(in.gcount()));
    if (static_cast<std::int64_t>(contents.size()) > releaseManifestMaxBytes) {
        return std::nullopt;
    }
    return contents;
}

bool extensionManifestIsApproved(const std::string& path, const std::string& version) {
    const auto contents = manifestFileContents(path);
    if (!contents) {
        return false;
    }
    const auto manifest = nlohmann::json::parse(*contents, nullptr, false);
    if (manifest.is_discarded() || !manifest.is_object()) {
        return false;
    }
    return extensionManifestHasApprovedCapabilities(manifest, version);
}

} // namespace

std::optional<ReleaseVerifierOutcome>
releaseVerifierOutcome(const std::vector<std::string>& arguments) {
    if (arguments.size() == 2 && arguments[1] == "--print-update-installer") {
        return ReleaseVerifierOutcome{std::string(hardenedUpdateInstallerScript) + "\n", 0};
    }
    if (arguments.size() != 4) {
        return std::nullopt;
    }
    if (arguments[1] == "--verify-release-archive") {
        return verdict(releaseArchiveIsApproved(arguments[2], arguments[3]));
    }
    if (arguments[1] == "--verify-extension-manifest") {
        return verdict(extensionManifestIsApproved(arguments[2], arguments[3]));
    }
    return std::nullopt;
}

void runReleaseVerifierCommandIfPresent(const std::vector<std::string>& arguments) {
    const auto outcome = releaseVerifierOutcome(arguments);
    if (!outcome) {
        return;
    }
    std::fwrite(outcome->standardOutput.data(), 1, outcome->standardOutput.size(), stdout);
    std::fflush(stdout);
    std::exit(outcome->exitCode);
}

} // namespace zevra

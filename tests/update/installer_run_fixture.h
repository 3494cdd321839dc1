#pragma once

#include "support/child_process.h"
#include "support/temporary_folder.h"
#include "update/update_installer_script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zevra::testing {

// The macOS tools the installer calls, played by small scripts that take their orders from files
// in "$ZEVRA_FAKE". "real-mv" and "real-rm" are copies of the system tools, so that "mv" and
// "rm" can be made to fail on one path.
inline const std::vector<std::pair<std::string, std::string>> installerStandIns{
    {"bin/ditto", R"SH(C="$ZEVRA_FAKE"
[ ! -e "$C/ditto-fails" ] || exit 1
if [ "$1" = "-x" ]; then
  /usr/bin/unzip -qq "$3" -d "$4" || exit 1
  [ ! -e "$C/ditto-adds-fifo" ] || /usr/bin/mkfifo "$4/ZEVRA.app/Contents/pipe"
  exit 0
fi
exec /usr/bin/cp -R "$1" "$2")SH"},
    {"bin/codesign", R"SH(target="${!#}"
[ ! -e "$target/Contents/unsigned" ] || exit 1
case "$target" in */.ZEVRA.update.*) [ ! -e "$ZEVRA_FAKE/staged-unsigned" ] || exit 1 ;; esac)SH"},
    {"libexec/PlistBuddy", R"SH(key="${2#Print :}"
value="$(/usr/bin/sed -n "s|.*<key>$key</key><string>\(.*\)</string>.*|\1|p" "$3")"
[ -n "$value" ] || exit 1
echo "$value")SH"},
    {"bin/lipo", R"SH(exec /usr/bin/cat "$2")SH"},
    {"bin/open", R"SH(echo "$*" >> "$ZEVRA_FAKE/open.log"
[ ! -e "$ZEVRA_FAKE/open-fails" ])SH"},
    {"bin/uuidgen", "echo 0F1E2D3C-AAAA-BBBB-CCCC-000000000001"},
    {"bin/mv", R"SH(if [ -e "$ZEVRA_FAKE/mv-signal" ] && [[ "$1" == */.ZEVRA.update.* ]]; then
  /usr/bin/kill -TERM "$PPID"
  exit 1
fi
exec /usr/bin/real-mv "$@")SH"},
    {"bin/rm", R"SH(for path in "$@"; do
  case "$path" in */ZEVRA.app|*/.ZEVRA.failed.*) [ ! -e "$ZEVRA_FAKE/rm-fails" ] || exit 1 ;; esac
done
exec /usr/bin/real-rm "$@")SH"},
};

// An installed ZEVRA 1.3.0 in "Applications", a new build in "new" to be zipped, and the
// installer run for real under bash in a private mount namespace with the stand-ins.
class InstallerRun {
public:
    InstallerRun() {
        for (const auto& [name, body] : installerStandIns) {
            const auto tool = folder_.write("fake/" + name, "#!/bin/bash\n" + body + "\n");
            std::filesystem::permissions(tool, std::filesystem::perms(0755));
        }
        std::filesystem::copy_file("/usr/bin/mv", folder_.path() / "fake/bin/real-mv");
        std::filesystem::copy_file("/usr/bin/rm", folder_.path() / "fake/bin/real-rm");
        std::filesystem::create_directories(control());
        writeApp(app(), "old", "1.3.0");
        writeApp(folder_.path() / "new/ZEVRA.app", "new", "1.4.0");
    }

    [[nodiscard]] std::filesystem::path app() const {
        return folder_.path() / "Applications/ZEVRA.app";
    }
    [[nodiscard]] std::filesystem::path newApp() const { return folder_.path() / "new/ZEVRA.app"; }
    [[nodiscard]] std::filesystem::path control() const { return folder_.path() / "control"; }
    [[nodiscard]] std::filesystem::path zip() const { return folder_.path() / "update.zip"; }
    void order(const std::string& name) const { folder_.write("control/" + name, ""); }

    static void writeApp(const std::filesystem::path& app, const std::string& marker,
                         const std::string& version,
                         const std::string& identifier = "com.kelmor.zevra",
                         const std::string& build = "", const std::string& archs = "arm64") {
        std::filesystem::create_directories(app / "Contents/MacOS");
        writeText(app / "Contents/Info.plist",
                  "<plist><dict>\n<key>CFBundleShortVersionString</key><string>" + version +
                      "</string>\n<key>CFBundleVersion</key><string>" +
                      (build.empty() ? version : build) +
                      "</string>\n<key>CFBundleIdentifier</key><string>" + identifier +
                      "</string>\n</dict></plist>\n");
        writeText(app / "Contents/MacOS/ZEVRA", archs + "\n");
        writeText(app / "Contents/marker", marker);
    }

    // Zips "new" and runs the script; `oldPid` defaults to a process that does not exist.
    ProcessResult run(const std::string& mode, const std::string& oldPid = "99999999") const {
        const auto zipped = runProcess({"/bin/sh", "-c", "cd \"$0\" && /usr/bin/zip -qry \"$1\" .",
                                        (folder_.path() / "new").string(), zip().string()});
        EXPECT_EQ(zipped.exitCode, 0) << zipped.standardError;
        const auto script =
            folder_.write("installer.sh", std::string(hardenedUpdateInstallerScript));
        ProcessOptions options;
        options.environment = {"ZEVRA_FAKE=" + control().string(),
                               "TMPDIR=" + folder_.path().string()};
        return runProcess({"/usr/bin/unshare", "-m", "/bin/sh", "-c",
                           "mount -t overlay ovl -o lowerdir=\"$0/bin\":/usr/bin /usr/bin && "
                           "mount -t overlay ovl -o lowerdir=\"$0/libexec\":/usr/libexec "
                           "/usr/libexec && exec /bin/bash \"$@\"",
                           (folder_.path() / "fake").string(), script.string(), zip().string(),
                           app().string(), "1.4.0", oldPid, mode},
                          options);
    }

    // "old", "new" or "" for the app at the target path.
    [[nodiscard]] std::string installed() const {
        const auto marker = app() / "Contents/marker";
        return std::filesystem::exists(marker) ? readFile(marker) : "";
    }
    [[nodiscard]] std::string openLog() const {
        const auto log = control() / "open.log";
        return std::filesystem::exists(log) ? readFile(log) : "";
    }
    // Items beside the app other than the app and the backup, and what the script left in
    // TMPDIR.
    [[nodiscard]] std::vector<std::string> leftovers() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(app().parent_path())) {
            const auto name = entry.path().filename().string();
            if (name != "ZEVRA.app" && name != ".ZEVRA.previous") {
                names.push_back(name);
            }
        }
        for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
            if (entry.path().filename().string().starts_with("zevra-update.")) {
                names.push_back(entry.path().filename().string());
            }
        }
        return names;
    }

private:
    TemporaryFolder folder_;

    static void writeText(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
};

} // namespace zevra::testing

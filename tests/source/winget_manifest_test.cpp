// The winget manifest of packaging/winget, read back: each of its installer switches is
// one the program's own switch table takes, setting what winget means by it, and each
// return code it names is the program's code for that outcome.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "setup/session/command_line.h"
#include "setup/session/exit_codes.h"

namespace qv {
namespace {

std::string Trimmed(const std::string& text) {
    const size_t begin = text.find_first_not_of(' ');
    const size_t end = text.find_last_not_of(" \r");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

// The "key: value" lines of the manifest's installer switches, and its return codes with
// their responses.
struct Manifest {
    std::map<std::string, std::string> switches;
    std::map<int, std::string> returnCodes;
};

Manifest ReadManifest(const std::string& path) {
    std::ifstream in(path);
    Manifest manifest;
    std::string line, section;
    int code = -1;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (line[0] != ' ') section = Trimmed(line.substr(0, line.find(':')));
        const size_t colon = line.find(':');
        if (line[0] != ' ' || colon == std::string::npos) continue;
        std::string key = Trimmed(line.substr(0, colon));
        if (key.rfind("- ", 0) == 0) key = Trimmed(key.substr(2));
        const std::string value = Trimmed(line.substr(colon + 1));
        if (section == "InstallerSwitches") manifest.switches[key] = value;
        if (section == "ExpectedReturnCodes" && key == "InstallerReturnCode") code = std::stoi(value);
        if (section == "ExpectedReturnCodes" && key == "ReturnResponse") manifest.returnCodes[code] = value;
    }
    return manifest;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    const size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(WingetManifest, SwitchesAreTheProgramsOwnAndReturnCodesItsCodes) {
    const Manifest manifest =
        ReadManifest(std::string(QV_SOURCE_DIR) + "/packaging/winget/Marrowvale.CDROMInstallation.installer.yaml");
    ASSERT_EQ(manifest.switches.size(), 4u) << "the manifest could not be read";

    // What winget puts in place of its tokens: paths with blanks, as users have them.
    const std::string logPath = "C:\\Users\\Ada Byron\\AppData\\Local\\Temp\\winget log.txt";
    const std::string installPath = "C:\\Program Files (x86)\\Marrowvale";
    for (const auto& [kind, value] : manifest.switches) {
        SCOPED_TRACE(kind + ": " + value);
        const std::string given = Replaced(Replaced(value, "<LOGPATH>", logPath), "<INSTALLPATH>", installPath);
        for (const std::string& word : SplitSwitchWords(given)) {
            ASSERT_EQ(word.rfind('/', 0), 0u) << word;
            EXPECT_NE(FindSwitch(word.substr(1, word.find('=') - 1)), nullptr) << word << " is not in the table";
        }
        StartupOptions options;
        std::string problem;
        ASSERT_TRUE(ReadSwitches(given, options, problem)) << problem;
        if (kind == "Silent") EXPECT_TRUE(options.silent && options.Unattended());
        else if (kind == "SilentWithProgress") EXPECT_TRUE(options.Passive());
        else if (kind == "Log") EXPECT_EQ(options.logPath, logPath);
        else if (kind == "InstallLocation") EXPECT_EQ(options.installDir, installPath);
        else ADD_FAILURE() << "a switch winget has no use for";
    }

    const std::map<int, std::string> expected = {
        {static_cast<int>(ExitCode::DirectoryInUse), "installInProgress"},
        {static_cast<int>(ExitCode::RemovedAtRestart), "rebootRequiredToFinish"},
        {static_cast<int>(ExitCode::InstallCancelled), "cancelledByUser"},
    };
    EXPECT_EQ(manifest.returnCodes, expected);
}

}  // namespace
}  // namespace qv

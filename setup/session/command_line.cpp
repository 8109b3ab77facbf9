#include "setup/session/command_line.h"

#include "setup/session/file_system.h"
#include "setup/session/platforms.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

void TellUser(UserPort& port, const std::string& text) {
    port.ShowMessage({text, kAppTitle, Buttons::Ok, Icon::Exclamation, 1});
}

void ReportMissingParameter(Session& session, UserPort& port) {
    TellUser(port, Res(session, Str::LoadError) + "\r\n" + Res(session, Str::MissingParameter));
}

std::string PlatformCodes() {
    std::string codes;
    for (const DbPlatform& p : DbPlatforms()) codes += (codes.empty() ? "" : ", ") + std::string(p.code);
    return codes;
}

// Applies the switches of the further text. Words that are not switches of ours are
// left alone, as the installer has always ignored its further text.
bool ReadSwitches(Session& session, UserPort& port, const std::string& text, StartupOptions& options) {
    for (const std::string& word : SplitSwitchWords(text)) {
        if (EqualsNoCase(word, "/CRC")) {
            options.crcCheck = true;
            continue;
        }
        if (!StartsWithNoCase(word, "/DB=")) continue;
        const std::string code = UpperAscii(Trim(word.substr(4)));
        if (!FindDbPlatform(code)) {
            TellUser(port,
                     Res(session, Str::LoadError) + "\r\nUnknown database platform \"" + word.substr(4) +
                         "\" in " + word + ".\r\nUse one of " + PlatformCodes() + ".");
            return false;
        }
        options.dbPlatformCode = code;
    }
    return true;
}

std::string FindTempDir() {
    for (const char* name : {"TEMP", "temp", "TMP", "tmp"}) {
        std::string value = fs::GetEnv(name);
        if (!value.empty()) return value;
    }
    return {};
}

}  // namespace

std::vector<std::string> SplitSwitchWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (char c : text) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if ((c == ' ' || c == '\t') && !quoted) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(word);
    return words;
}

bool ParseCommandLine(Session& session, UserPort& port, const std::string& commandLine,
                      StartupOptions& options) {
    const std::string line = Trim(commandLine);
    if (line.empty()) {
        ReportMissingParameter(session, port);
        return false;
    }

    // The source directory runs up to the first double quote after the first character.
    // A first field without quotes gives no directory: the parameter is missing.
    const size_t quote = line.find('"', 1);
    if (line[0] != '"' || quote == std::string::npos) {
        ReportMissingParameter(session, port);
        return false;
    }
    std::string source = Trim(line.substr(0, quote));
    if (!source.empty() && source.front() == '"') source.erase(0, 1);
    if (!source.empty() && source.back() == '"') source.pop_back();

    // A blank must follow the closing quote; what comes after it is the further text.
    const size_t blank = line.find(' ', quote + 1);
    if (blank == std::string::npos) {
        ReportMissingParameter(session, port);
        return false;
    }
    if (!source.empty() && source.back() == '\\') source.pop_back();
    session.SourceDir = source;

    if (!ReadSwitches(session, port, line.substr(blank + 1), options)) return false;

    std::string temp = FindTempDir();
    if (temp.empty()) {
        TellUser(port, Res(session, Str::TempNotSet) + "\r\n" + Res(session, Str::CorrectAndRerun));
        return false;
    }
    if (!fs::IsDirectory(temp)) fs::CreateDir(temp);  // a failure here is passed over
    if (temp.back() == '\\') temp.pop_back();
    session.TempDir = temp;
    return true;
}

}  // namespace qv

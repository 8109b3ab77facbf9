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

const char* const kValidSwitches =
    "Valid switches: /S /LANG=<code> /DB=<code> /TYPE=<0-6> /PRODUCTS=<code>,<code> /DIR=<path> "
    "/GROUP=<title> /NOGROUP /DBDIR=<path> /CRC /LOG=<file> /PLAN /VERIFY /REPAIR /PASSIVE /SAVEINF=<file> "
    "/LOADINF=<file>";

enum class Sw {
    Silent, Lang, Db, Type, Products, Dir, Group, NoGroup, DbDir, Crc, Log, Plan, Verify, Repair, Passive, SaveInf,
    LoadInf
};

struct SwitchSpec {
    Sw id;
    const char* name;   // as the user writes it, without "=" and value
    const char* usage;  // how it is written, for the messages
    bool takesValue;
};

constexpr SwitchSpec kSwitches[] = {
    {Sw::Silent, "/S", "/S", false},
    {Sw::Lang, "/LANG", "/LANG=<code>", true},
    {Sw::Db, "/DB", "/DB=<code>", true},
    {Sw::Type, "/TYPE", "/TYPE=<0-6>", true},
    {Sw::Products, "/PRODUCTS", "/PRODUCTS=<code>,<code>", true},
    {Sw::Dir, "/DIR", "/DIR=<path>", true},
    {Sw::Group, "/GROUP", "/GROUP=<title>", true},
    {Sw::NoGroup, "/NOGROUP", "/NOGROUP", false},
    {Sw::DbDir, "/DBDIR", "/DBDIR=<path>", true},
    {Sw::Crc, "/CRC", "/CRC", false},
    {Sw::Log, "/LOG", "/LOG=<file>", true},
    {Sw::Plan, "/PLAN", "/PLAN", false},
    {Sw::Verify, "/VERIFY", "/VERIFY", false},
    {Sw::Repair, "/REPAIR", "/REPAIR", false},
    {Sw::Passive, "/PASSIVE", "/PASSIVE", false},
    {Sw::SaveInf, "/SAVEINF", "/SAVEINF=<file>", true},
    {Sw::LoadInf, "/LOADINF", "/LOADINF=<file>", true},
};

// The run mode a switch word names; Install for any other word.
RunMode ModeOf(const std::string& word) {
    if (EqualsNoCase(word, "/PLAN")) return RunMode::Plan;
    if (EqualsNoCase(word, "/VERIFY")) return RunMode::Verify;
    if (EqualsNoCase(word, "/REPAIR")) return RunMode::Repair;
    return RunMode::Install;
}

const SwitchSpec* FindSwitch(const std::string& name) {
    for (const SwitchSpec& spec : kSwitches)
        if (EqualsNoCase(name, spec.name)) return &spec;
    return nullptr;
}

// An install type is one of the digits 0 to 6 (leading zeros allowed).
bool ParseInstallType(const std::string& text, int& type) {
    if (text.empty()) return false;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
        if (value > 6) return false;
    }
    type = value;
    return true;
}

// The product codes of a /PRODUCTS= value: split on commas, each trimmed, none empty.
bool SplitProductCodes(const std::string& text, std::vector<std::string>& codes) {
    codes.clear();
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string code = Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (code.empty()) return false;
        codes.push_back(code);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Applies one switch word to options; false with `problem` set when it cannot.
bool ApplySwitch(const std::string& word, StartupOptions& options, std::string& problem) {
    const size_t equals = word.find('=');
    const bool hasValue = equals != std::string::npos;
    const std::string name = word.substr(0, equals);
    const std::string raw = hasValue ? word.substr(equals + 1) : std::string();
    const std::string value = Trim(raw);

    const SwitchSpec* spec = FindSwitch(name);
    if (!spec) {
        problem = "Unknown switch \"" + word + "\".\r\n" + kValidSwitches + ".";
        return false;
    }
    if (!spec->takesValue && hasValue) {
        problem = "Switch \"" + word + "\" takes no value.\r\nUse " + spec->usage + ".";
        return false;
    }
    // /DB= and /TYPE= have messages of their own for a missing value; /GROUP= may be empty.
    const bool valueRequired = spec->id != Sw::Db && spec->id != Sw::Type && spec->id != Sw::Group;
    if (spec->takesValue && (!hasValue || (valueRequired && value.empty()))) {
        problem = "Switch \"" + word + "\" needs a value.\r\nUse " + spec->usage + ".";
        return false;
    }

    switch (spec->id) {
        case Sw::Silent: options.silent = true; break;
        case Sw::Crc: options.crcCheck = true; break;
        case Sw::NoGroup: options.noGroup = true; break;
        case Sw::Lang: options.languageCode = value; break;
        case Sw::Dir: options.installDir = value; break;
        case Sw::DbDir: options.dbDir = value; break;
        case Sw::Log: options.logPath = value; break;
        case Sw::Plan: options.mode = RunMode::Plan; break;
        case Sw::Verify: options.mode = RunMode::Verify; break;
        case Sw::Repair: options.mode = RunMode::Repair; break;
        case Sw::Passive: options.passive = true; break;
        case Sw::SaveInf: options.saveInfPath = value; break;
        case Sw::LoadInf: options.loadInfPath = value; break;
        case Sw::Db: {
            const std::string code = UpperAscii(value);
            if (!FindDbPlatform(code)) {
                problem = "Unknown database platform \"" + raw + "\" in " + word + ".\r\nUse one of " +
                          PlatformCodes() + ".";
                return false;
            }
            options.dbPlatformCode = code;
            break;
        }
        case Sw::Type:
            if (!ParseInstallType(value, options.installType)) {
                problem = "Invalid install type \"" + raw + "\" in " + word + ".\r\nUse a number from 0 to 6.";
                return false;
            }
            break;
        case Sw::Products:
            if (!SplitProductCodes(raw, options.productCodes)) {
                problem = "Empty product code in " + word + ".\r\nUse " + spec->usage + ".";
                return false;
            }
            options.productsGiven = true;
            break;
        case Sw::Group:
            if (raw.size() > kMaxGroupTitle) {
                problem = "Group title longer than " + std::to_string(kMaxGroupTitle) + " characters in " + word +
                          ".\r\nUse a title of at most " + std::to_string(kMaxGroupTitle) + " characters.";
                return false;
            }
            options.groupGiven = true;
            options.groupTitle = raw;
            break;
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

const char* DefaultLogName(RunMode mode) {
    switch (mode) {
        case RunMode::Plan: return "qvsetup-plan.log";
        case RunMode::Verify: return "qvsetup-verify.log";
        case RunMode::Repair: return "qvsetup-repair.log";
        case RunMode::Install: break;
    }
    return "qvsetup.log";
}

bool ReadSwitches(const std::string& furtherText, StartupOptions& options, std::string& problem) {
    // Words that do not begin with "/" are left alone: the installer has always been
    // started with a word of further text that it ignores.
    StartupOptions result = options;
    std::string groupWord, noGroupWord, modeWord;
    for (const std::string& word : SplitSwitchWords(furtherText)) {
        if (word.empty() || word[0] != '/') continue;
        if (!ApplySwitch(word, result, problem)) return false;
        // What these words say of the group wins over what the options held before (an
        // answer file); only these words can contradict each other.
        if (StartsWithNoCase(word, "/GROUP=")) {
            groupWord = word;
            if (noGroupWord.empty()) result.noGroup = false;
        }
        if (EqualsNoCase(word, "/NOGROUP")) {
            noGroupWord = word;
            if (groupWord.empty()) result.groupGiven = false;
        }
        if (ModeOf(word) == RunMode::Install) continue;
        if (!modeWord.empty() && ModeOf(modeWord) != ModeOf(word)) {
            problem = "Switches " + modeWord + " and " + word +
                      " exclude each other.\r\nUse one of /PLAN, /VERIFY and /REPAIR.";
            return false;
        }
        modeWord = word;
    }
    if (result.groupGiven && result.noGroup) {
        problem = "Switches " + groupWord + " and " + noGroupWord +
                  " exclude each other.\r\nUse /GROUP=<title> or /NOGROUP, not both.";
        return false;
    }
    options = result;
    problem.clear();
    return true;
}

StartupOptions PeekSwitches(const std::string& commandLine) {
    // The switches follow the quoted source directory. Without a closing quote, or
    // without quotes at all, every word is looked at: a source directory does not
    // begin with "/".
    const std::string line = Trim(commandLine);
    std::string rest = line;
    if (!line.empty() && line[0] == '"') {
        const size_t quote = line.find('"', 1);
        rest = quote == std::string::npos ? line.substr(1) : line.substr(quote + 1);
    }
    StartupOptions options;
    for (const std::string& word : SplitSwitchWords(rest)) {
        if (EqualsNoCase(word, "/S")) options.silent = true;
        else if (EqualsNoCase(word, "/PASSIVE")) options.passive = true;
        else if (StartsWithNoCase(word, "/LOG=")) options.logPath = Trim(word.substr(5));
        else if (StartsWithNoCase(word, "/LOADINF=")) options.loadInfPath = Trim(word.substr(9));
        else if (ModeOf(word) != RunMode::Install) options.mode = ModeOf(word);
    }
    // A plan, a verify and a repair are read from their log: without /LOG they write one
    // to the temporary directory.
    if (options.mode != RunMode::Install && options.logPath.empty()) {
        const std::string temp = FindTempDir();
        if (!temp.empty()) options.logPath = temp + (EndsWith(temp, "\\") ? "" : "\\") + DefaultLogName(options.mode);
    }
    return options;
}

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

    std::string problem;
    if (!ReadSwitches(line.substr(blank + 1), options, problem)) {
        TellUser(port, Res(session, Str::LoadError) + "\r\n" + problem);
        return false;
    }

    std::string temp = FindTempDir();
    if (temp.empty()) {
        TellUser(port, Res(session, Str::TempNotSet) + "\r\n" + Res(session, Str::CorrectAndRerun));
        return false;
    }
    RunError ignored;  // a folder that cannot be made is passed over here
    if (!fs::IsDirectory(temp)) fs::CreateDir(temp, ignored);
    if (temp.back() == '\\') temp.pop_back();
    session.TempDir = temp;
    return true;
}

}  // namespace qv

#include "setup/session/command_line.h"

#include <algorithm>
#include <cctype>

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

// ---- The values that are read their own way, and their answers --------------------

bool ApplyDb(StartupOptions& options, const SwitchArg& arg, std::string& problem) {
    const std::string code = UpperAscii(arg.value);
    if (!FindDbPlatform(code)) {
        problem = "Unknown database platform \"" + arg.raw + "\" in " + arg.word + ".\r\nUse one of " +
                  PlatformCodes() + ".";
        return false;
    }
    options.dbPlatformCode = code;
    return true;
}

bool ApplyType(StartupOptions& options, const SwitchArg& arg, std::string& problem) {
    if (ParseInstallType(arg.value, options.installType)) return true;
    problem = "Invalid install type \"" + arg.raw + "\" in " + arg.word + ".\r\nUse a number from 0 to 6.";
    return false;
}

bool ApplyProducts(StartupOptions& options, const SwitchArg& arg, std::string& problem) {
    if (!SplitProductCodes(arg.raw, options.productCodes)) {
        problem = "Empty product code in " + arg.word + ".\r\nUse " + arg.usage + ".";
        return false;
    }
    options.productsGiven = true;
    return true;
}

// A group title is taken as written; an empty one is a title (the shortcuts go straight
// into the Programs folder).
bool ApplyGroup(StartupOptions& options, const SwitchArg& arg, std::string& problem) {
    if (arg.raw.size() > kMaxGroupTitle) {
        problem = "Group title longer than " + std::to_string(kMaxGroupTitle) + " characters in " + arg.word +
                  ".\r\nUse a title of at most " + std::to_string(kMaxGroupTitle) + " characters.";
        return false;
    }
    options.groupGiven = true;
    options.groupTitle = arg.raw;
    return true;
}

bool ApplyAllUsers(StartupOptions& options, const SwitchArg&, std::string&) {
    options.scope = InstallScope::AllUsers;
    return true;
}

bool ApplyCurrentUser(StartupOptions& options, const SwitchArg&, std::string&) {
    options.scope = InstallScope::CurrentUser;
    return true;
}

std::optional<std::string> AnswerDb(const StartupOptions& o) {
    if (o.dbPlatformCode.empty()) return std::nullopt;
    return o.dbPlatformCode;
}

std::optional<std::string> AnswerType(const StartupOptions& o) { return std::to_string(o.installType); }

// The codes that can be named again: an empty code cannot.
std::optional<std::string> AnswerProducts(const StartupOptions& o) {
    if (!o.productsGiven) return std::nullopt;
    std::string text;
    for (const std::string& code : o.productCodes)
        if (!Trim(code).empty()) text += (text.empty() ? "" : ",") + Trim(code);
    return text;
}

std::optional<std::string> AnswerGroup(const StartupOptions& o) {
    if (!o.groupGiven) return std::nullopt;
    return o.groupTitle;
}

// 0 only once the group is known: before that, the file says nothing of it.
std::optional<std::string> AnswerNoGroup(const StartupOptions& o) {
    if (o.noGroup) return "1";
    if (o.groupGiven) return "0";
    return std::nullopt;
}

// ---- The switch table ---------------------------------------------------------------

using O = StartupOptions;

constexpr Switch kSwitches[] = {
    // Silent: every question answered by the fixed policy of an unattended run.
    {.id = SwitchId::Silent, .name = "S", .early = true, .flag = &O::silent},
    // The language whose code in the CD's language list matches.
    {.id = SwitchId::Lang, .name = "LANG", .hint = "<code>", .inAnswerFile = true, .text = &O::languageCode},
    // The database platform, a code of the platform table.
    {.id = SwitchId::Db, .name = "DB", .hint = "<code>", .blankAllowed = true, .inAnswerFile = true,
     .apply = &ApplyDb, .answer = &AnswerDb},
    // The install type whose products are listed.
    {.id = SwitchId::Type, .name = "TYPE", .hint = "<0-6>", .blankAllowed = true, .inAnswerFile = true,
     .apply = &ApplyType, .answer = &AnswerType},
    // Exactly the products with these product codes.
    {.id = SwitchId::Products, .name = "PRODUCTS", .hint = "<code>,<code>", .inAnswerFile = true,
     .apply = &ApplyProducts, .answer = &AnswerProducts},
    // The install-to directory.
    {.id = SwitchId::Dir, .name = "DIR", .hint = "<path>", .early = true, .inAnswerFile = true, .text = &O::installDir},
    // The program group title, at most 30 characters (may be empty).
    {.id = SwitchId::Group, .name = "GROUP", .hint = "<title>", .blankAllowed = true, .inAnswerFile = true,
     .apply = &ApplyGroup, .answer = &AnswerGroup},
    // No program group; excludes a group title.
    {.id = SwitchId::NoGroup, .name = "NOGROUP", .inAnswerFile = true, .flag = &O::noGroup,
     .answer = &AnswerNoGroup},
    // The connectivity programs directory.
    {.id = SwitchId::DbDir, .name = "DBDIR", .hint = "<path>", .inAnswerFile = true, .text = &O::dbDir},
    // Copied files are checked against their checksums in this run.
    {.id = SwitchId::Crc, .name = "CRC", .inAnswerFile = true, .flag = &O::crcCheck},
    // An install log, also with the windows.
    {.id = SwitchId::Log, .name = "LOG", .hint = "<file>", .early = true, .file = true, .text = &O::logPath},
    // What an install would do, without windows, writing nothing.
    {.id = SwitchId::Plan, .name = "PLAN", .early = true, .selects = RunMode::Plan},
    // The installation compared with the CD's lists, without windows.
    {.id = SwitchId::Verify, .name = "VERIFY", .early = true, .selects = RunMode::Verify},
    // Verify, then put back what drifted, without windows.
    {.id = SwitchId::Repair, .name = "REPAIR", .early = true, .selects = RunMode::Repair},
    // Only the progress window: every other question answered as a silent run does.
    {.id = SwitchId::Passive, .name = "PASSIVE", .early = true, .flag = &O::passive},
    // The answers of this run's install written to an answer file.
    {.id = SwitchId::SaveInf, .name = "SAVEINF", .hint = "<file>", .file = true, .text = &O::saveInfPath},
    // The answers of an answer file taken first (the command line wins).
    {.id = SwitchId::LoadInf, .name = "LOADINF", .hint = "<file>", .early = true, .file = true, .text = &O::loadInfPath},
    // Removes what the installs into the install-to directory wrote, by their record.
    {.id = SwitchId::Uninstall, .name = "UNINSTALL", .early = true, .selects = RunMode::Uninstall},
    // The verify window for the install-to directory, over the main window (Apps & features' Modify).
    {.id = SwitchId::Modify, .name = "MODIFY", .early = true, .selects = RunMode::Modify},
    // An install that does not complete keeps what it copied instead of being rolled back.
    {.id = SwitchId::NoRollback, .name = "NOROLLBACK", .flag = &O::noRollback},
    // Every chosen file is copied, also one that is still as an install wrote it.
    {.id = SwitchId::Reinstall, .name = "REINSTALL", .flag = &O::reinstall},
    // The same as /S, under the name other installers give it.
    {.id = SwitchId::Quiet, .name = "QUIET", .early = true, .flag = &O::silent},
    // Accepted for packagers who add it: the installer never restarts the machine; a run that
    // needs a restart says so with its exit code.
    {.id = SwitchId::NoRestart, .name = "NORESTART", .flag = &O::noRestart},
    // The machine's Apps & features entry and the all-users Programs folder, or the run ends.
    {.id = SwitchId::AllUsers, .name = "ALLUSERS", .apply = &ApplyAllUsers},
    // The user's Apps & features entry and Programs folder; nothing for the machine.
    {.id = SwitchId::CurrentUser, .name = "CURRENTUSER", .apply = &ApplyCurrentUser},
};

// How a switch is written: "/LOG=<file>".
std::string Usage(const Switch& sw) {
    return std::string("/") + sw.name + (sw.hint ? std::string("=") + sw.hint : "");
}

std::string ValidSwitches() {
    std::string text = "Valid switches:";
    for (const Switch& sw : kSwitches) text += " " + Usage(sw);
    return text;
}

// The switches that choose a run mode, as the user may choose between them.
std::string ModeSwitches() {
    std::vector<std::string> names;
    for (const Switch& sw : kSwitches)
        if (sw.selects) names.push_back(Usage(sw));
    return JoinList(names, " and ");
}

const Switch& Row(SwitchId id) {
    return *std::find_if(std::begin(kSwitches), std::end(kSwitches), [id](const Switch& sw) { return sw.id == id; });
}

// The file a switch names, full: false, with the problem, where no file can be there.
bool FullFilePath(const SwitchArg& arg, std::string& path, std::string& problem) {
    const std::optional<Path> current = fs::CurrentDir();
    std::string why;
    const std::optional<Path> file = Path::Parse(arg.value, why, current ? &*current : nullptr, PathForms{true});
    if (!file || file->IsRoot()) {
        problem = "Switch \"" + arg.word + "\" names no file: " + (file ? "it is a root" : why) + ".\r\nUse " + arg.usage + ".";
        return false;
    }
    path = file->str();
    return true;
}

// Sets what the switch says; the value has been judged by the rules of the table.
bool Set(const Switch& sw, const SwitchArg& arg, StartupOptions& options, std::string& problem) {
    if (sw.flag) options.*sw.flag = true;
    if (sw.text && sw.file && !FullFilePath(arg, options.*sw.text, problem)) return false;
    if (sw.text && !sw.file) options.*sw.text = arg.value;
    if (sw.selects) options.mode = *sw.selects;
    return !sw.apply || sw.apply(options, arg, problem);
}

// Applies one known switch; false with `problem` set when it cannot.
bool ApplyOne(const GivenSwitch& given, StartupOptions& options, std::string& problem) {
    const Switch& sw = *given.sw;
    if (!sw.hint && given.value) {
        problem = "Switch \"" + given.word + "\" takes no value.\r\nUse " + Usage(sw) + ".";
        return false;
    }
    const std::string raw = given.value.value_or("");
    const SwitchArg arg{given.word, raw, Trim(raw), Usage(sw)};
    if (sw.hint && (!given.value || (!sw.blankAllowed && arg.value.empty()))) {
        problem = "Switch \"" + given.word + "\" needs a value.\r\nUse " + Usage(sw) + ".";
        return false;
    }
    return Set(sw, arg, options, problem);
}

// A run mode as the messages name it: by the switch that chooses it.
std::string ModeName(RunMode mode) {
    for (const Switch& sw : kSwitches)
        if (sw.selects == mode) return Usage(sw);
    return "an install";
}

// A switch given with a run mode it does not go with.
bool CheckModes(const std::vector<GivenSwitch>& given, RunMode mode, std::string& problem) {
    for (const GivenSwitch& g : given) {
        if (g.sw->modes & ModeBit(mode)) continue;
        std::vector<std::string> allowed;
        if (g.sw->modes & ModeBit(RunMode::Install)) allowed.push_back(ModeName(RunMode::Install));
        for (const Switch& sw : kSwitches)
            if (sw.selects && (g.sw->modes & ModeBit(*sw.selects))) allowed.push_back(Usage(sw));
        problem = "Switch \"" + g.word + "\" does not go with " + ModeName(mode) + ".\r\nUse it only with " +
                  JoinList(allowed, " or ") + ".";
        return false;
    }
    return true;
}

// The switch a word of the command line names, and its value.
GivenSwitch GivenOf(const std::string& word) {
    const size_t equals = word.find('=');
    GivenSwitch given{FindSwitch(std::string_view(word).substr(1, equals == std::string::npos ? equals : equals - 1)),
                      word, std::nullopt};
    if (equals != std::string::npos) given.value = word.substr(equals + 1);
    return given;
}

// The temporary directory the environment names; nothing when it names none, or names no
// place a folder can be.
std::optional<Path> FindTempDir() {
    for (const char* name : {"TEMP", "temp", "TMP", "tmp"}) {
        const std::string value = fs::GetEnv(name);
        if (!value.empty()) return Path::Parse(value, nullptr, PathForms{true});
    }
    return std::nullopt;
}

}  // namespace

std::string DefaultLogName(RunMode mode) {
    // A run of another mode logs to "qvsetup-<its switch in small letters>.log".
    for (const Switch& sw : kSwitches) {
        if (sw.selects != mode) continue;
        std::string name = sw.name;
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return "qvsetup-" + name + ".log";
    }
    return "qvsetup.log";
}

std::string ExitLine(ExitCode code, RunMode mode) {
    const char* done = "installed";
    const char* atRestart = "installed; a restart finishes it";
    switch (mode) {
        case RunMode::Install:
        case RunMode::Modify: break;
        case RunMode::Plan: done = "would install"; break;
        case RunMode::Verify:
            done = "intact";
            atRestart = "intact once a restart finishes the install";
            break;
        case RunMode::Repair:
            done = "repaired";
            atRestart = "repaired; a restart finishes it";
            break;
        case RunMode::Uninstall:
            done = "removed";
            atRestart = "removed, some files go at the next restart";
            break;
    }
    return "Exit code " + std::to_string(static_cast<int>(code)) + ": " + ExitCodeMeaning(code, done, atRestart);
}

std::span<const Switch> Switches() { return kSwitches; }

const Switch* FindSwitch(std::string_view name) {
    for (const Switch& sw : kSwitches)
        if (EqualsNoCase(name, sw.name)) return &sw;
    return nullptr;
}

std::string SwitchName(SwitchId id) { return std::string("/") + Row(id).name; }

bool ApplySwitches(const std::vector<GivenSwitch>& given, StartupOptions& options, std::string& problem) {
    StartupOptions result = options;
    // A group title and no group are one choice: made here, it replaces the one the
    // options held before, and made both ways here, it is refused.
    const auto isGroupChoice = [](const GivenSwitch& g) {
        return g.sw && (g.sw->id == SwitchId::Group || g.sw->id == SwitchId::NoGroup);
    };
    if (std::any_of(given.begin(), given.end(), isGroupChoice)) result.groupGiven = result.noGroup = false;
    const GivenSwitch *groupWord = nullptr, *noGroupWord = nullptr, *modeWord = nullptr, *allUsersWord = nullptr,
                      *currentUserWord = nullptr;
    for (const GivenSwitch& g : given) {
        if (!g.sw) {
            problem = "Unknown switch \"" + g.word + "\".\r\n" + ValidSwitches() + ".";
            return false;
        }
        if (!ApplyOne(g, result, problem)) return false;
        if (g.sw->id == SwitchId::Group) groupWord = &g;
        if (g.sw->id == SwitchId::NoGroup) noGroupWord = &g;
        if (g.sw->id == SwitchId::AllUsers) allUsersWord = &g;
        if (g.sw->id == SwitchId::CurrentUser) currentUserWord = &g;
        if (!g.sw->selects) continue;
        if (modeWord && modeWord->sw->selects != g.sw->selects) {
            problem = "Switches " + modeWord->word + " and " + g.word + " exclude each other.\r\nUse one of " +
                      ModeSwitches() + ".";
            return false;
        }
        modeWord = &g;
    }
    for (const auto& [one, other] : {std::pair{groupWord, noGroupWord}, std::pair{allUsersWord, currentUserWord}}) {
        if (!one || !other) continue;
        problem = "Switches " + one->word + " and " + other->word + " exclude each other.\r\nUse " + Usage(*one->sw) +
                  " or " + Usage(*other->sw) + ", not both.";
        return false;
    }
    if (!CheckModes(given, result.mode, problem)) return false;
    options = result;
    problem.clear();
    return true;
}

std::optional<std::string> AnswerOf(const Switch& sw, const StartupOptions& options) {
    if (!sw.inAnswerFile) return std::nullopt;
    std::optional<std::string> value;
    if (sw.answer) value = sw.answer(options);
    else if (sw.flag) value = options.*sw.flag ? "1" : "0";
    else if (sw.text) value = options.*sw.text;
    // A value the switch trims is answered trimmed; a blank one is no answer.
    if (value && sw.hint && !sw.blankAllowed) {
        value = Trim(*value);
        if (value->empty()) return std::nullopt;
    }
    return value;
}

std::vector<std::pair<std::string, std::string>> AnswersOf(const StartupOptions& options) {
    std::vector<std::pair<std::string, std::string>> answers;
    for (const Switch& sw : kSwitches)
        if (const std::optional<std::string> value = AnswerOf(sw, options)) answers.emplace_back(sw.name, *value);
    return answers;
}

bool ReadSwitches(const std::string& furtherText, StartupOptions& options, std::string& problem) {
    // Words that do not begin with "/" are left alone: the installer has always been
    // started with a word of further text that it ignores.
    std::vector<GivenSwitch> given;
    for (const std::string& word : SplitSwitchWords(furtherText))
        if (!word.empty() && word[0] == '/') given.push_back(GivenOf(word));
    return ApplySwitches(given, options, problem);
}

StartupOptions ReadSwitchesLeniently(const std::string& commandLine) {
    // The switches follow the quoted source directory. Without a closing quote, or
    // without quotes at all, every word is looked at: a source directory does not
    // begin with "/".
    const std::string line = Trim(commandLine);
    std::string rest = line;
    if (!line.empty() && line[0] == '"') {
        const size_t quote = line.find('"', 1);
        rest = quote == std::string::npos ? line.substr(1) : line.substr(quote + 1);
    }
    // Only the early switches, each written as the table has it; a value is not judged.
    StartupOptions options;
    for (const std::string& word : SplitSwitchWords(rest)) {
        if (word.empty() || word[0] != '/') continue;
        const GivenSwitch given = GivenOf(word);
        if (!given.sw || !given.sw->early || (given.sw->hint != nullptr) != given.value.has_value()) continue;
        const std::string raw = given.value.value_or("");
        std::string ignored;
        Set(*given.sw, {word, raw, Trim(raw), Usage(*given.sw)}, options, ignored);
    }
    // A plan, a verify and a repair are read from their log: without /LOG they write one
    // to the temporary directory.
    if (options.mode != RunMode::Install && options.logPath.empty()) {
        if (const std::optional<Path> temp = FindTempDir()) options.logPath = temp->Join(DefaultLogName(options.mode))->str();
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
                      StartupOptions& options, const std::string& programFolder) {
    const std::string line = Trim(commandLine);
    if (line.empty()) {
        ReportMissingParameter(session, port);
        return false;
    }

    std::string source, further;
    if (line[0] != '"') {
        // Switches only, or words: the program was started from the CD's own folder (as
        // deployment tools and wrappers start it), and the whole line is further text.
        // Where the program's folder is unknown, the parameter is missing.
        if (programFolder.empty()) {
            ReportMissingParameter(session, port);
            return false;
        }
        source = programFolder;
        further = line;
    } else {
        // The source directory runs up to the first double quote after the first character.
        const size_t quote = line.find('"', 1);
        if (quote == std::string::npos) {
            ReportMissingParameter(session, port);
            return false;
        }
        source = Trim(line.substr(0, quote));
        source.erase(0, 1);  // the opening quote
        // A blank must follow the closing quote; what comes after it is the further text.
        const size_t blank = line.find(' ', quote + 1);
        if (blank == std::string::npos) {
            ReportMissingParameter(session, port);
            return false;
        }
        further = line.substr(blank + 1);
    }
    if (!source.empty() && source.back() == '\\') source.pop_back();
    session.SourceDir = source;

    std::string problem;
    if (!ReadSwitches(further, options, problem)) {
        TellUser(port, Res(session, Str::LoadError) + "\r\n" + problem);
        return false;
    }

    const std::optional<Path> temp = FindTempDir();
    if (!temp) {
        TellUser(port, Res(session, Str::TempNotSet) + "\r\n" + Res(session, Str::CorrectAndRerun));
        return false;
    }
    RunError ignored;  // a folder that cannot be made is passed over here
    if (!fs::IsDirectory(*temp)) PassOver(fs::CreateDir(*temp, ignored));
    session.TempDir = temp->Unslashed();
    session.Scope = options.scope;
    session.Reinstall = options.reinstall;
    return true;
}

}  // namespace qv

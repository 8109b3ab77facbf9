// The installer's command line: the CD's source directory in double quotes, a blank,
// then further text. A line that does not begin with a double quote (switches only, or
// words) names no directory: the CD is then the program's own folder. Words of the further text that begin with "/" are switches (names
// in any case; a value with blanks goes in double quotes); other words are ignored.
//
// Every switch is one row of the switch table (command_line.cpp): its name, how its value
// is written and judged, the run mode it chooses and the modes it goes with, the option it
// sets and its key in an answer file. The full reading, the lenient first look, the usage
// text, the mode checks and the answer files are all derived from the table, so a new
// switch is a new row (with its id and its option).
//
// An unknown switch or a bad value ends the start-up. A switch given twice takes the
// last value.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "setup/session/exit_codes.h"
#include "setup/session/file_system.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// What a run does: install or uninstall (with windows or silently), or, without windows,
// plan an install, verify an installation, or repair it; or, with the windows, open the
// verify window of an installation.
enum class RunMode { Install, Plan, Verify, Repair, Uninstall, Modify };

// A set of run modes.
using RunModes = unsigned;
constexpr RunModes ModeBit(RunMode mode) { return 1u << static_cast<unsigned>(mode); }
inline constexpr RunModes kEveryMode = ~0u;

// The log a run of this mode writes without /LOG, in the temporary directory.
std::string DefaultLogName(RunMode mode);

// The last line of a run's log: "Exit code 0: removed", said as the mode means the code.
std::string ExitLine(ExitCode code, RunMode mode);

struct StartupOptions {
    std::string dbPlatformCode = "SBS";
    bool crcCheck = false;  // turn checksum checking on (start-up turns it off)

    bool silent = false;       // no window and no message box
    std::string languageCode;  // empty: chosen as without the switch
    int installType = 1;
    bool productsGiven = false;             // the products were named
    std::vector<std::string> productCodes;  // their codes, trimmed, as written
    std::string installDir;    // empty: what the main window proposes
    bool groupGiven = false;   // a group title was given
    std::string groupTitle;    // the title, as written
    bool noGroup = false;      // no program group
    std::string dbDir;         // empty: the platform's default
    std::string logPath;       // empty: no log
    RunMode mode = RunMode::Install;
    bool passive = false;      // only the progress window
    std::string saveInfPath;   // empty: no answer file written
    std::string loadInfPath;   // empty: no answer file read
    bool noRollback = false;   // an install that does not complete keeps what it copied
    bool reinstall = false;    // every chosen file is copied, also one still as an install wrote it
    bool noRestart = false;    // /NORESTART, accepted: the installer never restarts the machine
    InstallScope scope = InstallScope::AsAllowed;  // /ALLUSERS, /CURRENTUSER

    // No window at all: silent, or a plan, verify or repair.
    bool Unattended() const {
        return silent || (mode != RunMode::Install && mode != RunMode::Uninstall && mode != RunMode::Modify);
    }
    // Only the progress window: passive, unless silent or another mode shows none at all.
    bool Passive() const { return passive && !Unattended(); }

    bool operator==(const StartupOptions&) const = default;
};

// The switches, one id each, in the order of the usage text.
enum class SwitchId {
    Silent, Lang, Db, Type, Products, Dir, Group, NoGroup, DbDir, Crc, Log, Plan, Verify, Repair, Passive, SaveInf,
    LoadInf, Uninstall, Modify, NoRollback, Reinstall, Quiet, NoRestart, AllUsers, CurrentUser
};

// A switch's value as given, for the switch's own reading.
struct SwitchArg {
    std::string word;   // the switch as written, to name it in messages ("/TYPE=9")
    std::string raw;    // what follows "=", as written
    std::string value;  // raw without surrounding blanks
    std::string usage;  // how the switch is written ("/TYPE=<0-6>")
};

// One row of the switch table.
struct Switch {
    SwitchId id;
    const char* name;                  // after "/", in capitals; its key in an answer file too
    const char* hint = nullptr;        // its value in the usage text ("<file>"); none: a flag
    bool blankAllowed = false;         // a blank value goes to the switch's own reading
    bool early = false;                // taken by the lenient first look too
    bool inAnswerFile = false;         // an answer file holds it, under its name
    bool file = false;                 // its value names a file, made full against the current directory
    RunModes modes = kEveryMode;       // the run modes it may be given with
    std::optional<RunMode> selects{};  // the run mode it chooses
    bool StartupOptions::*flag = nullptr;         // the option a flag turns on
    std::string StartupOptions::*text = nullptr;  // the option its value sets, trimmed
    // A value read its own way: false, with the problem, when it cannot be taken.
    bool (*apply)(StartupOptions&, const SwitchArg&, std::string& problem) = nullptr;
    // Its answer, where that is not its option as it stands; nothing: no answer to give.
    std::optional<std::string> (*answer)(const StartupOptions&) = nullptr;
};

// The table, in the order of the usage text.
std::span<const Switch> Switches();
// The row of a name (without "/", any case); nullptr for none.
const Switch* FindSwitch(std::string_view name);
// The switch as it is named in messages: "/LANG".
std::string SwitchName(SwitchId id);

// A switch as given: its row (nullptr: unknown), the word that names it in messages, and
// what follows its "=" (nothing without one).
struct GivenSwitch {
    const Switch* sw = nullptr;
    std::string word;
    std::optional<std::string> value;
};

// Applies switches given together (one command line) to options, in order. On an unknown
// switch, a bad value or switches that exclude each other it returns false with options
// unchanged and `problem` holding what to tell the user: a sentence naming the word, a
// line break and how to write it. What they say wins over what options held before (an
// answer file's), a group or no group included.
bool ApplySwitches(const std::vector<GivenSwitch>& given, StartupOptions& options, std::string& problem);

// What an answer file holds for this switch to give options again: "1" or "0" for a flag,
// else the value as the switch takes it; nothing when options hold no answer to it or an
// answer file does not hold the switch.
std::optional<std::string> AnswerOf(const Switch& sw, const StartupOptions& options);
// Every answer the options hold, by answer-file key, in the order of the table.
std::vector<std::pair<std::string, std::string>> AnswersOf(const StartupOptions& options);

// Splits the further text into words: blanks separate them, double quotes group blanks
// into a word and are removed.
std::vector<std::string> SplitSwitchWords(const std::string& text);

// Applies the switches of the further text to options (see ApplySwitches).
bool ReadSwitches(const std::string& furtherText, StartupOptions& options, std::string& problem);

// A lenient first look at the whole command line (the source directory in quotes first)
// that takes only the switches the table marks early (/S, /PASSIVE, /LOG=, /LOADINF= and
// the run mode) and never fails, so that the program can choose its interaction port and
// open its log before the full reading reports anything. A run of another mode than
// install logs to the temporary directory without /LOG.
StartupOptions ReadSwitchesLeniently(const std::string& commandLine);

// Reads the command line (without the program's own name) into SourceDir, the switches
// into options (and their scope into Scope), and finds TempDir. A line whose first field
// is not in double quotes takes programFolder (the folder of the running program) as the
// source directory and reads all of it as further text. On failure it tells the user and
// returns false: the process is to end.
bool ParseCommandLine(Session& session, UserPort& port, const std::string& commandLine,
                      StartupOptions& options, const std::string& programFolder = fs::ProgramFolder());

}  // namespace qv

// The installer's command line: the CD's source directory in double quotes, a blank,
// then further text. Words of the further text that begin with "/" are switches (names
// in any case; a value with blanks goes in double quotes); other words are ignored.
//   /S               silent: no window and no message box, every question answered by
//                    the fixed policy of an unattended run
//   /LANG=<code>     the language whose code in the CD's language list matches
//   /DB=<code>       the database platform, one of the codes of the platform table (SBS if absent)
//   /TYPE=<0-6>      the install type whose products are listed (1 if absent)
//   /PRODUCTS=<code>,<code>   choose exactly the products with these product codes
//   /DIR=<path>      the install-to directory
//   /GROUP=<title>   the program group title, at most 30 characters (may be empty)
//   /NOGROUP         make no program group; excludes /GROUP=
//   /DBDIR=<path>    the connectivity programs directory
//   /CRC             copied files are checked against their checksums in this run
//   /LOG=<file>      write an install log to this file (also without /S)
//   /PLAN            tell what an install would do, without windows, writing nothing
//   /VERIFY          compare the installation with the CD's lists, without windows
//   /REPAIR          verify, then put back what drifted, without windows
//   /PASSIVE         only the progress window: every other question answered as /S does
//   /SAVEINF=<file>  write the answers of this run's install to an answer file
//   /LOADINF=<file>  take the switches of an answer file (the command line wins)
// An unknown switch or a bad value ends the start-up. A switch given twice takes the
// last value.
#pragma once

#include <string>
#include <vector>

#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// What a run does: install (with windows or silently), or, without windows, plan an
// install, verify an installation, or repair it.
enum class RunMode { Install, Plan, Verify, Repair };

// The log a plan, verify or repair writes without /LOG, in the temporary directory.
const char* DefaultLogName(RunMode mode);

struct StartupOptions {
    std::string dbPlatformCode = "SBS";
    bool crcCheck = false;  // /CRC: turn checksum checking on (start-up turns it off)

    bool silent = false;       // /S
    std::string languageCode;  // /LANG=, empty: chosen as without the switch
    int installType = 1;       // /TYPE=
    bool productsGiven = false;             // /PRODUCTS= was given
    std::vector<std::string> productCodes;  // its codes, trimmed, as written
    std::string installDir;    // /DIR=, empty: what the main window proposes
    bool groupGiven = false;   // /GROUP= was given
    std::string groupTitle;    // its title, as written
    bool noGroup = false;      // /NOGROUP
    std::string dbDir;         // /DBDIR=, empty: the platform's default
    std::string logPath;       // /LOG=, empty: no log
    RunMode mode = RunMode::Install;  // /PLAN, /VERIFY, /REPAIR
    bool passive = false;             // /PASSIVE
    std::string saveInfPath;          // /SAVEINF=, empty: none
    std::string loadInfPath;          // /LOADINF=, empty: none

    // No window at all: /S, or a plan, verify or repair.
    bool Unattended() const { return silent || mode != RunMode::Install; }
    // Only the progress window: /PASSIVE, unless /S or another mode shows none at all.
    bool Passive() const { return passive && !Unattended(); }
};

// Splits the further text into words: blanks separate them, double quotes group blanks
// into a word and are removed.
std::vector<std::string> SplitSwitchWords(const std::string& text);

// Applies the switches of the further text to options. On an unknown switch or a bad
// value it returns false with options unchanged and `problem` holding what to tell the
// user: a sentence naming the word, a line break and how to write it. What the words say
// wins over what options held before (the answers of an answer file), /GROUP= and
// /NOGROUP included.
bool ReadSwitches(const std::string& furtherText, StartupOptions& options, std::string& problem);

// A lenient first look at the whole command line (the source directory in quotes
// first) that takes only /S and /LOG= and never fails, so that the program can choose
// its interaction port and open its log before the full reading reports anything.
StartupOptions PeekSwitches(const std::string& commandLine);

// Reads the command line (without the program's own name) into SourceDir, the switches
// into options, and finds TempDir. On failure it tells the user and returns false: the
// process is to end.
bool ParseCommandLine(Session& session, UserPort& port, const std::string& commandLine,
                      StartupOptions& options);

}  // namespace qv

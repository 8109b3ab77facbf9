// What follows the last copied file of an install that was not aborted: the hand-over to
// a Supply Chain product's own setup, or the program group dialog, the transfer and
// workstation configuration and the five shortcuts of the program group.
#pragma once

#include <string>
#include <vector>

#include "setup/config/config_profile.h"
#include "setup/engine/install_journal.h"
#include "setup/engine/shortcut_library.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// What the program group dialog leaves behind when it has been closed.
struct GroupChoice {
    bool createGroup = true;
    std::string groupTitle;       // the folder of the shortcuts below Programs
    std::string connectivityDir;  // the database client's programs directory
};

// The windows and system services that the completion uses.
class CompletionServices {
public:
    virtual ~CompletionServices() = default;
    // Shows the program group dialog modally; after OK the wait window may stay on screen.
    virtual GroupChoice ShowGroupDialog() = 0;
    virtual void CloseWaitWindow() {}
    // Starts a program in a normal window with the focus, not awaited.
    [[nodiscard]] virtual bool StartProgram(const std::string& path, RunError& error);
    virtual ShortcutLibrary& Shortcuts() = 0;
};

enum class CompletionOutcome {
    Returned,    // the install ends with its closing message
    HandedOver,  // a Supply Chain setup program was started: the installer ends at once
};

// The default connectivity programs directory of the session's platform.
std::string DefaultConnectivityDir(const Session& session);

// The connectivity directory the program group dialog starts with: the platform's
// default, or, for the platform whose client programs come with the suite, the suite's
// own client folder below InstallDir. ConnectivityControlsEnabled is false for that
// platform: the directory is then not the user's choice.
std::string InitialConnectivityDir(const Session& session);
bool ConnectivityControlsEnabled(const Session& session);
// OK's check of the connectivity directory: the text, taken as a file search pattern,
// matches a file or directory ("c:\" matches the entries of the drive's root).
bool ConnectivityDirFound(const std::string& text);

// destRoot is the install directory; supplyChain tells whether a chosen Supply Chain
// product was installed. Every file, entry and shortcut it writes is listed in the journal
// and recorded.
CompletionOutcome FinishInstall(Session& session, UserPort& port, CompletionServices& services,
                                InstallJournal& journal, const Path& destRoot, bool supplyChain);

// One shortcut of the program group: its name in the group and what it starts.
struct GroupShortcut {
    std::string name;
    std::string target;
    std::string workdir;
    std::string args;
};

// The five shortcuts of the program group, in the order they are made.
std::vector<GroupShortcut> GroupShortcuts(const std::string& destRoot, const GroupChoice& choice);

// True when a shortcut found on disk starts what s starts: the same program (its case aside),
// in the same folder, with the same arguments.
bool StartsAsPlanned(const ShortcutTarget& found, const GroupShortcut& s);

// The Programs folder an install's group goes to, as the library takes it: the user's (0)
// for an install for the user alone, else the all-users one (1) where the system has one.
int32_t GroupCommonOf(InstallScope scope);

// The workstation configuration of the session's install directory.
Path WorkstationConfigPath(const Session& session);

// What the completion of an install that configures the workstation does once the program
// group is chosen, in the order it does it: the transfer configuration, the workstation
// configuration's entries, then the group and its shortcuts. The install applies it, and the
// plan and the verify of an install without a record judge by it.
struct CompletionPlan {
    GroupChoice group;
    Path transferConfig;                   // in TEMP; empty: this run has no place for it
    Path workstationConfig;                // below the install directory
    std::vector<ConfigEntry> entries;      // the workstation configuration's, as they are set
    int32_t groupCommon = 1;               // the Programs folder of the group, as the library takes it
    std::vector<GroupShortcut> shortcuts;  // none without a group
    bool remakeAll = false;                // /REINSTALL: a shortcut still as recorded is made again too
};
CompletionPlan PlanCompletion(const Session& session, const Path& destRoot, const GroupChoice& group);

// Makes the shortcuts of the plan's program group, the group's folder and every link listed
// in the journal first (an earlier link moved aside); the install log gets each one's result.
// A shortcut that the record holds as planned stays as it is, unless the plan remakes all:
// unchanged where it still starts that, kept where the user made it start something else.
void MakeGroupShortcuts(ShortcutLibrary& library, UserPort& port, InstallJournal& journal, const CompletionPlan& plan);

}  // namespace qv

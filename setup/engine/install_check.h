// What an install of the chosen products leaves, compared with what is on disk. The plan
// of an install, the verify of an installation and its repair walk the same lists, the
// same selection and the same completion as the install itself, so that they can never
// disagree with it about what an install writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/engine/file_list.h"
#include "setup/engine/install_completion.h"
#include "setup/engine/shortcut_library.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// How one thing an install leaves stands on disk.
enum class ItemState {
    Intact,           // as the install leaves it (a file: the same size and checksum)
    Missing,          // not there at all
    SizeDiffers,      // a file of another size
    ChecksumDiffers,  // a file of the size its list gives, with another checksum
    Changed,          // an entry with another value, a shortcut that starts something else
};

enum class ItemKind { File, ConfigEntry, DbCode, Shortcut };

// One thing an install leaves: a file, a configuration entry, a database code or a
// shortcut, as the install leaves it and as it is found.
struct CheckItem {
    ItemKind kind = ItemKind::File;
    ItemState state = ItemState::Intact;
    std::string name;      // a file's path; an entry's key; a shortcut's "<group>\<name>"
    std::string expected;  // an entry's value or a shortcut's target, as the install sets it
    std::string found;     // the same as it is on disk (empty when missing)
    int64_t expectedSize = 0;
    int64_t foundSize = -1;  // -1: missing
    // The workstation configuration: copied from the CD, then edited by the install, so
    // that its entries, not its bytes, tell whether it is intact (it drifts when missing).
    bool editedAfterCopy = false;

    // What putting it back takes. A file: its source, the list's checksum and spec, and the
    // product (index into ListedProducts) whose list names it. An entry: the file and
    // section it belongs to. A shortcut: its definition.
    std::string source;
    std::string checksum;
    std::string spec;
    int product = 0;
    bool compressed = false;
    std::string file;
    std::string section;
    GroupShortcut shortcut;
};

// Everything an install of the chosen products would leave, each item as it is now.
struct Survey {
    std::vector<CheckItem> files;           // in the order of the install
    std::vector<std::string> directories;   // the folders an install would make
    std::vector<std::string> archiveLines;  // the archive programs it would start, passwords hidden
    std::vector<CheckItem> entries;         // workstation configuration entries, database codes
    std::vector<CheckItem> shortcuts;
    std::string transferConfig;  // the transfer configuration it would write; empty: none
    std::string handOver;        // the Supply Chain setup it would start; empty: none
    GroupChoice group;           // the program group it would make (createGroup false: none)
    bool complete = true;        // false when a list could not be walked (the user was told)
};

// The program group an earlier install made, as far as the disk tells: the group
// dialog's default title when its shortcuts are there (otherwise no group), and the
// connectivity directory the workstation configuration names (otherwise the platform's
// default). What the windows verify against; the command line says it with its switches.
GroupChoice RecordedGroup(Session& session, ShortcutLibrary& shortcuts);

// A file as it is on disk against its list entry: its state and the size found (-1 when
// missing). The checksum is computed through the checksum library in large blocks, only
// when the size matches.
ItemState CheckFile(const std::string& path, int64_t size, const std::string& checksum, int64_t& foundSize);

// Surveys what an install of the chosen products would leave: every file of their lists
// (for a compressed product, where its archive program puts it), the folders, archive
// programs, configuration entries, database codes and shortcuts, each compared with what
// is on disk. Nothing is written or started. group is the program group the completion
// would make. The file being checked and the share of the bytes checked go to the port.
Survey SurveyInstall(Session& session, UserPort& port, const GroupChoice& group, ShortcutLibrary& shortcuts);

// The items of a survey that are not as the install leaves them, in survey order (the
// workstation configuration's file only when it is missing).
std::vector<const CheckItem*> DriftedItems(const Survey& survey);

// The files below the install directory that no list of the survey names (nor the
// database codes the install writes), sorted; they never count as drift.
std::vector<std::string> ExtraFiles(const Session& session, const Survey& survey);

// The plan of an install, to the log, a line per item ("Plan: file new 1024 c:\qv\a.dll")
// and the totals, given the free space of the install-to drive.
void LogPlan(const Survey& survey, UserPort& port, double freeSpace);

// The verify, to the log: a line per drifted item ("Drift: ...") and per extra file
// ("Extra: ..."), then a summary. True when anything drifted.
bool LogVerify(const Session& session, const Survey& survey, UserPort& port);

// Puts back what drifted: copies the drifted files with checking on (a compressed
// product's by its archive program), sets the drifted configuration entries and database
// codes and makes the drifted shortcuts again. Nothing intact is touched. Copy failures
// are asked about as in an install; Abort and Cancel end the repair as Stopped. A survey
// without drift repairs nothing and says so in the log.
PassOutcome RepairInstall(Session& session, UserPort& port, const Survey& survey, ShortcutLibrary& shortcuts);

// The state as the log and the windows name it: "intact", "missing", "size differs",
// "checksum differs", "changed".
const char* ItemStateName(ItemState state);

}  // namespace qv

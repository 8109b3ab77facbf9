// What an installation should hold, compared with what is on disk: the plan of an install,
// the verify of an installation and its repair. A verify and a repair judge by the install
// record, what the installs into the directory actually wrote; without one (an install
// made before the record was kept) they judge by a survey of what an install of the
// chosen products would leave, walking the same lists, selection and completion as the
// install itself. A plan surveys what the install would do.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "setup/engine/file_list.h"
#include "setup/engine/install_completion.h"
#include "setup/engine/install_plan.h"
#include "setup/engine/install_record.h"
#include "setup/engine/shortcut_library.h"
#include "setup/session/run_error.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// How one thing an install leaves stands on disk.
enum class ItemState {
    Intact,           // as the install leaves it (a file: the same size and checksum)
    Missing,          // not there at all
    SizeDiffers,      // a file of another size
    ChecksumDiffers,  // a file of the size it should have, with another checksum
    Changed,          // an entry with another value, a shortcut that starts something else
    Unreadable,       // it cannot be checked: held open, unreadable, no checksum library
    PendingRestart,   // a file whose new copy, as the install leaves it, takes its place at the next restart
};

enum class ItemKind { File, ConfigEntry, DbCode, Shortcut, Product };

// One thing an install leaves: a file, a configuration entry, a database code, a shortcut,
// or a chosen product the record does not hold, as it should be and as it is found.
struct CheckItem {
    ItemKind kind = ItemKind::File;
    ItemState state = ItemState::Intact;
    std::string name;      // a file's path; an entry's key; a shortcut's "<group>\<name>"; a product's code
    Path path;             // a file's place
    std::string expected;  // an entry's value or a shortcut's target, as the install sets it
    std::string found;     // the same as it is on disk (empty when missing)
    int64_t expectedSize = 0;
    int64_t foundSize = -1;  // -1: missing
    RunError cause;          // Unreadable: why
    Path replacement;        // PendingRestart: the copy the system puts in its place at the next restart
    // The workstation configuration: copied from the CD, then edited by the install, so
    // that its entries, not its bytes, tell whether it is intact (it drifts when missing).
    bool editedAfterCopy = false;
    // An entry whose value comes from the environment of the installing run (TEMP): a
    // survey, which knows only the verifying run's, does not judge it.
    bool judged = true;

    // What putting it back takes. A file: its source, the list's checksum and spec, and the
    // product (index into ListedProducts, 0 when the CD has none of that code) whose list
    // names it. An entry: the file and section it belongs to. A shortcut: its definition.
    std::string source;
    std::string checksum;
    std::string spec;
    int product = 0;
    bool compressed = false;
    Path file;
    std::string section;
    GroupShortcut shortcut;
};

// Everything an installation should hold, each item as it is now.
struct Survey {
    std::vector<CheckItem> files;           // in the order of the install
    std::vector<Path> directories;          // the folders an install would make
    std::vector<std::string> archiveLines;  // the archive programs it would start, passwords hidden
    std::vector<CheckItem> entries;         // workstation configuration entries, database codes
    std::vector<CheckItem> shortcuts;
    std::vector<CheckItem> products;        // chosen products the record does not hold
    Path transferConfig;         // the transfer configuration it would write; empty: none
    Path handOver;               // the Supply Chain setup it would start; empty: none
    GroupChoice group;           // the program group it would make (createGroup false: none)
    int32_t groupCommon = 1;     // the Programs folder of the group, as the library takes it
    bool complete = true;        // false when a list could not be walked (the user was told)
    bool fromRecord = false;     // judged by the install record
};

// The program group an earlier install made, as far as the disk tells: the group
// dialog's default title when its shortcuts are there (otherwise no group), and the
// connectivity directory the workstation configuration names (otherwise the platform's
// default). What the windows verify against when there is no record.
GroupChoice GroupOnDisk(Session& session, ShortcutLibrary& shortcuts);

// A file as it is on disk against its size and checksum (an empty checksum: the size
// alone): its state and the size found (-1 when missing). The checksum is computed through
// the checksum library in large blocks, only when the size matches. A file that is there
// but cannot be read, or a checksum that cannot be computed, is Unreadable, with the cause.
ItemState CheckFile(const std::string& path, int64_t size, const std::string& checksum, int64_t& foundSize,
                    RunError& cause);

// Surveys what the install of `plan` (PlanInstall, or ReadInstallLists) would leave: every
// file of its lists (for a compressed product, where its archive program puts it; a
// destination two lists name counts once, as its last writer in install order leaves it),
// the folders, archive programs, configuration entries, database codes and shortcuts, each
// compared with what is on disk: a file by its size and checksum, or for a plan, which
// decides files by the record, by its size alone (depth). Nothing is written or started.
// group is the program group the completion would make. The file being checked and the
// share of the bytes checked go to the port.
enum class SurveyDepth { Checksums, Sizes };
Survey SurveyInstall(Session& session, UserPort& port, const InstallPlan& plan, const GroupChoice& group,
                     ShortcutLibrary& shortcuts, SurveyDepth depth = SurveyDepth::Checksums);

// Surveys what the record says the installs wrote, for the chosen products: their files
// (by size and checksum), the entries and database codes (by the value written), the
// shortcuts (by target); and every chosen product the record does not hold.
Survey SurveyRecord(Session& session, UserPort& port, const InstallRecord& record, ShortcutLibrary& shortcuts);

// The survey a verify or a repair judges by: the record of the install directory where
// one can be read (an interrupted run finished first), else the survey of the CD. The log
// says which.
Survey SurveyForVerify(Session& session, UserPort& port, const GroupChoice& group, ShortcutLibrary& shortcuts);

// The items of a survey that are not as the install leaves them, in survey order (the
// workstation configuration's file only when it is missing; entries a survey does not
// judge never), and those that could not be checked.
std::vector<const CheckItem*> DriftedItems(const Survey& survey);
std::vector<const CheckItem*> UncheckedItems(const Survey& survey);
// The files that are as the install leaves them once the machine restarts, in survey order.
std::vector<const CheckItem*> PendingItems(const Survey& survey);

// The files below the install directory that the survey does not name (nor the database
// codes or the record the install writes), sorted; they never count as drift.
std::vector<Path> ExtraFiles(const Session& session, const Survey& survey);

// The plan of an install, to the log, a line per item ("Plan: file new 1024 c:\qv\a.dll")
// and the totals, given the free space of the install-to drive. Each file is named by the
// plan's decision (install_plan.h), made by the record of an earlier install where there is
// one; a file the record holds that no list names any more is "obsolete". `survey` is the
// plan's (SurveyInstall).
void LogPlan(const Session& session, const InstallPlan& plan, const Survey& survey, UserPort& port, double freeSpace);

// How a verify came out.
enum class VerifyResult {
    Intact,     // everything is as the install left it
    Drifted,    // something is not
    Unchecked,  // nothing drifted, but something could not be checked
    PendingRestart,  // nothing drifted and everything was checked, but some files take their place at the next restart
};

// The verify, to the log: a line per drifted item ("Drift: ..."), per item that cannot be
// checked ("Unchecked: ..."), per file that waits for the next restart ("Pending restart:
// ...") and per extra file ("Extra: ..."), then a summary.
VerifyResult LogVerify(const Session& session, const Survey& survey, UserPort& port);

// Puts back what drifted: copies the drifted files from the CD with checking on (the last
// writer's version of a shared file; a compressed product's by its archive program), sets
// the drifted configuration entries and database codes and makes the drifted shortcuts
// again. Nothing intact is touched; a file whose product is not on this CD is left. Copy
// failures are asked about as in an install; Abort and Cancel end the repair (Aborted, Cancelled),
// and what the repair had replaced comes back; a repair that cannot be committed ends as
// Failed. A survey without drift repairs nothing and
// says so in the log.
RunOutcome RepairInstall(Session& session, UserPort& port, const Survey& survey, ShortcutLibrary& shortcuts);

// The state as the log and the windows name it: "intact", "missing", "size differs",
// "checksum differs", "changed", "cannot be checked", "pending restart".
const char* ItemStateName(ItemState state);

}  // namespace qv

// The removal of an installation as a plan: every step it takes, in the order it takes
// them, worked out from the record before anything goes. The steps up to Commit are
// journaled and come back on a rollback (Cancel, or a run that was killed); each says what
// must still hold for its item to go. What follows Commit is not taken back.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "setup/engine/install_record.h"
#include "setup/engine/record_trust.h"

namespace qv {

// A file the installs wrote: it goes when it still holds what was written (its size and
// the time stamped, or else its checksum; a time of 0 is not known).
struct RemoveFile {
    Path path;
    int64_t size = 0;
    std::string checksum;
    int64_t time = 0;
};

// A file the record names that this run may not change: named and left.
struct KeepFile {
    Path path;
    std::string why;
};

// A database code: it goes when its file still gives it the value written.
struct RemoveDbCode {
    RecordedDbCode code;
};

// A file of database codes that a code was removed from: it goes when it holds no code
// any more.
struct RemoveEmptyCodesFile {
    Path file;
};

// A shortcut of the group: its link goes when it still starts what it started.
struct RemoveShortcut {
    Path link;
    RecordedShortcut shortcut;
};

// The moved-aside items go; nothing after this comes back.
struct CommitRemoval {};

// The Apps & features entry.
struct RemoveUninstallEntry {
    RecordedUninstallEntry entry;
};

// The install record, once everything it names is gone.
struct RemoveRecord {
    Path path;
};

// A folder the installs made: it goes when it is empty.
struct RemoveFolder {
    Path folder;
};

using RemovalStep = std::variant<RemoveFile, KeepFile, RemoveDbCode, RemoveEmptyCodesFile, RemoveShortcut,
                                 CommitRemoval, RemoveUninstallEntry, RemoveRecord, RemoveFolder>;

// The plan of the removal of what `record` names. groupFolder is where the group's
// shortcuts are in this run's Programs folder (empty: the record has no group, or there
// is no such folder). In order: the files, the transfer configuration (only this run's
// own), the database codes and their files, the shortcuts, the commit, the entry, the
// record, and the folders, deepest first.
std::vector<RemovalStep> PlanRemoval(const InstallRecord& record, const Confinement& places, const Path& groupFolder);

}  // namespace qv

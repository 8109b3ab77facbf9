// The record's side of a run that works on an install directory: the directory's lock, the
// record as found (a run that was interrupted finished first), and, for an install, the
// journal of the run and its end: committed when the install ends well, rolled back when
// it does not.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "setup/engine/install_journal.h"
#include "setup/engine/install_record.h"
#include "setup/engine/record_trust.h"
#include "setup/engine/run_outcome.h"
#include "setup/engine/shortcut_library.h"
#include "setup/session/run_lock.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// How long a run waits for another run on the same directory before it gives up.
inline constexpr uint32_t kDirectoryLockWait = 10000;

// Takes the lock of installDir. While another run holds it, the run waits up to
// kDirectoryLockWait milliseconds, letting pending events run, and says why (in the log
// and, with the windows, in the progress window); the Cancel button ends the wait. False
// when the lock could not be had.
bool TakeDirectoryLock(Session& session, RunLock& lock, const Path& installDir, UserPort& port);

// The places a run of this session into installDir may change: the install directory,
// this run's TEMP transfer configuration and the group folders below this machine's
// Programs folders (those a record's group names).
Confinement ConfinementFor(const Session& session, const Path& installDir, ShortcutLibrary& shortcuts);

// What an install run records about itself, and how it ends when it does not end well.
struct RecordedRunOptions {
    bool rollback = true;  // false (/NOROLLBACK): what was copied stays
    int installType = 1;
    std::vector<std::pair<std::string, std::string>> answers;  // the answers given, by answer-file key
};

// What runs after the last product of an install that was not aborted, with its journal.
using RecordedCompletion =
    std::function<void(InstallJournal& journal, const Path& destRoot, bool supplyChain)>;

// The install of the chosen products with its record: the directory's lock taken (a run
// that cannot have it ends as cancelled), an interrupted earlier run finished, every step
// listed in the journal, and the end: committed when the install ended well (an install
// that cannot be committed has failed), rolled back when it did not (also when an
// exception leaves it) unless the options say otherwise. The log says what was rolled
// back. Says how the install ended, and sets the session's flags from that.
RunOutcome RunRecordedInstall(Session& session, UserPort& port, ShortcutLibrary& shortcuts,
                              const RecordedRunOptions& options, const RecordedCompletion& completion);

}  // namespace qv

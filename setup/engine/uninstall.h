// Removal of an installation by its record. What the record says the installs wrote, and
// that still holds what was written (size and checksum; a shortcut, its target), goes: the
// files, the database codes, the transfer configuration and the shortcuts, then the
// folders the installs made once they are empty, the Apps & features entry, and the
// record itself, last. Nothing the record does not name is ever removed; a file changed
// since the install or added by the user is kept and named. The removal is journaled like
// an install: each file is moved aside first, and only a removal that ends well lets the
// files go, so that Cancel, or a run that was killed, puts everything back.
#pragma once

#include <string>
#include <vector>

#include "setup/engine/install_record.h"
#include "setup/engine/shortcut_library.h"
#include "setup/session/run_lock.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

struct UninstallOutcome {
    enum class End {
        Removed,    // everything the record named is gone (held files go at the next restart)
        Cancelled,  // the confirmation answered No, or Cancel: everything is as it was
        NoRecord,   // no record, or one that was refused: nothing was removed
        Busy,       // another run works on the directory: nothing was removed
    } end = End::Removed;
    InstallRecord record;     // what the record held
    std::vector<Path> kept;   // changed since the install, or left where this run may not go
    std::vector<Path> held;   // held open by another program: removed at the next restart
};

// The removal of the installation in one directory, in two steps, so that the user can be
// asked between them: Prepare takes the directory's lock (waiting as a second install
// would) and reads the record; Remove removes, the progress and the Cancel button through
// its port (the progress window with the windows). The lock is held until the object goes.
class Uninstaller {
public:
    // An installDir that is empty (no place a folder can be) has no record.
    Uninstaller(Session& session, ShortcutLibrary& shortcuts, Path installDir);

    // Removed when there is something to remove; Busy or NoRecord when not.
    UninstallOutcome::End Prepare(UserPort& port);
    const InstallRecord& Record() const { return outcome_.record; }
    // Files that are held open are named in `held` and left for the caller to remove at
    // the next restart.
    UninstallOutcome Remove(UserPort& port);

private:
    Session& session_;
    ShortcutLibrary& shortcuts_;
    const Path dir_;
    RunLock lock_;
    Confinement places_;
    std::string digest_;  // of the record as it was read
    UninstallOutcome outcome_;
};

// Prepare and Remove in one, without a question: what a silent run does.
UninstallOutcome RunUninstall(Session& session, UserPort& port, ShortcutLibrary& shortcuts, const Path& installDir);

// The files below installDir that remain after a removal: what was kept, and what the
// user added (a link is named, not gone into). Sorted.
std::vector<Path> FilesLeftIn(const Path& installDir);

}  // namespace qv

// An install without a window (/S): the same start-up, main window logic, engine and
// completion as the windows run, with every answer taken from the command line. The main
// window's behaviour runs against a view that only remembers what it was told; the
// confirmation proceeds; the program group comes from /GROUP, /NOGROUP and /DBDIR.
// Message boxes go to the interaction port, which answers them by the fixed policy of an
// unattended run and writes them to the install log.
#pragma once

#include <functional>

#include "setup/engine/shortcut_library.h"
#include "setup/engine/uninstall.h"
#include "setup/session/command_line.h"
#include "setup/session/exit_codes.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// The install itself, to be run with the port that shows its progress.
using InstallJob = std::function<void(UserPort& port)>;
// How a run shows its install: nothing (a silent run runs the job on its own port), or,
// for a passive run, the progress window, which runs the job with a port of its own.
using InstallPresenter = std::function<void(const InstallJob& job)>;

// Runs the whole install for a session whose command line has been read (SourceDir,
// TempDir) and returns how it ended. Every step goes to port.LogStep.
ExitCode RunUnattended(Session& session, UserPort& port, const StartupOptions& options, ShortcutLibrary& shortcuts,
                       const InstallPresenter& present = {});

// Reads the CD's language list and makes the language that /LANG names the session's
// language, English without the switch. An unknown code is reported to port; the run
// then ends as a failed start-up.
bool ApplyLanguageOption(Session& session, UserPort& port, const StartupOptions& options);

// The exit code of an install that ran: 0, or 3010 when files held open take their place at
// the next restart, 4 after a failure, 5 after Cancel or Abort, 1618 when another run held
// the install directory.
ExitCode InstallExitCode(const Session& session);

// The install-to directory an uninstall removes: /DIR made canonical, else c:\qv.
Path UninstallDir(const StartupOptions& options);

// How an uninstall ended, told to the log: what is left in the directory (kept, or added
// by the user) and what goes at the next restart (held files, handed to the system here,
// but for those below `removedLater`, which the caller removes once their holder ends).
// The exit code: 0 all gone, 3 files left, 3010 files held, 5 cancelled, 1618 busy, 1 no
// record.
ExitCode EndUninstall(UserPort& port, const UninstallOutcome& outcome, const Path& removedLater = {});

}  // namespace qv

// The exit codes of the installer, the same in interactive and unattended runs, so that
// a script can tell how a run ended.
#pragma once

namespace qv {

enum class ExitCode : int {
    // The install completed; also after the hand-over to a product's own setup program; a
    // plan whose install would run; a verify that found everything intact; a repair done;
    // an uninstall that removed everything.
    Installed = 0,
    // Start-up failed: a bad command line, an unknown switch or value, no TEMP, an
    // unknown database platform; an uninstall that found no install record.
    StartupFailed = 1,
    // Ended before installing: a refusal of the Install checks, Cancel in the
    // confirmation, Exit in the main window.
    EndedBeforeInstall = 2,
    // An uninstall removed what it could, and kept files that were changed or added since the
    // install (the log names them).
    RemovedKeptSome = 3,
    // A fatal error during the install (a failure of a whole file list).
    InstallFailed = 4,
    // Cancelled during the install, or Abort at an Abort/Retry/Ignore box; an uninstall that
    // was cancelled.
    InstallCancelled = 5,
    // A verify found the installation not as the install leaves it.
    Drifted = 6,
    // An uninstall removed everything but files held open, which go at the next restart
    // (the code deployment tools know as "restart needed").
    RemovedAtRestart = 3010,
    // The same code for an install or a repair: every file is written, but those another
    // program held open take their place at the next restart; for a verify, nothing else
    // differs from what the install left.
    InstalledAtRestart = RemovedAtRestart,
    // Another run held the install directory for longer than the wait: nothing was done, and
    // the run can be tried again (the code deployment tools know as "another installation is
    // in progress", which they retry).
    DirectoryInUse = 1618,
};

// What a code means, as the install log's last line says it; `done` is what 0 means for
// the run's mode ("installed", "intact", "removed", ...), `doneAtRestart` what 3010 means.
inline const char* ExitCodeMeaning(ExitCode code, const char* done = "installed",
                                   const char* doneAtRestart = "installed; a restart finishes it") {
    switch (code) {
        case ExitCode::Installed: return done;
        case ExitCode::StartupFailed: return "start-up failed";
        case ExitCode::EndedBeforeInstall: return "ended before installing";
        case ExitCode::InstallFailed: return "the install failed";
        case ExitCode::InstallCancelled: return "cancelled during the install";
        case ExitCode::Drifted: return "the installation has drifted";
        case ExitCode::RemovedKeptSome: return "removed, some files kept";
        case ExitCode::RemovedAtRestart: return doneAtRestart;
        case ExitCode::DirectoryInUse: return "another run holds the install directory, try again later";
    }
    return "";
}

}  // namespace qv

// The exit codes of the installer, the same in interactive and unattended runs, so that
// a script can tell how a run ended.
#pragma once

namespace qv {

enum class ExitCode : int {
    // The install completed; also after the hand-over to a product's own setup program; a
    // plan whose install would run; a verify that found everything intact; a repair done.
    Installed = 0,
    // Start-up failed: a bad command line, an unknown switch or value, no TEMP, an
    // unknown database platform.
    StartupFailed = 1,
    // Ended before installing: a refusal of the Install checks, Cancel in the
    // confirmation, Exit in the main window.
    EndedBeforeInstall = 2,
    // A fatal error during the install (a failure of a whole file list).
    InstallFailed = 4,
    // Cancelled during the install, or Abort at an Abort/Retry/Ignore box.
    InstallCancelled = 5,
    // A verify found the installation not as the install leaves it.
    Drifted = 6,
};

// What a code means, as the install log's last line says it.
inline const char* ExitCodeMeaning(ExitCode code) {
    switch (code) {
        case ExitCode::Installed: return "installed";
        case ExitCode::StartupFailed: return "start-up failed";
        case ExitCode::EndedBeforeInstall: return "ended before installing";
        case ExitCode::InstallFailed: return "the install failed";
        case ExitCode::InstallCancelled: return "cancelled during the install";
        case ExitCode::Drifted: return "the installation has drifted";
    }
    return "";
}

}  // namespace qv

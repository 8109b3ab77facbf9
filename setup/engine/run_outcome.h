// How a run of the engine, or one pass of it, ended: a value that the run hands back to its
// caller, never a flag left in the session. The windows still read the session's
// InstallAborted, InstallFailed and DirectoryHeld: SetOutcomeFlags sets them from the
// outcome, once, where the run ends.
#pragma once

#include "setup/session/path.h"
#include "setup/session/run_error.h"
#include "setup/session/session.h"

namespace qv {

enum class RunResult {
    Completed,  // everything the run set out to do was worked on
    Cancelled,  // the Cancel button, answered Yes, also during the wait for the directory
    Busy,       // another run held the install directory past the wait: nothing was done
    Aborted,    // Abort in a dialog (or a box that could not be shown) at one file
    Failed,     // a list, a folder, a spec, an archive program or the record failed; the user was told
};

struct RunOutcome {
    RunResult result = RunResult::Completed;
    RunError error;  // Failed: the failure behind it, when one was recorded
    Path at;         // Aborted: the file the user gave up at
    // Files held open by another program take their new copies' place at the next restart:
    // the run is finished by it.
    bool restartNeeded = false;
    // The files the user had changed, kept beside the new ones under their saved names.
    std::vector<Path> savedAside;

    bool EndsInstall() const { return result != RunResult::Completed; }
};

inline RunOutcome EndedAs(RunResult result, const RunError& error = {}, const Path& at = {}) {
    RunOutcome outcome;
    outcome.result = result;
    outcome.error = error;
    outcome.at = at;
    return outcome;
}
inline RunOutcome Cancelled() { return EndedAs(RunResult::Cancelled); }
inline RunOutcome Busy() { return EndedAs(RunResult::Busy); }
inline RunOutcome AbortedAt(const Path& file) { return EndedAs(RunResult::Aborted, {}, file); }
inline RunOutcome FailedWith(const RunError& error) { return EndedAs(RunResult::Failed, error); }

// The session's record of how the run ended, as the windows and the exit code read it:
// InstallAborted when it did not complete, InstallFailed too when it failed rather than
// the user stopping it, DirectoryHeld when it could not start for another run;
// RestartNeeded when the next restart finishes it.
inline void SetOutcomeFlags(Session& session, const RunOutcome& outcome) {
    session.InstallAborted = outcome.EndsInstall();
    session.InstallFailed = outcome.result == RunResult::Failed;
    session.DirectoryHeld = outcome.result == RunResult::Busy;
    session.RestartNeeded = outcome.restartNeeded;
    session.SavedUserFiles.assign(outcome.savedAside.begin(), outcome.savedAside.end());
}

}  // namespace qv

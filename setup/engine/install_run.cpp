#include "setup/engine/install_run.h"
#include "setup/session/disk_utils.h"

#include "setup/config/transfer_config.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/file_system.h"
#include "setup/session/throttle.h"

namespace qv {
namespace {

constexpr uint32_t kLockPoll = 100;

// The record of the run itself: where from and to, language, platform, type and answers.
InstallRecord RunInfo(const Session& session, const Path& installDir, const RecordedRunOptions& options) {
    InstallRecord run;
    run.installDir = installDir;
    run.sourceDir = session.SourceDir;
    if (session.LangIndex >= 0 && session.LangIndex < static_cast<int>(session.Languages.size()))
        run.language = session.Languages[static_cast<size_t>(session.LangIndex)].Code;
    run.languageOffset = session.LangOffset;
    run.platform = session.DbPlatformCode;
    run.installType = options.installType;
    run.answers = options.answers;
    run.scope = session.Scope;
    return run;
}

// A record that cannot be trusted is kept beside the new one for whoever wants to look.
void SetAsideRefusedRecord(const Path& installDir, UserPort& port) {
    const Path path = RecordPath(installDir);
    RunError error;
    if (!fs::IsFile(path)) return;
    if (!fs::MoveReplacing(path, path.WithSuffix(".bad"), error))
        port.LogStep("Could not set the refused install record aside (" + error.description + ")" + SystemCause(error));
}

// The end of an install: committed when it ended well, with what removal needs kept and
// the Apps & features entry written; rolled back when it did not. An install whose commit
// fails has failed: the next run would roll it back, or find no record of it.
RunOutcome EndRecordedInstall(Session& session, UserPort& port, InstallJournal& journal,
                              const RecordedRunOptions& options, RunOutcome outcome) {
    RunError error;
    outcome.restartNeeded = !journal.ReplacedAtRestart().empty();
    outcome.savedAside = journal.SavedAside();
    if (!outcome.EndsInstall()) {
        KeepUninstaller(journal, port, InstallDirPath(session));
        RegisterUninstallEntry(journal, port, InstallDateOf(port.Now()));
        if (journal.Commit(port, error)) return outcome;
        port.LogStep("The install could not be committed (" + error.description + ")" + SystemCause(error));
        return FailedWith(error);
    }
    if (!options.rollback) {
        port.LogStep("Not rolled back (/NOROLLBACK): what was installed stays");
        if (!journal.Commit(port, error))
            port.LogStep("What was installed could not be committed (" + error.description + ")" + SystemCause(error));
        return outcome;
    }
    port.LogStep("The install did not complete: it is rolled back");
    journal.Rollback(port);
    outcome.restartNeeded = false;  // the replacements at the restart were taken back
    outcome.savedAside.clear();     // and the saved files moved back
    return outcome;
}

// The install with its record: the directory's lock, the record as found, the journal,
// the run and its end.
RunOutcome InstallWithRecord(Session& session, UserPort& port, ShortcutLibrary& shortcuts,
                             const RecordedRunOptions& options, const RecordedCompletion& completion) {
    const Path dir = InstallDirPath(session);
    RunLock lock;
    if (!TakeDirectoryLock(session, lock, dir, port)) return session.Cancel.Requested() ? Cancelled() : Busy();
    Confinement confinement = ConfinementFor(session, dir, shortcuts);
    const FoundRecord found = ReadInstallRecord(confinement, port, /*finish=*/true);
    if (found.state == FoundRecord::State::Refused) SetAsideRefusedRecord(dir, port);
    InstallJournal journal(confinement);
    RunError error;
    if (!journal.Open(found.record, found.digest, error))
        port.LogStep("Could not keep the journal of the install (" + error.description + ")" + SystemCause(error) +
                     ": a run that is killed now cannot be rolled back by the next");
    journal.SetRun(RunInfo(session, dir, options));
    RunOutcome outcome;
    try {
        outcome = RunInstall(session, port, journal, [&](const Path& destRoot, bool supplyChain) {
            if (completion) completion(journal, destRoot, supplyChain);
        });
    } catch (...) {
        if (options.rollback) {
            port.LogStep("The install ended on a program error: it is rolled back");
            journal.Rollback(port);
        }
        throw;
    }
    return EndRecordedInstall(session, port, journal, options, outcome);
}

}  // namespace

bool TakeDirectoryLock(Session& session, RunLock& lock, const Path& installDir, UserPort& port) {
    if (lock.TryTake(installDir)) return true;
    const std::string why = "Another run of the installer is working on " + installDir.str() + ": waiting for it to end";
    port.LogStep(why);
    port.ShowModuleName(why);
    const uint32_t start = TickCount();
    while (TickCount() - start < kDirectoryLockWait && !session.Cancel.Requested()) {
        port.DoEvents();
        SleepMilliseconds(kLockPoll);
        if (lock.TryTake(installDir)) {
            port.ShowModuleName("");
            return true;
        }
    }
    port.LogStep("The install directory " + installDir.str() + " is still in use by another run: this run ends");
    return false;
}

Confinement ConfinementFor(const Session& session, const Path& installDir, ShortcutLibrary& shortcuts) {
    Confinement confinement;
    confinement.installDir = installDir;
    confinement.uninstallKey = UninstallKeyName(installDir);
    confinement.longForm = fs::LongForm;
    confinement.transferConfig = TransferConfigPath(session);
    for (int32_t common : {1, 0})
        if (const std::optional<ProgramsFolder> folder = shortcuts.FindProgramsFolder(common))
            if (const std::optional<Path> programs = Path::Parse(folder->path, nullptr, PathForms{true}))
                confinement.programsFolders.push_back(*programs);
    return confinement;
}

RunOutcome RunRecordedInstall(Session& session, UserPort& port, ShortcutLibrary& shortcuts,
                              const RecordedRunOptions& options, const RecordedCompletion& completion) {
    const RunOutcome outcome = InstallWithRecord(session, port, shortcuts, options, completion);
    SetOutcomeFlags(session, outcome);
    return outcome;
}

}  // namespace qv

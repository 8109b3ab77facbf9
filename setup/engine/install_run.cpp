#include "setup/engine/install_run.h"

#include "setup/engine/install_driver.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/file_system.h"
#include "setup/session/throttle.h"

namespace qv {
namespace {

constexpr uint32_t kLockPoll = 100;

// The record of the run itself: where from and to, language, platform, type and answers.
InstallRecord RunInfo(const Session& session, const std::string& installDir, const RecordedRunOptions& options) {
    InstallRecord run;
    run.installDir = installDir;
    run.sourceDir = session.SourceDir;
    if (session.LangIndex >= 0 && session.LangIndex < static_cast<int>(session.Languages.size()))
        run.language = session.Languages[static_cast<size_t>(session.LangIndex)].Code;
    run.languageOffset = session.LangOffset;
    run.platform = session.DbPlatformCode;
    run.installType = options.installType;
    run.answers = options.answers;
    return run;
}

// A record that cannot be read is kept beside the new one for whoever wants to look.
void SetAsideRefusedRecord(const std::string& installDir, UserPort& port) {
    const std::string path = RecordPath(installDir);
    RunError error;
    if (!fs::IsFile(path)) return;
    if (!fs::MoveReplacing(path, path + ".bad", error))
        port.LogStep("Could not set the refused install record aside (" + error.description + ")" + SystemCause(error));
}

// The end of an install: committed when it ended well, with what removal needs kept and
// the Apps & features entry written; rolled back when it did not.
void EndRecordedInstall(Session& session, UserPort& port, InstallJournal& journal, const RecordedRunOptions& options) {
    RunError error;
    if (!session.InstallAborted) {
        KeepUninstaller(journal, port, DestRootOf(session));
        RegisterUninstallEntry(journal, port, InstallDateOf(port.Now()));
        journal.Commit(port, error);
        return;
    }
    if (!options.rollback) {
        port.LogStep("Not rolled back (/NOROLLBACK): what was installed stays");
        journal.Commit(port, error);
        return;
    }
    port.LogStep("The install did not complete: it is rolled back");
    journal.Rollback(port);
}

}  // namespace

std::string DestRootOf(const Session& session) {
    std::string root = session.InstallDir;
    if (!root.empty() && root.back() == '\\') root.pop_back();
    return root;
}

bool TakeDirectoryLock(Session& session, RunLock& lock, const std::string& installDir, UserPort& port) {
    if (lock.TryTake(installDir)) return true;
    const std::string why = "Another run of the installer is working on " + installDir + ": waiting for it to end";
    port.LogStep(why);
    port.ShowModuleName(why);
    const uint32_t start = TickCount();
    while (TickCount() - start < kDirectoryLockWait && !session.InstallAborted) {
        port.DoEvents();
        SleepMilliseconds(kLockPoll);
        if (lock.TryTake(installDir)) {
            port.ShowModuleName("");
            return true;
        }
    }
    port.LogStep("The install directory " + installDir + " is still in use by another run: this run ends");
    return false;
}

RecordConfinement ConfinementFor(const std::string& installDir, ShortcutLibrary& shortcuts) {
    RecordConfinement confinement;
    confinement.installDir = installDir;
    confinement.uninstallKey = UninstallKeyName(installDir);
    for (int32_t common : {1, 0})
        if (const std::optional<ProgramsFolder> folder = shortcuts.FindProgramsFolder(common))
            confinement.programsFolders.push_back(folder->path);
    return confinement;
}

FoundRecord ReadInstallRecord(const std::string& installDir, const RecordConfinement& confinement, UserPort& port,
                              bool finish) {
    FoundRecord found;
    const std::string path = RecordPath(installDir);
    if (!fs::IsFile(path)) return found;
    std::string text;
    RunError error;
    RecordFile file;
    if (!fs::ReadWholeFile(path, text, error)) found.problem = "it cannot be read: " + error.description;
    if (found.problem.empty() && ParseRecord(text, confinement, file, found.problem)) {
        if (finish) RecoverInterruptedRun(installDir, file, port);
        // A record with nothing sealed in it is no record: its run was rolled back.
        found.state = file.sealed || !file.record.installDir.empty() ? FoundRecord::State::Read : FoundRecord::State::None;
        found.record = file.record;
        return found;
    }
    found.state = FoundRecord::State::Refused;
    port.LogStep("The install record " + path + " is refused (" + found.problem + "): this run goes on without it");
    return found;
}

void RunRecordedInstall(Session& session, UserPort& port, ShortcutLibrary& shortcuts,
                        const RecordedRunOptions& options, const RecordedCompletion& completion) {
    const std::string dir = DestRootOf(session);
    RunLock lock;
    if (!TakeDirectoryLock(session, lock, dir, port)) {
        session.InstallAborted = true;
        session.InstallFailed = false;
        return;
    }
    const FoundRecord found = ReadInstallRecord(dir, ConfinementFor(dir, shortcuts), port, /*finish=*/true);
    if (found.state == FoundRecord::State::Refused) SetAsideRefusedRecord(dir, port);
    InstallJournal journal;
    RunError error;
    if (!journal.Open(dir, found.record, error))
        port.LogStep("Could not write the install record " + RecordPath(dir) + " (" + error.description + ")" +
                     SystemCause(error) + ": the install goes on without one");
    journal.SetRun(RunInfo(session, dir, options));
    try {
        RunInstall(session, port, journal, [&](const std::string& destRoot, bool supplyChain) {
            if (completion) completion(journal, destRoot, supplyChain);
        });
    } catch (...) {
        if (options.rollback) {
            port.LogStep("The install ended on a program error: it is rolled back");
            journal.Rollback(port);
        }
        throw;
    }
    EndRecordedInstall(session, port, journal, options);
}

}  // namespace qv

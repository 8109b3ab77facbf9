#include "setup/engine/uninstall.h"

#include <algorithm>
#include <variant>

#include "setup/config/profile_edit.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_journal.h"
#include "setup/engine/install_plan.h"
#include "setup/engine/install_run.h"
#include "setup/engine/progress.h"
#include "setup/engine/removal_plan.h"
#include "setup/engine/two_threads.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/registry.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// One removal: the record, the journal that moves each item aside, and what it found. It
// applies the plan of the removal one step at a time (each step is one of its operator()s).
class Removal {
public:
    Removal(Session& session, UserPort& port, ShortcutLibrary& shortcuts, const Confinement& places,
            UninstallOutcome& outcome)
        : session_(session), port_(port), shortcuts_(shortcuts), journal_(places), outcome_(outcome),
          restartTargets_(RestartTargets(places.installDir)) {}

    bool Start(const std::string& digest, RunError& error) { return journal_.Open(outcome_.record, digest, error); }

    // Every step in order, the files a batch at a time (RemoveFiles). False when the Cancel
    // button stopped the removal before its commit: Undo then puts back what it removed.
    bool Apply(const std::vector<RemovalStep>& plan) {
        std::vector<const RemoveFile*> files;
        for (const RemovalStep& step : plan) {
            const RemoveFile* file = std::get_if<RemoveFile>(&step);
            if (file) files.push_back(file);
            if (file && files.size() < kFilesAtOnce) continue;
            if (!RemoveFiles(files)) return false;
            files.clear();
            if (!file && !std::visit(*this, step)) return false;
        }
        return RemoveFiles(files);
    }

    void Undo() { journal_.Rollback(port_); }

    // The group's folder in this run's Programs folder that the shortcuts were made in.
    Path GroupFolder() const {
        const std::optional<RecordedGroup>& group = outcome_.record.group;
        const std::optional<ProgramsFolder> programs = group ? shortcuts_.FindProgramsFolder(group->common ? 1 : 0) : std::nullopt;
        const std::optional<Path> folder = programs ? Path::Parse(programs->path, nullptr, PathForms{true}) : std::nullopt;
        if (!folder || group->title.empty()) return folder.value_or(Path());
        return folder->Join(group->title).value_or(Path());
    }

    // A file goes when it still holds what was written (its size and the time stamped, or
    // else its checksum); one that changed stays and is named, one that is held open goes at
    // the next restart. Files go a batch at a time: each is judged in turn, those that go are
    // listed in the journal in one write and moved aside on two threads (under Wine a move
    // waits for the server), and then each is named in the log in turn. False when the
    // Cancel button stopped the removal.
    bool RemoveFiles(const std::vector<const RemoveFile*>& files) {
        std::vector<Verdict> verdicts;
        std::vector<Path> going;
        for (const RemoveFile* file : files) {
            verdicts.push_back(Judge(*file));
            if (verdicts.back().kind == Verdict::Goes) going.push_back(file->path);
        }
        const std::vector<Move> moves = MoveAside(going);
        size_t next = 0;  // the next of `going`
        for (size_t i = 0; i < files.size(); ++i) {
            const Path& path = files[i]->path;
            const Verdict& verdict = verdicts[i];
            ShowFileName(session_, port_, path);
            switch (verdict.kind) {
                case Verdict::Goes: {
                    const Move& move = moves[next++];
                    if (move.went) port_.LogStep("Removed " + path);
                    else Held(path, move.why);
                    break;
                }
                case Verdict::Stays: Held(path, verdict.cause); break;
                case Verdict::Kept: Kept(path, verdict.why); break;
                case Verdict::Gone: break;
            }
            if (!Progressed(files[i]->size)) return false;
        }
        return true;
    }

    bool operator()(const RemoveFile& file) { return RemoveFiles({&file}); }

    bool operator()(const KeepFile& file) {
        Kept(file.path, file.why);
        return true;
    }

    bool operator()(const RemoveDbCode& step) {
        const RecordedDbCode& c = step.code;
        RunError error;
        if (DbCodeOnDisk(c) != OnDisk::AsWritten || !journal_.PrepareEdit(c.file, error)) return true;
        if (DeleteProfileText("dbcodes", c.key, c.file)) port_.LogStep("Removed database code " + c.key + " from " + c.file);
        editedCodeFiles_.insert(c.file.Key());
        return true;
    }

    bool operator()(const RemoveEmptyCodesFile& step) {
        std::string text;
        RunError error;
        if (!editedCodeFiles_.count(step.file.Key()) || !fs::ReadWholeFile(step.file, text, error) ||
            text.find('=') != std::string::npos)
            return true;
        PassOver(journal_.Remove(step.file, error));
        return true;
    }

    // A shortcut is judged where the library reads it, and that link is what goes.
    bool operator()(const RemoveShortcut& step) {
        const RecordedGroup& group = *outcome_.record.group;
        if (!fs::IsFile(step.link)) return true;
        const std::optional<ShortcutTarget> found = shortcuts_.ReadShortCut(group.common ? 1 : 0, group.title, step.shortcut.name);
        RunError error;
        if (!found || !EqualsNoCase(found->target, step.shortcut.target)) Kept(step.link, "points elsewhere since the install");
        else if (!journal_.Remove(step.link, error)) Held(step.link, error);
        else port_.LogStep("Removed " + step.link);
        return true;
    }

    // The moved-aside files go; one held open goes at the next restart.
    bool operator()(const CommitRemoval&) {
        RunError error;
        PassOver(journal_.Commit(port_, error));
        for (const Path& left : journal_.LeftBehind()) outcome_.held.push_back(left);
        return true;
    }

    bool operator()(const RemoveUninstallEntry& step) {
        const RecordedUninstallEntry& entry = step.entry;
        const reg::Root root = entry.root == "HKLM" ? reg::Root::LocalMachine : reg::Root::CurrentUser;
        RunError error;
        if (reg::DeleteKey(root, std::string(kUninstallKeyRoot) + "\\" + entry.key, error))
            port_.LogStep("Removed the Apps & features entry " + entry.root + "\\" + entry.key);
        else
            port_.LogStep("Could not remove the Apps & features entry " + entry.key + SystemCause(error));
        return true;
    }

    bool operator()(const RemoveRecord& step) {
        RunError error;
        if (MayChange(journal_.Places(), step.path, error) && fs::RemoveFile(step.path, error))
            port_.LogStep("Removed the install record " + step.path);
        else
            Held(step.path, error);
        return true;
    }

    bool operator()(const RemoveFolder& step) {
        RunError error;
        if (fs::IsDirectory(step.folder) && MayChange(journal_.Places(), step.folder, error) &&
            fs::RemoveDir(step.folder, error))
            port_.LogStep("Removed folder " + step.folder);
        return true;
    }

private:
    static constexpr size_t kFilesAtOnce = 256;

    // What becomes of a file of the record.
    struct Verdict {
        enum Kind {
            Goes,   // it still holds what was written
            Stays,  // held open, or it cannot be checked (cause): it goes at the next restart
            Kept,   // changed since the install, or where this run may not go (why)
            Gone,   // nothing is there
        } kind;
        RunError cause;
        std::string why;
    };

    Verdict Judge(const RemoveFile& file) const {
        const Path& path = file.path;
        RunError cause;
        // What lies behind a link is not the install's: it is never judged, nor removed.
        if (!MayChange(journal_.Places(), path, cause)) return {Verdict::Kept, {}, "it is reached through a link"};
        if (restartTargets_.count(path.Key())) {
            // An install's copy takes its place at the next restart: it goes then, after it.
            cause.description = "its new copy takes its place at the next restart";
            return {Verdict::Stays, cause, {}};
        }
        // A file stamped as written is no link (a stamp is never a link's); one that is not is
        // judged by its bytes.
        int64_t found = -1;
        const ItemState state = StampedAsWritten(path, file.size, file.time) ? ItemState::Intact
                                : fs::IsLink(path)                            ? ItemState::Changed
                                : CheckFile(path, file.size, file.checksum, found, cause);
        switch (state) {
            case ItemState::Intact: return {Verdict::Goes, {}, {}};
            case ItemState::Unreadable: return {Verdict::Stays, cause, {}};
            case ItemState::Missing: return {Verdict::Gone, {}, {}};
            default: return {Verdict::Kept, {}, "changed since the install"};
        }
    }

    // What became of a file that was to go.
    struct Move {
        bool went = false;
        RunError why;  // where it did not
    };

    // Moves the files aside, each listed in the journal first, in one write: the removal goes
    // on from there as after InstallJournal::Remove. One the journal would not list goes
    // through Remove, for its own error.
    std::vector<Move> MoveAside(const std::vector<Path>& paths) {
        std::vector<Move> moves(paths.size());
        std::vector<Path> backups;
        RunError error;
        if (!journal_.ListMovesAside(paths, backups, error)) backups.assign(paths.size(), Path());
        const Confinement& places = journal_.Places();
        OnTwoThreads(paths.size(), [&](size_t i) {
            Move& move = moves[i];
            move.went = !backups[i].empty() && MoveAsideWithin(places, paths[i], backups[i], move.why);
        });
        for (size_t i = 0; i < paths.size(); ++i) {
            if (backups[i].empty()) {
                moves[i].went = journal_.Remove(paths[i], moves[i].why);
            } else if (moves[i].went) {
                journal_.MovedAside(paths[i], backups[i]);
                journal_.Forget(paths[i]);
            }
        }
        return moves;
    }

    // One more file of `size` bytes done; false when the Cancel button stopped the removal.
    bool Progressed(int64_t size) {
        UpdateProgress(session_, port_, RoundToCluster(session_, std::max<int64_t>(size, 1)));
        port_.DoEvents();
        return !session_.Cancel.Requested();
    }

    void Held(const Path& path, const RunError& cause) {
        outcome_.held.push_back(path);
        port_.LogStep("Held open: " + path + " (" + cause.description + ")" + SystemCause(cause));
    }

    void Kept(const Path& path, const std::string& why) {
        outcome_.kept.push_back(path);
        port_.LogStep("Kept: " + path + " (" + why + ")");
    }

    Session& session_;
    UserPort& port_;
    ShortcutLibrary& shortcuts_;
    InstallJournal journal_;
    UninstallOutcome& outcome_;
    const std::set<std::string> restartTargets_;  // files an install's copy replaces at the next restart
    std::set<std::string> editedCodeFiles_;       // files of codes this removal took a code from
};

void StartProgress(Session& session, UserPort& port, const InstallRecord& record) {
    session.ProductBytes = 0;
    for (const RecordedFile& f : record.files) session.ProductBytes += static_cast<double>(std::max<int64_t>(f.size, 1));
    session.ModuleBytes = static_cast<int32_t>(std::min<double>(session.ProductBytes, INT32_MAX));
    session.BytesDone = session.ModuleBytesDone = 0;
    session.Cancel.Withdraw();
    port.ShowModuleName(record.installDir);
}

}  // namespace

Uninstaller::Uninstaller(Session& session, ShortcutLibrary& shortcuts, Path installDir)
    : session_(session), shortcuts_(shortcuts), dir_(std::move(installDir)) {}

UninstallOutcome::End Uninstaller::Prepare(UserPort& port) {
    if (dir_.empty()) {
        port.LogStep("No install record in " + session_.InstallDir + ": nothing is removed");
        return outcome_.end = UninstallOutcome::End::NoRecord;
    }
    if (!TakeDirectoryLock(session_, lock_, dir_, port)) return outcome_.end = UninstallOutcome::End::Busy;
    places_ = ConfinementFor(session_, dir_, shortcuts_);
    const FoundRecord found = ReadInstallRecord(places_, port, /*finish=*/true);
    if (found.state != FoundRecord::State::Read) {
        port.LogStep("No install record in " + dir_ + ": nothing is removed");
        return outcome_.end = UninstallOutcome::End::NoRecord;
    }
    outcome_.record = found.record;
    digest_ = found.digest;
    return outcome_.end = UninstallOutcome::End::Removed;
}

UninstallOutcome Uninstaller::Remove(UserPort& port) {
    if (outcome_.end != UninstallOutcome::End::Removed || !lock_.Held()) return outcome_;
    const RunningInstall running(session_);
    StartProgress(session_, port, outcome_.record);
    Removal removal(session_, port, shortcuts_, places_, outcome_);
    RunError error;
    if (!removal.Start(digest_, error))
        port.LogStep("Could not keep the journal of the removal (" + error.description + ")" + SystemCause(error) +
                     ": a removal that is killed now cannot be rolled back by the next run");
    if (!removal.Apply(PlanRemoval(outcome_.record, places_, removal.GroupFolder()))) {
        port.LogStep("The removal was cancelled: it is rolled back");
        removal.Undo();
        outcome_.kept.clear();
        outcome_.held.clear();
        outcome_.end = UninstallOutcome::End::Cancelled;
        return outcome_;
    }
    lock_.Release();
    return outcome_;
}

UninstallOutcome RunUninstall(Session& session, UserPort& port, ShortcutLibrary& shortcuts, const Path& installDir) {
    Uninstaller uninstaller(session, shortcuts, installDir);
    uninstaller.Prepare(port);
    return uninstaller.Remove(port);
}

std::vector<Path> FilesLeftIn(const Path& installDir) {
    std::vector<Path> left;
    if (installDir.empty()) return left;
    fs::WalkTree(installDir, [&](const Path& file) { left.push_back(file); });
    std::sort(left.begin(), left.end(), [](const Path& a, const Path& b) { return a.str() < b.str(); });
    return left;
}

}  // namespace qv

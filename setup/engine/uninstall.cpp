#include "setup/engine/uninstall.h"

#include <algorithm>

#include "setup/config/profile_edit.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_journal.h"
#include "setup/engine/install_plan.h"
#include "setup/engine/install_run.h"
#include "setup/engine/progress.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/registry.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// One removal: the record, the journal that moves each file aside, and what it found.
class Removal {
public:
    Removal(Session& session, UserPort& port, ShortcutLibrary& shortcuts, const Confinement& places,
            UninstallOutcome& outcome)
        : session_(session), port_(port), shortcuts_(shortcuts), journal_(places), outcome_(outcome),
          restartTargets_(RestartTargets(places.installDir)) {}

    bool Start(const std::string& digest, RunError& error) { return journal_.Open(outcome_.record, digest, error); }

    // The files, the transfer configuration, the database codes and the shortcuts. False
    // when the Cancel button stopped it.
    bool RemoveItems() {
        const InstallRecord& r = outcome_.record;
        for (const RecordedFile& f : r.files)
            if (!RemoveFile(f.path, f.size, f.checksum, f.time)) return false;
        for (const RecordedOutside& o : r.outside) {
            if (o.path != journal_.Places().transferConfig) {
                Kept(o.path, "not in the TEMP of this run");
                continue;
            }
            if (!RemoveFile(o.path, o.size, o.checksum, 0)) return false;
        }
        RemoveDbCodes();
        RemoveShortcuts();
        return true;
    }

    // What a removal that ended well leaves to do: the moved-aside files go, then the Apps &
    // features entry, the record, and the folders the installs made, deepest first.
    void Finish() {
        RunError error;
        PassOver(journal_.Commit(port_, error));
        for (const Path& left : journal_.LeftBehind()) outcome_.held.push_back(left);
        RemoveUninstallEntry();
        RemoveRecord();
        RemoveFolders();
    }

    void Undo() { journal_.Rollback(port_); }

private:
    // A file goes when it still holds what was written (its size and the time stamped, or
    // else its checksum); one that changed stays and is named, one that is held open goes at
    // the next restart.
    bool RemoveFile(const Path& path, int64_t size, const std::string& checksum, int64_t time) {
        ShowFileName(session_, port_, path);
        int64_t found = -1;
        RunError cause;
        // What lies behind a link is not the install's: it is never judged, nor removed.
        const bool reachable = MayChange(journal_.Places(), path, cause);
        if (reachable && restartTargets_.count(path.Key())) {
            // An install's copy takes its place at the next restart: it goes then, after it.
            cause.description = "its new copy takes its place at the next restart";
            Held(path, cause);
            return Progressed(size);
        }
        // A file stamped as written is no link (a stamp is never a link's); one that is not is
        // judged by its bytes.
        const ItemState state = !reachable                          ? ItemState::Changed
                                : StampedAsWritten(path, size, time) ? ItemState::Intact
                                : fs::IsLink(path)                   ? ItemState::Changed
                                                                     : CheckFile(path, size, checksum, found, cause);
        if (!reachable) {
            Kept(path, "it is reached through a link");
        } else if (state == ItemState::Intact) {
            if (journal_.Remove(path, cause)) port_.LogStep("Removed " + path);
            else Held(path, cause);
        } else if (state == ItemState::Unreadable) {
            Held(path, cause);
        } else if (state != ItemState::Missing) {
            Kept(path, "changed since the install");
        }
        return Progressed(size);
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

    // The codes the installs wrote and that still say what was written; a file of codes
    // that holds nothing else afterwards goes too.
    void RemoveDbCodes() {
        std::vector<Path> files;
        for (const RecordedDbCode& c : outcome_.record.dbCodes) {
            RunError ignored;
            if (ReadLegacyProfileString("dbcodes", c.key, c.file) != c.value || !journal_.PrepareEdit(c.file, ignored)) continue;
            if (DeleteProfileText("dbcodes", c.key, c.file)) port_.LogStep("Removed database code " + c.key + " from " + c.file);
            if (std::find(files.begin(), files.end(), c.file) == files.end()) files.push_back(c.file);
        }
        for (const Path& file : files) {
            std::string text;
            RunError error;
            if (!fs::ReadWholeFile(file, text, error) || text.find('=') != std::string::npos) continue;
            PassOver(journal_.Remove(file, error));
        }
    }

    // The group's folder in this run's Programs folder that the shortcuts were made in.
    Path GroupFolder() const {
        const std::optional<RecordedGroup>& group = outcome_.record.group;
        const std::optional<ProgramsFolder> programs = group ? shortcuts_.FindProgramsFolder(group->common ? 1 : 0) : std::nullopt;
        const std::optional<Path> folder = programs ? Path::Parse(programs->path, nullptr, PathForms{true}) : std::nullopt;
        if (!folder || group->title.empty()) return folder.value_or(Path());
        return folder->Join(group->title).value_or(Path());
    }

    // Each shortcut is judged where the library reads it, and that link is what goes.
    void RemoveShortcuts() {
        const Path folder = GroupFolder();
        if (folder.empty()) return;
        const RecordedGroup& group = *outcome_.record.group;
        for (const RecordedShortcut& s : outcome_.record.shortcuts) {
            const std::optional<Path> link = folder.Join(s.name + ".LNK");
            if (!link || !fs::IsFile(*link)) continue;
            const std::optional<ShortcutTarget> found = shortcuts_.ReadShortCut(group.common ? 1 : 0, group.title, s.name);
            RunError error;
            if (!found || !EqualsNoCase(found->target, s.target)) Kept(*link, "points elsewhere since the install");
            else if (!journal_.Remove(*link, error)) Held(*link, error);
            else port_.LogStep("Removed " + *link);
        }
    }

    void RemoveUninstallEntry() {
        const std::optional<RecordedUninstallEntry>& entry = outcome_.record.uninstallEntry;
        if (!entry) return;
        const reg::Root root = entry->root == "HKLM" ? reg::Root::LocalMachine : reg::Root::CurrentUser;
        RunError error;
        if (reg::DeleteKey(root, std::string(kUninstallKeyRoot) + "\\" + entry->key, error))
            port_.LogStep("Removed the Apps & features entry " + entry->root + "\\" + entry->key);
        else
            port_.LogStep("Could not remove the Apps & features entry " + entry->key + SystemCause(error));
    }

    void RemoveRecord() {
        RunError error;
        const Path path = RecordPath(journal_.Places().installDir);
        if (MayChange(journal_.Places(), path, error) && fs::RemoveFile(path, error))
            port_.LogStep("Removed the install record " + path);
        else
            Held(path, error);
    }

    void RemoveFolders() {
        std::vector<Path> folders = outcome_.record.folders;
        const Path group = GroupFolder();
        if (outcome_.record.group && outcome_.record.group->created && !group.empty()) folders.push_back(group);
        std::sort(folders.begin(), folders.end(), [](const Path& a, const Path& b) { return a.str().size() > b.str().size(); });
        for (const Path& folder : folders) {
            RunError error;
            if (fs::IsDirectory(folder) && MayChange(journal_.Places(), folder, error) && fs::RemoveDir(folder, error))
                port_.LogStep("Removed folder " + folder);
        }
    }

    Session& session_;
    UserPort& port_;
    ShortcutLibrary& shortcuts_;
    InstallJournal journal_;
    UninstallOutcome& outcome_;
    const std::set<std::string> restartTargets_;  // files an install's copy replaces at the next restart
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
    if (!removal.RemoveItems()) {
        port.LogStep("The removal was cancelled: it is rolled back");
        removal.Undo();
        outcome_.kept.clear();
        outcome_.held.clear();
        outcome_.end = UninstallOutcome::End::Cancelled;
        return outcome_;
    }
    removal.Finish();
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

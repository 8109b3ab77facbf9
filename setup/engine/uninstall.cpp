#include "setup/engine/uninstall.h"

#include <algorithm>

#include "setup/config/profile_edit.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_journal.h"
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
    Removal(Session& session, UserPort& port, ShortcutLibrary& shortcuts, const std::string& dir,
            UninstallOutcome& outcome)
        : session_(session), port_(port), shortcuts_(shortcuts), dir_(dir), outcome_(outcome) {}

    bool Start(RunError& error) { return journal_.Open(dir_, outcome_.record, error); }

    // The files, the database codes, the transfer configuration and the shortcuts. False
    // when the Cancel button stopped it.
    bool RemoveItems() {
        const InstallRecord& r = outcome_.record;
        for (const RecordedFile& f : r.files)
            if (!RemoveFile(f.path, f.size, f.checksum)) return false;
        for (const RecordedOutside& o : r.outside) RemoveFile(o.path, o.size, o.checksum);
        RemoveDbCodes();
        RemoveShortcuts();
        return true;
    }

    // What a removal that ended well leaves to do: the moved-aside files go, then the Apps &
    // features entry, the record, and the folders the installs made, deepest first.
    void Finish() {
        RunError error;
        journal_.Commit(port_, error);
        for (const std::string& left : journal_.LeftBehind()) outcome_.held.push_back(left);
        RemoveUninstallEntry();
        RemoveRecord();
        RemoveFolders();
    }

    void Undo() { journal_.Rollback(port_); }

private:
    // A file goes when it still holds what was written; one that changed stays and is named,
    // one that is held open goes at the next restart.
    bool RemoveFile(const std::string& path, int64_t size, const std::string& checksum) {
        ShowFileName(session_, port_, path);
        int64_t found = -1;
        RunError cause;
        const ItemState state = CheckFile(path, size, checksum, found, cause);
        if (state == ItemState::Intact) {
            if (journal_.PrepareFile(path, cause)) {
                journal_.Drop(path);
                port_.LogStep("Removed " + path);
            } else {
                Held(path, cause);
            }
        } else if (state == ItemState::Unreadable) {
            Held(path, cause);
        } else if (state != ItemState::Missing) {
            Kept(path, "changed since the install");
        }
        UpdateProgress(session_, port_, RoundToCluster(session_, std::max<int64_t>(size, 1)));
        port_.DoEvents();
        return !session_.InstallAborted;
    }

    void Held(const std::string& path, const RunError& cause) {
        outcome_.held.push_back(path);
        port_.LogStep("Held open: " + path + " (" + cause.description + ")" + SystemCause(cause));
    }

    void Kept(const std::string& path, const std::string& why) {
        outcome_.kept.push_back(path);
        port_.LogStep("Kept: " + path + " (" + why + ")");
    }

    // The codes the installs wrote and that still say what was written; a file of codes
    // that holds nothing else afterwards goes too.
    void RemoveDbCodes() {
        std::vector<std::string> files;
        for (const RecordedDbCode& c : outcome_.record.dbCodes) {
            RunError ignored;
            if (ReadLegacyProfileString("dbcodes", c.key, c.file) != c.value || !journal_.PrepareEdit(c.file, ignored)) continue;
            if (DeleteProfileText("dbcodes", c.key, c.file)) port_.LogStep("Removed database code " + c.key + " from " + c.file);
            if (std::find(files.begin(), files.end(), c.file) == files.end()) files.push_back(c.file);
        }
        for (const std::string& file : files) {
            std::string text;
            RunError error;
            if (!fs::ReadWholeFile(file, text, error) || text.find('=') != std::string::npos) continue;
            if (journal_.PrepareFile(file, error)) journal_.Drop(file);
        }
    }

    void RemoveShortcuts() {
        const std::optional<RecordedGroup>& group = outcome_.record.group;
        for (const RecordedShortcut& s : outcome_.record.shortcuts) {
            if (!fs::IsFile(s.link)) continue;
            const std::optional<ShortcutTarget> found =
                group ? shortcuts_.ReadShortCut(group->common ? 1 : 0, group->title, s.name) : std::nullopt;
            RunError error;
            if (!found || !EqualsNoCase(found->target, s.target)) Kept(s.link, "points elsewhere since the install");
            else if (!journal_.PrepareFile(s.link, error)) Held(s.link, error);
            else {
                journal_.Drop(s.link);
                port_.LogStep("Removed " + s.link);
            }
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
        const std::string path = RecordPath(dir_);
        if (fs::RemoveFile(path, error)) port_.LogStep("Removed the install record " + path);
        else Held(path, error);
    }

    void RemoveFolders() {
        std::vector<std::string> folders = outcome_.record.folders;
        if (outcome_.record.group && outcome_.record.group->created) folders.push_back(outcome_.record.group->folder);
        std::sort(folders.begin(), folders.end(),
                  [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
        for (const std::string& folder : folders) {
            RunError error;
            if (fs::IsDirectory(folder) && fs::RemoveDir(folder, error)) port_.LogStep("Removed folder " + folder);
        }
    }

    Session& session_;
    UserPort& port_;
    ShortcutLibrary& shortcuts_;
    const std::string dir_;
    UninstallOutcome& outcome_;
    InstallJournal journal_;
};

void StartProgress(Session& session, UserPort& port, const InstallRecord& record) {
    session.ProductBytes = 0;
    for (const RecordedFile& f : record.files) session.ProductBytes += static_cast<double>(std::max<int64_t>(f.size, 1));
    session.ModuleBytes = static_cast<int32_t>(std::min<double>(session.ProductBytes, INT32_MAX));
    session.BytesDone = session.ModuleBytesDone = 0;
    session.InstallAborted = false;
    port.ShowModuleName(record.installDir);
}

}  // namespace

Uninstaller::Uninstaller(Session& session, ShortcutLibrary& shortcuts, std::string installDir)
    : session_(session), shortcuts_(shortcuts), dir_(std::move(installDir)) {}

UninstallOutcome::End Uninstaller::Prepare(UserPort& port) {
    if (!TakeDirectoryLock(session_, lock_, dir_, port)) return outcome_.end = UninstallOutcome::End::Busy;
    const FoundRecord found = ReadInstallRecord(dir_, ConfinementFor(dir_, shortcuts_), port, /*finish=*/true);
    if (found.state != FoundRecord::State::Read) {
        port.LogStep("No install record in " + dir_ + ": nothing is removed");
        return outcome_.end = UninstallOutcome::End::NoRecord;
    }
    outcome_.record = found.record;
    return outcome_.end = UninstallOutcome::End::Removed;
}

UninstallOutcome Uninstaller::Remove(UserPort& port) {
    if (outcome_.end != UninstallOutcome::End::Removed || !lock_.Held()) return outcome_;
    const RunningInstall running(session_);
    StartProgress(session_, port, outcome_.record);
    Removal removal(session_, port, shortcuts_, dir_, outcome_);
    RunError error;
    if (!removal.Start(error))
        port.LogStep("Could not write the install record (" + error.description + ")" + SystemCause(error) +
                     ": the removal goes on without its journal");
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

UninstallOutcome RunUninstall(Session& session, UserPort& port, ShortcutLibrary& shortcuts,
                              const std::string& installDir) {
    Uninstaller uninstaller(session, shortcuts, installDir);
    uninstaller.Prepare(port);
    return uninstaller.Remove(port);
}

std::vector<std::string> FilesLeftIn(const std::string& installDir) {
    std::vector<std::string> left;
    std::vector<std::string> folders = {installDir};
    while (!folders.empty()) {
        const std::string folder = folders.back();
        folders.pop_back();
        RunError ignored;
        fs::FindEntries(folder + "\\*", [&](const fs::DirEntry& entry) {
            (entry.directory ? folders : left).push_back(folder + "\\" + entry.name);
            return true;
        }, ignored);
    }
    std::sort(left.begin(), left.end());
    return left;
}

}  // namespace qv

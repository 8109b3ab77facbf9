#include "setup/engine/install_journal.h"

#include <algorithm>

#include "setup/engine/uninstall_entry.h"
#include "setup/session/disk_utils.h"
#include "setup/session/registry.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

std::string Key(const std::string& path) { return UpperAscii(path); }

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

void RemoveIfThere(const std::string& path) {
    RunError ignored;
    if (fs::IsFile(path)) fs::RemoveFile(path, ignored);
}

// A backup goes whatever its marks: it may be the copy of a read-only file. False when it
// is still there.
bool RemoveBackup(const std::string& path) {
    RunError ignored;
    if (!fs::IsFile(path)) return true;
    fs::ClearReadOnly(path, ignored);
    return fs::RemoveFile(path, ignored);
}

// Puts the earlier file in `backup` back at `path`, where what the run wrote goes first.
// Nothing to do when the backup is gone: it was put back already.
bool PutBack(const std::string& path, const std::string& backup, RunError& error) {
    if (backup.empty() || !fs::IsFile(backup)) return true;
    if (fs::IsFile(path) && !fs::RemoveFile(path, error)) return false;
    return fs::Move(backup, path, error);
}

void LogUndo(UserPort& port, const std::string& what, const std::string& path, bool done, const RunError& error) {
    port.LogStep(done ? "Rolled back: " + what + " " + path
                      : "Could not roll back: " + what + " " + path + " (" + error.description + ")" +
                            SystemCause(error));
}

// Undoes one step. Steps check what is there, so that a rollback that was itself cut
// short can run again.
void UndoStep(const JournalStep& step, UserPort& port) {
    RunError error;
    switch (step.kind) {
        case JournalStep::Kind::Create:
            if (fs::IsFile(step.path)) LogUndo(port, "removed", step.path, fs::RemoveFile(step.path, error), error);
            return;
        case JournalStep::Kind::Save:
            if (step.backup.empty()) {
                if (fs::IsFile(step.path)) LogUndo(port, "removed", step.path, fs::RemoveFile(step.path, error), error);
                return;
            }
            [[fallthrough]];
        case JournalStep::Kind::Replace:
        case JournalStep::Kind::Remove:
            if (fs::IsFile(step.backup)) LogUndo(port, "restored", step.path, PutBack(step.path, step.backup, error), error);
            return;
        case JournalStep::Kind::Folder:
            if (fs::IsDirectory(step.path) && fs::RemoveDir(step.path, error)) port.LogStep("Rolled back: removed folder " + step.path);
            return;
        case JournalStep::Kind::Register: {
            if (!step.backup.empty()) return;  // an earlier install's entry stays
            const reg::Root root = step.path.rfind("HKLM\\", 0) == 0 ? reg::Root::LocalMachine : reg::Root::CurrentUser;
            const std::string key = std::string(kUninstallKeyRoot) + "\\" + step.path.substr(5);
            if (reg::KeyExists(root, key))
                LogUndo(port, "removed the Apps & features entry", step.path, reg::DeleteKey(root, key, error), error);
            return;
        }
        case JournalStep::Kind::Commit: return;
    }
}

// The backups a committed run leaves: they go. Those that cannot (held open) are named.
std::vector<std::string> RemoveBackups(const std::vector<JournalStep>& steps) {
    std::vector<std::string> left;
    for (const JournalStep& step : steps) {
        if (step.kind != JournalStep::Kind::Replace && step.kind != JournalStep::Kind::Remove &&
            step.kind != JournalStep::Kind::Save)
            continue;
        if (!RemoveBackup(step.backup)) left.push_back(step.backup);
    }
    return left;
}

// Writes the record anew: into a scratch file beside it, through to the disk, then in its
// place in one step.
bool WriteRecord(const std::string& path, const InstallRecord& record, RunError& error) {
    const std::string scratch = path + ".~new";
    RemoveIfThere(scratch);
    const std::string text = FormatRecord(record);
    const fs::Handle file = fs::CreateNew(scratch, error);
    if (file == fs::kNoHandle) return false;
    bool written = fs::Write(file, text.data(), static_cast<uint32_t>(text.size()), error) && fs::Flush(file, error);
    written = fs::Close(file, error) && written;
    if (written && fs::MoveReplacing(scratch, path, error)) return true;
    RemoveIfThere(scratch);
    return false;
}

// Puts the record back as it was before the run: the sealed record, or none at all.
void RestoreRecord(const std::string& path, const InstallRecord& base, bool hadRecord, UserPort& port) {
    RunError error;
    const bool done = hadRecord ? WriteRecord(path, base, error) : fs::RemoveFile(path, error);
    if (!done) port.LogStep("Could not put the install record back: " + path + " (" + error.description + ")" + SystemCause(error));
}

// Undoes every step newest first; the folders go last, once the record no longer holds
// one of them.
void UndoAll(const std::vector<JournalStep>& steps, const std::string& recordPath, const InstallRecord& base,
             bool hadRecord, UserPort& port) {
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (it->kind != JournalStep::Kind::Folder) UndoStep(*it, port);
    RestoreRecord(recordPath, base, hadRecord, port);
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (it->kind == JournalStep::Kind::Folder) UndoStep(*it, port);
}

template <typename T, typename Same>
void Put(std::vector<T>& items, const T& item, Same same) {
    auto it = std::find_if(items.begin(), items.end(), [&](const T& x) { return same(x, item); });
    if (it == items.end())
        items.push_back(item);
    else
        *it = item;
}

}  // namespace

InstallJournal::~InstallJournal() { Close(); }

void InstallJournal::Close() {
    if (file_ == fs::kNoHandle) return;
    RunError ignored;
    fs::Close(file_, ignored);
    file_ = fs::kNoHandle;
}

bool InstallJournal::Open(const std::string& installDir, const InstallRecord& base, RunError& error) {
    installDir_ = installDir;
    recordPath_ = RecordPath(installDir);
    base_ = record_ = base;
    record_.installDir = installDir;
    for (size_t i = 0; i < base_.files.size(); ++i) baseFiles_[Key(base_.files[i].path)] = files_[Key(base_.files[i].path)] = i;
    // The record's own folders cannot be listed before they are made: each is listed as
    // soon as the record can hold it.
    std::vector<std::string> made;
    for (std::string folder = FolderOf(recordPath_); !folder.empty() && !fs::Exists(folder); folder = FolderOf(folder))
        made.insert(made.begin(), folder);
    if (!made.empty() && !MakeDirPath(made.back(), error)) return false;
    const bool fresh = !fs::IsFile(recordPath_);
    file_ = fs::OpenForAppend(recordPath_, error);
    if (file_ == fs::kNoHandle) return false;
    std::string lines = (fresh ? RecordHeader() : std::string()) + BeginLine();
    for (const std::string& folder : made) {
        const JournalStep step{JournalStep::Kind::Folder, folder, ""};
        steps_.push_back(step);
        record_.folders.push_back(folder);
        lines += JournalLine(step);
    }
    return Append(lines, error);
}

bool InstallJournal::Append(const std::string& lines, RunError& error) {
    pending_ += lines;
    if (file_ == fs::kNoHandle || pending_.empty()) return true;
    const bool written = fs::Write(file_, pending_.data(), static_cast<uint32_t>(pending_.size()), error);
    pending_.clear();
    return written;
}

void InstallJournal::Buffer(const std::string& lines) {
    // What was written is recorded with the next step, in one write: only steps must be on
    // disk before they are taken.
    pending_ += lines;
}

bool InstallJournal::List(const JournalStep& step, RunError& error) {
    steps_.push_back(step);
    return Append(JournalLine(step), error);
}

void InstallJournal::Flush() {
    RunError ignored;
    Append({}, ignored);
    if (file_ != fs::kNoHandle) fs::Flush(file_, ignored);
}

bool InstallJournal::MakeFolders(const std::string& path, RunError& error, std::vector<std::string>* made) {
    std::vector<std::string> missing;
    for (std::string folder = path; folder.find('\\') != std::string::npos && !fs::Exists(folder);
         folder = FolderOf(folder))
        missing.insert(missing.begin(), folder);
    for (const std::string& folder : missing) {
        if (!List({JournalStep::Kind::Folder, folder, ""}, error)) return false;
        Put(record_.folders, folder, [](const std::string& a, const std::string& b) { return EqualsNoCase(a, b); });
        if (!fs::CreateDir(folder, error)) return false;
        madeFolders_.insert(Key(folder));
        if (made) made->push_back(folder);
    }
    return true;
}

std::string InstallJournal::FreeBackupName(const std::string& path) {
    // Short, so that it fits wherever the file's own name fits: "~" and a count.
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (;;) {
        std::string name;
        for (int n = ++backups_; n > 0; n /= 36) name.insert(name.begin(), kDigits[n % 36]);
        const std::string backup = FolderOf(path) + "\\~" + name;
        if (!fs::Exists(backup)) return backup;
    }
}

void InstallJournal::RemoveFolderIfEmpty(const std::string& path) {
    RunError ignored;
    if (!madeFolders_.count(Key(path)) || !fs::RemoveDir(path, ignored)) return;
    madeFolders_.erase(Key(path));
    record_.folders.erase(std::remove_if(record_.folders.begin(), record_.folders.end(),
                                         [&](const std::string& f) { return EqualsNoCase(f, path); }),
                          record_.folders.end());
}

bool InstallJournal::ListCreates(const std::vector<std::string>& paths, RunError& error) {
    std::string lines;
    for (const std::string& path : paths) lines += JournalLine({JournalStep::Kind::Create, path, ""});
    if (!Append(lines, error)) return false;
    for (const std::string& path : paths) {
        steps_.push_back({JournalStep::Kind::Create, path, ""});
        touched_[Key(path)] = {Touch::Created, ""};
    }
    return true;
}

bool InstallJournal::Touched(const std::string& path) const { return touched_.count(Key(path)) > 0; }

bool InstallJournal::PrepareFile(const std::string& path, RunError& error) {
    if (Touched(path)) {
        // Written (or moved aside) by this run already: what stands there now is the run's own.
        return !fs::IsFile(path) || fs::RemoveFile(path, error);
    }
    // A folder this run made holds nothing but what the run put there: no need to look.
    RunError lookup;
    const fs::EntryKind kind =
        madeFolders_.count(Key(FolderOf(path))) ? fs::EntryKind::None : fs::KindOf(path, lookup);
    switch (kind) {
        case fs::EntryKind::None:
            if (!List({JournalStep::Kind::Create, path, ""}, error)) return false;
            touched_[Key(path)] = {Touch::Created, ""};
            return true;
        case fs::EntryKind::Directory:
            return fs::MoveAside(path, path, error);  // refused, with the system's own error
        case fs::EntryKind::File: break;
    }
    const std::string backup = FreeBackupName(path);
    if (!List({JournalStep::Kind::Replace, path, backup}, error)) return false;
    if (!fs::MoveAside(path, backup, error)) return false;
    touched_[Key(path)] = {Touch::MovedAside, backup};
    return true;
}

void InstallJournal::Restore(const std::string& path) {
    madeFolders_.erase(Key(FolderOf(path)));  // something may stand there after all: look next time
    const auto it = touched_.find(Key(path));
    if (it == touched_.end()) return;
    RunError ignored;
    RemoveIfThere(path);
    PutBack(path, it->second.backup, ignored);
    // The place is as the run found it: a later write there starts afresh.
    touched_.erase(it);
}

void InstallJournal::Drop(const std::string& path) {
    RemoveIfThere(path);
    Buffer(GoneLine(path));
    dropped_.insert(Key(path));  // taken out of the record when it is next read
}

const InstallRecord& InstallJournal::Record() {
    if (dropped_.empty()) return record_;
    record_.files.erase(std::remove_if(record_.files.begin(), record_.files.end(),
                                       [&](const RecordedFile& f) { return dropped_.count(Key(f.path)) > 0; }),
                        record_.files.end());
    dropped_.clear();
    files_.clear();
    for (size_t i = 0; i < record_.files.size(); ++i) files_[Key(record_.files[i].path)] = i;
    return record_;
}

bool InstallJournal::PrepareEdit(const std::string& path, RunError& error) {
    if (Touched(path)) return true;
    if (!fs::IsFile(path)) {
        if (!List({JournalStep::Kind::Save, path, ""}, error)) return false;
        touched_[Key(path)] = {Touch::Created, ""};
        return true;
    }
    const std::string backup = FreeBackupName(path);
    if (!List({JournalStep::Kind::Save, path, backup}, error)) return false;
    if (!fs::CopyToNew(path, backup, error)) return false;
    touched_[Key(path)] = {Touch::MovedAside, backup};
    return true;
}

void InstallJournal::SetRun(const InstallRecord& run) {
    record_.installDir = run.installDir;
    record_.sourceDir = run.sourceDir;
    record_.language = run.language;
    record_.languageOffset = run.languageOffset;
    record_.platform = run.platform;
    record_.installType = run.installType;
    for (const auto& answer : run.answers)
        Put(record_.answers, answer, [](const auto& a, const auto& b) { return a.first == b.first; });
    Buffer(RunLines(run));
}

void InstallJournal::RecordAnswers(const std::vector<std::pair<std::string, std::string>>& answers) {
    InstallRecord run = record_;
    run.answers = answers;
    SetRun(run);
}

void InstallJournal::AddProduct(const RecordedProduct& product) {
    Put(record_.products, product, [](const auto& a, const auto& b) { return EqualsNoCase(a.code, b.code); });
    Buffer(ProductLine(product));
}

bool InstallJournal::HasEarlier(const std::string& path) const {
    const auto it = touched_.find(Key(path));
    return it != touched_.end() && !it->second.backup.empty();
}

void InstallJournal::Wrote(RecordedFile file) {
    const std::string key = Key(file.path);
    const auto touched = touched_.find(key);
    const auto before = baseFiles_.find(key);
    if (before != baseFiles_.end())
        file.earlier = base_.files[before->second].earlier;
    else
        file.earlier = touched != touched_.end() && !touched->second.backup.empty();
    // Files are looked up by name, not searched: an install writes thousands.
    dropped_.erase(key);
    const auto known = files_.find(key);
    if (known != files_.end()) {
        record_.files[known->second] = file;
    } else {
        files_[key] = record_.files.size();
        record_.files.push_back(file);
    }
    Buffer(FileLine(file));
}

void InstallJournal::Wrote(const RecordedEntry& e) {
    Put(record_.entries, e, [](const RecordedEntry& a, const RecordedEntry& b) {
        return EqualsNoCase(a.file, b.file) && EqualsNoCase(a.section, b.section) && EqualsNoCase(a.key, b.key);
    });
    Buffer(EntryLine(e));
}

void InstallJournal::Wrote(const RecordedDbCode& c) {
    Put(record_.dbCodes, c, [](const RecordedDbCode& a, const RecordedDbCode& b) {
        return EqualsNoCase(a.file, b.file) && EqualsNoCase(a.key, b.key);
    });
    Buffer(DbCodeLine(c));
}

void InstallJournal::Wrote(const RecordedOutside& o) {
    Put(record_.outside, o, [](const RecordedOutside& a, const RecordedOutside& b) { return EqualsNoCase(a.path, b.path); });
    Buffer(OutsideLine(o));
}

void InstallJournal::Wrote(const RecordedGroup& g) {
    RecordedGroup group = g;
    // A group an earlier install made stays the install's to remove.
    if (record_.group && EqualsNoCase(record_.group->folder, g.folder)) group.created = group.created || record_.group->created;
    record_.group = group;
    Buffer(GroupLine(group));
}

bool InstallJournal::WillRegister(const std::string& rootAndKey, bool existed, RunError& error) {
    return List({JournalStep::Kind::Register, rootAndKey, existed ? "existed" : ""}, error);
}

void InstallJournal::Wrote(const RecordedUninstallEntry& entry) {
    record_.uninstallEntry = entry;
    Buffer(UninstallLine(entry));
}

void InstallJournal::Wrote(const RecordedShortcut& s) {
    Put(record_.shortcuts, s, [](const RecordedShortcut& a, const RecordedShortcut& b) { return EqualsNoCase(a.link, b.link); });
    Buffer(ShortcutLine(s));
}

bool InstallJournal::Commit(UserPort& port, RunError& error) {
    if (!List({JournalStep::Kind::Commit, "", ""}, error)) return false;
    Flush();
    leftBehind_ = RemoveBackups(steps_);
    Close();
    if (recordPath_.empty()) return true;  // kept in memory only
    if (WriteRecord(recordPath_, Record(), error)) return true;
    port.LogStep("Could not write the install record " + recordPath_ + " (" + error.description + ")" + SystemCause(error));
    return false;
}

void InstallJournal::Rollback(UserPort& port) {
    Close();
    const bool hadRecord = !base_.installDir.empty();
    if (recordPath_.empty()) {
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) UndoStep(*it, port);
    } else {
        UndoAll(steps_, recordPath_, base_, hadRecord, port);
    }
    steps_.clear();
    touched_.clear();
    record_ = base_;
}

void UndoSteps(const std::vector<JournalStep>& steps, UserPort& port) {
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) UndoStep(*it, port);
}

Recovery RecoverInterruptedRun(const std::string& installDir, RecordFile& found, UserPort& port) {
    if (!found.Interrupted()) return Recovery::Nothing;
    const std::string path = RecordPath(installDir);
    if (found.committed) {
        port.LogStep("An earlier run into " + installDir + " ended before it finished: its install is completed");
        RemoveBackups(found.journal);
        RunError error;
        if (!WriteRecord(path, found.written, error)) {
            port.LogStep("Could not write the install record " + path + " (" + error.description + ")" + SystemCause(error));
            return Recovery::Failed;
        }
        found.record = found.written;
        found.tail = false;
        found.journal.clear();
        return Recovery::Committed;
    }
    port.LogStep("An earlier run into " + installDir + " ended before it finished: it is rolled back");
    UndoAll(found.journal, path, found.record, found.sealed, port);
    found.written = found.record;
    found.tail = false;
    found.journal.clear();
    return Recovery::RolledBack;
}

}  // namespace qv

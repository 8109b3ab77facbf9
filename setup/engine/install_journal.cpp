#include "setup/engine/install_journal.h"

#include <algorithm>

#include "setup/engine/record_trust.h"
#include "setup/engine/two_threads.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/digest.h"
#include "setup/session/disk_utils.h"
#include "setup/session/registry.h"
#include "setup/session/text_util.h"

namespace qv {

bool MayChange(const Confinement& places, const Path& path, RunError& error) {
    const std::optional<Path> root = places.RootFor(path);
    if (root && !fs::PassesThroughLink(path, *root)) return true;
    error = err::PermissionDenied();
    error.description += root ? " (the path goes through a link)" : " (the path lies outside the install directory)";
    return false;
}

bool MoveAsideWithin(const Confinement& places, const Path& from, const Path& to, RunError& error) {
    return MayChange(places, from, error) && fs::MoveAside(from, to, error);
}

namespace {

void RemoveIfThere(const Confinement& places, const Path& path) {
    RunError ignored;
    if ((fs::IsFile(path) || fs::IsLink(path)) && MayChange(places, path, ignored)) PassOver(fs::RemoveFile(path, ignored));
}

// A backup goes whatever its marks: it may be the copy of a read-only file. It lies beside
// the file it was moved from, and may go where that file may be changed. False when it is
// still there.
bool RemoveBackup(const Confinement& places, const JournalStep& step) {
    RunError ignored;
    const Path& backup = step.backup;
    if (!fs::Occupied(backup)) return true;
    if (backup.Parent() != step.path.Parent() || !MayChange(places, step.path, ignored)) return false;
    if (fs::RemoveFile(backup, ignored)) return true;
    if (fs::IsLink(backup)) return false;
    if (fs::IsDirectory(backup)) return true;  // a folder in its place is no backup
    PassOver(fs::ClearReadOnly(backup, ignored));  // the read-only mark of the file it was
    return fs::RemoveFile(backup, ignored);
}

// Puts the earlier file in `backup` back at `path`, where what the run wrote goes first.
// Nothing to do when the backup is gone: it was put back already.
bool PutBack(const Confinement& places, const Path& path, const Path& backup, RunError& error) {
    if (backup.empty() || !fs::IsFile(backup)) return true;
    if (!MayChange(places, path, error)) return false;
    if ((fs::IsFile(path) || fs::IsLink(path)) && !fs::RemoveFile(path, error)) return false;
    return fs::Move(backup, path, error);
}

void LogUndo(UserPort& port, const std::string& what, const Path& path, bool done, const RunError& error) {
    port.LogStep(done ? "Rolled back: " + what + " " + path.str()
                      : "Could not roll back: " + what + " " + path.str() + " (" + error.description + ")" +
                            SystemCause(error));
}

// Removes what a step made at its path: a file, or a link put in its place.
void UndoCreate(const JournalStep& step, const Confinement& places, UserPort& port) {
    if (!fs::IsFile(step.path) && !fs::IsLink(step.path)) return;
    RunError error;
    const bool done = MayChange(places, step.path, error) && fs::RemoveFile(step.path, error);
    LogUndo(port, "removed", step.path, done, error);
}

void UndoRegister(const JournalStep& step, UserPort& port) {
    if (step.existed) return;  // an earlier install's entry stays
    const reg::Root root = step.key.rfind("HKLM\\", 0) == 0 ? reg::Root::LocalMachine : reg::Root::CurrentUser;
    const std::string key = std::string(kUninstallKeyRoot) + "\\" + step.key.substr(5);
    RunError error;
    if (reg::KeyExists(root, key))
        port.LogStep(reg::DeleteKey(root, key, error)
                         ? "Rolled back: removed the Apps & features entry " + step.key
                         : "Could not roll back: removed the Apps & features entry " + step.key + SystemCause(error));
}

// Takes back a replacement at the next restart: the pair leaves the system's list and the new
// copy beside the file goes; the earlier file never left its place. The pair goes, not only
// the copy, so that a later file of the copy's name is never moved in at the restart.
void UndoAtRestart(const JournalStep& step, const Confinement& places, UserPort& port) {
    RunError error;
    const bool cancelled = fs::CancelReplaceAtRestart(step.backup, step.path, error);
    if (!fs::IsFile(step.backup) && !fs::IsLink(step.backup)) {
        if (!cancelled) LogUndo(port, "the replacement at the next restart of", step.path, false, error);
        return;
    }
    RunError removeError;
    const bool removed = MayChange(places, step.path, removeError) && fs::RemoveFile(step.backup, removeError);
    LogUndo(port, "the replacement at the next restart of", step.path, cancelled && removed, removed ? error : removeError);
}

// Undoes one step. Steps check what is there, so that a rollback that was itself cut
// short can run again.
void UndoStep(const JournalStep& step, const Confinement& places, UserPort& port) {
    RunError error;
    switch (step.kind) {
        case JournalStep::Kind::Create: return UndoCreate(step, places, port);
        case JournalStep::Kind::Save:
            if (step.backup.empty()) return UndoCreate(step, places, port);
            [[fallthrough]];
        case JournalStep::Kind::Replace:
        case JournalStep::Kind::Remove:
        case JournalStep::Kind::SaveAs:
            if (fs::IsFile(step.backup))
                LogUndo(port, "restored", step.path, PutBack(places, step.path, step.backup, error), error);
            return;
        case JournalStep::Kind::Folder:
            if (fs::IsDirectory(step.path) && MayChange(places, step.path, error) && fs::RemoveDir(step.path, error))
                port.LogStep("Rolled back: removed folder " + step.path.str());
            return;
        case JournalStep::Kind::AtRestart: return UndoAtRestart(step, places, port);
        case JournalStep::Kind::Register: return UndoRegister(step, port);
        case JournalStep::Kind::Commit: return;
    }
}

}  // namespace

void UndoSteps(const std::vector<JournalStep>& steps, const Confinement& places, UserPort& port) {
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (it->kind != JournalStep::Kind::Folder) UndoStep(*it, places, port);
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (it->kind == JournalStep::Kind::Folder) UndoStep(*it, places, port);
}

std::vector<Path> RemoveBackups(const std::vector<JournalStep>& steps, const Confinement& places) {
    std::vector<const JournalStep*> going;
    for (const JournalStep& step : steps) {
        // The copy of a replacement at the next restart is no backup: the system moves it in.
        // A file saved aside is the user's, and stays.
        if (!step.backup.empty() && step.kind != JournalStep::Kind::AtRestart && step.kind != JournalStep::Kind::SaveAs)
            going.push_back(&step);
    }
    std::vector<char> removed(going.size(), false);
    OnTwoThreads(going.size(), [&](size_t i) { removed[i] = RemoveBackup(places, *going[i]); });
    std::vector<Path> left;
    for (size_t i = 0; i < going.size(); ++i)
        if (!removed[i]) left.push_back(going[i]->backup);
    return left;
}

void RemoveEmptiedFolders(const std::vector<Path>& folders, const Confinement& places, UserPort& port) {
    for (const Path& folder : folders) {
        RunError ignored;  // a folder that holds something again, or cannot go, stays
        if (fs::IsDirectory(folder) && !fs::IsLink(folder) && MayChange(places, folder, ignored) &&
            fs::RemoveDir(folder, ignored))
            port.LogStep("Removed folder " + folder.str() + " (emptied)");
    }
}

bool WriteRecordText(const Path& path, const std::string& text, RunError& error) {
    const Path scratch = path.WithSuffix(".~new");
    RunError ignored;
    if (fs::IsFile(scratch)) PassOver(fs::RemoveFile(scratch, ignored));
    const fs::Handle file = fs::CreateNew(scratch, error);
    if (file == fs::kNoHandle) return false;
    bool written = fs::Write(file, text.data(), static_cast<uint32_t>(text.size()), error) && fs::Flush(file, error);
    written = fs::Close(file, error) && written;
    if (written && fs::MoveReplacing(scratch, path, error)) return true;
    PassOver(fs::RemoveFile(scratch, ignored));
    return false;
}

InstallJournal::InstallJournal(Confinement confinement) : places_(std::move(confinement)) {
    record_.installDir = places_.installDir;
}

InstallJournal::~InstallJournal() { Close(); }

void InstallJournal::Close() {
    if (file_ == fs::kNoHandle) return;
    RunError ignored;
    PassOver(fs::Close(file_, ignored));
    file_ = fs::kNoHandle;
}

void InstallJournal::RemoveJournalFile() {
    Close();
    RunError ignored;
    if (!journalPath_.empty() && fs::IsFile(journalPath_)) PassOver(fs::RemoveFile(journalPath_, ignored));
    journalPath_ = {};
}

bool InstallJournal::Open(const InstallRecord& base, const std::string& baseDigest, RunError& error) {
    recorded_ = true;
    base_ = record_ = base;
    record_.installDir = places_.installDir;
    if (record_.group) places_.AddGroup(record_.group->title);
    for (size_t i = 0; i < base_.files.size(); ++i) baseFiles_[base_.files[i].path.Key()] = files_[base_.files[i].path.Key()] = i;
    for (const Path& folder : base_.folders) folderKeys_.insert(folder.Key());
    const bool kept = OpenFile(baseDigest, error);
    RunError folderError;
    if (MakeFolders(RecordPath(places_.installDir).Parent(), folderError)) return kept;
    error = folderError;
    return false;
}

bool InstallJournal::OpenFile(const std::string& baseDigest, RunError& error) {
    const std::optional<Path> folder = JournalFolderForRun(error);
    if (!folder) return false;
    journalPath_ = JournalFileIn(*folder, places_.uninstallKey);
    RunError ignored;  // a journal left there was finished, or refused, before this run began
    if (fs::IsFile(journalPath_)) PassOver(fs::RemoveFile(journalPath_, ignored));
    file_ = fs::CreateNew(journalPath_, error);
    if (file_ == fs::kNoHandle) {
        journalPath_ = {};
        return false;
    }
    return Append(JournalHeader(places_.installDir, baseDigest), error);
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
    PassOver(Append({}, ignored));
    if (file_ != fs::kNoHandle) PassOver(fs::Flush(file_, ignored));
    if (file_ == fs::kNoHandle) pending_.clear();  // in memory, nothing waits to be written
}

bool InstallJournal::MayChange(const Path& path, RunError& error) const { return qv::MayChange(places_, path, error); }

bool InstallJournal::MakeFolders(const Path& path, RunError& error, std::vector<Path>* made) {
    std::vector<Path> missing;
    for (Path folder = path; !folder.IsRoot() && !fs::Exists(folder); folder = folder.Parent()) missing.push_back(folder);
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
        if (!places_.Allows(*folder)) {
            // A folder above the places a run may change (a Programs folder the system has
            // not made yet) is the system's: it is made, and stays.
            if (!fs::CreateDir(*folder, error)) return false;
            continue;
        }
        if (!List(JournalStep::On(JournalStep::Kind::Folder, *folder), error)) return false;
        if (folderKeys_.insert(folder->Key()).second) record_.folders.push_back(*folder);
        if (!fs::CreateDir(*folder, error)) return false;
        madeFolders_.insert(folder->Key());
        if (made) made->push_back(*folder);
    }
    return true;
}

bool InstallJournal::FreeBackupName(const Path& path, Path& backup, RunError& error) {
    // Short, so that it fits wherever the file's own name fits: "~" and a count. A folder
    // that answers every name as taken gets no backup rather than an endless search.
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int tries = 0; tries < 100000; ++tries) {
        std::string name = "~";
        for (int n = ++backups_; n > 0; n /= 36) name.insert(name.begin() + 1, kDigits[n % 36]);
        backup = *path.Parent().Join(name);
        if (!fs::Occupied(backup)) return true;
    }
    error = err::PathFileAccess();
    return false;
}

void InstallJournal::RemoveFolderIfEmpty(const Path& path) {
    RunError ignored;
    if (!madeFolders_.count(path.Key()) || !fs::RemoveDir(path, ignored)) return;
    madeFolders_.erase(path.Key());
    folderKeys_.erase(path.Key());
    record_.folders.erase(std::remove(record_.folders.begin(), record_.folders.end(), path), record_.folders.end());
}

bool InstallJournal::ListCreates(const std::vector<Path>& paths, RunError& error) {
    for (const Path& path : paths)
        if (!places_.Allows(path)) return MayChange(path, error);
    std::string lines;
    for (const Path& path : paths) lines += JournalLine(JournalStep::On(JournalStep::Kind::Create, path));
    if (!Append(lines, error)) return false;
    for (const Path& path : paths) {
        steps_.push_back(JournalStep::On(JournalStep::Kind::Create, path));
        touched_[path.Key()] = {Touch::Created, {}};
    }
    return true;
}

bool InstallJournal::ListMovesAside(const std::vector<Path>& paths, std::vector<Path>& backups, RunError& error) {
    backups.assign(paths.size(), Path());
    std::string lines;
    std::vector<JournalStep> steps;
    for (size_t i = 0; i < paths.size(); ++i) {
        RunError refused;
        if (Touched(paths[i]) || !MayChange(paths[i], refused) || !FreeBackupName(paths[i], backups[i], refused)) {
            backups[i] = {};
            continue;
        }
        steps.push_back(JournalStep::On(JournalStep::Kind::Replace, paths[i], backups[i]));
        lines += JournalLine(steps.back());
    }
    if (!Append(lines, error)) {
        backups.assign(paths.size(), Path());
        return false;
    }
    steps_.insert(steps_.end(), steps.begin(), steps.end());
    return true;
}

void InstallJournal::MovedAside(const Path& path, const Path& backup) {
    touched_[path.Key()] = {Touch::MovedAside, backup};
}

void InstallJournal::BringBack(const Path& path, const Path& backup) {
    RunError ignored;  // what cannot come back now, a rollback brings back
    PassOver(qv::PutBack(places_, path, backup, ignored));
}

bool InstallJournal::Touched(const Path& path) const { return touched_.count(path.Key()) > 0; }

bool InstallJournal::PrepareFile(const Path& path, RunError& error) {
    if (!places_.Allows(path)) return MayChange(path, error);
    if (Touched(path)) {
        // Written (or moved aside) by this run already: what stands there now is the run's own,
        // or, for an earlier file held open, the copy beside it.
        TouchedFile& touched = touched_[path.Key()];
        if (touched.IsBeside()) return TakeBackCopy(path, touched, error);
        return !fs::IsFile(path) || fs::RemoveFile(path, error);
    }
    // A folder this run made holds nothing but what the run put there: no need to look.
    if (madeFolders_.count(path.Parent().Key()) || !fs::Occupied(path)) {
        if (!List(JournalStep::On(JournalStep::Kind::Create, path), error)) return false;
        touched_[path.Key()] = {Touch::Created, {}};
        return true;
    }
    if (fs::IsDirectory(path)) return fs::MoveAside(path, path, error);  // refused, with the system's own error
    // An earlier file is moved: never one reached through a link.
    Path backup;
    if (!MayChange(path, error) || !FreeBackupName(path, backup, error)) return false;
    if (!List(JournalStep::On(JournalStep::Kind::Replace, path, backup), error)) return false;
    if (!fs::MoveAside(path, backup, error)) return false;
    touched_[path.Key()] = {Touch::MovedAside, backup};
    return true;
}

bool InstallJournal::SaveAside(const Path& path, const Path& saved, RunError& error) {
    if (Touched(path) || saved.Parent() != path.Parent() || !IsSavedName(path.Name(), saved.Name())) {
        error = err::PathFileAccess();  // only an earlier file the run has not touched, kept beside itself
        return false;
    }
    if (!MayChange(path, error) || !MayChange(saved, error)) return false;
    if (!List(JournalStep::On(JournalStep::Kind::SaveAs, path, saved), error)) return false;
    if (!fs::MoveAside(path, saved, error)) return false;
    touched_[path.Key()] = {Touch::MovedAside, saved};
    return true;
}

std::vector<Path> InstallJournal::SavedAside() const {
    std::vector<Path> saved;
    for (const JournalStep& step : steps_) {
        const auto it = touched_.find(step.path.Key());
        if (step.kind == JournalStep::Kind::SaveAs && it != touched_.end() && it->second.backup == step.backup)
            saved.push_back(step.backup);
    }
    return saved;
}

bool InstallJournal::PrepareAtRestart(const Path& path, RunError& error) {
    if (Touched(path)) {
        error = err::PathFileAccess();  // what the run did there comes back by Restore, not by this
        return false;
    }
    Path beside;
    if (!MayChange(path, error) || !FreeBackupName(path, beside, error)) return false;
    if (!List(JournalStep::On(JournalStep::Kind::AtRestart, path, beside), error)) return false;
    touched_[path.Key()] = {Touch::Beside, beside};
    return true;
}

std::set<std::string> RestartTargets(const Path& installDir) {
    std::set<std::string> targets;
    for (const fs::PendingReplacement& pending : fs::PendingReplacements())
        if (pending.to.IsWithin(installDir) && pending.from.Parent() == pending.to.Parent())
            targets.insert(pending.to.Key());
    return targets;
}

bool InstallJournal::WaitsForRestart(const Path& path) {
    if (!restartTargets_) restartTargets_ = RestartTargets(places_.installDir);
    return restartTargets_->count(path.Key()) > 0 && !Touched(path);
}

Path InstallJournal::CopyPathFor(const Path& path) const {
    const auto it = touched_.find(path.Key());
    return it != touched_.end() && it->second.IsBeside() ? it->second.backup : path;
}

bool InstallJournal::ReplaceAtRestart(const Path& path, RunError& error) {
    const auto it = touched_.find(path.Key());
    if (it == touched_.end() || !it->second.IsBeside()) {
        error = err::PathFileAccess();  // no copy beside it to hand over
        return false;
    }
    if (it->second.how == Touch::AtRestart) return true;
    if (!fs::ReplaceAtRestart(it->second.backup, path, error)) return false;
    it->second.how = Touch::AtRestart;
    return true;
}

std::vector<Path> InstallJournal::ReplacedAtRestart() const {
    std::vector<Path> paths;
    for (const JournalStep& step : steps_) {
        const auto it = touched_.find(step.path.Key());
        if (step.kind == JournalStep::Kind::AtRestart && it != touched_.end() && it->second.how == Touch::AtRestart &&
            it->second.backup == step.backup)
            paths.push_back(step.path);
    }
    return paths;
}

bool InstallJournal::TakeBackCopy(const Path& path, TouchedFile& touched, RunError& error) {
    const bool cancelled = touched.how != Touch::AtRestart || fs::CancelReplaceAtRestart(touched.backup, path, error);
    if (cancelled) touched.how = Touch::Beside;
    // Without the copy, a pair the system still keeps moves nothing at the restart.
    RunError removeError;
    const bool removed = !fs::IsFile(touched.backup) || fs::RemoveFile(touched.backup, removeError);
    if (!removed) error = removeError;
    return cancelled && removed;
}

void InstallJournal::Restore(const Path& path) {
    madeFolders_.erase(path.Parent().Key());  // something may stand there after all: look next time
    const auto it = touched_.find(path.Key());
    if (it == touched_.end()) return;
    RunError ignored;
    if (it->second.IsBeside()) {
        PassOver(TakeBackCopy(path, it->second, ignored));  // a rollback takes back what is left
        touched_.erase(it);
        return;
    }
    RemoveIfThere(places_, path);
    PutBack(places_, path, it->second.backup, ignored);
    // The place is as the run found it: a later write there starts afresh.
    touched_.erase(it);
}

void InstallJournal::Drop(const Path& path) {
    const auto it = touched_.find(path.Key());
    if (it != touched_.end() && it->second.IsBeside()) return Restore(path);
    RemoveIfThere(places_, path);
    ListGone(path);
}

bool InstallJournal::Remove(const Path& path, RunError& error) {
    if (!PrepareFile(path, error)) return false;
    const auto touch = touched_.find(path.Key());
    if (touch == touched_.end() || touch->second.how != Touch::MovedAside) RemoveIfThere(places_, path);
    ListGone(path);
    return true;
}

void InstallJournal::ListGone(const Path& path) {
    Buffer(GoneLine(path));
    dropped_.insert(path.Key());  // taken out of the record when it is next read
}

const InstallRecord& InstallJournal::Record() {
    if (dropped_.empty()) return record_;
    record_.files.erase(std::remove_if(record_.files.begin(), record_.files.end(),
                                       [&](const RecordedFile& f) { return dropped_.count(f.path.Key()) > 0; }),
                        record_.files.end());
    dropped_.clear();
    files_.clear();
    for (size_t i = 0; i < record_.files.size(); ++i) files_[record_.files[i].path.Key()] = i;
    return record_;
}

const RecordedFile* InstallJournal::FindFile(const Path& path) {
    const InstallRecord& record = Record();
    const auto found = files_.find(path.Key());
    return found == files_.end() ? nullptr : &record.files[found->second];
}

bool InstallJournal::PrepareEdit(const Path& path, RunError& error) {
    if (Touched(path)) return true;
    if (!MayChange(path, error)) return false;
    if (!fs::IsFile(path)) {
        if (!List(JournalStep::On(JournalStep::Kind::Save, path), error)) return false;
        touched_[path.Key()] = {Touch::Created, {}};
        return true;
    }
    Path backup;
    if (!FreeBackupName(path, backup, error)) return false;
    if (!List(JournalStep::On(JournalStep::Kind::Save, path, backup), error)) return false;
    if (!fs::CopyToNew(path, backup, error)) return false;
    touched_[path.Key()] = {Touch::MovedAside, backup};
    return true;
}

namespace {

template <typename T, typename Same>
void Put(std::vector<T>& items, const T& item, Same same) {
    auto it = std::find_if(items.begin(), items.end(), [&](const T& x) { return same(x, item); });
    if (it == items.end())
        items.push_back(item);
    else
        *it = item;
}

}  // namespace

void InstallJournal::SetRun(const InstallRecord& run) {
    record_.sourceDir = run.sourceDir;
    record_.language = run.language;
    record_.languageOffset = run.languageOffset;
    record_.platform = run.platform;
    record_.installType = run.installType;
    record_.scope = run.scope;
    for (const auto& answer : run.answers)
        Put(record_.answers, answer, [](const auto& a, const auto& b) { return a.first == b.first; });
    InstallRecord lines = record_;
    lines.answers = run.answers;
    Buffer(RunLines(lines));
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

bool InstallJournal::HasEarlier(const Path& path) const {
    const auto it = touched_.find(path.Key());
    return it != touched_.end() && !it->second.backup.empty();
}

void InstallJournal::Wrote(RecordedFile file) {
    const std::string key = file.path.Key();
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
        return a.file == b.file && EqualsNoCase(a.section, b.section) && EqualsNoCase(a.key, b.key);
    });
    Buffer(EntryLine(e));
}

void InstallJournal::ForgetDbCode(const RecordedDbCode& c) {
    const auto same = [&](const RecordedDbCode& held) { return held.file == c.file && EqualsNoCase(held.key, c.key); };
    record_.dbCodes.erase(std::remove_if(record_.dbCodes.begin(), record_.dbCodes.end(), same), record_.dbCodes.end());
    Buffer(GoneCodeLine(c));
}

void InstallJournal::Wrote(const RecordedDbCode& c) {
    Put(record_.dbCodes, c, [](const RecordedDbCode& a, const RecordedDbCode& b) {
        return a.file == b.file && EqualsNoCase(a.key, b.key);
    });
    Buffer(DbCodeLine(c));
}

void InstallJournal::Wrote(const RecordedOutside& o) {
    Put(record_.outside, o, [](const RecordedOutside& a, const RecordedOutside& b) { return a.path == b.path; });
    Buffer(OutsideLine(o));
}

void InstallJournal::Wrote(const RecordedGroup& g) {
    RecordedGroup group = g;
    // A group an earlier install made stays the install's to remove.
    if (record_.group && record_.group->folder == g.folder) group.created = group.created || record_.group->created;
    // A group in another folder takes the earlier one's place, and the earlier shortcuts and
    // the folders made for them are no longer the record's: the caller removes them or
    // leaves them.
    if (record_.group && record_.group->folder != g.folder) {
        const Path& earlier = record_.group->folder;
        std::erase_if(record_.shortcuts, [&](const RecordedShortcut& s) { return s.link.Parent() == earlier; });
        std::erase_if(record_.folders, [&](const Path& made) {
            return made.IsWithin(earlier) && folderKeys_.erase(made.Key()) > 0;
        });
    }
    record_.group = group;
    places_.AddGroup(group.title);
    Buffer(GroupLine(group));
}

bool InstallJournal::WillRegister(const std::string& rootAndKey, bool existed, RunError& error) {
    JournalStep step = JournalStep::On(JournalStep::Kind::Register);
    step.key = rootAndKey;
    step.existed = existed;
    return List(step, error);
}

void InstallJournal::Wrote(const RecordedUninstallEntry& entry) {
    record_.uninstallEntry = entry;
    Buffer(UninstallLine(entry));
}

void InstallJournal::Wrote(const RecordedShortcut& s) {
    Put(record_.shortcuts, s, [](const RecordedShortcut& a, const RecordedShortcut& b) { return a.link == b.link; });
    Buffer(ShortcutLine(s));
}

std::vector<Path> InstallJournal::GoingFolders() {
    std::set<std::string> going;  // the backups that go at the commit, then the folders found to go
    for (const JournalStep& step : steps_)
        if ((step.kind == JournalStep::Kind::Replace || step.kind == JournalStep::Kind::Remove) && !step.backup.empty())
            going.insert(step.backup.Key());
    std::vector<Path> folders = emptiedFolders_;
    std::sort(folders.begin(), folders.end(), [](const Path& a, const Path& b) { return a.str().size() > b.str().size(); });
    std::vector<Path> gone;
    for (const Path& folder : folders) {
        bool onlyGoing = true;  // nothing in it but what goes
        RunError error;
        const bool looked = fs::IsDirectory(folder) && !fs::IsLink(folder) && places_.Allows(folder) &&
                            fs::FindEntries(folder.str() + "\\*", [&](const fs::DirEntry& entry) {
                                const std::optional<Path> inside = folder.Join(entry.name);
                                onlyGoing = inside && going.count(inside->Key()) > 0;
                                return onlyGoing;
                            }, error);
        if (!looked || !onlyGoing) continue;
        going.insert(folder.Key());
        gone.push_back(folder);
        folderKeys_.erase(folder.Key());
        record_.folders.erase(std::remove(record_.folders.begin(), record_.folders.end(), folder), record_.folders.end());
    }
    return gone;
}

bool InstallJournal::Commit(UserPort& port, RunError& error) {
    const std::vector<Path> goingFolders = GoingFolders();
    // Listed with the commit, so that a run killed after it still removes them, and the
    // record it vouches for is the one without them.
    for (const Path& folder : goingFolders) Buffer(EmptiedLine(folder));
    const std::string text = recorded_ ? FormatRecord(Record()) : std::string();
    JournalStep commit = JournalStep::On(JournalStep::Kind::Commit);
    if (recorded_) commit.digest = Sha256Hex(text);
    if (!List(commit, error)) return false;
    Flush();
    leftBehind_ = RemoveBackups(steps_, places_);
    RemoveEmptiedFolders(goingFolders, places_, port);
    for (const Path& path : ReplacedAtRestart()) port.LogStep("Replaced at the next restart: " + path);
    Close();
    if (!recorded_) return true;  // kept in memory only: no record to write
    // The digest first: until the record is written the journal vouches for the one it
    // replaces, and the next run finishes the commit.
    const Path path = RecordPath(places_.installDir);
    RunError digestError = err::DeviceUnavailable();  // no digest: the system has no SHA-256
    if (commit.digest.empty() || !KeepDigest(record_, places_.uninstallKey, commit.digest, digestError))
        port.LogStep("Could not keep the digest of the install record " + path.str() + " (" + digestError.description +
                     ")" + SystemCause(digestError) + ": the next run will refuse the record");
    if (!MayChange(path, error) || !WriteRecordText(path, text, error)) {
        port.LogStep("Could not write the install record " + path.str() + " (" + error.description + ")" + SystemCause(error));
        return false;
    }
    RemoveJournalFile();
    return true;
}

void InstallJournal::Rollback(UserPort& port) {
    Close();
    UndoSteps(steps_, places_, port);
    RemoveJournalFile();
    steps_.clear();
    touched_.clear();
    record_ = base_;
}

}  // namespace qv

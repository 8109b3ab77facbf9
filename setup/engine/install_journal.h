// The journal of a run into an install directory. Every step that changes the disk is
// listed in the journal before it is taken: a folder about to be made, a file about to be
// created where nothing was, an earlier file about to be moved aside so that a new one can
// take its place, a file about to be edited in place (a copy of it kept). What was written
// follows as the record's own items. A run that ends well commits: the earlier files moved
// aside go, and the record is written anew, merged and sealed, its digest kept where only
// administrators write. A run that does not is rolled back: each step undone, newest
// first. A run that was killed leaves its journal, and the next run for the directory
// finishes it (RecoverInterruptedRun, record_trust.h).
//
// The journal is kept out of the install directory, whose users may write there: in a
// folder that only the system and the administrators can change (the user's own profile
// for a run that cannot write the machine's part of the registry). What a journal names is
// confined as the record is: nothing outside the places a run may change is touched, and
// nothing through a link inside them.
//
// An earlier file is moved aside in its own folder, never copied: a rename on the same
// volume costs nothing and cannot half succeed. Only a file edited in place keeps a copy.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "setup/engine/install_record.h"
#include "setup/session/file_system.h"
#include "setup/session/run_error.h"
#include "setup/session/user_port.h"

namespace qv {

class InstallJournal {
public:
    // A journal of a run into confinement.installDir that may change only what the
    // confinement allows. Kept in memory until Open, and for a run that writes no record.
    explicit InstallJournal(Confinement confinement);
    ~InstallJournal();
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Starts the journal of a run on the record as it was found (`base`, with the digest
    // of its file; both empty when there was none): the run writes the record when it
    // commits. The journal's file is made in its protected folder, and the folder the
    // record needs is listed and made. False, with the error, when the journal's file
    // cannot be kept: the run goes on with the journal in memory, and a run that is then
    // killed cannot be rolled back by the next.
    [[nodiscard]] bool Open(const InstallRecord& base, const std::string& baseDigest, RunError& error);
    bool IsOpen() const { return file_ != fs::kNoHandle; }
    // The places this run may change.
    const Confinement& Places() const { return places_; }

    // ---- Steps, each listed before it is taken ---------------------------------------

    // Makes every missing folder along path (the root never); adds those it made,
    // outermost first, to `made` where given.
    [[nodiscard]] bool MakeFolders(const Path& path, RunError& error, std::vector<Path>* made = nullptr);
    // Removes a folder this run made, when it holds nothing: it was made for files that
    // were not written after all. The record forgets it.
    void RemoveFolderIfEmpty(const Path& path);
    // Lists new files, in folders this run made, that are about to be created (by anyone,
    // in any order), in one write.
    [[nodiscard]] bool ListCreates(const std::vector<Path>& paths, RunError& error);

    // Lists earlier files about to be moved aside, each to a free backup beside it, so that
    // new files can be created in their places ahead of the pass (by anyone, in any order),
    // in one write. `backups` gets each one's backup, in order: empty for one that this run
    // has touched already or may not change, which is not listed. Until MovedAside says
    // that a file did go, the run has not touched its place.
    [[nodiscard]] bool ListMovesAside(const std::vector<Path>& paths, std::vector<Path>& backups, RunError& error);
    // The earlier file at path went to its backup (listed by ListMovesAside) and a new file
    // takes its place: from here on the place is the run's, as after PrepareFile.
    void MovedAside(const Path& path, const Path& backup);
    // The earlier file moved to backup for a new file that no one wrote comes back to its
    // place, in the stead of whatever was created there.
    void BringBack(const Path& path, const Path& backup);

    // Makes room for a new file at path. An earlier file that this run has not written is
    // moved aside to a backup beside it; a read-only one, a folder, one another program
    // holds open, or one reached through a link stays, and the call fails with the error.
    // What this run wrote there itself goes. The new file is then created where nothing is.
    [[nodiscard]] bool PrepareFile(const Path& path, RunError& error);
    // Makes room for a new file at path whose earlier file the user changed since the
    // install: it is moved to `saved`, a free name beside it (SavedName), where it stays when
    // the run commits. It comes back to its place when the new file is not installed after
    // all (Restore) and when the run is rolled back.
    [[nodiscard]] bool SaveAside(const Path& path, const Path& saved, RunError& error);
    // The files this run keeps under a saved name, each beside the new file at its place.
    std::vector<Path> SavedAside() const;
    // Makes room for a new file at path whose earlier file another program holds open, so
    // that it can be neither moved aside nor replaced now (a file this run has not touched):
    // the new file is written to a copy beside it (CopyPathFor), which the system puts in its
    // place at the next restart (ReplaceAtRestart). Listed before the copy is made.
    [[nodiscard]] bool PrepareAtRestart(const Path& path, RunError& error);
    // True when an earlier run left a copy that the system puts in path's place at the next
    // restart: whatever this run writes there now would be replaced by it then, so this
    // run's copy too waits for the restart, and takes the place after the earlier one.
    bool WaitsForRestart(const Path& path);
    // Where the new file for path is written: the copy beside it where PrepareAtRestart made
    // room, otherwise path itself.
    Path CopyPathFor(const Path& path) const;
    // True when the new file for path is written beside it: the earlier file never leaves its place.
    bool WritesBeside(const Path& path) const { return CopyPathFor(path) != path; }
    // Hands the copy beside path, written whole, to the system, to take path's place at the
    // next restart. False, with the error, where the system will not (no right to).
    [[nodiscard]] bool ReplaceAtRestart(const Path& path, RunError& error);
    // The files whose new copies take their place at the next restart.
    std::vector<Path> ReplacedAtRestart() const;
    // The new file at path is not installed after all: what was written goes, and the
    // earlier file comes back to its place (one that never left it stays).
    void Restore(const Path& path);
    // The new file at path goes, and so does the earlier one: its entry was skipped. The
    // earlier file stays aside until the run ends, and comes back if it is rolled back. An
    // earlier file held open never left its place: it stays, as Restore leaves it.
    void Drop(const Path& path);
    // The file at path goes: PrepareFile and Drop in one, for a removal. It is moved aside,
    // removed when the run commits, and comes back if it is rolled back. False, with why,
    // when it cannot be moved aside (held open, refused).
    [[nodiscard]] bool Remove(const Path& path, RunError& error);
    // The record forgets the file at path, which stays where it is: one this run no longer
    // installs, and that is no longer as an install wrote it.
    void Forget(const Path& path) { ListGone(path); }
    // The record forgets a database code: one this run removed, or that it no longer writes
    // and that was changed since the install.
    void ForgetDbCode(const RecordedDbCode& code);
    // A folder an install made, from which this run removed files: it goes when the run
    // commits if nothing is left in it then (this run's backups and folders that go too
    // aside), and the record forgets it.
    void RemoveFolderIfEmptied(const Path& folder) {
        if (emptied_.insert(folder.Key()).second) emptiedFolders_.push_back(folder);
    }
    // A file about to be edited in place (a profile, a configuration): a copy of the
    // earlier one is kept beside it, to be put back by a rollback.
    [[nodiscard]] bool PrepareEdit(const Path& path, RunError& error);
    // The Apps & features entry `rootAndKey` ("HKLM\<key>") about to be written; `existed`
    // when an earlier install's is there (a rollback then leaves it).
    [[nodiscard]] bool WillRegister(const std::string& rootAndKey, bool existed, RunError& error);

    // True when this run has written or moved aside the file at path.
    bool Touched(const Path& path) const;
    // True when an earlier file at path waits aside for the run's end.
    bool HasEarlier(const Path& path) const;

    // ---- What was written -------------------------------------------------------------

    void SetRun(const InstallRecord& run);  // where from and to, language, platform, type, answers
    // Answers given once the run was under way (the program group's).
    void RecordAnswers(const std::vector<std::pair<std::string, std::string>>& answers);
    void AddProduct(const RecordedProduct& product);
    // A file as written; `earlier` is filled in from what the run found.
    void Wrote(RecordedFile file);
    void Wrote(const RecordedEntry& entry);
    void Wrote(const RecordedDbCode& code);
    void Wrote(const RecordedOutside& outside);
    // The group comes before its folder and its shortcuts: they are the group's places. A
    // group in another folder than the record's takes its place, and the record forgets the
    // earlier group's shortcuts.
    void Wrote(const RecordedGroup& group);
    void Wrote(const RecordedShortcut& shortcut);
    void Wrote(const RecordedUninstallEntry& entry);
    // The record as it stands: what was found, merged with what this run wrote.
    const InstallRecord& Record();
    // The file the record holds at path, looked up by name (null: none).
    const RecordedFile* FindFile(const Path& path);

    // Writes what is listed so far through to the disk (at product boundaries).
    void Flush();

    // ---- The end of the run ---------------------------------------------------------

    // The run ended well: the earlier files moved aside go and, for an opened journal, the
    // record is written anew, merged and sealed, and its digest kept. False, with the
    // error, when the record could not be written (the installed files stay; the next run
    // finishes the commit).
    [[nodiscard]] bool Commit(UserPort& port, RunError& error);
    // The backups a commit could not remove (held open): the caller decides what to do.
    const std::vector<Path>& LeftBehind() const { return leftBehind_; }
    // The run did not end well: every step is undone, newest first. The record was not
    // touched by the run. The log names what was put back and what could not be.
    void Rollback(UserPort& port);

private:
    void ListGone(const Path& path);
    enum class Touch {
        Created,
        MovedAside,
        Beside,     // the earlier file is held open: the new one is written beside it, to `backup`
        AtRestart,  // the same, handed to the system to take the earlier file's place at the restart
    };
    struct TouchedFile {
        Touch how = Touch::Created;
        Path backup;  // MovedAside: where the earlier file is (empty: there was none); Beside, AtRestart: the new copy
        bool IsBeside() const { return how == Touch::Beside || how == Touch::AtRestart; }
    };

    [[nodiscard]] bool OpenFile(const std::string& baseDigest, RunError& error);
    [[nodiscard]] bool Append(const std::string& lines, RunError& error);
    void Buffer(const std::string& lines);
    [[nodiscard]] bool List(const JournalStep& step, RunError& error);
    [[nodiscard]] bool FreeBackupName(const Path& path, Path& backup, RunError& error);
    [[nodiscard]] bool MayChange(const Path& path, RunError& error) const;
    [[nodiscard]] static bool TakeBackCopy(const Path& path, TouchedFile& touched, RunError& error);
    void Close();
    void RemoveJournalFile();

    Confinement places_;
    bool recorded_ = false;  // Open was called: the run writes the record
    Path journalPath_;       // the journal's file; empty: in memory
    InstallRecord base_;
    InstallRecord record_;
    std::vector<JournalStep> steps_;
    std::map<std::string, TouchedFile> touched_;  // by the path's key
    std::map<std::string, size_t> files_;         // record_.files by the path's key
    std::map<std::string, size_t> baseFiles_;     // base_.files by the path's key
    std::set<std::string> folderKeys_;            // record_.folders by the path's key
    std::set<std::string> madeFolders_;           // the folders this run made, by key
    std::set<std::string> dropped_;               // files gone since the record was last read
    fs::Handle file_ = fs::kNoHandle;
    std::string pending_;  // item lines not yet written
    int backups_ = 0;
    std::vector<Path> leftBehind_;
    std::optional<std::set<std::string>> restartTargets_;  // read once, when first asked
    std::set<std::string> emptied_;      // RemoveFolderIfEmptied, by key
    std::vector<Path> emptiedFolders_;   // the same, in the order given
    // The folders of RemoveFolderIfEmptied that hold nothing but what goes at the commit,
    // innermost first; the record forgets them.
    std::vector<Path> GoingFolders();
};

// Whether `path` may be changed: it lies where `places` allows, and not through a link.
// False, with the error ("Permission denied" and why), where it may not.
[[nodiscard]] bool MayChange(const Confinement& places, const Path& path, RunError& error);

// Moves the earlier file `from` aside to `to`, a backup that InstallJournal::ListMovesAside
// listed, where `places` allows it and not through a link, checked again just before the
// move: for a move made off the journal's own thread, perhaps long after it was listed.
[[nodiscard]] bool MoveAsideWithin(const Confinement& places, const Path& from, const Path& to, RunError& error);

// The files below installDir that an earlier run's copy beside them replaces at the next
// restart, by key.
std::set<std::string> RestartTargets(const Path& installDir);

// Undoes journal steps, newest first, as a rollback does, each only where `places` allows
// it and not through a link; the folders last. The log names each.
void UndoSteps(const std::vector<JournalStep>& steps, const Confinement& places, UserPort& port);

// Removes the backups of a committed run's steps; those that cannot go (held open) are
// given back.
std::vector<Path> RemoveBackups(const std::vector<JournalStep>& steps, const Confinement& places);

// Removes the folders a committed run emptied (deepest first) where they still hold
// nothing, each only where `places` allows it and not through a link. The log names each.
void RemoveEmptiedFolders(const std::vector<Path>& folders, const Confinement& places, UserPort& port);

// Writes a record file anew: into a scratch file beside it, through to the disk, then in
// its place in one step.
[[nodiscard]] bool WriteRecordText(const Path& path, const std::string& text, RunError& error);

}  // namespace qv

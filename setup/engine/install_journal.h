// The journal of a run into an install directory. Every step that changes the disk is
// listed in the directory's record before it is taken: a folder about to be made, a file
// about to be created where nothing was, an earlier file about to be moved aside so that a
// new one can take its place, a file about to be edited in place (a copy of it kept). What
// was written follows as the record's own items. A run that ends well commits: the earlier
// files moved aside go, and the record is written anew, merged and sealed. A run that does
// not is rolled back: each step undone, newest first, and the record as it was. A run that
// was killed leaves its journal in the record, and the next run for the directory finishes
// it (RecoverInterruptedRun).
//
// An earlier file is moved aside in its own folder, never copied: a rename on the same
// volume costs nothing and cannot half succeed. Only a file edited in place keeps a copy.
#pragma once

#include <map>
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
    // A journal kept in memory only, for a run that writes no record.
    InstallJournal() = default;
    ~InstallJournal();
    InstallJournal(const InstallJournal&) = delete;
    InstallJournal& operator=(const InstallJournal&) = delete;

    // Starts the journal of a run into installDir, on the record as it was found (`base`,
    // sealed, empty when there was none). The folders the record needs are made first and
    // listed as made by the run; the record file is created with its header when missing.
    // False, with the error, when the record cannot be written: nothing is changed then but
    // those folders.
    bool Open(const std::string& installDir, const InstallRecord& base, RunError& error);
    bool IsOpen() const { return file_ != fs::kNoHandle; }

    // ---- Steps, each listed before it is taken ---------------------------------------

    // Makes every missing folder along path (the first component, a drive, never); adds
    // those it made, outermost first, to `made` where given.
    bool MakeFolders(const std::string& path, RunError& error, std::vector<std::string>* made = nullptr);
    // Removes a folder this run made, when it holds nothing: it was made for files that
    // were not written after all. The record forgets it.
    void RemoveFolderIfEmpty(const std::string& path);
    // Lists new files, in folders this run made, that are about to be created (by anyone,
    // in any order), in one write.
    bool ListCreates(const std::vector<std::string>& paths, RunError& error);

    // Makes room for a new file at path. An earlier file that this run has not written is
    // moved aside to a backup beside it; a read-only one, a folder or one another program
    // holds open stays, and the call fails with the error. What this run wrote there itself
    // goes. The new file is then created where nothing is.
    bool PrepareFile(const std::string& path, RunError& error);
    // The new file at path is not installed after all: what was written goes, and the
    // earlier file comes back to its place.
    void Restore(const std::string& path);
    // The new file at path goes, and so does the earlier one: its entry was skipped. The
    // earlier file stays aside until the run ends, and comes back if it is rolled back.
    void Drop(const std::string& path);
    // A file about to be edited in place (a profile, a configuration): a copy of the
    // earlier one is kept beside it, to be put back by a rollback.
    bool PrepareEdit(const std::string& path, RunError& error);
    // The Apps & features entry `rootAndKey` ("HKLM\<key>") about to be written; `existed`
    // when an earlier install's is there (a rollback then leaves it).
    bool WillRegister(const std::string& rootAndKey, bool existed, RunError& error);

    // True when this run has written or moved aside the file at path.
    bool Touched(const std::string& path) const;
    // True when an earlier file at path waits aside for the run's end.
    bool HasEarlier(const std::string& path) const;

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
    void Wrote(const RecordedGroup& group);
    void Wrote(const RecordedShortcut& shortcut);
    void Wrote(const RecordedUninstallEntry& entry);
    // The record as it stands: what was found, merged with what this run wrote.
    const InstallRecord& Record();

    // Writes what is listed so far through to the disk (at product boundaries).
    void Flush();

    // ---- The end of the run ---------------------------------------------------------

    // The run ended well: the earlier files moved aside go and the record is written anew,
    // merged and sealed. False, with the error, when the record could not be written (the
    // installed files stay; the next run finishes the commit).
    bool Commit(UserPort& port, RunError& error);
    // The backups a commit could not remove (held open): the caller decides what to do.
    const std::vector<std::string>& LeftBehind() const { return leftBehind_; }
    // The run did not end well: every step is undone, newest first, and the record is as it
    // was before the run. The log names what was put back and what could not be.
    void Rollback(UserPort& port);

private:
    enum class Touch { Created, MovedAside };
    struct TouchedFile {
        Touch how = Touch::Created;
        std::string backup;  // MovedAside: where the earlier file is (empty: there was none)
    };

    bool Append(const std::string& lines, RunError& error);
    void Buffer(const std::string& lines);
    bool List(const JournalStep& step, RunError& error);
    std::string FreeBackupName(const std::string& path);
    void Close();

    std::string installDir_;
    std::string recordPath_;
    InstallRecord base_;
    InstallRecord record_;
    std::vector<JournalStep> steps_;
    std::map<std::string, TouchedFile> touched_;  // by the upper-case path
    std::map<std::string, size_t> files_;         // record_.files by the upper-case path
    std::map<std::string, size_t> baseFiles_;     // base_.files by the upper-case path
    std::set<std::string> madeFolders_;           // the folders this run made, upper-case
    std::set<std::string> dropped_;               // files gone since the record was last read
    fs::Handle file_ = fs::kNoHandle;
    std::string pending_;  // item lines not yet written
    int backups_ = 0;
    std::vector<std::string> leftBehind_;
};

// What finishing an interrupted run did.
enum class Recovery { Nothing, RolledBack, Committed, Failed };

// Finishes the run that was killed while it worked on the record `found` of installDir:
// a run that had committed is committed, any other rolled back; the log says what was
// done. `found` then holds the record as it now stands.
Recovery RecoverInterruptedRun(const std::string& installDir, RecordFile& found, UserPort& port);

// Undoes journal steps, newest first, as a rollback does; the log names each.
void UndoSteps(const std::vector<JournalStep>& steps, UserPort& port);

}  // namespace qv

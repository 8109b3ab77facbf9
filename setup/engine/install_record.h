// The install record: the one account of what the installs into a directory wrote, there
// and in the few places outside it an install writes to (a program group under the
// Programs folders, TEMP's transfer configuration). Verify, repair, plan, rollback and
// uninstall read it; none of them works out the past again from the CD or from the
// environment of its own run.
//
// It lives in the install directory as "setup\qvinstall.rec", plain text, one item a line,
// fields separated by a TAB; "%" and every control character of a field are written as
// "%" and two hex digits. The first line names the format and its version; the last line
// seals it with the CRC-32 of everything before it, against damage:
//
//   QVREC<TAB>1
//   installdir<TAB>c:\qv
//   ...
//   seal<TAB>1a2b3c4d
//
// The install directory may be written by the suite's users, and the runs that read the
// record act as administrators: a record is trusted only when its SHA-256 is the one the
// last run that wrote it kept where only administrators write (RecordTrust, install_run).
//
// While a run works, its journal is kept apart, in a folder only administrators can write
// (install_journal.h): the steps it is about to take and the items it wrote, in the same
// lines as the record's. A run that ends well writes the record anew, merged and sealed.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "setup/session/path.h"
#include "setup/session/session.h"

namespace qv {

inline constexpr const char* kRecordName = "qvinstall.rec";
inline constexpr int kRecordVersion = 1;

// The record of an install directory: installDir\setup\qvinstall.rec.
Path RecordPath(const Path& installDir);

// A file an install wrote, as its last writer left it.
struct RecordedFile {
    Path path;
    int64_t size = 0;
    std::string checksum;   // the CRC-32 as the file lists write it; empty when not known
    std::string product;    // the product code of its last writer
    std::string spec;       // the list entry it came from
    bool earlier = false;   // another file was at its place when an install first wrote it
    bool edited = false;    // copied, then edited by the install: judged by its entries, not its bytes
    bool archive = false;   // put there by a compressed product's archive program
    int64_t time = 0;       // the last-write time it was given (fs::WriteTimeOf); 0 when not known
};

// A workstation configuration entry as the install set it.
struct RecordedEntry {
    Path file;
    std::string section;  // with its brackets: "[Startup]"
    std::string key;
    std::string value;
};

// A database code as the install wrote it, in section "dbcodes" of `file`.
struct RecordedDbCode {
    Path file;
    std::string key;
    std::string value;
};

// A file written outside the install directory: the transfer configuration in the TEMP of
// the run that wrote it.
struct RecordedOutside {
    Path path;
    int64_t size = 0;
    std::string checksum;
};

// The program group and its shortcuts.
struct RecordedGroup {
    std::string title;
    Path folder;           // the group's folder below a Programs folder: <Programs>\<title>
    bool common = true;    // the all-users Programs folder; false: the user's own
    bool created = false;  // the install made the folder
};

struct RecordedShortcut {
    Path link;  // the .LNK file: the group's folder\<name>.LNK
    std::string name;
    std::string target;
    std::string workdir;
    std::string args;
};

// The Apps & features entry: the registry key it was written under.
struct RecordedUninstallEntry {
    std::string root;  // "HKLM" or "HKCU"
    std::string key;   // below Software\Microsoft\Windows\CurrentVersion\Uninstall
};

struct RecordedProduct {
    std::string code;
    std::string name;
};

// Everything the record says, merged over every install into the directory.
struct InstallRecord {
    Path installDir;
    std::string sourceDir;
    std::string language;
    int languageOffset = 0;  // the language's offset in the string table, for the uninstaller's texts
    std::string platform;
    int installType = 1;
    InstallScope scope = InstallScope::AsAllowed;  // /ALLUSERS or /CURRENTUSER, as the last install was given
    std::vector<std::pair<std::string, std::string>> answers;  // the answers given: key, value
    std::vector<RecordedProduct> products;
    std::vector<Path> folders;  // made by an install, outermost first
    std::vector<RecordedFile> files;
    std::vector<RecordedEntry> entries;
    std::vector<RecordedDbCode> dbCodes;
    std::vector<RecordedOutside> outside;
    std::optional<RecordedGroup> group;
    std::vector<RecordedShortcut> shortcuts;
    std::optional<RecordedUninstallEntry> uninstallEntry;

    const RecordedFile* FindFile(const Path& path) const;
    bool HasProduct(const std::string& code) const;
};

// The places a run may change, and nothing else, whatever a record or a journal says: the
// install directory, this run's own TEMP transfer configuration, and the folders under the
// two Programs folders of this run that a group of the record names. A change is never
// made through a link inside one of them (fs::PassesThroughLink).
struct Confinement {
    Path installDir;
    std::vector<Path> programsFolders;  // the all-users and the user's, as the shell names them
    Path transferConfig;                // this run's TEMP\qvxfr.cfg
    std::string uninstallKey;           // the one Apps & features key of the directory
    // Names the existing folders of a path by their long names, where short (8.3) ones were
    // given, so that a path is judged by what it names; as it stands when not set.
    std::function<Path(const Path&)> longForm;
    std::vector<Path> groupFolders;     // <Programs>\<title> for every group title named so far

    // Allows the folders of a group with this title (one name, not empty).
    void AddGroup(const std::string& title);
    // The place within which `path` may be changed (the install directory, a group's folder,
    // the transfer configuration's own folder), judged by its long form; nothing when the
    // path lies in none.
    std::optional<Path> RootFor(const Path& path) const;
    bool Allows(const Path& path) const { return RootFor(path).has_value(); }

private:
    std::optional<Path> TextualRootFor(const Path& path) const;  // RootFor by the text alone
};

// A step of a run's journal, listed before it is done.
struct JournalStep {
    enum class Kind {
        Folder,   // a folder about to be made
        Create,   // a file about to be created where nothing was
        Replace,  // an earlier file about to be moved aside to `backup`
        Remove,   // an earlier file moved aside to `backup` and not put back (its entry was skipped)
        Save,     // a file about to be written anew; `backup` holds a copy of the earlier one (empty when none)
        SaveAs,   // a file the user changed about to be moved to `backup` ("<name>.qvsave"), which
                  // stays when the run commits: the user's own, kept beside the new file
        AtRestart,  // a file held open by another program: its new copy about to be written to `backup`,
                    // which the system puts in its place at the next restart
        Register, // the Apps & features entry `key` ("HKLM\<key>") about to be written; `existed`
                  // when an earlier install's was there
        Commit,   // the run ended well: backups go, the record is written anew with `digest`
    } kind = Kind::Folder;
    Path path;
    Path backup;           // in the folder of `path`, named "~" and a count (AtRestart: the new copy)
    std::string key;       // Register
    bool existed = false;  // Register
    std::string digest;    // Commit: the SHA-256 of the record the run writes

    static JournalStep On(Kind kind, Path path = {}, Path backup = {}) {
        JournalStep step;
        step.kind = kind;
        step.path = std::move(path);
        step.backup = std::move(backup);
        return step;
    }
};

// A run's journal, as read from its file: what it did, and the record as it would be.
struct JournalFile {
    Path installDir;
    std::string baseDigest;            // the SHA-256 of the record the run began on; empty: none
    std::vector<JournalStep> steps;    // in the order they were taken
    bool committed = false;            // the journal ends with Commit: the run had ended well
    InstallRecord written;             // the record it began on with what the run wrote
    std::vector<Path> emptied;         // folders the run emptied, that go at its commit, deepest first
    const JournalStep* CommitStep() const { return committed ? &steps.back() : nullptr; }
};

// Reads the text of a record file. False, with `problem` naming the line ("line 12:
// ..."), when it is not a sealed record of this format, a line is damaged or cut short,
// it names another install directory or none, a path is refused by the path type, or a
// path points where an install never writes. Groups it names are added to `confinement`.
bool ParseRecord(const std::string& text, Confinement& confinement, InstallRecord& record, std::string& problem);

// Reads the text of a journal file of a run that began on `base`. A last line cut short
// was never written whole: its step was never taken. False, with `problem` naming the
// line, as ParseRecord.
bool ParseJournal(const std::string& text, Confinement& confinement, const InstallRecord& base, JournalFile& journal,
                  std::string& problem);

// The digest of the record a journal's run began on ("" for none), from its first lines
// alone; nothing when they are not a journal's.
std::optional<std::string> JournalBaseDigest(const std::string& text);

// The text of a record: the header, every item, and the seal line.
std::string FormatRecord(const InstallRecord& record);
// The text with its seal line added: the CRC-32 of all of it.
std::string SealRecordText(const std::string& text);

// One line of a journal (with its CR LF), and the state lines a run appends as it writes.
std::string JournalHeader(const Path& installDir, const std::string& baseDigest);
std::string JournalLine(const JournalStep& step);
std::string FileLine(const RecordedFile& file);
std::string EntryLine(const RecordedEntry& entry);
std::string DbCodeLine(const RecordedDbCode& code);
std::string OutsideLine(const RecordedOutside& outside);
std::string GroupLine(const RecordedGroup& group);
std::string ShortcutLine(const RecordedShortcut& shortcut);
std::string UninstallLine(const RecordedUninstallEntry& entry);
std::string GoneLine(const Path& path);
// A journal line: the record forgets the database code `key` of `file`, which this run
// removed from the file or no longer writes.
std::string GoneCodeLine(const RecordedDbCode& code);
// A journal line: a folder an install made, emptied by this run, goes at its commit, and
// the record forgets it.
std::string EmptiedLine(const Path& folder);
// The lines of where a run installs from and to, its language, platform, type and answers.
std::string RunLines(const InstallRecord& run);
std::string ProductLine(const RecordedProduct& product);

// The text of a field as the record writes it, and back.
std::string EscapeField(const std::string& text);
bool UnescapeField(const std::string& text, std::string& value);

// Whether `name` is one a journal gives a file moved aside: "~" and a count.
bool IsBackupName(std::string_view name);

// The name a file the user changed is kept under, beside the file an install puts in its
// place: "<name>.qvsave", then "<name>.qvsave2", "<name>.qvsave3" and on, the n-th.
std::string SavedName(std::string_view name, int n);
// Whether `saved` is one of those names for `name`.
bool IsSavedName(std::string_view name, std::string_view saved);

}  // namespace qv

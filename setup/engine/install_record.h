// The install record: the one account of what the installs into a directory wrote, there
// and in the few places outside it an install writes to (the Programs folders, TEMP's
// transfer configuration). Verify, repair, plan, rollback and uninstall read it; none of
// them works out the past again from the CD or from the environment of its own run.
//
// It lives in the install directory as "setup\qvinstall.rec", plain text, one item a line,
// fields separated by a TAB; "%" and every control character of a field are written as
// "%" and two hex digits. The first line names the format and its version; the last line
// of a finished run seals it with the CRC-32 of everything before it:
//
//   QVREC<TAB>1
//   installdir<TAB>c:\qv
//   ...
//   seal<TAB>1a2b3c4d
//
// While a run works, the lines of its journal follow the seal, each written before the
// thing it names is created or replaced, so that a run that was killed can be rolled back
// by the next one. A run that ends well writes the record anew: what it found merged with
// what it wrote, sealed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

inline constexpr const char* kRecordName = "qvinstall.rec";
inline constexpr int kRecordVersion = 1;

// The record of an install directory: installDir + "\setup\qvinstall.rec".
std::string RecordPath(const std::string& installDir);

// A file an install wrote, as its last writer left it.
struct RecordedFile {
    std::string path;
    int64_t size = 0;
    std::string checksum;   // the CRC-32 as the file lists write it; empty when not known
    std::string product;    // the product code of its last writer
    std::string spec;       // the list entry it came from
    bool earlier = false;   // another file was at its place when an install first wrote it
    bool edited = false;    // copied, then edited by the install: judged by its entries, not its bytes
    bool archive = false;   // put there by a compressed product's archive program
};

// A workstation configuration entry as the install set it.
struct RecordedEntry {
    std::string file;
    std::string section;  // with its brackets: "[Startup]"
    std::string key;
    std::string value;
};

// A database code as the install wrote it, in section "dbcodes" of `file`.
struct RecordedDbCode {
    std::string file;
    std::string key;
    std::string value;
};

// A file written outside the install directory (the transfer configuration).
struct RecordedOutside {
    std::string path;
    int64_t size = 0;
    std::string checksum;
};

// The program group and its shortcuts.
struct RecordedGroup {
    std::string title;
    std::string folder;    // the group's folder below a Programs folder
    bool common = true;    // the all-users Programs folder; false: the user's own
    bool created = false;  // the install made the folder
};

struct RecordedShortcut {
    std::string link;  // the .LNK file
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
    std::string installDir;
    std::string sourceDir;
    std::string language;
    int languageOffset = 0;  // the language's offset in the string table, for the uninstaller's texts
    std::string platform;
    int installType = 1;
    std::vector<std::pair<std::string, std::string>> answers;  // the answers given: key, value
    std::vector<RecordedProduct> products;
    std::vector<std::string> folders;  // made by an install, outermost first
    std::vector<RecordedFile> files;
    std::vector<RecordedEntry> entries;
    std::vector<RecordedDbCode> dbCodes;
    std::vector<RecordedOutside> outside;
    std::optional<RecordedGroup> group;
    std::vector<RecordedShortcut> shortcuts;
    std::optional<RecordedUninstallEntry> uninstallEntry;

    const RecordedFile* FindFile(const std::string& path) const;
    bool HasProduct(const std::string& code) const;
};

// A step of a run's journal, listed before it is done.
struct JournalStep {
    enum class Kind {
        Folder,   // a folder about to be made
        Create,   // a file about to be created where nothing was
        Replace,  // an earlier file about to be moved aside to `backup`
        Remove,   // an earlier file moved aside to `backup` and not put back (its entry was skipped)
        Save,     // a file about to be written anew; `backup` holds a copy of the earlier one ("" when none)
        Register, // the Apps & features entry `path` ("HKLM\<key>") about to be written; `backup`
                  // "existed" when an earlier install's was there
        Commit,   // the run ended well: backups go, the record is written anew
    } kind = Kind::Folder;
    std::string path;
    std::string backup;
};

// What a record file holds: the record as sealed, and what a run wrote after the seal
// without sealing again: a run that did not finish, whose journal says what to undo.
struct RecordFile {
    InstallRecord record;              // as of the last seal (empty when there is none)
    bool sealed = false;               // a seal was found
    bool tail = false;                 // lines follow the last seal (or there is no seal)
    std::vector<JournalStep> journal;  // the steps among them, in the order they were taken
    bool committed = false;            // the journal ends with Commit: the run had ended well
    InstallRecord written;             // the record with what followed the seal applied

    // A run into the directory began and did not finish.
    bool Interrupted() const { return tail; }
};

// Where a record may point: the install directory, the Programs folders a shortcut can go
// to, and the folder of the transfer configuration. Paths are compared without case.
struct RecordConfinement {
    std::string installDir;
    std::vector<std::string> programsFolders;
    std::vector<std::string> transferFolders;  // empty: any folder, for the name "qvxfr.cfg" alone
    std::string uninstallKey;                  // the one Apps & features key of the directory
};

// Reads the text of a record file. False, with `problem` naming the line ("line 12:
// ..."), when it is not a record of this format, a line is damaged or cut short, the seal
// does not match, or a path points where an install never writes.
bool ParseRecord(const std::string& text, const RecordConfinement& confinement, RecordFile& file,
                 std::string& problem);

// The text of a record: the header, every item, and the seal line.
std::string FormatRecord(const InstallRecord& record);
// The text with its seal line added: the CRC-32 of all of it.
std::string SealRecordText(const std::string& text);

// One line of a journal (with its CR LF), and the state lines a run appends as it writes.
std::string JournalLine(const JournalStep& step);
std::string FileLine(const RecordedFile& file);
std::string EntryLine(const RecordedEntry& entry);
std::string DbCodeLine(const RecordedDbCode& code);
std::string OutsideLine(const RecordedOutside& outside);
std::string GroupLine(const RecordedGroup& group);
std::string ShortcutLine(const RecordedShortcut& shortcut);
std::string UninstallLine(const RecordedUninstallEntry& entry);
std::string GoneLine(const std::string& path);
// The lines of where a run installs from and to, its language, platform, type and answers.
std::string RunLines(const InstallRecord& run);
std::string ProductLine(const RecordedProduct& product);

// The line that opens a record file: the format and version; and the line that opens the
// journal of a run.
std::string RecordHeader();
std::string BeginLine();

// The text of a field as the record writes it, and back.
std::string EscapeField(const std::string& text);
bool UnescapeField(const std::string& text, std::string& value);

// True when `path` lies below `folder` (or is it), compared without case, after both were
// made canonical; a path with "." or ".." components, a relative path or one with "/" is
// never below anything.
bool IsPathBelow(const std::string& path, const std::string& folder);

}  // namespace qv

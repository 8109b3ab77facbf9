// The file list "QVSETUP.INF" of a product and the two passes over it: the copy pass,
// which copies and verifies every selected entry, and the expansion pass of a compressed
// product, which starts the product's archive program once for every selected entry.
//
// A list line is a comment when it starts with "#"; otherwise its fields are separated
// by commas: 1 the file spec (relative to the product directory, "\" separators, for a
// product with BaseDelta a three-letter part directory first), 2 not used, 3 the size in
// bytes, 4 the checksum as signed decimal text.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setup/engine/install_journal.h"
#include "setup/engine/run_outcome.h"
#include "setup/session/run_error.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

inline constexpr const char* kFileListName = "QVSETUP.INF";

// Field n (1-based) of a list line, without surrounding blanks; empty when the line has
// fewer than n - 1 commas.
std::string ReadListField(const std::string& line, int n);

// True when a list line (not a comment) is installed for this product on the session's
// platform: with BaseDelta its first three characters must name the common part "BSE" or
// the platform; on MSS and DB4 the UNIX interfaces and the non-Windows server programs
// are left out.
bool IsLineSelected(const Session& session, const ProductRec& product, const std::string& line);

// True when a file spec stays inside the directory it is installed into and can be
// passed on a command line: not empty, relative (no leading "\", no drive, no ":"), no
// component made only of dots (".."), and no character that a file name cannot hold
// (double quote, "<", ">", "|", "?", "*", "/", control characters).
bool IsSafeFileSpec(const std::string& spec);

// Where an entry with spec S of a product goes.
struct EntryPaths {
    std::string sourceFile;  // productDir + S
    Path destFile;           // destRoot + "\" + S (with BaseDelta: S without its part directory)
    Path destDir;            // the directory of destFile (destRoot itself for a plain file name)
};
// The paths of an entry; false, with why, when its destination names no file below destRoot
// (a device name, a stream, a name of dots).
bool MakeEntryPaths(const ProductRec& product, const std::string& productDir, const Path& destRoot,
                    const std::string& spec, EntryPaths& paths, std::string& why);

// An entry of a list as an install would work on it.
struct ListEntry {
    std::string spec;      // field 1
    EntryPaths paths;
    int64_t size = 0;      // field 3, 0 when it is no number
    bool sizeIsNumber = true;
    std::string checksum;  // field 4
    int line = 0;          // its line in the list, counted from 1
};

// How the reading of a list ended: whole, or at a line that its pass reports when the walk
// gets there, after the entries before it, as a pass that read line by line would.
struct ListEnd {
    enum class Kind {
        Whole,        // every line was read
        Missing,      // there is no list
        Unreadable,   // it could not be opened or read on (error)
        InvalidName,  // the spec (text) leaves the install directory or breaks a command line
        PathTooLong,  // a path of the entry (text) is longer than the file calls take
    } kind = Kind::Whole;
    RunError error;
    int line = 0;      // the line it ended at (0: before the first)
    std::string text;
};

// A product's file list, read once: the entries a pass works on (comments, blank lines and
// lines the selection rules exclude passed over, each spec and its paths checked), in list
// order, and how the reading ended.
struct ProductList {
    int product = 0;         // its index in ListedProducts
    std::string productDir;  // where its files are, with a trailing "\"
    std::string path;        // the list: productDir + "QVSETUP.INF"
    Path destRoot;           // the install directory its entries' paths are below
    std::vector<ListEntry> entries;
    ListEnd end;
};

// Reads the list in productDir of ListedProducts(product) for an install into destRoot.
ProductList ReadProductList(const Session& session, int product, const std::string& productDir, const Path& destRoot);

// Visits the entries of a list read before in order, as a copy pass gets to them, without
// copying or starting anything; then reports the line that ended its reading, as the copy
// pass reports it, and ends as Failed.
RunOutcome WalkProductList(const Session& session, UserPort& port, const ProductList& list,
                           const std::function<void(const ListEntry&)>& visit);

struct ProductPass;

// The copy pass of a product as its install plan has it (install_plan.h): every entry
// worked on as decided, the copies verified with VerifiedCopy unless NoCrcCheck is set,
// every folder and file listed in the journal before it is made; then the files its earlier
// install wrote that no list names any more go. Failures are reported here or in the copy.
RunOutcome InstallDirectory(Session& session, UserPort& port, InstallJournal& journal, const ProductPass& pass);

// The expansion pass of a compressed product over its list: the archive program is started
// for every entry.
RunOutcome ExpandDirectory(Session& session, UserPort& port, InstallJournal& journal, const ProductList& list,
                            const Path& destRoot);

// The same passes for the product ListedProducts(CurrentProduct) alone, over the list in
// productDir, planned on their own against the journal's record.
RunOutcome InstallDirectory(Session& session, UserPort& port, InstallJournal& journal, const std::string& productDir,
                             const Path& destRoot);
RunOutcome ExpandDirectory(Session& session, UserPort& port, InstallJournal& journal, const std::string& productDir,
                            const Path& destRoot);

}  // namespace qv

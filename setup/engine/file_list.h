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

// The copy pass over the list in productDir for the product ListedProducts(CurrentProduct);
// destRoot is the install directory. Every selected entry is copied
// with VerifiedCopy, checked unless NoCrcCheck is set, and every folder and file is listed
// in the journal before it is made. Failures are reported here or in the copy.
RunOutcome InstallDirectory(Session& session, UserPort& port, InstallJournal& journal, const std::string& productDir,
                             const Path& destRoot);

// The expansion pass of a compressed product: the archive program is started for every
// selected entry.
RunOutcome ExpandDirectory(Session& session, UserPort& port, InstallJournal& journal, const std::string& productDir,
                            const Path& destRoot);

// Walks the entries of the list in productDir that an install of `product` would work on,
// in list order, without copying or starting anything: comments, blank lines and entries
// the platform excludes are passed over, and each spec is checked as the passes check it.
// A list that is missing or cannot be read, and a spec the passes refuse, are reported as
// the copy pass reports them and end the walk as Failed. visit returns false to stop.
RunOutcome WalkFileList(const Session& session, UserPort& port, const ProductRec& product,
                         const Path& destRoot, const std::function<bool(const ListEntry&)>& visit);

}  // namespace qv

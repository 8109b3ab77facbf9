// What an install does with each file, decided before anything is copied, from the list,
// the install record and the disk. A file the record holds that is still as it was written,
// and that the list gives again, is not copied. A file the user changed since the install
// is kept where the release did not change it, and kept beside the release's file, under
// a saved name, where it did. Files this product wrote that its list no longer names go.
// The same decisions are what /PLAN prints.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "setup/engine/file_list.h"
#include "setup/engine/install_record.h"
#include "setup/session/path.h"

namespace qv {

// One step of an install, for a product of ListedProducts.
struct ProductStep {
    enum class Kind {
        DbCodes,  // its database codes are written (a listed application or database, chosen or not)
        Copy,     // the copy pass over its list
        Expand,   // the expansion pass of a compressed product
    } kind;
    int product;  // its index in ListedProducts
};

// The steps of an install of the session's chosen products, in the order it takes them,
// and what they tell the completion that follows them.
struct InstallOutline {
    std::vector<ProductStep> steps;
    bool tools = false;        // a Marrowtools product is chosen: the workstation is configured
    bool supplyChain = false;  // a Supply Chain product is chosen: its own setup takes over
    bool compressed = false;   // a chosen product is compressed
};
InstallOutline OutlineInstall(const Session& session);

// What an install does with the file of one list entry.
enum class FileAction {
    New,        // nothing is there: copied
    Replace,    // copied; the earlier file is moved aside, and comes back on a rollback
    Foreign,    // the same over a file the record does not hold: not written by this installer
    Unchanged,  // the record's file, as written, and the list gives it again: not copied
    Keep,       // changed since the install, and the release did not change it: stays as it is
    SaveAside,  // changed since the install, and the release changed it: kept beside under a
                // saved name, and the release's file copied
};

// Whether the file of an entry so decided is copied: not when it stays as it is.
inline bool IsCopied(FileAction action) { return action != FileAction::Unchanged && action != FileAction::Keep; }

// How a decision is made.
struct PlanRules {
    // The checksum of a file that looks as written is read from the disk too (/CRC); without
    // it the size and the time stamped are enough.
    bool readChecksums = false;
    // Every file is copied, as when there is no record (/REINSTALL).
    bool reinstall = false;
};

// How a file the record holds stands on disk.
enum class OnDisk {
    Nothing,     // nothing is there
    AsWritten,   // its size and time, or its checksum, are what the record says
    Changed,     // something else is there
    Unknown,     // it cannot be told: no file of its own (a folder, a link) or it cannot be read
};

// True when the file at path has the size and the last-write time (not 0: known) that an
// install gave it: one look-up, nothing read.
bool StampedAsWritten(const Path& path, int64_t size, int64_t time);

// Compares the file at the record's place with what the record says: its size and the
// time stamped (with readChecksums also its checksum, read from the disk). A file whose
// time differs, or whose time the record does not know, is judged by its checksum.
OnDisk JudgeOnDisk(const RecordedFile& held, bool readChecksums);

// The rules of a session: checksums read with checking on (/CRC), and /REINSTALL.
PlanRules PlanRulesOf(const Session& session);

// A file an install would write: its place, and the size (negative: no number) and the
// checksum its list gives.
struct ListedFile {
    const Path* path;
    int64_t size;
    const std::string* checksum;
};

// The decision for each file, in order, from what the record holds at its place (if
// anything) and how that stands on disk. The files the record holds are judged first, all
// together (JudgeOnDisk; where checksums are read, on two threads).
std::vector<FileAction> DecideEach(const InstallRecord& record, const std::vector<ListedFile>& files,
                                   const PlanRules& rules);

// The decision for every entry of a product's list, in list order. An entry whose place an
// earlier entry of the list copies to is replaced: the record's judgement is of the disk
// before the list.
std::vector<FileAction> DecideFiles(const InstallRecord& record, const std::vector<ListEntry>& entries,
                                    const PlanRules& rules);

// The free saved name beside path: SavedName(path's name, n) for the least n that names
// nothing; empty when there is none.
Path SavedPathFor(const Path& path);

// The files of the record whose last writer is `product` (its code) and whose places no
// entry of the product's list names any more (`listed`: their keys), in record order. A file
// an archive program put there is left alone: its product's list does not name its place.
std::vector<const RecordedFile*> ObsoleteFiles(const InstallRecord& record, const std::string& product,
                                               const std::set<std::string>& listed);

// The plan's word for a decision: "new", "replaced", "replaced (not written by this
// installer)", "unchanged", "kept (changed since the install)", "saved as <name>".
std::string PlanWord(FileAction action, const Path& path);

}  // namespace qv

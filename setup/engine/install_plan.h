// The plan of an install, made whole before anything is copied: its steps, each chosen
// product's list read once, and what the install does with each file, decided from the
// lists, the install record and the disk. A file the record holds that is still as it was
// written, and that the list gives again, is not copied. A file the user changed since the
// install is kept where the release did not change it, and kept beside the release's file,
// under a saved name, where it did. Files a product wrote that no list of the install names
// any more go. The install applies the plan; /PLAN prints it.
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

// One chosen product's pass of an install, planned: its list, read once, and for a copy pass
// what it does with each entry and which files its earlier install wrote that no list of the
// install names any more (they go after the pass, where they are still as written).
struct ProductPass {
    ProductStep step;                    // Copy or Expand
    ProductList list;
    // One for each entry of the list: what a copy pass does with it; for an expansion pass,
    // what the archive program's entry finds at its place (it is started all the same).
    std::vector<FileAction> actions;
    std::vector<Path> archivePlaces;     // Expand: where the archive program puts each entry
    std::vector<RecordedFile> obsolete;  // Copy: in record order
    // Copy: the entries whose place an earlier pass copies to (the first of the list at each
    // such place). Their decisions are made again when this pass comes (ActionsNow), by the
    // record and the disk as the earlier passes left them: a copy there may have failed.
    std::vector<size_t> afterEarlier;
};

// The plan of an install of the session's chosen products: its steps, and the pass of each
// product, in the order the install takes them. /PLAN prints it; the install applies it.
struct InstallPlan {
    InstallOutline outline;
    std::vector<ProductPass> passes;  // the outline's Copy and Expand steps, in its order
    // The record's database codes of listed products that have none any more: they go after
    // the passes, where their file still gives the value written.
    std::vector<RecordedDbCode> obsoleteDbCodes;
};

// The database codes of `record` that an install of the session's products no longer
// writes: those of a listed product that has none any more.
std::vector<RecordedDbCode> ObsoleteDbCodes(const Session& session, const InstallRecord& record);

// How a database code of the record stands in its file: Nothing where the file gives none.
OnDisk DbCodeOnDisk(const RecordedDbCode& code);

// Reads the list of every chosen product once and decides the passes (DecidePasses) by
// `record`, the earlier installs' record, and the disk.
InstallPlan PlanInstall(const Session& session, const InstallRecord& record);
// The same without deciding anything: the steps, and each pass's list read.
InstallPlan ReadInstallLists(const Session& session);

// The decisions of a copy pass when it comes: the plan's, but for the entries it decides
// again by `record`, the record as the earlier passes of the install left it.
std::vector<FileAction> ActionsNow(const Session& session, const InstallRecord& record, const ProductPass& pass);

// Decides the copy passes among `passes` (their lists read), in turn, as the install takes
// them: every entry by what the record holds at its place and how that stands on disk (all
// the record's files judged together, DecideEach), where no earlier entry of the install
// copies to that place. An entry whose place an earlier entry of its own list copies to is
// replaced; one whose place an earlier pass copies to is unchanged where it gives what that
// pass copies (the same size and checksum), and replaced otherwise. A file of the record is
// obsolete for the product that wrote it when no pass of the install puts anything at its
// place; one an archive program put there is left alone.
void DecidePasses(const Session& session, const InstallRecord& record, std::vector<ProductPass>& passes);

// The free saved name beside path: SavedName(path's name, n) for the least n that names
// nothing; empty when there is none.
Path SavedPathFor(const Path& path);

// The plan's word for a decision: "new", "replaced", "replaced (not written by this
// installer)", "unchanged", "kept (changed since the install)", "saved as <name>".
std::string PlanWord(FileAction action, const Path& path);

}  // namespace qv

// The repair: what drifted, put back from the CD and as the install set it.
#include <algorithm>

#include "setup/config/config_profile.h"
#include "setup/session/disk_utils.h"
#include "setup/config/profile_edit.h"
#include "setup/engine/archive_launcher.h"
#include "setup/engine/file_copy.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_run.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Puts back one drifted file from the CD, checked as it is copied whatever the run's
// setting: a compressed product's by its archive program.
CopyOutcome RepairFile(Session& session, UserPort& port, InstallJournal& journal, const CheckItem& item) {
    const ProductRec& product = session.ListedProducts[static_cast<size_t>(item.product)];
    RunError ignored;  // a folder that cannot be made shows in the copy's own failure
    PassOver(journal.MakeFolders(item.path.Parent(), ignored));
    if (!item.compressed)
        return VerifiedCopy(session, port, journal, {item.source, product.ProductCode, item.spec}, item.path,
                            item.checksum, item.expectedSize, Checking::On);
    ListEntry entry;
    entry.spec = item.spec;
    entry.size = item.expectedSize;
    entry.checksum = item.checksum;
    CopyOutcome outcome;
    RunArchiveProgram(session, port, journal, product, InstallDirPath(session), entry);
    if (session.Cancel.Requested()) outcome.result = CopyResult::Cancelled;
    return outcome;
}

// Puts back the drifted files. A file whose product is not on this CD is left. Sets
// configCopied when the workstation configuration was copied anew.
RunOutcome RepairFiles(Session& session, UserPort& port, InstallJournal& journal,
                        const std::vector<const CheckItem*>& drifted, bool& configCopied) {
    session.ProductBytes = 0;
    for (const CheckItem* item : drifted)
        if (item->kind == ItemKind::File) session.ProductBytes += static_cast<double>(std::max<int64_t>(item->expectedSize, 1));
    session.BytesDone = 0;
    for (const CheckItem* item : drifted) {
        if (item->kind != ItemKind::File) continue;
        if (item->product == 0) {
            port.LogStep("Cannot repair " + item->name + ": its product is not on this CD");
            continue;
        }
        session.ModuleBytes = static_cast<int32_t>(std::clamp<int64_t>(item->expectedSize, 1, INT32_MAX));
        session.ModuleBytesDone = 0;
        port.ShowModuleName(session.ListedProducts[static_cast<size_t>(item->product)].ProductName);
        port.LogStep("Repairing " + item->name + " (" + ItemStateName(item->state) + ")");
        const CopyOutcome copy = RepairFile(session, port, journal, *item);
        if (copy.result == CopyResult::Cancelled) return Cancelled();
        if (copy.result == CopyResult::Aborted) return AbortedAt(item->path);
        configCopied = configCopied || item->editedAfterCopy;
    }
    return {};
}

// Sets the drifted configuration entries, or all of them in a file copied anew, and the
// drifted database codes, each file's earlier content kept by the journal.
void RepairEntries(Session& session, UserPort& port, InstallJournal& journal, const Survey& survey,
                   const std::vector<const CheckItem*>& drifted, bool configCopied) {
    std::vector<const CheckItem*> entries;
    for (const CheckItem& e : survey.entries)
        if (e.kind == ItemKind::ConfigEntry && (configCopied || e.state != ItemState::Intact)) entries.push_back(&e);
    RunError ignored;  // an edit that fails is told by the save itself
    if (!entries.empty() && journal.PrepareEdit(entries.front()->file, ignored) &&
        LoadFile(session, port, entries.front()->file)) {
        for (const CheckItem* e : entries) SetREGParm(session, e->name, e->expected, e->section);
        const bool saved = SaveFile(session, port, entries.front()->file);
        port.LogStep((saved ? "Repaired " : "Could not repair ") + std::to_string(entries.size()) + " entries of " +
                     entries.front()->file);
    }
    for (const CheckItem* item : drifted) {
        if (item->kind != ItemKind::DbCode) continue;
        PassOver(journal.PrepareEdit(item->file, ignored));
        bool faithful = true;  // the value is the CD's description, which fits the legacy code page
        const bool written = WriteLegacyProfileString("dbcodes", item->name, item->expected, item->file, faithful);
        port.LogStep((written ? "Repaired database code " : "Could not repair database code ") + item->name + " in " +
                     item->file);
    }
}

// Makes the shortcuts that are missing or start something else again, in the Programs
// folder the survey found them in.
void RepairShortcuts(UserPort& port, const Survey& survey, const std::vector<const CheckItem*>& drifted,
                     ShortcutLibrary& shortcuts) {
    std::vector<const CheckItem*> links;
    for (const CheckItem* item : drifted)
        if (item->kind == ItemKind::Shortcut) links.push_back(item);
    if (links.empty()) return;
    const OleSession ole(shortcuts);
    for (const CheckItem* link : links) {
        const GroupShortcut& s = link->shortcut;
        const ShortcutResult result =
            shortcuts.MakeShortCut(survey.groupCommon, survey.group.groupTitle, s.name, s.target, s.workdir, s.args);
        port.LogStep("Shortcut " + Quoted(link->name) + " to " + s.target + ": " +
                     (result == ShortcutResult::Made ? "made again" : "not made"));
    }
}

}  // namespace

RunOutcome RepairInstall(Session& session, UserPort& port, const Survey& survey, ShortcutLibrary& shortcuts) {
    const std::vector<const CheckItem*> drifted = DriftedItems(survey);
    if (drifted.empty()) {
        port.LogStep("Nothing to repair: the installation is intact");
        return {};
    }
    const RunningInstall running(session);
    // What the repair replaces waits aside until it ends, and comes back if it is given up.
    InstallJournal journal(ConfinementFor(session, InstallDirPath(session), shortcuts));
    bool configCopied = false;
    const RunOutcome files = RepairFiles(session, port, journal, drifted, configCopied);
    if (files.EndsInstall()) {
        journal.Rollback(port);
        return files;
    }
    RepairEntries(session, port, journal, survey, drifted, configCopied);
    RepairShortcuts(port, survey, drifted, shortcuts);
    RunOutcome outcome;
    outcome.restartNeeded = !journal.ReplacedAtRestart().empty();
    RunError error;
    if (!journal.Commit(port, error)) return FailedWith(error);
    return outcome;
}

}  // namespace qv

// The plan and the verify as the install log tells them.
#include <algorithm>
#include <map>

#include "setup/engine/install_check.h"
#include "setup/engine/install_plan.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string EntryLabel(const CheckItem& item) { return item.file + " " + item.section + " " + item.name; }

std::string FileLine(const char* prefix, const CheckItem& item) {
    return std::string(prefix) + "file " + ItemStateName(item.state) + " " + std::to_string(item.expectedSize) + " " +
           (item.foundSize < 0 ? std::string("-") : std::to_string(item.foundSize)) + " " + item.name;
}

std::string DriftLine(const CheckItem& item) {
    const std::string state = ItemStateName(item.state);
    switch (item.kind) {
        case ItemKind::File: return FileLine("Drift: ", item);
        case ItemKind::ConfigEntry:
        case ItemKind::DbCode:
            return std::string("Drift: ") + (item.kind == ItemKind::DbCode ? "database code " : "entry ") + state + " " +
                   EntryLabel(item) + ": expected " + Quoted(item.expected) +
                   (item.state == ItemState::Missing ? std::string() : ", found " + Quoted(item.found));
        case ItemKind::Shortcut:
            return "Drift: shortcut " + state + " " + Quoted(item.name) + ": expected " + item.expected +
                   (item.state == ItemState::Missing ? std::string() : ", found " + item.found);
        case ItemKind::Product: return "Drift: product not installed " + item.name + " " + item.expected;
    }
    return {};
}

std::string UncheckedLine(const CheckItem& item) {
    const std::string what = item.kind == ItemKind::File       ? "file " + item.name
                             : item.kind == ItemKind::Shortcut ? "shortcut " + Quoted(item.name)
                             : item.kind == ItemKind::DbCode   ? "database code " + EntryLabel(item)
                                                               : "entry " + EntryLabel(item);
    return "Unchecked: " + what + " cannot be checked (" + item.cause.description + ")" + SystemCause(item.cause);
}

// The files of the record that the plan's passes would take away or leave, as no list names
// them any more: "obsolete" where they are still as written, kept otherwise. The bytes freed.
int64_t LogObsolete(const Session& session, const InstallPlan& plan, UserPort& port) {
    int64_t freed = 0;
    const bool readChecksums = PlanRulesOf(session).readChecksums;
    for (const ProductPass& pass : plan.passes)
        for (const RecordedFile& file : pass.obsolete) {
            const OnDisk state = JudgeOnDisk(file, readChecksums);
            if (state == OnDisk::Nothing) continue;
            const bool goes = state == OnDisk::AsWritten;
            port.LogStep(std::string("Plan: file ") + (goes ? "obsolete " : "kept (changed since the install) ") +
                         std::to_string(file.size) + " " + file.path);
            if (goes) freed += file.size;
        }
    return freed;
}

// What the plan does at each place its passes put a file, by key: the decision of the first
// entry that copies there, else that of the last entry there (a file that stays).
std::map<std::string, FileAction> ActionsByPlace(const InstallPlan& plan) {
    std::map<std::string, FileAction> byPlace;
    for (const ProductPass& pass : plan.passes)
        for (size_t i = 0; i < pass.actions.size(); ++i) {
            const Path& place = pass.archivePlaces.empty() ? pass.list.entries[i].paths.destFile : pass.archivePlaces[i];
            const auto placed = byPlace.emplace(place.Key(), pass.actions[i]);
            if (!placed.second && !IsCopied(placed.first->second)) placed.first->second = pass.actions[i];
        }
    return byPlace;
}

}  // namespace

void LogPlan(const Session& session, const InstallPlan& plan, const Survey& survey, UserPort& port, double freeSpace) {
    const std::map<std::string, FileAction> byPlace = ActionsByPlace(plan);
    int files = 0;
    int64_t toCopy = 0, inPlace = 0, replaced = 0;
    for (const CheckItem& f : survey.files) {
        const auto decided = byPlace.find(f.path.Key());
        const FileAction action = decided == byPlace.end() ? FileAction::New : decided->second;
        port.LogStep("Plan: file " + PlanWord(action, f.path) + " " + std::to_string(f.expectedSize) + " " + f.name);
        if (action == FileAction::Unchanged || action == FileAction::Keep) {
            inPlace += f.expectedSize;
            continue;
        }
        ++files;
        toCopy += f.expectedSize;
        if (f.foundSize > 0 && action != FileAction::SaveAside) replaced += f.foundSize;
    }
    replaced += LogObsolete(session, plan, port);
    for (const RecordedDbCode& c : plan.obsoleteDbCodes) {
        const OnDisk state = DbCodeOnDisk(c);
        if (state != OnDisk::Nothing)
            port.LogStep(std::string("Plan: database code ") +
                         (state == OnDisk::AsWritten ? "obsolete " : "kept (changed since the install) ") + c.file +
                         " dbcodes " + c.key);
    }
    for (const Path& d : survey.directories) port.LogStep("Plan: directory " + d);
    for (const std::string& a : survey.archiveLines) port.LogStep("Plan: archive " + a);
    if (!survey.handOver.empty()) port.LogStep("Plan: hand-over " + survey.handOver);
    if (!survey.transferConfig.empty()) port.LogStep("Plan: transfer configuration " + survey.transferConfig);
    for (const CheckItem& e : survey.entries)
        port.LogStep(std::string("Plan: ") + (e.kind == ItemKind::DbCode ? "database code " : "entry ") +
                     EntryLabel(e) + ": " + (e.state == ItemState::Missing ? std::string("(none)") : Quoted(e.found)) +
                     " -> " + Quoted(e.expected));
    if (!survey.transferConfig.empty())
        port.LogStep("Plan: group " + (survey.group.createGroup ? Quoted(survey.group.groupTitle) : std::string("none")));
    for (const CheckItem& s : survey.shortcuts)
        port.LogStep("Plan: shortcut " + Quoted(s.name) + " -> " + s.shortcut.target +
                     (s.shortcut.args.empty() ? "" : " " + s.shortcut.args));
    port.LogStep("Plan: totals " + std::to_string(files) + " files, " + FormatThousands(static_cast<double>(toCopy)) +
                 " bytes to copy, " + FormatThousands(static_cast<double>(inPlace)) + " bytes in place, " +
                 FormatThousands(freeSpace - static_cast<double>(toCopy - replaced)) + " bytes free after");
}

VerifyResult LogVerify(const Session& session, const Survey& survey, UserPort& port) {
    int files = 0, entries = 0, shortcuts = 0, products = 0;
    for (const CheckItem* item : DriftedItems(survey)) {
        port.LogStep(DriftLine(*item));
        (item->kind == ItemKind::File       ? files
         : item->kind == ItemKind::Shortcut ? shortcuts
         : item->kind == ItemKind::Product  ? products
                                            : entries) += 1;
    }
    const std::vector<const CheckItem*> unchecked = UncheckedItems(survey);
    for (const CheckItem* item : unchecked) port.LogStep(UncheckedLine(*item));
    const std::vector<const CheckItem*> pending = PendingItems(survey);
    for (const CheckItem* item : pending)
        port.LogStep("Pending restart: file " + item->name + " (replaced by " + item->replacement + " at the next restart)");
    const std::vector<Path> extra = ExtraFiles(session, survey);
    for (const Path& path : extra) port.LogStep("Extra: " + path);
    const int drifted = files + entries + shortcuts + products;
    port.LogStep("Verify: " + std::string(drifted == 0 ? "intact" : "drifted") + ", " + std::to_string(files) +
                 " of " + std::to_string(survey.files.size()) + " files, " + std::to_string(entries) + " of " +
                 std::to_string(survey.entries.size()) + " entries and " + std::to_string(shortcuts) + " of " +
                 std::to_string(survey.shortcuts.size()) + " shortcuts drifted; " + std::to_string(extra.size()) +
                 " files no list names" +
                 (products ? "; " + std::to_string(products) + " chosen products not installed" : std::string()) +
                 (unchecked.empty() ? std::string() : "; " + std::to_string(unchecked.size()) + " cannot be checked") +
                 (pending.empty() ? std::string() : "; " + std::to_string(pending.size()) + " replaced at the next restart"));
    if (drifted > 0) return VerifyResult::Drifted;
    if (!unchecked.empty()) return VerifyResult::Unchecked;
    return pending.empty() ? VerifyResult::Intact : VerifyResult::PendingRestart;
}

}  // namespace qv

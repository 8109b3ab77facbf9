#include "setup/engine/removal_plan.h"

#include <algorithm>
#include <set>

namespace qv {
namespace {

void PlanCodes(const InstallRecord& record, std::vector<RemovalStep>& plan) {
    std::vector<Path> files;
    std::set<std::string> seen;
    for (const RecordedDbCode& code : record.dbCodes) {
        plan.push_back(RemoveDbCode{code});
        if (seen.insert(code.file.Key()).second) files.push_back(code.file);
    }
    for (const Path& file : files) plan.push_back(RemoveEmptyCodesFile{file});
}

void PlanShortcuts(const InstallRecord& record, const Path& groupFolder, std::vector<RemovalStep>& plan) {
    if (groupFolder.empty() || !record.group) return;
    for (const RecordedShortcut& s : record.shortcuts)
        if (const std::optional<Path> link = groupFolder.Join(s.name + ".LNK")) plan.push_back(RemoveShortcut{*link, s});
}

// The deepest folder first, so that each is empty of the folders below it when its turn comes.
void PlanFolders(const InstallRecord& record, const Path& groupFolder, std::vector<RemovalStep>& plan) {
    std::vector<Path> folders = record.folders;
    if (record.group && record.group->created && !groupFolder.empty()) folders.push_back(groupFolder);
    std::stable_sort(folders.begin(), folders.end(),
                     [](const Path& a, const Path& b) { return a.str().size() > b.str().size(); });
    for (Path& folder : folders) plan.push_back(RemoveFolder{std::move(folder)});
}

}  // namespace

std::vector<RemovalStep> PlanRemoval(const InstallRecord& record, const Confinement& places, const Path& groupFolder) {
    std::vector<RemovalStep> plan;
    plan.reserve(record.files.size() + record.outside.size() + record.dbCodes.size() + record.shortcuts.size() +
                 record.folders.size() + 8);
    for (const RecordedFile& f : record.files) plan.push_back(RemoveFile{f.path, f.size, f.checksum, f.time});
    for (const RecordedOutside& o : record.outside) {
        if (o.path == places.transferConfig) plan.push_back(RemoveFile{o.path, o.size, o.checksum, 0});
        else plan.push_back(KeepFile{o.path, "not in the TEMP of this run"});
    }
    PlanCodes(record, plan);
    PlanShortcuts(record, groupFolder, plan);
    plan.push_back(CommitRemoval{});
    if (record.uninstallEntry) plan.push_back(RemoveUninstallEntry{*record.uninstallEntry});
    plan.push_back(RemoveRecord{RecordPath(places.installDir)});
    PlanFolders(record, groupFolder, plan);
    return plan;
}

}  // namespace qv

#include "setup/engine/install_completion.h"

#include <algorithm>
#include <utility>

#include "setup/config/config_profile.h"
#include "setup/config/transfer_config.h"
#include "setup/engine/checksum.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/process.h"
#include "setup/session/text_encoding.h"
#include "setup/session/text_util.h"

namespace qv {

bool CompletionServices::StartProgram(const std::string& path, RunError& error) {
    return qv::StartProgram(path, "\"" + path + "\"", /*hidden=*/false, error);
}

std::string DefaultConnectivityDir(const Session& session) {
    static const struct {
        const char* code;
        const char* dir;
    } kDefaults[] = {
        {"SBS", "c:\\sqlbase"},    {"ORA", "c:\\orawin\\bin"}, {"INF", "c:\\informix\\bin"},
        {"DB4", ""},               {"DBX", "c:\\db2cae\\bin"}, {"SYB", "c:\\sql10\\dll"},
        {"MSS", "c:\\mssql\\binn"}, {"DB2", "c:\\sqllib\\bin"},
    };
    const std::string code = UpperAscii(session.DbPlatformCode);
    for (const auto& row : kDefaults)
        if (code == row.code) return row.dir;
    return "c:\\";
}

namespace {
// The platform whose client programs come with the suite, below the install directory.
bool ClientComesWithSuite(const Session& session) { return UpperAscii(session.DbPlatformCode) == "DB4"; }
}  // namespace

std::string InitialConnectivityDir(const Session& session) {
    if (ClientComesWithSuite(session)) return session.InstallDir + "\\bin\\client\\winx86";
    return DefaultConnectivityDir(session);
}

bool ConnectivityControlsEnabled(const Session& session) { return !ClientComesWithSuite(session); }

bool ConnectivityDirFound(const std::string& text) { return fs::MatchesAnyEntry(text); }

std::vector<GroupShortcut> GroupShortcuts(const std::string& destRoot, const GroupChoice& choice) {
    const std::string bin = destRoot + "\\bin\\client\\winx86";
    const std::string setup = destRoot + "\\setup";
    return {
        {"Setup Workstation", bin + "\\qvcfg.exe", bin, ""},
        {"Uninstall Workstation", bin + "\\qvcfg.exe", bin, "-clean"},
        {"Database Setup", setup + "\\dbsetup\\setup.exe", setup + "\\dbsetup", ""},
        {"Data Ferry", bin + "\\qvdft.exe", choice.connectivityDir, ""},
        {"Server Transfer", bin + "\\qvtrans", bin, ""},  // the name goes without its extension
    };
}

int32_t GroupCommonOf(InstallScope scope) { return scope == InstallScope::CurrentUser ? 0 : 1; }

Path WorkstationConfigPath(const Session& session) {
    const Path root = InstallDirPath(session);
    return root.empty() ? Path() : *root.Join(std::string("setup\\") + kWorkstationConfigName);
}

CompletionPlan PlanCompletion(const Session& session, const Path& destRoot, const GroupChoice& group) {
    CompletionPlan plan;
    plan.group = group;
    plan.transferConfig = TransferConfigPath(session);
    plan.workstationConfig = WorkstationConfigPath(session);
    plan.entries = WorkstationConfigEntries(session, group.connectivityDir);
    plan.groupCommon = GroupCommonOf(session.Scope);
    if (group.createGroup) plan.shortcuts = GroupShortcuts(destRoot, group);
    plan.remakeAll = session.Reinstall;
    return plan;
}

bool StartsAsPlanned(const ShortcutTarget& found, const GroupShortcut& s) {
    return EqualsNoCase(found.target, s.target) && EqualsNoCase(found.workdir, s.workdir) && found.args == s.args;
}

namespace {

// The folder of the group `title` in the Programs folder that the library names for
// `common`, and whether that is the all-users one; nothing when the shell does not say.
std::optional<std::pair<Path, bool>> GroupFolderFor(ShortcutLibrary& library, int32_t common, const std::string& title) {
    const std::optional<ProgramsFolder> programs = library.FindProgramsFolder(common);
    const std::optional<Path> programsPath = programs ? Path::Parse(programs->path, nullptr, PathForms{true}) : std::nullopt;
    const std::optional<Path> folder = !programsPath ? std::nullopt : title.empty() ? programsPath : programsPath->Join(title);
    if (!folder) return std::nullopt;
    return std::make_pair(*folder, programs->common);
}

// The group's folder, recorded, then made (and listed) where it is missing; empty when the
// shell does not say where the group goes.
Path RecordGroupFolder(ShortcutLibrary& library, InstallJournal& journal, const CompletionPlan& plan) {
    const std::string& title = plan.group.groupTitle;
    const auto found = GroupFolderFor(library, plan.groupCommon, title);
    if (!found) return {};
    const Path& folder = found->first;
    const bool created = !fs::Exists(folder);
    journal.Wrote(RecordedGroup{title, folder, found->second, created});
    RunError ignored;  // the library makes what is still missing, and says when it cannot
    PassOver(journal.MakeFolders(folder, ignored));
    return folder;
}

const char* ShortcutResultText(ShortcutResult result) {
    switch (result) {
        case ShortcutResult::Made: return "made";
        case ShortcutResult::NotMade: return "not made";
        case ShortcutResult::NoLibrary: return "not made, qvole.dll cannot be loaded";
    }
    return "";
}

// The transfer configuration in TEMP, a copy of an earlier one kept, and recorded.
void WriteTransferConfigRecorded(Session& session, UserPort& port, InstallJournal& journal, const Path& transfer) {
    RunError error = err::PathNotFound();
    if (!transfer.empty()) PassOver(journal.PrepareEdit(transfer, error));  // without a copy, the write is all the same tried
    if (transfer.empty() || !WriteTransferConfig(session, transfer, error)) {
        port.LogStep("Could not write " + transfer + " (" + error.description + ")" + SystemCause(error));
        return;
    }
    port.LogStep("Wrote " + transfer);
    std::string legacy;
    if (!ToLegacyPath(session.InstallDir, legacy))
        port.LogStep("The entry \"SET QVHLD=" + session.InstallDir + "\" of " + transfer +
                     " could not be written faithfully: the code page of the programs that read it cannot hold it");
    RecordedOutside outside;
    outside.path = transfer;
    int32_t checksum = 0;
    if (FileChecksum(transfer, outside.size, checksum, error)) outside.checksum = ChecksumText(checksum);
    journal.Wrote(outside);
}

// The workstation configuration: its entries set, each recorded, and the file recorded as
// edited, so that it is judged by its entries from here on.
void WriteWorkstationConfigRecorded(Session& session, UserPort& port, InstallJournal& journal,
                                    const CompletionPlan& plan) {
    const Path& workstation = plan.workstationConfig;
    RunError error;
    if (!workstation.empty()) PassOver(journal.PrepareEdit(workstation, error));  // without a copy, the write is all the same tried
    if (workstation.empty() || !WriteWorkstationConfig(session, port, workstation, plan.entries)) {
        port.LogStep("Could not write (missing or unreadable) " + workstation);
        return;
    }
    port.LogStep("Wrote " + workstation);
    // Each entry as the file now holds it: a path the programs' code page cannot hold is
    // there in its short form.
    std::vector<std::string> lines;
    if (!ReadConfigLines(workstation, lines, error)) lines.clear();
    for (const ConfigEntry& e : plan.entries)
        journal.Wrote(RecordedEntry{workstation, e.section, e.key, GetREGParm(lines, e.key, e.section).value_or(e.value)});
    const RecordedFile* copied = journal.FindFile(workstation);
    RecordedFile file;
    if (copied) file = *copied;
    file.path = workstation;
    file.edited = true;
    int32_t checksum = 0;
    file.checksum = FileChecksum(workstation, file.size, checksum, error) ? ChecksumText(checksum) : std::string();
    journal.Wrote(file);
}

// What a run does with a shortcut of its group.
enum class ShortcutStep {
    Make,       // made (again)
    Unchanged,  // the record holds it as planned and it still starts that: saving it again
                // would change nothing but its time
    Kept,       // the record holds it as planned, and the user made it start something else
};

// A shortcut the record holds as the plan makes it is not made again, unless the plan
// remakes all: one missing, or that the library cannot read, is.
ShortcutStep DecideShortcut(ShortcutLibrary& library, const InstallRecord& record, const CompletionPlan& plan,
                            const Path& link, const GroupShortcut& s) {
    const auto held = std::find_if(record.shortcuts.begin(), record.shortcuts.end(),
                                   [&](const RecordedShortcut& r) { return r.link == link; });
    if (plan.remakeAll || held == record.shortcuts.end() || !StartsAsPlanned({held->target, held->workdir, held->args}, s))
        return ShortcutStep::Make;
    const std::optional<ShortcutTarget> found = library.ReadShortCut(plan.groupCommon, plan.group.groupTitle, s.name);
    if (!found) return ShortcutStep::Make;
    return StartsAsPlanned(*found, s) ? ShortcutStep::Unchanged : ShortcutStep::Kept;
}

// The shortcuts of the record's earlier group, once the group is made in another folder:
// each that still starts what it started goes (and comes back on a rollback), one changed
// since stays; the earlier group's folder goes when an install made it and nothing is left
// in it. Nothing is judged where the library no longer reads the earlier group's folder
// (another user's Programs folder).
void RemoveEarlierGroup(ShortcutLibrary& library, UserPort& port, InstallJournal& journal, const RecordedGroup& earlier,
                        const std::vector<RecordedShortcut>& shortcuts) {
    const int32_t common = earlier.common ? 1 : 0;
    const auto readsFrom = GroupFolderFor(library, common, earlier.title);
    if (!readsFrom || readsFrom->first != earlier.folder) return;
    for (const RecordedShortcut& s : shortcuts) {
        if (s.link.Parent() != earlier.folder || !fs::IsFile(s.link)) continue;
        const std::optional<ShortcutTarget> found = library.ReadShortCut(common, earlier.title, s.name);
        RunError error;
        if (!found || !StartsAsPlanned(*found, {s.name, s.target, s.workdir, s.args}))
            port.LogStep("Kept: " + s.link + " (changed since the install; a shortcut of the earlier group)");
        else if (!journal.Remove(s.link, error))
            port.LogStep("Not removed: " + s.link + " (a shortcut of the earlier group; " + error.description + ")" +
                         SystemCause(error));
        else
            port.LogStep("Removed: " + s.link + " (a shortcut of the earlier group)");
    }
    if (earlier.created) journal.RemoveFolderIfEmptied(earlier.folder);
}

}  // namespace

void MakeGroupShortcuts(ShortcutLibrary& library, UserPort& port, InstallJournal& journal, const CompletionPlan& plan) {
    const std::string& group = plan.group.groupTitle;
    const OleSession ole(library);
    const std::optional<RecordedGroup> earlier = journal.Record().group;
    const std::vector<RecordedShortcut> earlierShortcuts = journal.Record().shortcuts;
    const Path folder = RecordGroupFolder(library, journal, plan);
    for (const GroupShortcut& s : plan.shortcuts) {
        const Path link = folder.empty() ? Path() : folder.Join(s.name + ".LNK").value_or(Path());
        const ShortcutStep step = link.empty() ? ShortcutStep::Make : DecideShortcut(library, journal.Record(), plan, link, s);
        if (step != ShortcutStep::Make) {
            journal.Wrote(RecordedShortcut{link, s.name, s.target, s.workdir, s.args});
            port.LogStep("Shortcut \"" + group + "\\" + s.name + "\" to " + s.target + ": " +
                         (step == ShortcutStep::Unchanged ? "unchanged" : "kept (changed since the install)"));
            continue;
        }
        RunError ignored;  // a link that cannot be made room for is not made: the library says so
        if (!link.empty()) PassOver(journal.PrepareFile(link, ignored));
        const ShortcutResult result = library.MakeShortCut(plan.groupCommon, group, s.name, s.target, s.workdir, s.args);
        if (!link.empty() && result == ShortcutResult::Made)
            journal.Wrote(RecordedShortcut{link, s.name, s.target, s.workdir, s.args});
        else if (!link.empty())
            journal.Restore(link);
        port.LogStep("Shortcut \"" + group + "\\" + s.name + "\" to " + s.target + ": " + ShortcutResultText(result));
    }
    if (earlier && !folder.empty() && earlier->folder != folder)
        RemoveEarlierGroup(library, port, journal, *earlier, earlierShortcuts);
}

CompletionOutcome FinishInstall(Session& session, UserPort& port, CompletionServices& services,
                                InstallJournal& journal, const Path& destRoot, bool supplyChain) {
    port.UnloadProgress();
    port.DoEvents();

    const std::string supplyChainSetup = destRoot + "\\setup.exe";
    if (supplyChain && fs::IsFile(supplyChainSetup)) {
        RunError error;
        if (services.StartProgram(supplyChainSetup, error)) {
            port.LogStep("Started " + supplyChainSetup + ": the installer ends here");
            return CompletionOutcome::HandedOver;
        }
        port.LogStep("Could not start " + supplyChainSetup + " (" + error.description + ")" + SystemCause(error));
    }

    session.CreateGroup = false;
    if (!session.ToolsInstalled) return CompletionOutcome::Returned;
    const GroupChoice choice = services.ShowGroupDialog();
    session.CreateGroup = choice.createGroup;
    port.LogStep(std::string("Program group: ") + (choice.createGroup ? "\"" + choice.groupTitle + "\"" : std::string("none")) +
                 ", connectivity directory " + choice.connectivityDir);
    const CompletionPlan plan = PlanCompletion(session, destRoot, choice);
    WriteTransferConfigRecorded(session, port, journal, plan.transferConfig);
    WriteWorkstationConfigRecorded(session, port, journal, plan);
    if (session.CreateGroup) {
        MakeGroupShortcuts(services.Shortcuts(), port, journal, plan);
        services.CloseWaitWindow();
    }
    return CompletionOutcome::Returned;
}

}  // namespace qv

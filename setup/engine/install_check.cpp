#include "setup/engine/install_check.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "setup/config/config_profile.h"
#include "setup/config/db_codes.h"
#include "setup/config/profile_file.h"
#include "setup/config/transfer_config.h"
#include "setup/engine/archive_launcher.h"
#include "setup/engine/checksum.h"
#include "setup/engine/file_copy.h"
#include "setup/engine/file_list.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/policy_port.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// The size of the reads of a check: large, so that the checksum runs at its full speed.
constexpr int64_t kCheckBlock = 1 << 20;

std::string DestRoot(const Session& session) {
    std::string root = session.InstallDir;
    if (!root.empty() && root.back() == '\\') root.pop_back();
    return root;
}

std::string WorkstationConfigPath(const Session& session) {
    return DestRoot(session) + "\\setup\\" + kWorkstationConfigName;
}

// The lines of a configuration file, read without telling anyone; none when it is missing.
std::vector<std::string> ConfigLinesOf(Session& session, const std::string& path) {
    std::vector<std::string> saved = std::move(session.ConfigLines);
    session.ConfigLines.clear();
    PolicyPort quiet;
    std::vector<std::string> lines;
    if (LoadFile(session, quiet, path, /*showErrors=*/false)) lines = std::move(session.ConfigLines);
    session.ConfigLines = std::move(saved);
    return lines;
}

ItemState StateOfValue(const std::optional<std::string>& found, const std::string& expected) {
    if (!found) return ItemState::Missing;
    return *found == expected ? ItemState::Intact : ItemState::Changed;
}

// Walks everything an install of the chosen products leaves and compares it with the disk.
class Surveyor {
public:
    Surveyor(Session& session, UserPort& port) : session_(session), port_(port), destRoot_(DestRoot(session)) {}

    void Files(Survey& survey) {
        const int count = std::clamp<int>(session_.ProductCount, 0, kMaxProducts);
        for (int i = 1; i <= count && survey.complete; ++i) {
            const ProductRec& product = session_.ListedProducts[static_cast<size_t>(i)];
            if (product.Chosen != -1) continue;
            port_.ShowModuleName(product.ProductName);
            const PassOutcome walked = WalkFileList(session_, port_, product, destRoot_, [&](const ListEntry& entry) {
                survey.files.push_back(FileItem(survey, product, i, entry));
                return true;
            });
            if (walked.EndsInstall()) survey.complete = false;
        }
    }

    void Completion(Survey& survey, const GroupChoice& group, ShortcutLibrary& shortcuts) {
        const int count = std::clamp<int>(session_.ProductCount, 0, kMaxProducts);
        bool tools = false, supplyChain = false;
        for (int i = 1; i <= count; ++i) {
            const ProductRec& product = session_.ListedProducts[static_cast<size_t>(i)];
            if (HasDbCodes(product)) survey.entries.push_back(DbCodeItem(product, i));
            if (product.Chosen != -1) continue;
            tools = tools || product.SoftwareType == "Marrowtools";
            supplyChain = supplyChain || product.SoftwareType == "Supply Chain";
        }
        // The completion hands over to a Supply Chain product's own setup when there is one.
        const std::string setup = destRoot_ + "\\setup.exe";
        const bool setupThere = fs::IsFile(setup) || std::any_of(survey.files.begin(), survey.files.end(), [&](const CheckItem& f) {
                                    return EqualsNoCase(f.name, setup);
                                });
        if (supplyChain && setupThere) {
            survey.handOver = setup;
            return;
        }
        if (!tools) return;
        survey.group = group;
        survey.transferConfig = TransferConfigPath(session_.TempDir);
        const std::string config = WorkstationConfigPath(session_);
        const std::vector<std::string> lines = ConfigLinesOf(session_, config);
        for (const ConfigEntry& e : WorkstationConfigEntries(session_, group.connectivityDir)) {
            CheckItem item;
            item.kind = ItemKind::ConfigEntry;
            item.name = e.key;
            item.file = config;
            item.section = e.section;
            item.expected = e.value;
            const std::optional<std::string> found = GetREGParm(lines, e.key, e.section);
            item.found = found.value_or("");
            item.state = StateOfValue(found, e.value);
            survey.entries.push_back(item);
        }
        if (!group.createGroup) return;
        for (const GroupShortcut& s : GroupShortcuts(destRoot_, group)) {
            CheckItem item;
            item.kind = ItemKind::Shortcut;
            item.name = group.groupTitle + "\\" + s.name;
            item.expected = s.target;
            item.shortcut = s;
            const std::optional<ShortcutTarget> found = shortcuts.ReadShortCut(1, group.groupTitle, s.name);
            if (!found) {
                item.state = ItemState::Missing;
            } else {
                item.found = found->target;
                const bool same = EqualsNoCase(found->target, s.target) && EqualsNoCase(found->workdir, s.workdir) &&
                                  found->args == s.args;
                item.state = same ? ItemState::Intact : ItemState::Changed;
            }
            survey.shortcuts.push_back(item);
        }
    }

private:
    CheckItem FileItem(Survey& survey, const ProductRec& product, int index, const ListEntry& entry) {
        CheckItem item;
        item.product = index;
        item.spec = entry.spec;
        item.checksum = entry.checksum;
        item.expectedSize = entry.size;
        item.compressed = product.Compress == 1;
        std::string folder;
        if (item.compressed) {
            // The archive program puts the entry where it names it, not where a copy would.
            const ArchiveCommand command =
                BuildArchiveCommand(product.ProductDir, destRoot_, product.ProductCode, entry.spec);
            item.name = command.shownPath;
            folder = command.targetDir;
            survey.archiveLines.push_back(command.loggedLine);
        } else {
            item.name = entry.paths.destFile;
            item.source = entry.paths.sourceFile;
            folder = entry.paths.destDir;
        }
        AddMissingFolders(folder, survey.directories);
        item.editedAfterCopy = EqualsNoCase(item.name, WorkstationConfigPath(session_));
        ShowFileName(session_, port_, item.name);
        item.state = CheckFile(item.name, entry.size, entry.checksum, item.foundSize);
        ShowShare(std::max<int64_t>(entry.size, 0));
        port_.DoEvents();
        return item;
    }

    CheckItem DbCodeItem(const ProductRec& product, int index) {
        CheckItem item;
        item.kind = ItemKind::DbCode;
        item.product = index;
        item.name = product.ProductCode;
        item.file = DbCodesPath(session_);
        item.section = "[dbcodes]";
        item.expected = DbCodesValue(product);
        const std::optional<std::string> found = ReadProfileString("dbcodes", product.ProductCode, item.file);
        item.found = found.value_or("");
        item.state = StateOfValue(found, item.expected);
        return item;
    }

    // The folders along dir that do not exist, outermost first, each once. A folder is
    // looked up once however many files it holds.
    void AddMissingFolders(const std::string& dir, std::vector<std::string>& folders) {
        if (!foldersSeen_.insert(UpperAscii(dir)).second || fs::IsDirectory(dir)) return;
        size_t stop = dir.find('\\');
        while (stop != std::string::npos) {
            stop = dir.find('\\', stop + 1);
            const std::string prefix = dir.substr(0, stop);
            if (prefix.empty() || prefix.back() == '\\' || missing_.count(UpperAscii(prefix)) || fs::Exists(prefix))
                continue;
            missing_.insert(UpperAscii(prefix));
            folders.push_back(prefix);
        }
    }

    // The share of the chosen products' bytes checked so far, as the progress shows it.
    void ShowShare(int64_t bytes) {
        bytesChecked_ += bytes;
        const int64_t percent = TotalPercent(static_cast<double>(bytesChecked_), session_.ProductBytes);
        if (percent == session_.Shown.totalPercent) return;
        session_.Shown.totalPercent = percent;
        port_.ShowTotalPercent(static_cast<int>(std::clamp<int64_t>(percent, 0, 100)), PercentLabel(percent));
    }

    Session& session_;
    UserPort& port_;
    const std::string destRoot_;
    std::set<std::string> foldersSeen_;  // the folders of files, looked up
    std::set<std::string> missing_;      // the folders found missing
    int64_t bytesChecked_ = 0;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string EntryLabel(const CheckItem& item) { return item.file + " " + item.section + " " + item.name; }

std::string DriftLine(const CheckItem& item) {
    const std::string state = ItemStateName(item.state);
    switch (item.kind) {
        case ItemKind::File:
            return "Drift: file " + state + " " + std::to_string(item.expectedSize) + " " +
                   (item.foundSize < 0 ? std::string("-") : std::to_string(item.foundSize)) + " " + item.name;
        case ItemKind::ConfigEntry:
        case ItemKind::DbCode:
            return std::string("Drift: ") + (item.kind == ItemKind::DbCode ? "database code " : "entry ") + state + " " +
                   EntryLabel(item) + ": expected " + Quoted(item.expected) +
                   (item.state == ItemState::Missing ? std::string() : ", found " + Quoted(item.found));
        case ItemKind::Shortcut:
            return "Drift: shortcut " + state + " " + Quoted(item.name) + ": expected " + item.expected +
                   (item.state == ItemState::Missing ? std::string() : ", found " + item.found);
    }
    return {};
}

}  // namespace

GroupChoice RecordedGroup(Session& session, ShortcutLibrary& shortcuts) {
    GroupChoice group;
    group.groupTitle = Res(session, Str::DefaultGroupTitle);
    group.createGroup = shortcuts.ReadShortCut(1, group.groupTitle, GroupShortcuts("", group).front().name).has_value();
    group.connectivityDir = InitialConnectivityDir(session);
    const std::vector<std::string> lines = ConfigLinesOf(session, WorkstationConfigPath(session));
    if (const std::optional<std::string> dbbin = GetREGParm(lines, "DBBIN", "[Batchwell]"))
        group.connectivityDir = *dbbin;
    return group;
}

const char* ItemStateName(ItemState state) {
    switch (state) {
        case ItemState::Intact: return "intact";
        case ItemState::Missing: return "missing";
        case ItemState::SizeDiffers: return "size differs";
        case ItemState::ChecksumDiffers: return "checksum differs";
        case ItemState::Changed: return "changed";
    }
    return "";
}

ItemState CheckFile(const std::string& path, int64_t size, const std::string& checksum, int64_t& foundSize) {
    foundSize = -1;
    RunError error;
    OpenFile file;
    if (!file.OpenRead(path, error)) return fs::Exists(path) ? ItemState::ChecksumDiffers : ItemState::Missing;
    if (!file.Size(foundSize, error)) return ItemState::ChecksumDiffers;
    if (foundSize != size) return ItemState::SizeDiffers;
    // Large reads, so that the checksum runs at its full speed; no more than the file needs.
    const uint32_t blockSize = static_cast<uint32_t>(std::clamp<int64_t>(size, 1, kCheckBlock));
    const std::unique_ptr<char[]> block(new char[blockSize]);
    int32_t running = -1;
    for (;;) {
        uint32_t got = 0;
        if (!file.Read(block.get(), blockSize, got, error)) return ItemState::ChecksumDiffers;
        if (got == 0) break;
        if (!GetCRC(block.get(), static_cast<int32_t>(got), running, error)) return ItemState::ChecksumDiffers;
    }
    return ChecksumText(~running) == checksum ? ItemState::Intact : ItemState::ChecksumDiffers;
}

Survey SurveyInstall(Session& session, UserPort& port, const GroupChoice& group, ShortcutLibrary& shortcuts) {
    Survey survey;
    session.Shown = {};
    Surveyor surveyor(session, port);
    surveyor.Files(survey);
    if (survey.complete) surveyor.Completion(survey, group, shortcuts);
    return survey;
}

std::vector<const CheckItem*> DriftedItems(const Survey& survey) {
    std::vector<const CheckItem*> drifted;
    for (const std::vector<CheckItem>* items : {&survey.files, &survey.entries, &survey.shortcuts})
        for (const CheckItem& item : *items)
            if (item.state == ItemState::Missing || (item.state != ItemState::Intact && !item.editedAfterCopy))
                drifted.push_back(&item);
    return drifted;
}

std::vector<std::string> ExtraFiles(const Session& session, const Survey& survey) {
    std::set<std::string> named;
    for (const CheckItem& file : survey.files) named.insert(UpperAscii(file.name));
    named.insert(UpperAscii(DbCodesPath(session)));
    std::vector<std::string> extra;
    std::vector<std::string> folders = {DestRoot(session)};
    while (!folders.empty()) {
        const std::string folder = folders.back();
        folders.pop_back();
        RunError ignored;
        fs::FindEntries(
            folder + "\\*",
            [&](const fs::DirEntry& entry) {
                const std::string path = folder + "\\" + entry.name;
                if (entry.directory)
                    folders.push_back(path);
                else if (!named.count(UpperAscii(path)))
                    extra.push_back(path);
                return true;
            },
            ignored);
    }
    std::sort(extra.begin(), extra.end());
    return extra;
}

void LogPlan(const Survey& survey, UserPort& port, double freeSpace) {
    int files = 0;
    int64_t toCopy = 0, inPlace = 0, replaced = 0;
    for (const CheckItem& f : survey.files) {
        const char* what = f.state == ItemState::Missing ? "new" : f.state == ItemState::Intact ? "unchanged" : "replaced";
        port.LogStep(std::string("Plan: file ") + what + " " + std::to_string(f.expectedSize) + " " + f.name);
        if (f.state == ItemState::Intact) {
            inPlace += f.expectedSize;
            continue;
        }
        ++files;
        toCopy += f.expectedSize;
        if (f.foundSize > 0) replaced += f.foundSize;
    }
    for (const std::string& d : survey.directories) port.LogStep("Plan: directory " + d);
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

bool LogVerify(const Session& session, const Survey& survey, UserPort& port) {
    int files = 0, entries = 0, shortcuts = 0;
    for (const CheckItem* item : DriftedItems(survey)) {
        port.LogStep(DriftLine(*item));
        (item->kind == ItemKind::File ? files : item->kind == ItemKind::Shortcut ? shortcuts : entries) += 1;
    }
    const std::vector<std::string> extra = ExtraFiles(session, survey);
    for (const std::string& path : extra) port.LogStep("Extra: " + path);
    const int drifted = files + entries + shortcuts;
    port.LogStep("Verify: " + std::string(drifted == 0 ? "intact" : "drifted") + ", " + std::to_string(files) +
                 " of " + std::to_string(survey.files.size()) + " files, " + std::to_string(entries) + " of " +
                 std::to_string(survey.entries.size()) + " entries and " + std::to_string(shortcuts) + " of " +
                 std::to_string(survey.shortcuts.size()) + " shortcuts drifted; " + std::to_string(extra.size()) +
                 " files no list names");
    return drifted > 0;
}

namespace {

// Puts back the drifted files: copied with checking on whatever the run's setting, a
// compressed product's by its archive program. Copy failures are asked about as in an
// install. Sets configCopied when the workstation configuration was copied anew.
PassOutcome RepairFiles(Session& session, UserPort& port, const std::vector<const CheckItem*>& drifted,
                        bool& configCopied) {
    session.ProductBytes = 0;
    for (const CheckItem* item : drifted)
        if (item->kind == ItemKind::File) session.ProductBytes += static_cast<double>(std::max<int64_t>(item->expectedSize, 1));
    session.BytesDone = 0;
    const std::string destRoot = DestRoot(session);
    for (const CheckItem* item : drifted) {
        if (item->kind != ItemKind::File) continue;
        const ProductRec& product = session.ListedProducts[static_cast<size_t>(item->product)];
        session.ModuleBytes = static_cast<int32_t>(std::clamp<int64_t>(item->expectedSize, 1, INT32_MAX));
        session.ModuleBytesDone = 0;
        port.ShowModuleName(product.ProductName);
        port.LogStep("Repairing " + item->name + " (" + ItemStateName(item->state) + ")");
        RunError ignored;  // a folder that cannot be made shows in the copy's own failure
        MakeDirPath(item->name.substr(0, item->name.rfind('\\')), ignored);
        if (item->compressed) {
            RunArchiveProgram(session, port, product.ProductDir, destRoot, product.ProductCode, item->spec);
            if (session.InstallAborted) return {PassResult::Stopped, {}};  // the Cancel button
        } else {
            const CopyOutcome copy = VerifiedCopy(session, port, item->source, item->name, item->checksum,
                                                  item->expectedSize, Checking::On);
            if (copy.EndsInstall()) return {PassResult::Stopped, {}};
        }
        configCopied = configCopied || item->editedAfterCopy;
    }
    return {};
}

// Sets the drifted configuration entries, or all of them in a file copied anew, and the
// drifted database codes.
void RepairEntries(Session& session, UserPort& port, const Survey& survey,
                   const std::vector<const CheckItem*>& drifted, bool configCopied) {
    std::vector<const CheckItem*> entries;
    for (const CheckItem& e : survey.entries)
        if (e.kind == ItemKind::ConfigEntry && (configCopied || e.state != ItemState::Intact)) entries.push_back(&e);
    if (!entries.empty() && LoadFile(session, port, entries.front()->file)) {
        for (const CheckItem* e : entries) SetREGParm(session, e->name, e->expected, e->section);
        const bool saved = SaveFile(session, port, entries.front()->file);
        port.LogStep((saved ? "Repaired " : "Could not repair ") + std::to_string(entries.size()) + " entries of " +
                     entries.front()->file);
    }
    for (const CheckItem* item : drifted)
        if (item->kind == ItemKind::DbCode) {
            WriteDbCodes(session, item->product);
            port.LogStep("Repaired database code " + item->name + " in " + item->file);
        }
}

// Makes the shortcuts that are missing or start something else again.
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
            shortcuts.MakeShortCut(1, survey.group.groupTitle, s.name, s.target, s.workdir, s.args);
        port.LogStep("Shortcut " + Quoted(link->name) + " to " + s.target + ": " +
                     (result == ShortcutResult::Made ? "made again" : "not made"));
    }
}

}  // namespace

PassOutcome RepairInstall(Session& session, UserPort& port, const Survey& survey, ShortcutLibrary& shortcuts) {
    const std::vector<const CheckItem*> drifted = DriftedItems(survey);
    if (drifted.empty()) {
        port.LogStep("Nothing to repair: the installation is intact");
        return {};
    }
    const RunningInstall running(session);
    bool configCopied = false;
    const PassOutcome files = RepairFiles(session, port, drifted, configCopied);
    if (files.EndsInstall()) return files;
    RepairEntries(session, port, survey, drifted, configCopied);
    RepairShortcuts(port, survey, drifted, shortcuts);
    return {};
}

}  // namespace qv

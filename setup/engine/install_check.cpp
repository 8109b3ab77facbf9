#include "setup/engine/install_check.h"
#include "setup/session/disk_utils.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "setup/config/config_profile.h"
#include "setup/config/db_codes.h"
#include "setup/config/profile_edit.h"
#include "setup/engine/archive_launcher.h"
#include "setup/engine/check_items.h"
#include "setup/engine/checksum.h"
#include "setup/engine/install_plan.h"
#include "setup/engine/install_run.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

ItemState StateOfValue(const std::optional<std::string>& found, const std::string& expected) {
    if (!found) return ItemState::Missing;
    return *found == expected ? ItemState::Intact : ItemState::Changed;
}

// The entries whose value the installing run takes from its own environment: a survey made
// in another run cannot know them.
bool FromRunEnvironment(const ConfigEntry& entry) {
    return entry.key == "TEMP" || entry.key == "LogDir" || entry.key == "ReportOutputDir";
}

// A file by its size alone, from one look-up, as a plan sees it: the size found (-1: no file
// of its own there).
ItemState SizeOnDisk(const Path& path, int64_t size, int64_t& foundSize) {
    const std::optional<fs::FileStamp> stamp = fs::StampOf(path);
    foundSize = stamp ? stamp->size : -1;
    if (!stamp) return fs::Occupied(path) ? ItemState::Unreadable : ItemState::Missing;
    return stamp->size == size ? ItemState::Intact : ItemState::SizeDiffers;
}

// Keeps the last of the items that name the same file: a destination two lists name is as
// its last writer in install order leaves it.
void KeepLastWriters(std::vector<CheckItem>& files) {
    std::map<std::string, size_t> last;
    for (size_t i = 0; i < files.size(); ++i) last[UpperAscii(files[i].name)] = i;
    std::vector<CheckItem> kept;
    for (size_t i = 0; i < files.size(); ++i)
        if (last[UpperAscii(files[i].name)] == i) kept.push_back(std::move(files[i]));
    files = std::move(kept);
}

// Walks everything an install of the chosen products leaves and compares it with the disk.
class Surveyor {
public:
    Surveyor(Session& session, UserPort& port, SurveyDepth depth)
        : session_(session), port_(port), destRoot_(InstallDirPath(session)), depth_(depth) {}

    void Files(Survey& survey, const InstallPlan& plan) {
        for (const ProductPass& pass : plan.passes) {
            const ProductRec& product = session_.ListedProducts[static_cast<size_t>(pass.list.product)];
            port_.ShowModuleName(product.ProductName);
            const RunOutcome walked = WalkProductList(session_, port_, pass.list, [&](const ListEntry& entry) {
                survey.files.push_back(FileItem(survey, product, pass.list.product, entry));
            });
            survey.complete = !walked.EndsInstall();
            if (!survey.complete) break;
        }
        KeepLastWriters(survey.files);
    }

    void Completion(Survey& survey, const InstallOutline& outline, const GroupChoice& group,
                    ShortcutLibrary& shortcuts) {
        for (const ProductStep& step : outline.steps) {
            if (step.kind != ProductStep::Kind::DbCodes) continue;
            const ProductRec& product = session_.ListedProducts[static_cast<size_t>(step.product)];
            survey.entries.push_back(DbCodeItem(DbCodesPath(session_), product.ProductCode, DbCodesValue(product)));
            survey.entries.back().product = step.product;
        }
        // The completion hands over to a Supply Chain product's own setup when there is one.
        const Path setup = destRoot_.Join("setup.exe").value_or(Path());
        const bool setupThere = fs::IsFile(setup) || std::any_of(survey.files.begin(), survey.files.end(), [&](const CheckItem& f) {
                                    return f.path == setup;
                                });
        if (outline.supplyChain && setupThere) {
            survey.handOver = setup;
            return;
        }
        if (!outline.tools) return;
        const CompletionPlan plan = PlanCompletion(session_, destRoot_, group);
        survey.group = plan.group;
        survey.groupCommon = plan.groupCommon;
        survey.transferConfig = plan.transferConfig;
        const std::vector<std::string> lines = ConfigLinesOf(plan.workstationConfig);
        for (const ConfigEntry& e : plan.entries) {
            survey.entries.push_back(EntryItem(plan.workstationConfig, lines, e.section, e.key, e.value));
            survey.entries.back().judged = !FromRunEnvironment(e);
        }
        for (const GroupShortcut& s : plan.shortcuts)
            survey.shortcuts.push_back(ShortcutItem(shortcuts, plan.groupCommon, plan.group.groupTitle, s));
    }

private:
    CheckItem FileItem(Survey& survey, const ProductRec& product, int index, const ListEntry& entry) {
        CheckItem item;
        item.product = index;
        item.spec = entry.spec;
        item.checksum = entry.checksum;
        item.expectedSize = entry.size;
        item.compressed = product.Compress == 1;
        Path folder;
        if (item.compressed) {
            // The archive program puts the entry where it names it, not where a copy would.
            const ArchiveCommand command =
                BuildArchiveCommand(product.ProductDir, destRoot_, product.ProductCode, entry.spec);
            item.path = command.shownPath;
            folder = command.targetFolder;
            survey.archiveLines.push_back(command.loggedLine);
        } else {
            item.path = entry.paths.destFile;
            item.source = entry.paths.sourceFile;
            folder = entry.paths.destDir;
        }
        item.name = item.path;
        if (!folder.empty()) AddMissingFolders(folder, survey.directories);
        item.editedAfterCopy = item.path == WorkstationConfigPath(session_);
        ShowFileName(session_, port_, item.name);
        item.state = depth_ == SurveyDepth::Checksums
                         ? CheckFile(item.name, entry.size, entry.checksum, item.foundSize, item.cause)
                         : SizeOnDisk(item.path, entry.size, item.foundSize);
        JudgePendingReplacement(item, later_);
        ShowShare(std::max<int64_t>(entry.size, 0));
        port_.DoEvents();
        return item;
    }

    // The folders along dir that do not exist, outermost first, each once. A folder is
    // looked up once however many files it holds.
    void AddMissingFolders(const Path& dir, std::vector<Path>& folders) {
        if (!foldersSeen_.insert(dir.Key()).second || fs::IsDirectory(dir)) return;
        std::vector<Path> missing;
        for (Path folder = dir; !folder.IsRoot() && !missing_.count(folder.Key()) && !fs::Exists(folder);
             folder = folder.Parent())
            missing.push_back(folder);
        for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
            missing_.insert(folder->Key());
            folders.push_back(*folder);
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
    const Path destRoot_;
    const SurveyDepth depth_;
    const std::map<std::string, Path> later_ = ReplacementsAtRestart();  // copies that take files' places at the restart
    std::set<std::string> foldersSeen_;  // the folders of files, looked up
    std::set<std::string> missing_;      // the folders found missing
    int64_t bytesChecked_ = 0;
};

}  // namespace

std::vector<std::string> ConfigLinesOf(const std::string& path) {
    std::vector<std::string> lines;
    RunError ignored;
    if (!ReadConfigLines(path, lines, ignored)) lines.clear();
    return lines;
}

CheckItem EntryItem(const Path& file, const std::vector<std::string>& lines, const std::string& section,
                    const std::string& key, const std::string& expected) {
    CheckItem item;
    item.kind = ItemKind::ConfigEntry;
    item.name = key;
    item.file = file;
    item.section = section;
    item.expected = expected;
    const std::optional<std::string> found = GetREGParm(lines, key, section);
    item.found = found.value_or("");
    item.state = StateOfValue(found, expected);
    return item;
}

CheckItem DbCodeItem(const Path& file, const std::string& key, const std::string& expected) {
    CheckItem item;
    item.kind = ItemKind::DbCode;
    item.name = key;
    item.file = file;
    item.section = "[dbcodes]";
    item.expected = expected;
    const std::optional<std::string> found = ReadLegacyProfileString("dbcodes", key, file);
    item.found = found.value_or("");
    item.state = StateOfValue(found, expected);
    return item;
}

std::map<std::string, Path> ReplacementsAtRestart() {
    std::map<std::string, Path> copies;
    for (const fs::PendingReplacement& pending : fs::PendingReplacements()) copies[pending.to.Key()] = pending.from;
    return copies;
}

void JudgePendingReplacement(CheckItem& item, const std::map<std::string, Path>& later) {
    const auto copy = later.find(item.path.Key());
    if (item.state == ItemState::Intact || copy == later.end()) return;
    int64_t size = -1;
    RunError cause;
    if (CheckFile(copy->second, item.expectedSize, item.checksum, size, cause) != ItemState::Intact) return;
    item.state = ItemState::PendingRestart;
    item.replacement = copy->second;
}

CheckItem ShortcutItem(ShortcutLibrary& shortcuts, int32_t common, const std::string& group,
                       const GroupShortcut& s) {
    CheckItem item;
    item.kind = ItemKind::Shortcut;
    item.name = group + "\\" + s.name;
    item.expected = s.target;
    item.shortcut = s;
    const std::optional<ShortcutTarget> found = shortcuts.ReadShortCut(common, group, s.name);
    if (!found) {
        item.state = ItemState::Missing;
        return item;
    }
    item.found = found->target;
    item.state = StartsAsPlanned(*found, s) ? ItemState::Intact : ItemState::Changed;
    return item;
}

GroupChoice GroupOnDisk(Session& session, ShortcutLibrary& shortcuts) {
    GroupChoice group;
    group.groupTitle = Res(session, Str::DefaultGroupTitle);
    group.createGroup = shortcuts.ReadShortCut(1, group.groupTitle, GroupShortcuts("", group).front().name).has_value();
    group.connectivityDir = InitialConnectivityDir(session);
    const std::vector<std::string> lines = ConfigLinesOf(WorkstationConfigPath(session));
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
        case ItemState::Unreadable: return "cannot be checked";
        case ItemState::PendingRestart: return "pending restart";
    }
    return "";
}

ItemState CheckFile(const std::string& path, int64_t size, const std::string& checksum, int64_t& foundSize,
                    RunError& cause) {
    foundSize = -1;
    RunError lookup;
    switch (fs::KindOf(path, lookup)) {
        case fs::EntryKind::None: return ItemState::Missing;
        case fs::EntryKind::Directory: return ItemState::SizeDiffers;  // a folder in its place
        case fs::EntryKind::File: break;
    }
    // Where the look-up gives the size to compare and there is a checksum to read, the file
    // is opened once, for the checksum: its opening tells as well whether it can be read.
    const std::optional<fs::FileStamp> stamp = fs::StampOf(path);
    if (!stamp || stamp->size != size || checksum.empty()) {
        OpenFile file;
        if (!file.OpenRead(path, cause) || !file.Size(foundSize, cause)) return ItemState::Unreadable;
        file.Close();
        if (foundSize != size) return ItemState::SizeDiffers;
        if (checksum.empty()) return ItemState::Intact;  // a checksum that was never known: the size says it
    }
    int64_t readSize = 0;
    int32_t crc = 0;
    if (!FileChecksum(path, readSize, crc, cause)) {
        foundSize = -1;
        return ItemState::Unreadable;
    }
    foundSize = readSize;
    return readSize == size && ChecksumText(crc) == checksum ? ItemState::Intact : ItemState::ChecksumDiffers;
}

Survey SurveyInstall(Session& session, UserPort& port, const InstallPlan& plan, const GroupChoice& group,
                     ShortcutLibrary& shortcuts, SurveyDepth depth) {
    Survey survey;
    session.Shown = {};
    Surveyor surveyor(session, port, depth);
    surveyor.Files(survey, plan);
    if (survey.complete) surveyor.Completion(survey, plan.outline, group, shortcuts);
    return survey;
}

std::vector<const CheckItem*> DriftedItems(const Survey& survey) {
    std::vector<const CheckItem*> drifted;
    for (const std::vector<CheckItem>* items : {&survey.products, &survey.files, &survey.entries, &survey.shortcuts})
        for (const CheckItem& item : *items) {
            if (!item.judged || item.state == ItemState::Intact || item.state == ItemState::Unreadable ||
                item.state == ItemState::PendingRestart)
                continue;
            if (item.state == ItemState::Missing || !item.editedAfterCopy) drifted.push_back(&item);
        }
    return drifted;
}

std::vector<const CheckItem*> UncheckedItems(const Survey& survey) {
    std::vector<const CheckItem*> unchecked;
    for (const std::vector<CheckItem>* items : {&survey.files, &survey.entries, &survey.shortcuts})
        for (const CheckItem& item : *items)
            if (item.state == ItemState::Unreadable && !item.editedAfterCopy) unchecked.push_back(&item);
    return unchecked;
}

std::vector<const CheckItem*> PendingItems(const Survey& survey) {
    std::vector<const CheckItem*> pending;
    for (const CheckItem& item : survey.files)
        if (item.state == ItemState::PendingRestart) pending.push_back(&item);
    return pending;
}

std::vector<Path> ExtraFiles(const Session& session, const Survey& survey) {
    const Path root = InstallDirPath(session);
    if (root.empty()) return {};
    std::set<std::string> named;
    for (const CheckItem& file : survey.files) {
        named.insert(file.path.Key());
        if (!file.replacement.empty()) named.insert(file.replacement.Key());
    }
    named.insert(DbCodesPath(session).Key());
    named.insert(RecordPath(root).Key());
    std::vector<Path> extra;
    fs::WalkTree(root, [&](const Path& file) {
        if (!named.count(file.Key())) extra.push_back(file);
    });
    std::sort(extra.begin(), extra.end(), [](const Path& a, const Path& b) { return a.str() < b.str(); });
    return extra;
}

}  // namespace qv

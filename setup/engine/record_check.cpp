// The survey of an installation by its record: what the installs wrote, against the disk.
#include <algorithm>
#include <map>

#include "setup/config/config_profile.h"
#include "setup/session/disk_utils.h"
#include "setup/engine/check_items.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_run.h"
#include "setup/engine/progress.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// The index in ListedProducts of the product with this code; 0 when the CD has none.
int ListedIndexOf(const Session& session, const std::string& code) {
    const int count = std::clamp<int>(session.ProductCount, 0, kMaxProducts);
    for (int i = 1; i <= count; ++i)
        if (EqualsNoCase(session.ListedProducts[static_cast<size_t>(i)].ProductCode, code)) return i;
    return 0;
}

bool IsChosen(const Session& session, const std::string& code) {
    const int index = ListedIndexOf(session, code);
    return index > 0 && session.ListedProducts[static_cast<size_t>(index)].Chosen == -1;
}

CheckItem RecordedFileItem(const Session& session, const RecordedFile& file, const std::map<std::string, Path>& later) {
    CheckItem item;
    item.name = file.path;
    item.path = file.path;
    item.expectedSize = file.size;
    item.checksum = file.checksum;
    item.spec = file.spec;
    item.editedAfterCopy = file.edited;
    item.compressed = file.archive;
    item.product = ListedIndexOf(session, file.product);
    if (item.product > 0) item.source = session.ListedProducts[static_cast<size_t>(item.product)].ProductDir + file.spec;
    item.state = CheckFile(file.path, file.size, file.checksum, item.foundSize, item.cause);
    JudgePendingReplacement(item, later);
    return item;
}

// The entries of one configuration file: all of them cannot be checked when the file is
// there and cannot be read.
void AddEntries(const InstallRecord& record, const Path& file, Survey& survey) {
    std::vector<std::string> lines;
    RunError cause;
    const bool unreadable = !ReadConfigLines(file, lines, cause) && fs::Exists(file);
    for (const RecordedEntry& e : record.entries) {
        if (e.file != file) continue;
        survey.entries.push_back(EntryItem(e.file, lines, e.section, e.key, e.value));
        if (!unreadable) continue;
        survey.entries.back().state = ItemState::Unreadable;
        survey.entries.back().cause = cause;
    }
}

void AddCompletion(const InstallRecord& record, ShortcutLibrary& shortcuts, Survey& survey) {
    std::vector<Path> files;
    for (const RecordedEntry& e : record.entries)
        if (std::find(files.begin(), files.end(), e.file) == files.end()) files.push_back(e.file);
    for (const Path& file : files) AddEntries(record, file, survey);
    for (const RecordedDbCode& code : record.dbCodes) survey.entries.push_back(DbCodeItem(code.file, code.key, code.value));
    if (!record.group) return;
    survey.group = {true, record.group->title, {}};
    survey.groupCommon = record.group->common ? 1 : 0;
    for (const RecordedShortcut& s : record.shortcuts)
        survey.shortcuts.push_back(
            ShortcutItem(shortcuts, survey.groupCommon, record.group->title, {s.name, s.target, s.workdir, s.args}));
}

}  // namespace

Survey SurveyRecord(Session& session, UserPort& port, const InstallRecord& record, ShortcutLibrary& shortcuts) {
    Survey survey;
    survey.fromRecord = true;
    session.Shown = {};
    const int count = std::clamp<int>(session.ProductCount, 0, kMaxProducts);
    for (int i = 1; i <= count; ++i) {
        const ProductRec& p = session.ListedProducts[static_cast<size_t>(i)];
        if (p.Chosen != -1 || record.HasProduct(p.ProductCode)) continue;
        CheckItem item;
        item.kind = ItemKind::Product;
        item.state = ItemState::Missing;
        item.name = p.ProductCode;
        item.expected = p.ProductName;
        item.product = i;
        survey.products.push_back(item);
    }
    const std::map<std::string, Path> later = ReplacementsAtRestart();
    for (const RecordedFile& file : record.files) {
        if (!IsChosen(session, file.product) && !file.product.empty()) continue;
        ShowFileName(session, port, file.path);
        survey.files.push_back(RecordedFileItem(session, file, later));
        port.DoEvents();
    }
    AddCompletion(record, shortcuts, survey);
    return survey;
}

Survey SurveyForVerify(Session& session, UserPort& port, const GroupChoice& group, ShortcutLibrary& shortcuts) {
    const Path dir = InstallDirPath(session);
    Confinement places = ConfinementFor(session, dir, shortcuts);
    const FoundRecord found = ReadInstallRecord(places, port, /*finish=*/true);
    if (found.state == FoundRecord::State::Read) {
        port.LogStep("Judged by the install record " + RecordPath(dir));
        return SurveyRecord(session, port, found.record, shortcuts);
    }
    port.LogStep("No install record to judge by: the chosen products are surveyed on the CD");
    return SurveyInstall(session, port, ReadInstallLists(session), group, shortcuts);
}

}  // namespace qv

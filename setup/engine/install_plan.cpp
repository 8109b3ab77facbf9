#include "setup/engine/install_plan.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "setup/config/db_codes.h"
#include "setup/engine/checksum.h"
#include "setup/engine/two_threads.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {

bool StampedAsWritten(const Path& path, int64_t size, int64_t time) {
    const std::optional<fs::FileStamp> stamp = time != 0 ? fs::StampOf(path) : std::nullopt;
    return stamp && stamp->size == size && stamp->writeTime == time;
}

OnDisk JudgeOnDisk(const RecordedFile& held, bool readChecksums) {
    const std::optional<fs::FileStamp> stamp = fs::StampOf(held.path);
    if (!stamp) return fs::Occupied(held.path) ? OnDisk::Unknown : OnDisk::Nothing;
    if (stamp->size != held.size) return OnDisk::Changed;
    const bool sameTime = held.time != 0 && stamp->writeTime == held.time;
    if (sameTime && !readChecksums) return OnDisk::AsWritten;
    if (held.checksum.empty()) return sameTime ? OnDisk::AsWritten : OnDisk::Changed;
    int64_t size = 0;
    int32_t crc = 0;
    RunError ignored;
    if (!FileChecksum(held.path, size, crc, ignored)) return OnDisk::Unknown;
    return size == held.size && ChecksumText(crc) == held.checksum ? OnDisk::AsWritten : OnDisk::Changed;
}

InstallOutline OutlineInstall(const Session& session) {
    InstallOutline outline;
    const int count = std::clamp<int>(session.ProductCount, 0, kMaxProducts);
    for (int i = 1; i <= count; ++i) {
        const ProductRec& p = session.ListedProducts[static_cast<size_t>(i)];
        if (HasDbCodes(p)) outline.steps.push_back({ProductStep::Kind::DbCodes, i});
        if (p.Chosen != -1) continue;
        outline.steps.push_back({p.Compress == 1 ? ProductStep::Kind::Expand : ProductStep::Kind::Copy, i});
        outline.tools = outline.tools || p.SoftwareType == "Marrowtools";
        outline.supplyChain = outline.supplyChain || p.SoftwareType == "Supply Chain";
        outline.compressed = outline.compressed || p.Compress == 1;
    }
    return outline;
}

PlanRules PlanRulesOf(const Session& session) { return {!session.NoCrcCheck, session.Reinstall}; }

namespace {

// A file the install edits after its copy, or that an archive program wrote, is judged by
// more than its bytes: it is copied as ever, as is every file with /REINSTALL.
bool Judged(const RecordedFile& held, const PlanRules& rules) {
    return !rules.reinstall && !held.edited && !held.archive;
}

FileAction DecideJudged(const RecordedFile* held, OnDisk onDisk, const Path& path, int64_t size,
                        const std::string& checksum) {
    if (!held) return fs::Occupied(path) ? FileAction::Foreign : FileAction::New;
    if (onDisk == OnDisk::Nothing || (onDisk == OnDisk::Unknown && !fs::Occupied(path))) return FileAction::New;
    if (onDisk == OnDisk::Unknown) return FileAction::Replace;
    const bool releaseSame = size >= 0 && size == held->size && !held->checksum.empty() && checksum == held->checksum;
    if (onDisk == OnDisk::AsWritten) return releaseSame ? FileAction::Unchanged : FileAction::Replace;
    return releaseSame ? FileAction::Keep : FileAction::SaveAside;
}

// Judges every file of `held`, in its order; where checksums are read, on two threads.
std::vector<OnDisk> JudgeAllOnDisk(const std::vector<const RecordedFile*>& held, bool readChecksums) {
    std::vector<OnDisk> states(held.size(), OnDisk::Unknown);
    const auto judge = [&](size_t i) { states[i] = JudgeOnDisk(*held[i], readChecksums); };
    RunError unbound;
    if (readChecksums && BindChecksumLibrary(unbound)) {
        OnTwoThreads(held.size(), judge);
    } else {
        for (size_t i = 0; i < held.size(); ++i) judge(i);
    }
    return states;
}

}  // namespace

std::vector<FileAction> DecideEach(const InstallRecord& record, const std::vector<ListedFile>& files,
                                   const PlanRules& rules) {
    std::map<std::string, const RecordedFile*> byKey;
    for (const RecordedFile& file : record.files) byKey[file.path.Key()] = &file;
    constexpr size_t kNotJudged = SIZE_MAX;
    std::vector<const RecordedFile*> held(files.size(), nullptr);
    std::vector<size_t> judgedAs(files.size(), kNotJudged);  // its index in toJudge
    std::vector<const RecordedFile*> toJudge;
    for (size_t i = 0; i < files.size(); ++i) {
        const auto found = byKey.find(files[i].path->Key());
        if (found == byKey.end()) continue;
        held[i] = found->second;
        if (!Judged(*held[i], rules)) continue;
        judgedAs[i] = toJudge.size();
        toJudge.push_back(held[i]);
    }
    const std::vector<OnDisk> states = JudgeAllOnDisk(toJudge, rules.readChecksums);
    std::vector<FileAction> actions;
    actions.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const OnDisk onDisk = judgedAs[i] == kNotJudged ? OnDisk::Unknown : states[judgedAs[i]];
        actions.push_back(DecideJudged(held[i], onDisk, *files[i].path, files[i].size, *files[i].checksum));
    }
    return actions;
}

std::vector<FileAction> DecideFiles(const InstallRecord& record, const std::vector<ListEntry>& entries,
                                    const PlanRules& rules) {
    std::vector<ListedFile> files;
    files.reserve(entries.size());
    for (const ListEntry& entry : entries)
        files.push_back({&entry.paths.destFile, entry.sizeIsNumber ? entry.size : -1, &entry.checksum});
    std::vector<FileAction> actions = DecideEach(record, files, rules);
    std::set<std::string> copiedTo;  // the places an earlier entry copies to
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string key = entries[i].paths.destFile.Key();
        if (copiedTo.count(key)) actions[i] = FileAction::Replace;
        if (IsCopied(actions[i])) copiedTo.insert(key);
    }
    return actions;
}

Path SavedPathFor(const Path& path) {
    // A folder that answers every name as taken gets none rather than an endless search.
    for (int n = 1; n < 100000; ++n) {
        const std::optional<Path> saved = path.Parent().Join(SavedName(path.Name(), n));
        if (!saved || !fs::Occupied(*saved)) return saved.value_or(Path());
    }
    return {};
}

std::vector<const RecordedFile*> ObsoleteFiles(const InstallRecord& record, const std::string& product,
                                               const std::set<std::string>& listed) {
    std::vector<const RecordedFile*> obsolete;
    for (const RecordedFile& file : record.files)
        if (!file.archive && EqualsNoCase(file.product, product) && !listed.count(file.path.Key()))
            obsolete.push_back(&file);
    return obsolete;
}

std::string PlanWord(FileAction action, const Path& path) {
    switch (action) {
        case FileAction::New: return "new";
        case FileAction::Replace: return "replaced";
        case FileAction::Foreign: return "replaced (not written by this installer)";
        case FileAction::Unchanged: return "unchanged";
        case FileAction::Keep: return "kept (changed since the install)";
        case FileAction::SaveAside: return "saved as " + std::string(SavedPathFor(path).Name());
    }
    return {};
}

}  // namespace qv

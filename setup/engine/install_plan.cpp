#include "setup/engine/install_plan.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "setup/config/db_codes.h"
#include "setup/config/profile_edit.h"
#include "setup/engine/archive_launcher.h"
#include "setup/engine/checksum.h"
#include "setup/engine/two_threads.h"
#include "setup/session/disk_utils.h"
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

namespace {

// An entry as DecideEach takes it, where its file goes (`place`).
ListedFile Listed(const ListEntry& entry, const Path& place) {
    return {&place, entry.sizeIsNumber ? entry.size : -1, &entry.checksum};
}

// Every entry of the copy passes, in install order, as DecideEach takes them.
std::vector<ListedFile> CopiedEntries(const std::vector<ProductPass>& passes) {
    std::vector<ListedFile> files;
    for (const ProductPass& pass : passes) {
        if (pass.step.kind != ProductStep::Kind::Copy) continue;
        for (const ListEntry& entry : pass.list.entries) files.push_back(Listed(entry, entry.paths.destFile));
    }
    return files;
}

// What an earlier entry of the install copies to a place.
struct CopiedTo {
    size_t pass;
    int64_t size;
    const std::string* checksum;
};

// The decisions of each copy pass, from the judgement of the record's files (`judged`, in
// the order of CopiedEntries) and what earlier entries copy.
void DecideInTurn(std::vector<ProductPass>& passes, const std::vector<FileAction>& judged) {
    std::map<std::string, CopiedTo> copied;  // by key: the last entry so far that copies there
    size_t at = 0;
    for (size_t p = 0; p < passes.size(); ++p) {
        if (passes[p].step.kind != ProductStep::Kind::Copy) continue;
        for (const ListEntry& entry : passes[p].list.entries) {
            FileAction action = judged[at++];
            const int64_t size = entry.sizeIsNumber ? entry.size : -1;
            const auto earlier = copied.find(entry.paths.destFile.Key());
            if (earlier != copied.end()) {
                const CopiedTo& before = earlier->second;
                const bool same = before.pass != p && size >= 0 && size == before.size && !entry.checksum.empty() &&
                                  entry.checksum == *before.checksum;
                action = same ? FileAction::Unchanged : FileAction::Replace;
                if (before.pass != p) passes[p].afterEarlier.push_back(passes[p].actions.size());
            }
            if (IsCopied(action)) copied[entry.paths.destFile.Key()] = {p, size, &entry.checksum};
            passes[p].actions.push_back(action);
        }
    }
}

// Where the archive program of an expansion pass puts each entry.
std::vector<Path> ArchivePlaces(const Session& session, const ProductPass& pass) {
    const std::string& code = session.ListedProducts[static_cast<size_t>(pass.list.product)].ProductCode;
    std::vector<Path> places;
    for (const ListEntry& entry : pass.list.entries)
        places.push_back(BuildArchiveCommand(pass.list.productDir, pass.list.destRoot, code, entry.spec).shownPath);
    return places;
}

// What the archive programs of the expansion passes find at their entries' places.
void DecideArchivePlaces(const Session& session, const InstallRecord& record, std::vector<ProductPass>& passes) {
    for (ProductPass& pass : passes) {
        if (pass.step.kind != ProductStep::Kind::Expand) continue;
        pass.archivePlaces = ArchivePlaces(session, pass);
        std::vector<ListedFile> files;
        for (size_t i = 0; i < pass.archivePlaces.size(); ++i)
            files.push_back(Listed(pass.list.entries[i], pass.archivePlaces[i]));
        pass.actions = DecideEach(record, files, PlanRulesOf(session));
    }
}

// The keys of every place a pass of the install puts a file: a copy's destination, or where
// an archive program puts its entry.
std::set<std::string> PlacesWritten(const std::vector<ProductPass>& passes) {
    std::set<std::string> places;
    for (const ProductPass& pass : passes) {
        for (const ListEntry& entry : pass.list.entries) places.insert(entry.paths.destFile.Key());
        for (const Path& place : pass.archivePlaces) places.insert(place.Key());
    }
    return places;
}

}  // namespace

void DecidePasses(const Session& session, const InstallRecord& record, std::vector<ProductPass>& passes) {
    for (ProductPass& pass : passes) {
        pass.actions.clear();
        pass.afterEarlier.clear();
    }
    DecideInTurn(passes, DecideEach(record, CopiedEntries(passes), PlanRulesOf(session)));
    DecideArchivePlaces(session, record, passes);
    const std::set<std::string> written = PlacesWritten(passes);
    for (ProductPass& pass : passes) {
        pass.obsolete.clear();
        if (pass.step.kind != ProductStep::Kind::Copy) continue;
        const std::string& code = session.ListedProducts[static_cast<size_t>(pass.list.product)].ProductCode;
        for (const RecordedFile& file : record.files)
            if (!file.archive && EqualsNoCase(file.product, code) && !written.count(file.path.Key()))
                pass.obsolete.push_back(file);
    }
}

std::vector<FileAction> ActionsNow(const Session& session, const InstallRecord& record, const ProductPass& pass) {
    std::vector<FileAction> actions = pass.actions;
    if (pass.afterEarlier.empty()) return actions;
    std::vector<ListedFile> files;
    for (const size_t i : pass.afterEarlier)
        files.push_back(Listed(pass.list.entries[i], pass.list.entries[i].paths.destFile));
    const std::vector<FileAction> now = DecideEach(record, files, PlanRulesOf(session));
    for (size_t k = 0; k < now.size(); ++k) actions[pass.afterEarlier[k]] = now[k];
    std::set<std::string> copied;  // an entry whose place an earlier entry of the list copies to is replaced
    for (size_t i = 0; i < actions.size(); ++i) {
        const std::string key = pass.list.entries[i].paths.destFile.Key();
        if (copied.count(key)) actions[i] = FileAction::Replace;
        if (IsCopied(actions[i])) copied.insert(key);
    }
    return actions;
}

InstallPlan PlanInstall(const Session& session, const InstallRecord& record) {
    InstallPlan plan = ReadInstallLists(session);
    DecidePasses(session, record, plan.passes);
    plan.obsoleteDbCodes = ObsoleteDbCodes(session, record);
    return plan;
}

std::vector<RecordedDbCode> ObsoleteDbCodes(const Session& session, const InstallRecord& record) {
    std::vector<RecordedDbCode> obsolete;
    const int count = std::clamp<int>(session.ProductCount, 0, kMaxProducts);
    for (const RecordedDbCode& code : record.dbCodes)
        for (int i = 1; i <= count; ++i) {
            const ProductRec& p = session.ListedProducts[static_cast<size_t>(i)];
            if (!EqualsNoCase(p.ProductCode, code.key)) continue;
            if (!HasDbCodes(p)) obsolete.push_back(code);
            break;
        }
    return obsolete;
}

OnDisk DbCodeOnDisk(const RecordedDbCode& code) {
    const std::optional<std::string> found = ReadLegacyProfileString("dbcodes", code.key, code.file);
    return !found ? OnDisk::Nothing : *found == code.value ? OnDisk::AsWritten : OnDisk::Changed;
}

InstallPlan ReadInstallLists(const Session& session) {
    InstallPlan plan;
    plan.outline = OutlineInstall(session);
    const Path destRoot = InstallDirPath(session);
    for (const ProductStep& step : plan.outline.steps) {
        if (step.kind == ProductStep::Kind::DbCodes) continue;
        const ProductRec& product = session.ListedProducts[static_cast<size_t>(step.product)];
        plan.passes.push_back({step, ReadProductList(session, step.product, product.ProductDir, destRoot), {}, {}, {}, {}});
    }
    return plan;
}

Path SavedPathFor(const Path& path) {
    // A folder that answers every name as taken gets none rather than an endless search.
    for (int n = 1; n < 100000; ++n) {
        const std::optional<Path> saved = path.Parent().Join(SavedName(path.Name(), n));
        if (!saved || !fs::Occupied(*saved)) return saved.value_or(Path());
    }
    return {};
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

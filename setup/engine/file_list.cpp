#include "setup/engine/file_list.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>

#include "setup/engine/archive_launcher.h"
#include "setup/engine/file_copy.h"
#include "setup/engine/flush_behind.h"
#include "setup/engine/install_plan.h"
#include "setup/engine/open_files.h"
#include "setup/engine/progress.h"
#include "setup/engine/read_ahead.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_encoding.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kPassTitle = "InstallDirectory";

bool IsComment(const std::string& line) { return !line.empty() && line[0] == '#'; }

// A line a pass works on: not a comment, not blank, and selected.
bool IsWorkedOn(const Session& session, const ProductRec& product, const std::string& line) {
    return !IsComment(line) && !Trim(line).empty() && IsLineSelected(session, product, line);
}

// A component that names no file of its own but "here" or "up" (Windows drops trailing
// dots and blanks, so "..." and ". ." count as well).
bool IsDotsOnly(const std::string& component) {
    if (component.empty()) return false;
    for (char c : component)
        if (c != '.' && c != ' ') return false;
    return true;
}

// The size field as a whole number of bytes; false when it is not a number.
bool ParseSize(const std::string& text, int64_t& size) {
    double value = 0;
    if (!ParseNumber(text, value) || !std::isfinite(value)) return false;
    const double rounded = RoundHalfEven(value);
    size = rounded > 9e18 ? INT64_MAX : rounded < -9e18 ? INT64_MIN : static_cast<int64_t>(rounded);
    return true;
}

// The paths of an entry whose spec, and its destination below destRoot, are names the
// pass takes: nothing that leaves the install directory, names a device or breaks a
// command line. False when they are not.
bool TakeSafePaths(const ProductRec& product, const std::string& productDir, const Path& destRoot,
                   const std::string& spec, EntryPaths& paths) {
    std::string why;
    return IsSafeFileSpec(spec) && MakeEntryPaths(product, productDir, destRoot, spec, paths, why) &&
           IsSafeFileSpec(std::string(paths.destFile.RelativeTo(destRoot)));
}

// The entry's path that is too long for the file calls, or null.
const std::string* TooLongPath(const EntryPaths& paths) {
    if (paths.sourceFile.size() > kMaxPathLength) return &paths.sourceFile;
    return paths.destFile.str().size() > kMaxPathLength ? &paths.destFile.str() : nullptr;
}

// How a pass tells the user that its list cannot be opened or read.
enum class ListWords {
    CopyPass,       // "Error : <n>", the description, "Reading : <list>", "Line <n>"
    ExpansionPass,  // "There are too many users trying to install. ..."
};

// What a pass did with one entry, and where the walk goes on.
struct Step {
    enum Kind {
        Next,        // the next entry
        AfterRetry,  // the next entry, once every open file is closed (a copy went through its dialog)
        End,         // the pass ends with `outcome`
    } kind = Next;
    RunOutcome outcome;
};

// Reads a product's list: the lines a pass works on, each spec and its paths checked, up to
// the line that ends the reading.
class ListReading {
public:
    ListReading(const Session& session, const ProductRec& product, ProductList& list, const Path& destRoot)
        : session_(session), product_(product), list_(list), destRoot_(destRoot) {}

    void Read() {
        RunError error;
        if (fs::KindOf(list_.path, error) == fs::EntryKind::None) return End(ListEnd::Kind::Missing, error);
        LineReader file;
        if (!file.Open(list_.path, error)) return End(ListEnd::Kind::Unreadable, error);
        std::string line;
        while (NextLine(file, line, error)) {
            ListEntry entry;
            if (!TakeEntry(line, entry)) return;
            list_.entries.push_back(std::move(entry));
        }
        if (error.number != 0) End(ListEnd::Kind::Unreadable, error);
    }

private:
    void End(ListEnd::Kind kind, const RunError& error = {}, const std::string& text = {}) {
        list_.end = {kind, error, lineNumber_, text};
    }

    // Reads up to the next line that the pass works on: not a comment, not blank and
    // selected. False at the end of the list or on a read error (error.number set).
    bool NextLine(LineReader& file, std::string& line, RunError& error) {
        for (;;) {
            if (!file.ReadLine(line, error)) return false;
            line = FromCdText(line);
            ++lineNumber_;
            if (IsWorkedOn(session_, product_, line)) return true;
        }
    }

    // The entry of a line. A spec that would leave the install directory or break a
    // command line, or a path the file calls cannot take, ends the reading before anything
    // of the entry is done: false.
    bool TakeEntry(const std::string& line, ListEntry& entry) {
        entry.spec = ReadListField(line, 1);
        entry.sizeIsNumber = ParseSize(ReadListField(line, 3), entry.size);
        if (!entry.sizeIsNumber) entry.size = 0;
        entry.checksum = ReadListField(line, 4);
        entry.line = lineNumber_;
        if (!TakeSafePaths(product_, list_.productDir, destRoot_, entry.spec, entry.paths)) {
            End(ListEnd::Kind::InvalidName, {}, entry.spec);
            return false;
        }
        if (const std::string* tooLong = TooLongPath(entry.paths)) {
            End(ListEnd::Kind::PathTooLong, err::PathNotFound(), *tooLong);
            return false;
        }
        return true;
    }

    const Session& session_;
    const ProductRec& product_;
    ProductList& list_;
    const Path& destRoot_;
    int lineNumber_ = 0;  // the line read last
};

// One walk over a product's list, read before, as every pass makes it. A line that ended
// the reading (a spec the pass refuses, a read that fails) is reported when the walk gets
// there, after the entries before it, as a pass that read line by line would. The walk
// also makes the folders of the entries and reports the list-level failures.
class ListWalker {
public:
    ListWalker(const Session& session, UserPort& port, const ProductList& list, ListWords words)
        : session_(session), port_(port), list_(list),
          product_(session.ListedProducts[static_cast<size_t>(list.product)]), words_(words) {}

    // Visits every entry read, then reports the line that ended the reading, if one did.
    RunOutcome Walk(const std::function<Step(const ListEntry&)>& visit) {
        CloseAllOpenFiles();
        for (const ListEntry& entry : list_.entries) {
            const Step step = visit(entry);
            if (step.kind == Step::End) return step.outcome;
            if (step.kind == Step::AfterRetry) {
                knownDir_ = {};  // what failed may have been the directory itself
                CloseAllOpenFiles();
            }
        }
        if (list_.end.kind != ListEnd::Kind::Whole) return ReportEnd();
        CloseAllOpenFiles();
        return {};
    }

    // Creates the entry's directory when nothing of that name exists, each folder listed in
    // the journal before it is made. A list names the files of one directory one after
    // another: the last directory found or made is not looked up again. False, with the
    // failure reported, when it cannot be made.
    bool MakeDestDir(InstallJournal& journal, const ListEntry& entry, const std::string& sourceShown,
                     RunOutcome& outcome) {
        const Path& dir = entry.paths.destDir;
        if (dir == knownDir_) return true;
        RunError error;
        if (fs::Exists(dir) || journal.MakeFolders(dir, error)) {
            knownDir_ = dir;
            return true;
        }
        const std::string text = Res(session_, Str::DirectoryError) + " : " + std::to_string(error.number) + "\r" +
                                 list_.productDir + "\r" + error.description + "\r" + "sourcefilepath : " + sourceShown +
                                 "\n" + "destfilepath : " + entry.paths.destFile + "\r" + "Line: " +
                                 std::to_string(entry.line);
        outcome = Fail(text, kPassTitle, Icon::Exclamation, error);
        return false;
    }

    // The expansion pass's report of any failure other than a directory error.
    RunOutcome FailTooManyUsers(const RunError& error = {}) {
        return Fail("There are too many users trying to install.  Please try again later.", kAppTitle, Icon::None,
                    error);
    }

private:
    // The pass's report of the line that ended the reading of its list.
    RunOutcome ReportEnd() {
        const ListEnd& end = list_.end;
        const std::string at = product_.ProductName + "\n" + list_.path + "\n";
        const std::string lineShown = "\nLine " + std::to_string(end.line);
        switch (end.kind) {
            case ListEnd::Kind::Missing:
                return Fail(at + Res(session_, Str::FileNotFound), kPassTitle, Icon::Exclamation, end.error);
            case ListEnd::Kind::InvalidName:
                return Fail(at + "Invalid File Name : " + end.text + lineShown, kPassTitle, Icon::Exclamation);
            case ListEnd::Kind::PathTooLong:
                return Fail(at + "Path Too Long : " + end.text + lineShown, kPassTitle, Icon::Exclamation, end.error);
            case ListEnd::Kind::Unreadable:
            case ListEnd::Kind::Whole: break;
        }
        if (words_ == ListWords::ExpansionPass) return FailTooManyUsers(end.error);
        const std::string text = Res(session_, Str::Error) + " : " + std::to_string(end.error.number) + "\r" +
                                 end.error.description + "\r" + Res(session_, Str::Reading) + " : " + list_.path +
                                 "\r" + "Line " + std::to_string(end.line);
        return Fail(text, kAppTitle, Icon::Exclamation, end.error);
    }

    // Ends the pass on a failure: every open file is closed and the message tells the user.
    RunOutcome Fail(const std::string& text, const std::string& title, Icon icon, const RunError& cause = {}) {
        CloseAllOpenFiles();
        Message box;
        box.text = text;
        box.title = title;
        box.icon = icon;
        box.cause = cause;
        port_.ShowMessage(box);
        return FailedWith(cause);
    }

    const Session& session_;
    UserPort& port_;
    const ProductList& list_;
    const ProductRec& product_;
    const ListWords words_;
    Path knownDir_;
};

Step EndWith(const RunOutcome& outcome) { return {Step::End, outcome}; }

// An entry whose file stays as it is: its bytes count as done. The record names the product
// of this entry as its writer, as a copy would: the last product of the install to list it.
void PassInPlace(Session& session, UserPort& port, InstallJournal& journal, const ProductRec& product,
                 const ListEntry& entry, FileAction action) {
    port.LogStep(action == FileAction::Unchanged ? "Unchanged: " + entry.paths.destFile
                                                 : "Kept: " + entry.paths.destFile + " (changed since the install)");
    CountAsCopied(session, port, entry.size);
    const RecordedFile* held = journal.FindFile(entry.paths.destFile);
    if (!held || (EqualsNoCase(held->product, product.ProductCode) && held->spec == entry.spec)) return;
    RecordedFile adopted = *held;
    adopted.product = product.ProductCode;
    adopted.spec = entry.spec;
    journal.Wrote(adopted);
}

// Before the release's file is copied to its place, the file the user changed there is kept
// beside it under a saved name. False when it cannot be: the user's file then stays, and
// the release's is not installed.
bool SaveUsersFile(UserPort& port, InstallJournal& journal, const Path& path) {
    const Path saved = SavedPathFor(path);
    RunError error;
    if (!saved.empty() && journal.SaveAside(path, saved, error)) {
        port.LogStep("Saved: " + path + " as " + std::string(saved.Name()) + " (changed since the install)");
        return true;
    }
    if (saved.empty()) error = err::PathFileAccess();
    port.LogStep("Not installed: " + path + " (changed since the install, and it cannot be kept beside the new file: " +
                 error.description + ")" + SystemCause(error));
    return false;
}

// After a product's pass: the files it wrote before that no list of the install names any
// more go where they are still as written, and the folders an install made for them go with
// the last. One changed since is kept, and the record forgets it.
void RemoveObsolete(UserPort& port, InstallJournal& journal, const std::vector<RecordedFile>& obsolete,
                    bool readChecksums) {
    std::set<std::string> madeFolders;
    for (const Path& folder : journal.Record().folders) madeFolders.insert(folder.Key());
    for (const RecordedFile& file : obsolete) {
        if (journal.Touched(file.path)) continue;
        const OnDisk state = JudgeOnDisk(file, readChecksums);
        RunError error;
        if (state == OnDisk::Changed || state == OnDisk::Nothing) {
            journal.Forget(file.path);
            if (state == OnDisk::Changed) port.LogStep("Kept: " + file.path + " (changed since the install; no longer listed)");
        } else if (state == OnDisk::Unknown || !journal.Remove(file.path, error)) {
            port.LogStep("Not removed: " + file.path + " (no longer listed; " +
                         (state == OnDisk::Unknown ? std::string("it cannot be checked") : error.description) + ")" +
                         SystemCause(error));
        } else {
            port.LogStep("Removed: " + file.path + " (no longer listed)");
            for (Path dir = file.path.Parent(); madeFolders.count(dir.Key()) && !dir.IsRoot(); dir = dir.Parent())
                journal.RemoveFolderIfEmptied(dir);
        }
    }
}

// For each entry of a list, whether it is the last that lands on its place: after its copy,
// nothing in the pass touches that place again.
std::vector<bool> LastAtTheirPlaces(const std::vector<ListEntry>& entries) {
    std::map<std::string, size_t> lastAt;  // by key: the last entry that lands there
    for (size_t i = 0; i < entries.size(); ++i) lastAt[entries[i].paths.destFile.Key()] = i;
    std::vector<bool> last(entries.size(), false);
    for (const auto& place : lastAt) last[place.second] = true;
    return last;
}

// The small files of a list, read ahead of their copies in list order; see PlanReadAhead.
struct ReadAheadPlan {
    std::vector<ReadAheadFile> files;
    std::vector<size_t> slotOf;  // for each entry, its index in files (kNotAhead: none)
    std::vector<Path> folders;   // the folders made for copies created ahead, each after its parent
    static constexpr size_t kNotAhead = SIZE_MAX;
};

// The small files among a list's entries, to read ahead, and the copies to make ahead for
// them, each listed in the journal first. Where the pass makes a copy's folder itself,
// nothing else can stand there: those folders are made now (each listed in the journal
// before it is), and the copies in them are created ahead. Where the record's file, as
// written, is replaced, it is moved aside ahead and its copy created in its place. Only the
// first entry of the list to land on a place has its copy made ahead. A folder that cannot
// be made is passed over here: the pass itself reports it when it gets there.
ReadAheadPlan PlanReadAhead(InstallJournal& journal, const std::vector<ListEntry>& entries,
                            const std::vector<FileAction>& actions) {
    ReadAheadPlan plan;
    RunError error;
    std::map<std::string, bool> newFolders;  // by key: made now for copies created ahead
    std::set<std::string> places;            // the keys of the destinations listed so far
    std::vector<Path> created, replaced;
    std::vector<size_t> replacedSlots;
    for (size_t i = 0; i < entries.size(); ++i) {
        const EntryPaths& paths = entries[i].paths;
        const bool firstThere = places.insert(paths.destFile.Key()).second;
        plan.slotOf.push_back(ReadAheadPlan::kNotAhead);
        if (!IsCopied(actions[i]) || !IsReadAhead(entries[i].sizeIsNumber, entries[i].size)) continue;
        plan.slotOf.back() = plan.files.size();
        plan.files.push_back({paths.sourceFile, {}, {}});
        if (!firstThere) continue;
        if (actions[i] == FileAction::Replace && !journal.WaitsForRestart(paths.destFile)) {
            replaced.push_back(paths.destFile);
            replacedSlots.push_back(plan.files.size() - 1);
            continue;
        }
        const auto folder = newFolders.emplace(paths.destDir.Key(), false);
        if (folder.second) {
            const size_t before = plan.folders.size();
            folder.first->second = journal.MakeFolders(paths.destDir, error, &plan.folders) && plan.folders.size() > before;
        }
        if (!folder.first->second) continue;
        plan.files.back().createCopy = paths.destFile;
        created.push_back(paths.destFile);
    }
    if (!created.empty() && !journal.ListCreates(created, error))
        for (ReadAheadFile& file : plan.files) file.createCopy = {};
    std::vector<Path> backups;
    if (replaced.empty() || !journal.ListMovesAside(replaced, backups, error)) return plan;
    for (size_t i = 0; i < replaced.size(); ++i) {
        if (backups[i].empty()) continue;
        plan.files[replacedSlots[i]].createCopy = replaced[i];
        plan.files[replacedSlots[i]].moveEarlierTo = backups[i];
    }
    return plan;
}

// How the copies made ahead are made and undone: as the journal listed them.
CopiesAhead CopiesAheadThrough(InstallJournal& journal) {
    CopiesAhead copies;
    copies.moveAside = [&places = journal.Places()](const Path& from, const Path& to) {
        RunError refused;
        return MoveAsideWithin(places, from, to, refused);
    };
    copies.discard = [&journal](const Path& copy, const Path& earlier) {
        if (earlier.empty()) journal.Drop(copy);
        else journal.BringBack(copy, earlier);
    };
    return copies;
}

// After the pass: the folders made for copies created ahead that no entry the pass got to
// needed, and that hold nothing, go.
void RemoveFoldersNotReached(InstallJournal& journal, const ReadAheadPlan& plan,
                             const std::set<std::string>& reachedFolders) {
    for (auto folder = plan.folders.rbegin(); folder != plan.folders.rend(); ++folder)
        if (!reachedFolders.count(folder->Key())) journal.RemoveFolderIfEmpty(*folder);
}

}  // namespace

std::string ReadListField(const std::string& line, int n) {
    if (n < 1) return {};
    size_t begin = 0;
    for (int field = 1; field < n; ++field) {
        const size_t comma = line.find(',', begin);
        if (comma == std::string::npos) return {};
        begin = comma + 1;
    }
    const size_t end = line.find(',', begin);
    return Trim(std::string_view(line).substr(begin, end == std::string::npos ? std::string::npos : end - begin));
}

bool IsLineSelected(const Session& session, const ProductRec& product, const std::string& line) {
    if (product.BaseDelta != 0) {
        const std::string part = line.substr(0, 3);
        if (!EqualsNoCase(part, "BSE") && !EqualsNoCase(part, session.DbPlatformCode)) return false;
    }
    if (session.DbPlatformCode == "MSS" || session.DbPlatformCode == "DB4") {
        const std::string spec = ReadListField(line, 1);
        if (ContainsNoCase(spec, "\\api\\UNIX\\")) return false;
        if (ContainsNoCase(spec, "\\bin\\server\\") && !ContainsNoCase(spec, "\\bin\\server\\WINX86\\")) return false;
    }
    return true;
}

bool IsSafeFileSpec(const std::string& spec) {
    if (spec.empty() || spec[0] == '\\') return false;
    for (unsigned char c : spec) {
        if (c < 0x20 || c == 0x7F) return false;
        switch (c) {
            case '"': case '<': case '>': case '|': case '?': case '*': case '/': case ':': return false;
            default: break;
        }
    }
    size_t begin = 0;
    for (;;) {
        const size_t slash = spec.find('\\', begin);
        if (IsDotsOnly(spec.substr(begin, slash == std::string::npos ? std::string::npos : slash - begin))) return false;
        if (slash == std::string::npos) return true;
        begin = slash + 1;
    }
}

bool MakeEntryPaths(const ProductRec& product, const std::string& productDir, const Path& destRoot,
                    const std::string& spec, EntryPaths& paths, std::string& why) {
    paths.sourceFile = productDir + spec;
    // With BaseDelta the spec's first three characters and its "\" name the part.
    const std::string below = product.BaseDelta == 0 ? spec : spec.size() > 4 ? spec.substr(4) : std::string();
    const std::optional<Path> dest = destRoot.Join(below, why);
    if (!dest) return false;
    paths.destFile = *dest;
    paths.destDir = dest->Parent();
    return true;
}

ProductList ReadProductList(const Session& session, int product, const std::string& productDir, const Path& destRoot) {
    ProductList list;
    list.product = product;
    list.productDir = productDir;
    list.path = productDir + kFileListName;
    list.destRoot = destRoot;
    if (product < 1 || product > kMaxProducts) {
        list.end.kind = ListEnd::Kind::Missing;
        return list;
    }
    ListReading(session, session.ListedProducts[static_cast<size_t>(product)], list, destRoot).Read();
    return list;
}

RunOutcome WalkProductList(const Session& session, UserPort& port, const ProductList& list,
                           const std::function<void(const ListEntry&)>& visit) {
    ListWalker walker(session, port, list, ListWords::CopyPass);
    return walker.Walk([&](const ListEntry& entry) {
        visit(entry);
        return Step{};
    });
}

RunOutcome InstallDirectory(Session& session, UserPort& port, InstallJournal& journal, const ProductPass& pass) {
    const ProductRec& product = session.ListedProducts[static_cast<size_t>(pass.list.product)];
    const std::vector<ListEntry>& entries = pass.list.entries;
    const std::vector<FileAction> actions = ActionsNow(session, journal.Record(), pass);
    const Checking checking = InstallChecking(session);
    ListWalker walker(session, port, pass.list, ListWords::CopyPass);
    const std::vector<bool> lastThere = LastAtTheirPlaces(entries);
    const ReadAheadPlan plan = PlanReadAhead(journal, entries, actions);
    std::set<std::string> reachedFolders;  // the folders of the entries reached, and their parents
    FlushBehind flushBehind;
    SourceReadAhead readAhead(plan.files, CopiesAheadThrough(journal));
    size_t index = 0;
    RunOutcome outcome = walker.Walk([&](const ListEntry& entry) {
        const size_t i = index++;
        ShowFileName(session, port, entry.paths.destFile);
        for (Path dir = entry.paths.destDir; reachedFolders.insert(dir.Key()).second && !dir.IsRoot();)
            dir = dir.Parent();
        if (!IsCopied(actions[i]) ||
            (actions[i] == FileAction::SaveAside && !SaveUsersFile(port, journal, entry.paths.destFile))) {
            if (IsCopied(actions[i])) CountAsCopied(session, port, entry.size);
            else PassInPlace(session, port, journal, product, entry, actions[i]);
            return Step{};
        }
        Step step;
        if (!walker.MakeDestDir(journal, entry, entry.paths.sourceFile, step.outcome))
            return Step{Step::End, step.outcome};
        const size_t slot = plan.slotOf[i];
        const std::unique_ptr<SourceBytes> ahead = slot == ReadAheadPlan::kNotAhead ? nullptr : readAhead.Take(slot);
        const CopySource source{entry.paths.sourceFile, product.ProductCode, entry.spec, ahead.get(),
                                lastThere[i] ? &flushBehind : nullptr};
        const CopyOutcome copy =
            VerifiedCopy(session, port, journal, source, entry.paths.destFile, entry.checksum, entry.size, checking);
        if (copy.result == CopyResult::Cancelled) return EndWith(Cancelled());
        if (copy.result == CopyResult::Aborted) return EndWith(AbortedAt(entry.paths.destFile));
        // A copy that went through its error dialog closed every open file: the pass goes
        // on after this line.
        return Step{copy.retried ? Step::AfterRetry : Step::Next, {}};
    });
    readAhead.End();
    SettleFlushes(session, port, flushBehind, outcome);
    RemoveFoldersNotReached(journal, plan, reachedFolders);
    if (!outcome.EndsInstall()) RemoveObsolete(port, journal, pass.obsolete, checking == Checking::On);
    return outcome;
}

RunOutcome ExpandDirectory(Session& session, UserPort& port, InstallJournal& journal, const ProductList& list,
                            const Path& destRoot) {
    const ProductRec& product = session.ListedProducts[static_cast<size_t>(list.product)];
    ListWalker walker(session, port, list, ListWords::ExpansionPass);
    return walker.Walk([&](const ListEntry& entry) {
        ShowFileName(session, port, entry.paths.destFile);
        if (!entry.sizeIsNumber) return Step{Step::End, walker.FailTooManyUsers()};
        Step step;
        if (!walker.MakeDestDir(journal, entry, entry.spec, step.outcome)) return Step{Step::End, step.outcome};
        if (!RunArchiveProgram(session, port, journal, product, destRoot, entry))
            return Step{Step::End, walker.FailTooManyUsers()};
        if (session.Cancel.Requested()) return EndWith(Cancelled());
        return Step{};
    });
}

RunOutcome InstallDirectory(Session& session, UserPort& port, InstallJournal& journal, const std::string& productDir,
                             const Path& destRoot) {
    if (session.CurrentProduct < 1 || session.CurrentProduct > kMaxProducts) return FailedWith({});
    std::vector<ProductPass> passes(1);
    passes[0].step = {ProductStep::Kind::Copy, session.CurrentProduct};
    passes[0].list = ReadProductList(session, session.CurrentProduct, productDir, destRoot);
    DecidePasses(session, journal.Record(), passes);
    return InstallDirectory(session, port, journal, passes[0]);
}

RunOutcome ExpandDirectory(Session& session, UserPort& port, InstallJournal& journal, const std::string& productDir,
                            const Path& destRoot) {
    if (session.CurrentProduct < 1 || session.CurrentProduct > kMaxProducts) return FailedWith({});
    const ProductList list = ReadProductList(session, session.CurrentProduct, productDir, destRoot);
    return ExpandDirectory(session, port, journal, list, destRoot);
}

}  // namespace qv

#include "setup/engine/install_record.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "qvcrc/crc32.h"
#include "setup/config/transfer_config.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kRecordMagic = "QVREC";
constexpr const char* kJournalMagic = "QVJNL";
constexpr int kJournalVersion = 1;
constexpr const char* kSeal = "seal";

// ---- Fields ------------------------------------------------------------------------

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string Line(const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) line += (i ? "\t" : "") + EscapeField(fields[i]);
    return line + "\r\n";
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t begin = 0;
    for (;;) {
        const size_t tab = line.find('\t', begin);
        fields.push_back(line.substr(begin, tab == std::string::npos ? std::string::npos : tab - begin));
        if (tab == std::string::npos) return fields;
        begin = tab + 1;
    }
}

// Digits only, up to 18 of them: the value fits 63 bits.
bool ParseWhole(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

bool ParseCount(const std::string& text, int64_t& value) { return text.size() <= 15 && ParseWhole(text, value); }

// A file time as the record writes it: a whole number that fits 63 bits, or empty for one
// not known (0).
bool ParseTime(const std::string& text, int64_t& value) {
    value = 0;
    return text.empty() || ParseWhole(text, value);
}

bool ParseFlag(const std::string& text, bool& value) {
    if (text != "0" && text != "1") return false;
    value = text == "1";
    return true;
}

// A checksum as the file lists write it (optional minus and up to ten digits), or empty.
bool IsChecksumText(const std::string& text) {
    if (text.empty()) return true;
    const size_t digits = text[0] == '-' ? 1 : 0;
    if (text.size() == digits || text.size() - digits > 10) return false;
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(digits), text.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// A SHA-256 as the journal writes it: 64 hex digits in small letters.
bool IsDigestText(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

uint32_t RecordChecksum(const std::string& text, size_t length) {
    return ~qvcrc::Update(0xFFFFFFFFu, text.data(), length);
}

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// ---- Merging -------------------------------------------------------------------------

// The items of one kind, looked up by their key: an item with the key of an earlier one
// takes its place.
template <typename T>
class Merged {
public:
    using KeyOf = std::string (*)(const T&);
    Merged(std::vector<T>& items, KeyOf keyOf) : items_(items), keyOf_(keyOf) {
        for (size_t i = 0; i < items_.size(); ++i) index_.emplace(keyOf_(items_[i]), i);
    }
    void Put(T item) {
        const auto [at, added] = index_.emplace(keyOf_(item), items_.size());
        if (added) items_.push_back(std::move(item));
        else items_[at->second] = std::move(item);
    }
    // The item goes; the places of the others stay until Compact.
    void Drop(const std::string& key) {
        const auto at = index_.find(key);
        if (at == index_.end()) return;
        dropped_.insert(at->second);
        index_.erase(at);
    }
    void Compact() {
        if (dropped_.empty()) return;
        std::vector<T> kept;
        for (size_t i = 0; i < items_.size(); ++i)
            if (!dropped_.count(i)) kept.push_back(std::move(items_[i]));
        items_ = std::move(kept);
    }

private:
    std::vector<T>& items_;
    const KeyOf keyOf_;
    std::map<std::string, size_t> index_;
    std::set<size_t> dropped_;
};

std::string FileKey(const RecordedFile& f) { return f.path.Key(); }
std::string EntryKey(const RecordedEntry& e) { return e.file.Key() + "\t" + UpperAscii(e.section) + "\t" + UpperAscii(e.key); }
std::string DbCodeKey(const RecordedDbCode& c) { return c.file.Key() + "\t" + UpperAscii(c.key); }
std::string OutsideKey(const RecordedOutside& o) { return o.path.Key(); }
std::string ShortcutKey(const RecordedShortcut& s) { return s.link.Key(); }

}  // namespace

// ---- The record ----------------------------------------------------------------------

Path RecordPath(const Path& installDir) { return *installDir.Join(std::string("setup\\") + kRecordName); }

const RecordedFile* InstallRecord::FindFile(const Path& path) const {
    for (const RecordedFile& f : files)
        if (f.path == path) return &f;
    return nullptr;
}

bool InstallRecord::HasProduct(const std::string& code) const {
    return std::any_of(products.begin(), products.end(), [&](const RecordedProduct& p) { return EqualsNoCase(p.code, code); });
}

void Confinement::AddGroup(const std::string& title) {
    for (const Path& programs : programsFolders) {
        const std::optional<Path> folder = title.empty() ? programs : programs.Join(title);
        if (folder && folder->Parent() == (title.empty() ? programs.Parent() : programs) &&
            std::find(groupFolders.begin(), groupFolders.end(), *folder) == groupFolders.end())
            groupFolders.push_back(*folder);
    }
}

std::optional<Path> Confinement::RootFor(const Path& given) const {
    if (given.empty()) return std::nullopt;
    // A short name stands for an entry of the folder it is in, so a path that its text puts
    // within a place is there: only a path that its text puts nowhere is looked at again
    // by its long names. That keeps the lookup, which reads every folder on the way, off
    // the paths of an install's files.
    if (std::optional<Path> root = TextualRootFor(given)) return root;
    if (!longForm) return std::nullopt;
    const Path path = longForm(given);
    return path == given ? std::nullopt : TextualRootFor(path);
}

std::optional<Path> Confinement::TextualRootFor(const Path& path) const {
    if (path.IsWithin(installDir)) return installDir;
    if (!transferConfig.empty() && path == transferConfig) return transferConfig.Parent();
    for (const Path& group : groupFolders) {
        const bool isPrograms = std::find(programsFolders.begin(), programsFolders.end(), group) != programsFolders.end();
        // A group without a title is the Programs folder itself: only its links are the group's.
        if (isPrograms && (path.Parent() != group || !EndsWith(UpperAscii(path.Name()), ".LNK"))) continue;
        if (path.IsWithin(group)) return group;
    }
    return std::nullopt;
}

bool IsBackupName(std::string_view name) {
    return name.size() >= 2 && name[0] == '~' &&
           std::all_of(name.begin() + 1, name.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z'); });
}

std::string SavedName(std::string_view name, int n) {
    return std::string(name) + ".qvsave" + (n > 1 ? std::to_string(n) : std::string());
}

bool IsSavedName(std::string_view name, std::string_view saved) {
    const std::string stem = std::string(name) + ".qvsave";
    if (saved.size() < stem.size() || !EqualsNoCase(saved.substr(0, stem.size()), stem)) return false;
    const std::string_view count = saved.substr(stem.size());
    return count.empty() || (count.size() <= 6 && count[0] != '0' && count != "1" &&
                             std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; }));
}

std::string EscapeField(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        if (c == '%' || c < 0x20 || c == 0x7F) {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool UnescapeField(const std::string& text, std::string& value) {
    value.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c == 0x7F) return false;  // a control character that was not escaped
        if (c != '%') {
            value += static_cast<char>(c);
            continue;
        }
        if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
            return false;
        value += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return true;
}

// ---- Writing -------------------------------------------------------------------------

std::string JournalHeader(const Path& installDir, const std::string& baseDigest) {
    return Line({kJournalMagic, std::to_string(kJournalVersion)}) + Line({"installdir", installDir}) +
           Line({"base", baseDigest.empty() ? "-" : baseDigest});
}

std::string JournalLine(const JournalStep& step) {
    switch (step.kind) {
        case JournalStep::Kind::Folder: return Line({"folder", step.path});
        case JournalStep::Kind::Create: return Line({"create", step.path});
        case JournalStep::Kind::Replace: return Line({"replace", step.path, step.backup});
        case JournalStep::Kind::Remove: return Line({"remove", step.path, step.backup});
        case JournalStep::Kind::Save: return Line({"save", step.path, step.backup});
        case JournalStep::Kind::SaveAs: return Line({"saveas", step.path, step.backup});
        case JournalStep::Kind::AtRestart: return Line({"atrestart", step.path, step.backup});
        case JournalStep::Kind::Register: return Line({"register", step.key, step.existed ? "existed" : ""});
        case JournalStep::Kind::Commit: return Line({"commit", step.digest});
    }
    return {};
}

std::string FileLine(const RecordedFile& f) {
    return Line({"file", f.path, std::to_string(f.size), f.checksum, f.product, f.spec, Flag(f.earlier), Flag(f.edited),
                 Flag(f.archive), f.time > 0 ? std::to_string(f.time) : std::string()});
}
std::string EntryLine(const RecordedEntry& e) { return Line({"entry", e.file, e.section, e.key, e.value}); }
std::string DbCodeLine(const RecordedDbCode& c) { return Line({"dbcode", c.file, c.key, c.value}); }
std::string OutsideLine(const RecordedOutside& o) {
    return Line({"outside", o.path, std::to_string(o.size), o.checksum});
}
std::string GroupLine(const RecordedGroup& g) {
    return Line({"group", g.title, g.folder, Flag(g.common), Flag(g.created)});
}
std::string ShortcutLine(const RecordedShortcut& s) {
    return Line({"shortcut", s.link, s.name, s.target, s.workdir, s.args});
}
std::string GoneLine(const Path& path) { return Line({"gone", path}); }
std::string GoneCodeLine(const RecordedDbCode& c) { return Line({"gonecode", c.file, c.key}); }
std::string EmptiedLine(const Path& folder) { return Line({"emptied", folder}); }
std::string UninstallLine(const RecordedUninstallEntry& u) { return Line({"uninstall", u.root, u.key}); }

std::string RunLines(const InstallRecord& r) {
    std::string text = Line({"installdir", r.installDir});
    text += Line({"source", r.sourceDir});
    text += Line({"language", r.language, std::to_string(r.languageOffset)});
    text += Line({"platform", r.platform});
    text += Line({"type", std::to_string(r.installType)});
    if (r.scope != InstallScope::AsAllowed) text += Line({"scope", r.scope == InstallScope::AllUsers ? "allusers" : "currentuser"});
    for (const auto& [key, value] : r.answers) text += Line({"answer", key, value});
    return text;
}

std::string ProductLine(const RecordedProduct& p) { return Line({"product", p.code, p.name}); }

std::string FormatRecord(const InstallRecord& r) {
    std::string text = Line({kRecordMagic, std::to_string(kRecordVersion)}) + RunLines(r);
    for (const RecordedProduct& p : r.products) text += ProductLine(p);
    for (const Path& folder : r.folders) text += Line({"folder", folder});
    for (const RecordedFile& f : r.files) text += FileLine(f);
    for (const RecordedEntry& e : r.entries) text += EntryLine(e);
    for (const RecordedDbCode& c : r.dbCodes) text += DbCodeLine(c);
    for (const RecordedOutside& o : r.outside) text += OutsideLine(o);
    if (r.group) text += GroupLine(*r.group);
    for (const RecordedShortcut& s : r.shortcuts) text += ShortcutLine(s);
    if (r.uninstallEntry) text += UninstallLine(*r.uninstallEntry);
    return SealRecordText(text);
}

std::string SealRecordText(const std::string& text) { return text + Line({kSeal, Hex8(RecordChecksum(text, text.size()))}); }

// ---- Reading -------------------------------------------------------------------------

namespace {

// Reads a record file, or a journal file, line by line: every path made a Path and
// confined, every item merged into the record as written.
class RecordReader {
public:
    enum class Kind { Record, Journal };

    RecordReader(Kind kind, Confinement& confinement, InstallRecord& written, JournalFile* journal)
        : kind_(kind), confinement_(confinement), written_(written), journal_(journal), files_(written.files, FileKey),
          entries_(written.entries, EntryKey), dbCodes_(written.dbCodes, DbCodeKey), outside_(written.outside, OutsideKey),
          shortcuts_(written.shortcuts, ShortcutKey) {
        for (const Path& folder : written.folders) folderKeys_.insert(folder.Key());
        if (written.group) confinement_.AddGroup(written.group->title);
    }

    bool Read(const std::string& text, std::string& problem) {
        size_t begin = 0;
        while (begin < text.size()) {
            ++lineNumber_;
            const size_t end = text.find('\n', begin);
            // A journal is written a step at a time; a step cut short was never taken.
            if (end == std::string::npos) return kind_ == Kind::Journal && lineNumber_ > 3 ? Finish(problem)
                                                                                       : Refuse("the file is cut short", problem);
            std::string line = text.substr(begin, end - begin);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t start = begin;
            begin = end + 1;
            if (!ReadLine(line, start, text, problem)) return false;
        }
        return Finish(problem);
    }

private:
    bool Refuse(const std::string& why, std::string& problem) const {
        problem = "line " + std::to_string(std::max(lineNumber_, 1)) + ": " + why;
        return false;
    }

    bool Finish(std::string& problem) {
        if (lineNumber_ == 0) return Refuse("the file is empty", problem);
        if (kind_ == Kind::Record && !sealed_) return Refuse("the record is cut short", problem);
        if (kind_ == Kind::Journal && lineNumber_ < 3) return Refuse("the journal is cut short", problem);
        if (written_.installDir.empty()) return Refuse("the record names no install directory", problem);
        files_.Compact();
        dbCodes_.Compact();
        shortcuts_.Compact();
        for (const auto& [line, folder] : folders_) {
            if (confinement_.Allows(folder)) continue;
            problem = "line " + std::to_string(line) + ": \"" + folder.str() + "\" lies outside the install directory";
            return false;
        }
        return true;
    }

    bool ReadLine(const std::string& line, size_t start, const std::string& text, std::string& problem) {
        std::vector<std::string> fields;
        for (const std::string& raw : SplitTabs(line)) {
            fields.emplace_back();
            if (!UnescapeField(raw, fields.back())) return Refuse("a field holds a character it may not", problem);
        }
        if (lineNumber_ == 1) return ReadHeader(fields, problem);
        if (sealed_ || (journal_ && journal_->committed))
            return Refuse("\"" + fields[0] + "\" follows the end of the " + (sealed_ ? "record" : "run"), problem);
        if (kind_ == Kind::Record && fields[0] == kSeal) return ReadSeal(fields, start, text, problem);
        if (kind_ == Kind::Journal && lineNumber_ == 2 && fields[0] != "installdir")
            return Refuse("the journal names no install directory", problem);
        if (kind_ == Kind::Journal && lineNumber_ == 3) return ReadBase(fields, problem);
        std::string why;
        if (!Apply(fields, why)) return Refuse(why, problem);
        return true;
    }

    bool ReadHeader(const std::vector<std::string>& fields, std::string& problem) {
        const char* magic = kind_ == Kind::Record ? kRecordMagic : kJournalMagic;
        const int version = kind_ == Kind::Record ? kRecordVersion : kJournalVersion;
        int64_t given = 0;
        if (fields.size() != 2 || fields[0] != magic || !ParseCount(fields[1], given))
            return Refuse(kind_ == Kind::Record ? "this is not an install record" : "this is not a journal", problem);
        if (given != version)
            return Refuse("the file is of version " + fields[1] + ", this installer reads version " + std::to_string(version),
                          problem);
        return true;
    }

    bool ReadSeal(const std::vector<std::string>& fields, size_t start, const std::string& text, std::string& problem) {
        if (fields.size() != 2 || fields[1] != Hex8(RecordChecksum(text, start)))
            return Refuse("the seal does not match the record", problem);
        sealed_ = true;
        return true;
    }

    bool ReadBase(const std::vector<std::string>& fields, std::string& problem) {
        if (fields.size() != 2 || fields[0] != "base" || (fields[1] != "-" && !IsDigestText(fields[1])))
            return Refuse("the journal names no record it began on", problem);
        journal_->baseDigest = fields[1] == "-" ? std::string() : fields[1];
        return true;
    }

    // The record forgets the shortcuts in a group's folder and the folders made there.
    void ForgetGroup(const Path& folder) {
        for (const RecordedShortcut& s : written_.shortcuts)
            if (s.link.Parent() == folder) shortcuts_.Drop(ShortcutKey(s));
        const auto inGroup = [&](const Path& made) { return made.IsWithin(folder); };
        for (const Path& made : written_.folders)
            if (inGroup(made)) folderKeys_.erase(made.Key());
        written_.folders.erase(std::remove_if(written_.folders.begin(), written_.folders.end(), inGroup),
                               written_.folders.end());
        folders_.erase(std::remove_if(folders_.begin(), folders_.end(), [&](const auto& f) { return inGroup(f.second); }),
                       folders_.end());
    }

    bool Apply(const std::vector<std::string>& f, std::string& why);
    bool ApplyRun(const std::vector<std::string>& f, std::string& why);
    bool ApplyFile(const std::vector<std::string>& f, std::string& why);
    bool ApplyCompletion(const std::vector<std::string>& f, std::string& why);
    bool ApplyGroup(const std::vector<std::string>& f, std::string& why);
    bool ApplyShortcut(const std::vector<std::string>& f, std::string& why);
    bool ApplyStep(const std::vector<std::string>& f, std::string& why);
    bool CheckStep(const JournalStep& step, std::string& why) const;

    // The path a field names, as the path type makes it; false, with why, when it is refused.
    bool TakePath(const std::string& text, Path& path, std::string& why) const {
        std::string refused;
        const std::optional<Path> taken =
            Path::Parse(text, refused, nullptr, PathForms{!confinement_.installDir.empty() && confinement_.installDir.IsShare()});
        if (!taken) {
            why = "\"" + EscapeField(text) + "\" is refused: " + refused;
            return false;
        }
        path = *taken;
        return true;
    }

    // A path below the install directory.
    bool TakeInside(const std::string& text, Path& path, std::string& why) const {
        if (!TakePath(text, path, why)) return false;
        const std::optional<Path> root = confinement_.RootFor(path);
        if (root && *root == confinement_.installDir) return true;
        why = "\"" + text + "\" lies outside the install directory";
        return false;
    }

    // The directory's own Apps & features key under the machine or the user, and no other.
    bool IsOurUninstallKey(const std::string& key) const {
        return !confinement_.uninstallKey.empty() &&
               (key == "HKLM\\" + confinement_.uninstallKey || key == "HKCU\\" + confinement_.uninstallKey);
    }

    const Kind kind_;
    Confinement& confinement_;
    InstallRecord& written_;
    JournalFile* journal_;
    int lineNumber_ = 0;
    bool sealed_ = false;
    Merged<RecordedFile> files_;
    Merged<RecordedEntry> entries_;
    Merged<RecordedDbCode> dbCodes_;
    Merged<RecordedOutside> outside_;
    Merged<RecordedShortcut> shortcuts_;
    std::set<std::string> folderKeys_;
    std::vector<std::pair<int, Path>> folders_;  // the record's folders, judged once its groups are known
};

// The number of fields each kind of line has, its name first; journal steps only in a journal.
const std::map<std::string, size_t> kFieldCounts = {
    {"installdir", 2}, {"source", 2}, {"language", 3}, {"platform", 2}, {"type", 2},     {"answer", 3}, {"scope", 2},
    {"product", 3},    {"folder", 2}, {"file", 10},     {"entry", 5},    {"dbcode", 4},   {"outside", 4},
    {"group", 5},      {"shortcut", 6}, {"uninstall", 3},
};
const std::map<std::string, size_t> kJournalFieldCounts = {
    {"gone", 2}, {"gonecode", 3}, {"emptied", 2}, {"create", 2}, {"replace", 3}, {"remove", 3}, {"save", 3}, {"saveas", 3}, {"atrestart", 3}, {"register", 3},
    {"commit", 2},
};

bool RecordReader::Apply(const std::vector<std::string>& f, std::string& why) {
    const bool journalOnly = !kFieldCounts.count(f[0]) && kJournalFieldCounts.count(f[0]);
    const std::map<std::string, size_t>& table = journalOnly && kind_ == Kind::Journal ? kJournalFieldCounts : kFieldCounts;
    const auto count = table.find(f[0]);
    if (count == table.end()) {
        why = journalOnly ? "\"" + f[0] + "\" outside the journal of a run" : "unknown item \"" + f[0] + "\"";
        return false;
    }
    // A record written before files kept their time has one field fewer on its file lines.
    const bool withoutTime = f[0] == "file" && f.size() + 1 == count->second;
    if (f.size() != count->second && !withoutTime) {
        why = "\"" + f[0] + "\" has " + std::to_string(f.size() - 1) + " fields, not " +
              std::to_string(count->second - 1);
        return false;
    }
    if (ApplyRun(f, why) || !why.empty()) return why.empty();
    if (ApplyFile(f, why) || !why.empty()) return why.empty();
    if (ApplyCompletion(f, why) || !why.empty()) return why.empty();
    return ApplyStep(f, why);
}

// The lines about the run: where it installed from and to, and what was chosen.
bool RecordReader::ApplyRun(const std::vector<std::string>& f, std::string& why) {
    InstallRecord& r = written_;
    if (f[0] == "installdir") {
        Path dir;
        if (!TakePath(f[1], dir, why)) return false;
        const Path judged = confinement_.longForm ? confinement_.longForm(dir) : dir;
        if (judged != confinement_.installDir) why = "the record belongs to " + f[1];
        if (kind_ == Kind::Journal && lineNumber_ == 2) journal_->installDir = dir;
        r.installDir = dir;
    } else if (f[0] == "source") {
        r.sourceDir = f[1];
    } else if (f[0] == "language") {
        int64_t offset = 0;
        if (!ParseCount(f[2], offset) || offset > 32767) why = "a language offset that is not one";
        r.language = f[1];
        r.languageOffset = static_cast<int>(offset);
    } else if (f[0] == "platform") {
        r.platform = f[1];
    } else if (f[0] == "type") {
        int64_t type = 0;
        if (!ParseCount(f[1], type) || type > 6) why = "an install type that is not 0 to 6";
        r.installType = static_cast<int>(type);
    } else if (f[0] == "scope") {
        if (f[1] != "allusers" && f[1] != "currentuser") why = "a scope that is neither allusers nor currentuser";
        r.scope = f[1] == "allusers" ? InstallScope::AllUsers : InstallScope::CurrentUser;
    } else if (f[0] == "answer") {
        auto it = std::find_if(r.answers.begin(), r.answers.end(), [&](const auto& a) { return a.first == f[1]; });
        if (it == r.answers.end()) r.answers.emplace_back(f[1], f[2]);
        else it->second = f[2];
    } else if (f[0] == "product") {
        auto it = std::find_if(r.products.begin(), r.products.end(), [&](const auto& p) { return EqualsNoCase(p.code, f[1]); });
        if (it == r.products.end()) r.products.push_back({f[1], f[2]});
        else *it = {f[1], f[2]};
    } else {
        return false;
    }
    return true;
}

// The lines of what was written below the install directory.
bool RecordReader::ApplyFile(const std::vector<std::string>& f, std::string& why) {
    if (f[0] == "file") {
        RecordedFile file{{}, 0, f[3], f[4], f[5]};
        if (!TakeInside(f[1], file.path, why)) return false;
        if (!ParseCount(f[2], file.size) || !IsChecksumText(f[3]) || !ParseFlag(f[6], file.earlier) ||
            !ParseFlag(f[7], file.edited) || !ParseFlag(f[8], file.archive) ||
            (f.size() > 9 && !ParseTime(f[9], file.time))) {
            why = "a size, checksum, mark or time that is not one";
            return false;
        }
        files_.Put(std::move(file));
    } else if (f[0] == "gone") {
        Path path;
        if (!TakeInside(f[1], path, why)) return false;
        files_.Drop(path.Key());
    } else if (f[0] == "gonecode") {
        RecordedDbCode code{{}, f[2], {}};
        if (!TakeInside(f[1], code.file, why)) return false;
        dbCodes_.Drop(DbCodeKey(code));
    } else if (f[0] == "emptied") {
        // A folder an install made below the install directory, or the folder of an
        // earlier program group.
        Path folder;
        if (!TakePath(f[1], folder, why)) return false;
        if (!confinement_.Allows(folder)) {
            why = "\"" + folder.str() + "\" lies outside the install directory and its groups";
            return false;
        }
        if (folderKeys_.erase(folder.Key()))
            written_.folders.erase(std::remove(written_.folders.begin(), written_.folders.end(), folder),
                                   written_.folders.end());
        journal_->emptied.push_back(folder);
    } else if (f[0] == "entry") {
        RecordedEntry entry{{}, f[2], f[3], f[4]};
        if (!TakeInside(f[1], entry.file, why)) return false;
        entries_.Put(std::move(entry));
    } else if (f[0] == "dbcode") {
        RecordedDbCode code{{}, f[2], f[3]};
        if (!TakeInside(f[1], code.file, why)) return false;
        dbCodes_.Put(std::move(code));
    } else if (f[0] == "folder" && kind_ == Kind::Record) {
        Path folder;
        if (!TakePath(f[1], folder, why)) return false;
        if (folderKeys_.insert(folder.Key()).second) written_.folders.push_back(folder);
        folders_.emplace_back(lineNumber_, folder);
    } else {
        return false;
    }
    return true;
}

// What the completion wrote outside the install directory, and the Apps & features entry.
bool RecordReader::ApplyCompletion(const std::vector<std::string>& f, std::string& why) {
    if (f[0] == "outside") {
        RecordedOutside outside{{}, 0, f[3]};
        if (!TakePath(f[1], outside.path, why)) return false;
        if (!EqualsNoCase(outside.path.Name(), kTransferConfigName)) why = "\"" + f[1] + "\" is not a transfer configuration";
        else if (!ParseCount(f[2], outside.size) || !IsChecksumText(f[3])) why = "a size or checksum that is not one";
        else outside_.Put(std::move(outside));
    } else if (f[0] == "group") {
        return ApplyGroup(f, why);
    } else if (f[0] == "shortcut") {
        return ApplyShortcut(f, why);
    } else if (f[0] == "uninstall") {
        if (IsOurUninstallKey(f[1] + "\\" + f[2])) written_.uninstallEntry = RecordedUninstallEntry{f[1], f[2]};
        else why = "an Apps & features entry that is not this directory's: " + f[1] + "\\" + f[2];
    } else {
        return false;
    }
    return why.empty();
}

// The program group: a folder named by its title below a Programs folder (which one depends
// on the user whose run made it).
bool RecordReader::ApplyGroup(const std::vector<std::string>& f, std::string& why) {
    RecordedGroup group{f[1], {}};
    if (!TakePath(f[2], group.folder, why)) return false;
    const Path named = group.title.empty() ? group.folder : group.folder.Parent().Join(group.title).value_or(Path());
    if (named.empty() || named != group.folder || group.folder.IsRoot()) {
        why = "the group \"" + f[2] + "\" is not a folder of the title \"" + f[1] + "\"";
        return false;
    }
    if (!ParseFlag(f[3], group.common) || !ParseFlag(f[4], group.created)) {
        why = "a mark that is not 0 or 1";
        return false;
    }
    confinement_.AddGroup(group.title);
    // A group in another folder takes the place of the earlier one: the earlier group's
    // shortcuts and folder are no longer the record's (the run that wrote this removed them
    // or left them).
    if (written_.group && written_.group->folder != group.folder) ForgetGroup(written_.group->folder);
    written_.group = group;
    return true;
}

// A shortcut: the link of its name in the group's folder, and nowhere else.
bool RecordReader::ApplyShortcut(const std::vector<std::string>& f, std::string& why) {
    RecordedShortcut shortcut{{}, f[2], f[3], f[4], f[5]};
    if (!TakePath(f[1], shortcut.link, why)) return false;
    const std::optional<Path> expected =
        written_.group ? written_.group->folder.Join(shortcut.name + ".LNK") : std::nullopt;
    if (!expected || *expected != shortcut.link) {
        why = "the shortcut \"" + f[1] + "\" is not the link of \"" + f[2] + "\" in the group's folder";
        return false;
    }
    shortcuts_.Put(std::move(shortcut));
    return true;
}

// The journal: what a run was about to do, in the order it did it.
bool RecordReader::ApplyStep(const std::vector<std::string>& f, std::string& why) {
    static const std::map<std::string, JournalStep::Kind> kKinds = {
        {"folder", JournalStep::Kind::Folder}, {"create", JournalStep::Kind::Create},
        {"replace", JournalStep::Kind::Replace}, {"remove", JournalStep::Kind::Remove},
        {"save", JournalStep::Kind::Save},     {"atrestart", JournalStep::Kind::AtRestart},
        {"saveas", JournalStep::Kind::SaveAs},
        {"register", JournalStep::Kind::Register}, {"commit", JournalStep::Kind::Commit}};
    const auto kind = kKinds.find(f[0]);
    if (kind == kKinds.end()) return false;
    JournalStep step;
    step.kind = kind->second;
    if (step.kind == JournalStep::Kind::Register) {
        step.key = f[1];
        step.existed = f[2] == "existed";
        if (!IsOurUninstallKey(step.key) || (!f[2].empty() && !step.existed)) {
            why = "an Apps & features entry that is not this directory's: " + f[1];
            return false;
        }
    } else if (step.kind == JournalStep::Kind::Commit) {
        step.digest = f[1];
        if (!IsDigestText(step.digest)) {
            why = "a commit without the digest of its record";
            return false;
        }
    } else {
        if (!TakePath(f[1], step.path, why)) return false;
        if (f.size() > 2 && !f[2].empty() && !TakePath(f[2], step.backup, why)) return false;
        if (!CheckStep(step, why)) return false;
    }
    if (step.kind == JournalStep::Kind::Folder && folderKeys_.insert(step.path.Key()).second)
        written_.folders.push_back(step.path);
    journal_->committed = step.kind == JournalStep::Kind::Commit;
    journal_->steps.push_back(std::move(step));
    return true;
}

// A step may change only what a run may change, and moves a file aside only in its own folder.
bool RecordReader::CheckStep(const JournalStep& step, std::string& why) const {
    if (!confinement_.Allows(step.path)) {
        why = "\"" + step.path.str() + "\" lies outside the places an install writes to";
        return false;
    }
    const bool needsBackup = step.kind == JournalStep::Kind::Replace || step.kind == JournalStep::Kind::Remove ||
                             step.kind == JournalStep::Kind::AtRestart || step.kind == JournalStep::Kind::SaveAs;
    if (step.backup.empty()) {
        if (needsBackup) why = "\"" + step.path.str() + "\" is moved aside to no backup";
        return !needsBackup;
    }
    if (step.kind == JournalStep::Kind::Folder || step.kind == JournalStep::Kind::Create ||
        step.backup.Parent() != step.path.Parent() ||
        !(step.kind == JournalStep::Kind::SaveAs ? IsSavedName(step.path.Name(), step.backup.Name())
                                                 : IsBackupName(step.backup.Name()))) {
        why = "the backup of \"" + step.path.str() + "\" is not a backup in its folder";
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> JournalBaseDigest(const std::string& text) {
    std::vector<std::vector<std::string>> lines;
    for (size_t begin = 0; lines.size() < 3;) {
        const size_t end = text.find('\n', begin);
        if (end == std::string::npos) return std::nullopt;
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(SplitTabs(line));
        begin = end + 1;
    }
    const std::vector<std::string>& base = lines[2];
    if (lines[0] != std::vector<std::string>{kJournalMagic, std::to_string(kJournalVersion)} || base.size() != 2 ||
        base[0] != "base" || (base[1] != "-" && !IsDigestText(base[1])))
        return std::nullopt;
    return base[1] == "-" ? std::string() : base[1];
}

bool ParseRecord(const std::string& text, Confinement& confinement, InstallRecord& record, std::string& problem) {
    record = {};
    RecordReader reader(RecordReader::Kind::Record, confinement, record, nullptr);
    return reader.Read(text, problem);
}

bool ParseJournal(const std::string& text, Confinement& confinement, const InstallRecord& base, JournalFile& journal,
                  std::string& problem) {
    journal = {};
    journal.written = base;
    RecordReader reader(RecordReader::Kind::Journal, confinement, journal.written, &journal);
    return reader.Read(text, problem);
}

}  // namespace qv

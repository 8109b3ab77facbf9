#include "setup/engine/install_record.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>

#include "qvcrc/crc32.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kMagic = "QVREC";
constexpr const char* kSeal = "seal";
constexpr const char* kBegin = "begin";

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

bool ParseCount(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 15) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
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

uint32_t RecordChecksum(const std::string& text, size_t length) {
    return ~qvcrc::Update(0xFFFFFFFFu, text.data(), length);
}

std::string Hex8(uint32_t value) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

// ---- Paths -------------------------------------------------------------------------

bool IsDotsOnly(const std::string& component) {
    return !component.empty() && component.find_first_not_of(". ") == std::string::npos;
}

// The root of an absolute path ("c:", "\\\\server\\share", and natively the build machine's
// own folder before the first "\\", as its file layer maps paths) and where the components
// after it begin.
bool SplitRoot(const std::string& path, std::string& root, size_t& begin) {
#ifndef _WIN32
    if (path.size() > 1 && path[0] == '/') {
        begin = std::min(path.find('\\'), path.size());
        root = path.substr(0, begin);
        return root.find("/.") == std::string::npos && root.find("//") == std::string::npos;
    }
#endif
    if (path.find('/') != std::string::npos) return false;
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        root = UpperAscii(path.substr(0, 2));
        begin = 2;
        return true;
    }
    if (path.rfind("\\\\", 0) != 0) return false;
    const size_t server = path.find('\\', 2);
    if (server == std::string::npos || server == 2) return false;
    const size_t share = path.find('\\', server + 1);
    if (share == server + 1) return false;
    root = UpperAscii(path.substr(0, share));
    begin = share == std::string::npos ? path.size() : share;
    return true;
}

// The components after the root of an absolute path; false when it is not one, or has
// empty, "." or ".." components or a "/".
bool AbsoluteComponents(const std::string& path, std::string& root, std::vector<std::string>& parts) {
    size_t begin = 0;
    if (!SplitRoot(path, root, begin)) return false;
    parts.clear();
    if (begin == path.size() || (begin + 1 == path.size() && path[begin] == '\\')) return true;
    if (path[begin] != '\\' || path.find('/', begin) != std::string::npos) return false;
    size_t at = begin + 1;
    for (;;) {
        const size_t slash = path.find('\\', at);
        const std::string part = path.substr(at, slash == std::string::npos ? std::string::npos : slash - at);
        if (part.empty() || IsDotsOnly(part)) return false;
        parts.push_back(UpperAscii(part));
        if (slash == std::string::npos) return true;
        at = slash + 1;
    }
}

bool EndsWithNoCase(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && EqualsNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

std::string Folder(const std::string& path) {
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool BelowAny(const std::string& path, const std::vector<std::string>& folders) {
    return std::any_of(folders.begin(), folders.end(), [&](const std::string& f) { return IsPathBelow(path, f); });
}

// A Programs folder of any user: below one of this run's, or below a folder named
// "Programs" inside one named "Start Menu".
bool InProgramsFolder(const std::string& path, const RecordConfinement& confinement) {
    if (BelowAny(path, confinement.programsFolders)) return true;
    std::string root;
    std::vector<std::string> parts;
    if (!AbsoluteComponents(path, root, parts)) return false;
    for (size_t i = 0; i + 2 < parts.size(); ++i)
        if (parts[i] == "START MENU" && parts[i + 1] == "PROGRAMS") return true;
    return false;
}

bool IsTransferConfig(const std::string& path, const RecordConfinement& confinement) {
    std::string root;
    std::vector<std::string> parts;
    if (!AbsoluteComponents(path, root, parts) || parts.empty() || parts.back() != "QVXFR.CFG") return false;
    return confinement.transferFolders.empty() || BelowAny(path, confinement.transferFolders);
}

// ---- Merging -------------------------------------------------------------------------

template <typename T, typename Same>
void Put(std::vector<T>& items, T item, Same same) {
    auto it = std::find_if(items.begin(), items.end(), [&](const T& x) { return same(x, item); });
    if (it == items.end())
        items.push_back(std::move(item));
    else
        *it = std::move(item);
}

bool SamePath(const std::string& a, const std::string& b) { return EqualsNoCase(a, b); }

}  // namespace

// ---- The record ----------------------------------------------------------------------

std::string RecordPath(const std::string& installDir) {
    std::string dir = installDir;
    if (!dir.empty() && dir.back() == '\\') dir.pop_back();
    return dir + "\\setup\\" + kRecordName;
}

const RecordedFile* InstallRecord::FindFile(const std::string& path) const {
    for (const RecordedFile& f : files)
        if (SamePath(f.path, path)) return &f;
    return nullptr;
}

bool InstallRecord::HasProduct(const std::string& code) const {
    return std::any_of(products.begin(), products.end(), [&](const RecordedProduct& p) { return EqualsNoCase(p.code, code); });
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

bool IsPathBelow(const std::string& path, const std::string& folder) {
    std::string pathRoot, folderRoot;
    std::vector<std::string> pathParts, folderParts;
    if (!AbsoluteComponents(path, pathRoot, pathParts) || !AbsoluteComponents(folder, folderRoot, folderParts))
        return false;
    if (pathRoot != folderRoot || pathParts.size() < folderParts.size()) return false;
    return std::equal(folderParts.begin(), folderParts.end(), pathParts.begin());
}

std::string RecordHeader() { return Line({kMagic, std::to_string(kRecordVersion)}); }

std::string BeginLine() { return Line({kBegin}); }

std::string JournalLine(const JournalStep& step) {
    switch (step.kind) {
        case JournalStep::Kind::Folder: return Line({"folder", step.path});
        case JournalStep::Kind::Create: return Line({"create", step.path});
        case JournalStep::Kind::Replace: return Line({"replace", step.path, step.backup});
        case JournalStep::Kind::Remove: return Line({"remove", step.path, step.backup});
        case JournalStep::Kind::Save: return Line({"save", step.path, step.backup});
        case JournalStep::Kind::Register: return Line({"register", step.path, step.backup});
        case JournalStep::Kind::Commit: return Line({"commit"});
    }
    return {};
}

std::string FileLine(const RecordedFile& f) {
    return Line({"file", f.path, std::to_string(f.size), f.checksum, f.product, f.spec, Flag(f.earlier), Flag(f.edited),
                 Flag(f.archive)});
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
std::string GoneLine(const std::string& path) { return Line({"gone", path}); }
std::string UninstallLine(const RecordedUninstallEntry& u) { return Line({"uninstall", u.root, u.key}); }

std::string RunLines(const InstallRecord& r) {
    std::string text = Line({"installdir", r.installDir});
    text += Line({"source", r.sourceDir});
    text += Line({"language", r.language, std::to_string(r.languageOffset)});
    text += Line({"platform", r.platform});
    text += Line({"type", std::to_string(r.installType)});
    for (const auto& [key, value] : r.answers) text += Line({"answer", key, value});
    return text;
}

std::string ProductLine(const RecordedProduct& p) { return Line({"product", p.code, p.name}); }

std::string FormatRecord(const InstallRecord& r) {
    std::string text = RecordHeader() + RunLines(r);
    for (const RecordedProduct& p : r.products) text += ProductLine(p);
    for (const std::string& folder : r.folders) text += Line({"folder", folder});
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

// Reads the lines of one record file into a RecordFile, line by line.
class RecordReader {
public:
    RecordReader(const RecordConfinement& confinement, RecordFile& file) : confinement_(confinement), file_(file) {}

    bool Read(const std::string& text, std::string& problem) {
        size_t begin = 0;
        while (begin < text.size()) {
            ++lineNumber_;
            const size_t end = text.find('\n', begin);
            if (end == std::string::npos) {
                // A journal is written a step at a time; a step cut short was never taken.
                if (file_.tail) return true;
                return Refuse("the record is cut short", problem);
            }
            std::string line = text.substr(begin, end - begin);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const size_t start = begin;
            begin = end + 1;
            if (!ReadLine(line, start, text, problem)) return false;
        }
        if (lineNumber_ == 0) return Refuse("the record is empty", problem);
        // Only a run's journal goes without a seal; a record that stops before its seal was cut.
        if (lineNumber_ > 1 && !file_.sealed && !file_.tail) return Refuse("the record is cut short", problem);
        return true;
    }

private:
    bool Refuse(const std::string& why, std::string& problem) const {
        problem = "line " + std::to_string(std::max(lineNumber_, 1)) + ": " + why;
        return false;
    }

    bool ReadLine(const std::string& line, size_t start, const std::string& text, std::string& problem) {
        std::vector<std::string> fields;
        for (const std::string& raw : SplitTabs(line)) {
            fields.emplace_back();
            if (!UnescapeField(raw, fields.back())) return Refuse("a field holds a character it may not", problem);
        }
        if (lineNumber_ == 1) return ReadHeader(fields, problem);
        if (fields[0] == kSeal) return ReadSeal(fields, start, text, problem);
        if (fields[0] == kBegin) return ReadBegin(fields, problem);
        std::string why;
        if (!Apply(fields, why)) return Refuse(why, problem);
        return true;
    }

    // A run's journal begins after the seal, or right after the header in a new record.
    bool ReadBegin(const std::vector<std::string>& fields, std::string& problem) {
        if (fields.size() != 1 || file_.tail || (!file_.sealed && lineNumber_ != 2))
            return Refuse("a run begins where none may", problem);
        file_.tail = true;
        return true;
    }

    bool ReadHeader(const std::vector<std::string>& fields, std::string& problem) {
        int64_t version = 0;
        if (fields.size() != 2 || fields[0] != kMagic || !ParseCount(fields[1], version))
            return Refuse("this is not an install record", problem);
        if (version != kRecordVersion)
            return Refuse("the record is of version " + fields[1] + ", this installer reads version " +
                              std::to_string(kRecordVersion),
                          problem);
        return true;
    }

    bool ReadSeal(const std::vector<std::string>& fields, size_t start, const std::string& text,
                  std::string& problem) {
        if (fields.size() != 2 || fields[1] != Hex8(RecordChecksum(text, start)))
            return Refuse("the seal does not match the record", problem);
        if (file_.tail || file_.sealed) return Refuse("a seal where none may be", problem);
        file_.record = file_.written;
        file_.sealed = true;
        file_.journal.clear();
        file_.committed = false;
        file_.tail = false;
        return true;
    }

    // Applies one item or journal line to the record as written; `why` says what is wrong.
    bool Apply(const std::vector<std::string>& f, std::string& why);
    bool ApplyRun(const std::vector<std::string>& f, std::string& why);
    bool ApplyFile(const std::vector<std::string>& f, std::string& why);
    bool ApplyJournal(const std::vector<std::string>& f, std::string& why);
    bool ApplyCompletion(const std::vector<std::string>& f, std::string& why);

    // The directory's own Apps & features key under the machine or the user, and no other.
    bool IsOurUninstallKey(const std::string& path) const {
        return !confinement_.uninstallKey.empty() &&
               (path == "HKLM\\" + confinement_.uninstallKey || path == "HKCU\\" + confinement_.uninstallKey);
    }

    bool ApplyRegister(const JournalStep& step, std::string& why) {
        if (!IsOurUninstallKey(step.path) || (!step.backup.empty() && step.backup != "existed")) {
            why = "an Apps & features entry that is not this directory's: " + step.path;
            return false;
        }
        file_.journal.push_back(step);
        return true;
    }

    bool Below(const std::string& path, std::string& why) const {
        if (IsPathBelow(path, confinement_.installDir)) return true;
        why = "\"" + path + "\" lies outside the install directory";
        return false;
    }

    const RecordConfinement& confinement_;
    RecordFile& file_;
    int lineNumber_ = 0;
};

// The number of fields each kind of line has, its name first.
const std::map<std::string, size_t> kFieldCounts = {
    {"installdir", 2}, {"source", 2},   {"language", 3}, {"platform", 2},  {"type", 2},    {"answer", 3},
    {"product", 3},    {"folder", 2},   {"file", 9},    {"gone", 2},      {"entry", 5},   {"dbcode", 4},
    {"outside", 4},    {"group", 5},    {"shortcut", 6}, {"uninstall", 3}, {"create", 2},  {"replace", 3},
    {"remove", 3},     {"save", 3},     {"register", 3}, {"commit", 1},
};

bool RecordReader::Apply(const std::vector<std::string>& f, std::string& why) {
    const auto count = kFieldCounts.find(f[0]);
    if (count == kFieldCounts.end()) {
        why = "unknown item \"" + f[0] + "\"";
        return false;
    }
    if (f.size() != count->second) {
        why = "\"" + f[0] + "\" has " + std::to_string(f.size() - 1) + " fields, not " +
              std::to_string(count->second - 1);
        return false;
    }
    if (file_.committed) {
        why = "\"" + f[0] + "\" follows the commit of the run";
        return false;
    }
    if (ApplyRun(f, why) || !why.empty()) return why.empty();
    if (ApplyFile(f, why) || !why.empty()) return why.empty();
    if (ApplyJournal(f, why) || !why.empty()) return why.empty();
    return ApplyCompletion(f, why);
}

// The lines about the run: where it installed from and to, and what was chosen.
bool RecordReader::ApplyRun(const std::vector<std::string>& f, std::string& why) {
    InstallRecord& r = file_.written;
    if (f[0] == "installdir") {
        if (!EqualsNoCase(f[1], confinement_.installDir)) why = "the record belongs to " + f[1];
        r.installDir = f[1];
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
    } else if (f[0] == "answer") {
        Put(r.answers, {f[1], f[2]}, [](const auto& a, const auto& b) { return a.first == b.first; });
    } else if (f[0] == "product") {
        Put(r.products, {f[1], f[2]}, [](const auto& a, const auto& b) { return EqualsNoCase(a.code, b.code); });
    } else {
        return false;
    }
    return true;
}

// The lines of what was written below the install directory.
bool RecordReader::ApplyFile(const std::vector<std::string>& f, std::string& why) {
    InstallRecord& r = file_.written;
    if (f[0] == "file") {
        RecordedFile file{f[1], 0, f[3], f[4], f[5]};
        if (!Below(f[1], why)) return false;
        if (!ParseCount(f[2], file.size) || !IsChecksumText(f[3]) || !ParseFlag(f[6], file.earlier) ||
            !ParseFlag(f[7], file.edited) || !ParseFlag(f[8], file.archive)) {
            why = "a size, checksum or mark that is not one";
            return false;
        }
        Put(r.files, file, [](const RecordedFile& a, const RecordedFile& b) { return SamePath(a.path, b.path); });
    } else if (f[0] == "gone") {
        if (!Below(f[1], why)) return false;
        r.files.erase(std::remove_if(r.files.begin(), r.files.end(),
                                     [&](const RecordedFile& x) { return SamePath(x.path, f[1]); }),
                      r.files.end());
    } else if (f[0] == "entry") {
        if (!Below(f[1], why)) return false;
        Put(r.entries, RecordedEntry{f[1], f[2], f[3], f[4]}, [](const RecordedEntry& a, const RecordedEntry& b) {
            return SamePath(a.file, b.file) && EqualsNoCase(a.section, b.section) && EqualsNoCase(a.key, b.key);
        });
    } else if (f[0] == "dbcode") {
        if (!Below(f[1], why)) return false;
        Put(r.dbCodes, RecordedDbCode{f[1], f[2], f[3]}, [](const RecordedDbCode& a, const RecordedDbCode& b) {
            return SamePath(a.file, b.file) && EqualsNoCase(a.key, b.key);
        });
    } else {
        return false;
    }
    return true;
}

// The journal: what a run was about to do, in the order it did it.
bool RecordReader::ApplyJournal(const std::vector<std::string>& f, std::string& why) {
    static const std::map<std::string, JournalStep::Kind> kKinds = {
        {"folder", JournalStep::Kind::Folder}, {"create", JournalStep::Kind::Create},
        {"replace", JournalStep::Kind::Replace}, {"remove", JournalStep::Kind::Remove},
        {"save", JournalStep::Kind::Save},     {"register", JournalStep::Kind::Register},
        {"commit", JournalStep::Kind::Commit}};
    const auto kind = kKinds.find(f[0]);
    if (kind == kKinds.end()) return false;
    JournalStep step{kind->second, f.size() > 1 ? f[1] : "", f.size() > 2 ? f[2] : ""};
    if (!file_.tail && step.kind != JournalStep::Kind::Folder) {
        why = "\"" + f[0] + "\" outside the journal of a run";
        return false;
    }
    if (step.kind == JournalStep::Kind::Register) return ApplyRegister(step, why);
    const bool outside = InProgramsFolder(step.path, confinement_) || IsTransferConfig(step.path, confinement_);
    if (step.kind != JournalStep::Kind::Commit && !outside && !Below(step.path, why)) return false;
    if (!step.backup.empty() && !SamePath(Folder(step.backup), Folder(step.path))) {
        why = "the backup of \"" + step.path + "\" lies in another folder";
        return false;
    }
    if ((step.kind == JournalStep::Kind::Replace || step.kind == JournalStep::Kind::Remove) && step.backup.empty()) {
        why = "\"" + f[0] + "\" names no backup";
        return false;
    }
    if (step.kind == JournalStep::Kind::Folder)
        Put(file_.written.folders, step.path, [](const std::string& a, const std::string& b) { return SamePath(a, b); });
    if (!file_.tail) return true;  // a folder of the sealed record
    file_.committed = step.kind == JournalStep::Kind::Commit;
    file_.journal.push_back(step);
    return true;
}

// What the completion wrote outside the install directory, and the Apps & features entry.
bool RecordReader::ApplyCompletion(const std::vector<std::string>& f, std::string& why) {
    InstallRecord& r = file_.written;
    if (f[0] == "outside") {
        RecordedOutside outside{f[1], 0, f[3]};
        if (!IsTransferConfig(f[1], confinement_)) why = "\"" + f[1] + "\" is not a transfer configuration";
        else if (!ParseCount(f[2], outside.size) || !IsChecksumText(f[3])) why = "a size or checksum that is not one";
        else
            Put(r.outside, outside, [](const RecordedOutside& a, const RecordedOutside& b) { return SamePath(a.path, b.path); });
    } else if (f[0] == "group") {
        RecordedGroup group{f[1], f[2]};
        if (!InProgramsFolder(f[2], confinement_)) why = "the group \"" + f[2] + "\" lies outside the Programs folders";
        else if (!ParseFlag(f[3], group.common) || !ParseFlag(f[4], group.created)) why = "a mark that is not 0 or 1";
        else r.group = group;
    } else if (f[0] == "shortcut") {
        if (!InProgramsFolder(f[1], confinement_) || !EndsWithNoCase(f[1], ".LNK"))
            why = "the shortcut \"" + f[1] + "\" is not a link in the Programs folders";
        else
            Put(r.shortcuts, RecordedShortcut{f[1], f[2], f[3], f[4], f[5]},
                [](const RecordedShortcut& a, const RecordedShortcut& b) { return SamePath(a.link, b.link); });
    } else if (f[0] == "uninstall") {
        if (IsOurUninstallKey(f[1] + "\\" + f[2])) r.uninstallEntry = RecordedUninstallEntry{f[1], f[2]};
        else why = "an Apps & features entry that is not this directory's: " + f[1] + "\\" + f[2];
    }
    return why.empty();
}

}  // namespace

bool ParseRecord(const std::string& text, const RecordConfinement& confinement, RecordFile& file,
                 std::string& problem) {
    file = {};
    RecordReader reader(confinement, file);
    if (!reader.Read(text, problem)) return false;
    return true;
}

}  // namespace qv

#include "tools/filelist/file_list_master.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <system_error>

#include "qvcrc/crc32.h"
#include "setup/engine/file_list.h"
#include "setup/engine/open_files.h"
#include "setup/session/catalogue.h"
#include "setup/session/file_system.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"
#include "setup/session/session.h"
#include "setup/session/text_encoding.h"
#include "setup/session/text_util.h"
#include "setup/session/user_port.h"

namespace qvtools {
namespace {

namespace stdfs = std::filesystem;

constexpr const char* kLineEnd = "\r\n";

// A path of the logic ("\" separators) in the form of the machine the code runs on.
stdfs::path HostPath(const std::string& path) {
#ifdef _WIN32
    return stdfs::path(path).make_preferred();
#else
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return stdfs::path(p);
#endif
}

std::string Display(const std::string& path) { return HostPath(path).string(); }

// Answers every message box with its default and keeps the texts: the catalogue reader
// reports through the interaction port, and here its reports become problems.
class CollectingPort : public qv::UserPort {
public:
    std::vector<qv::Message> messages;
    qv::Answer ShowMessage(const qv::Message& message) override {
        messages.push_back(message);
        return qv::Answer::Ok;
    }
};

// One key of the folder's catalogue, read as the installer reads keys; empty when the
// folder has no catalogue.
std::string CatalogueKey(const std::string& productDir, const std::string& key) {
    const std::string path = productDir + "\\" + qv::kCatalogueName;
    if (!qv::fs::IsFile(path)) return {};
    qv::RunError ignored;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(qv::fs::OpenFile(path, "rb", ignored), &std::fclose);
    if (!file) return {};
    CollectingPort port;
    return qv::GetKeyValue(file.get(), key, port);
}

bool IsBaseDelta(const std::string& productDir) {
    return qv::LeadingNumber(CatalogueKey(productDir, "BaseDelta")) != 0;
}

// Entries of a base-plus-delta product start with a part folder: "BSE" or a platform code.
bool HasPartFolder(const std::string& spec) {
    if (spec.size() < 5 || spec[3] != '\\') return false;
    const std::string part = qv::UpperAscii(spec.substr(0, 3));
    if (part == "BSE") return true;
    for (const qv::DbPlatform& p : qv::DbPlatforms())
        if (part == p.code) return true;
    return false;
}

const char* const kPartFolderProblem =
    "lies outside a part folder (BSE\\ or a platform code such as ORA\\); the installer of a "
    "base-plus-delta product would never copy it";

bool IsReservedDeviceName(const std::string& name) {
    const std::string base = qv::UpperAscii(name.substr(0, name.find('.')));
    static const std::array<const char*, 4> fixed = {"CON", "PRN", "AUX", "NUL"};
    for (const char* f : fixed)
        if (base == f) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

std::string Hex(unsigned char c) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", c);
    return buffer;
}

// Modification time as "YYYY-MM-DD hh:mm:ss" in UTC, so that the list does not depend on
// the time zone of the machine that writes it.
std::string FormatDate(const stdfs::path& path) {
    std::error_code ec;
    const stdfs::file_time_type stamp = stdfs::last_write_time(path, ec);
    if (ec) return "unknown";
    const auto sys = std::chrono::file_clock::to_sys(stamp);
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
    std::tm tm{};
#ifdef _WIN32
    if (gmtime_s(&tm, &t) != 0) return "unknown";
#else
    if (!gmtime_r(&t, &tm)) return "unknown";
#endif
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
    return buffer;
}

bool IsCanonicalInt32(const std::string& text) {
    int64_t value = 0;
    size_t i = text.size() > 0 && text[0] == '-' ? 1 : 0;
    if (i >= text.size() || text.size() - i > 10) return false;
    if (text[i] == '0' && (text.size() - i > 1 || i == 1)) return false;  // leading zero, "-0"
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    if (text[0] == '-') value = -value;
    return value >= INT32_MIN && value <= INT32_MAX;
}

bool ParseSize(const std::string& text, uint64_t& size) {
    if (text.empty() || text.size() > 19) return false;
    size = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        size = size * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
}

// The catalogue read on every platform; reports what the installer would show.
struct CatalogueCheck {
    bool product = false;     // listed on at least one platform
    bool anyMessage = false;
};

std::string Flatten(const std::string& text, const std::string& pathLine) {
    std::string out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) end = text.size();
        const std::string part = qv::Trim(std::string_view(text).substr(start, end - start));
        if (!part.empty() && part != pathLine) out += (out.empty() ? "" : "; ") + part;
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return out;
}

CatalogueCheck CheckCatalogue(const std::string& productDir, CdCheckResult& result) {
    CatalogueCheck check;
    const std::string skuPath = productDir + "\\" + qv::kCatalogueName;
    // The same message on several platforms is reported once, naming them all.
    std::vector<std::pair<std::string, std::string>> reports;  // text, platforms
    for (const qv::DbPlatform& platform : qv::DbPlatforms()) {
        qv::Session session;
        session.Languages = {qv::EnglishLanguage()};
        session.LangIndex = 0;
        qv::SetDbPlatform(session, platform);
        CollectingPort port;
        qv::ReadSKU(session, port, productDir + "\\");
        if (session.ProductCount == 1) check.product = true;
        for (const qv::Message& m : port.messages) {
            const std::string text = "\"" + m.title + "\" message: " + Flatten(m.text, skuPath);
            auto it = std::find_if(reports.begin(), reports.end(), [&](const auto& r) { return r.first == text; });
            if (it == reports.end())
                reports.emplace_back(text, platform.code);
            else
                it->second += std::string(", ") + platform.code;
        }
    }
    for (const auto& [text, platforms] : reports) {
        result.problems.push_back({Display(skuPath), 0, "catalogue cannot be read (platform " + platforms + "): " + text});
        check.anyMessage = true;
    }
    return check;
}

// The check of one file list: where its problems go, and what it carries from line to line.
struct ListCheck {
    ListCheck(const std::string& productDir_, bool baseDelta_, CdCheckResult& result_)
        : productDir(productDir_), baseDelta(baseDelta_), shown(Display(productDir_ + "\\" + kFileListName)),
          result(result_) {}
    void Problem(int line, const std::string& text) { result.problems.push_back({shown, line, text}); }

    const std::string& productDir;
    const bool baseDelta;
    const std::string shown;           // the list's path in reports
    CdCheckResult& result;
    std::map<std::string, int> seen;   // upper-case spec, first line
};

// Exactly the names the installer refuses are refused here, with the reason where the
// writer of lists knows one; false for such a name. A name outside a part folder and a
// name listed again are reported, and the entry is still checked.
bool CheckSpec(ListCheck& check, int number, const std::string& spec) {
    const std::string destPart = check.baseDelta ? spec.substr(std::min<size_t>(spec.size(), 4)) : spec;
    if (!qv::IsSafeFileSpec(spec) || !qv::IsSafeFileSpec(destPart)) {
        const std::string why = SpecProblem(spec);
        check.Problem(number, "\"" + spec + "\" " + (why.empty() ? "is a name the installer refuses" : why));
        return false;
    }
    if (check.baseDelta && !HasPartFolder(spec)) check.Problem(number, "\"" + spec + "\" " + kPartFolderProblem);
    const auto [it, inserted] = check.seen.emplace(qv::UpperAscii(spec), number);
    if (!inserted)
        check.Problem(number, "\"" + spec + "\" is listed again (first on line " + std::to_string(it->second) + ")");
    return true;
}

// Compares the file an entry names with the size and checksum the list gives it, each
// only where the list's field is in the form the installer reads.
void CheckListedFile(ListCheck& check, int number, const std::vector<std::string>& fields, bool sizeOk,
                     uint64_t listedSize, bool crcOk) {
    const std::string& spec = fields[0];
    const std::string file = check.productDir + "\\" + spec;
    if (!qv::fs::Exists(file)) {
        check.Problem(number, "file not found: " + spec);
        return;
    }
    if (!qv::fs::IsFile(file)) {
        check.Problem(number, spec + " is not a file");
        return;
    }
    uint32_t crc = 0;
    uint64_t size = 0;
    if (!FileChecksum(file, crc, size)) {
        check.Problem(number, spec + " cannot be read");
        return;
    }
    if (sizeOk && size != listedSize)
        check.Problem(number, "size of " + spec + " is " + std::to_string(size) + " bytes, the list says " + fields[2]);
    if (crcOk && FormatChecksum(crc) != fields[3])
        check.Problem(number, "checksum of " + spec + " is " + FormatChecksum(crc) + ", the list says " + fields[3]);
}

// One entry line: its fields, its name, the form of its size and checksum, and the file.
void CheckEntry(ListCheck& check, int number, const std::string& line) {
    const size_t fieldCount = static_cast<size_t>(std::count(line.begin(), line.end(), ',')) + 1;
    if (fieldCount < 4) {
        check.Problem(number, "has " + std::to_string(fieldCount) +
                                  " field(s); an entry needs path, date, size and checksum");
        return;
    }
    std::vector<std::string> fields;
    for (int n = 1; n <= 4; ++n) fields.push_back(qv::ReadListField(line, n));
    if (!CheckSpec(check, number, fields[0])) return;

    uint64_t listedSize = 0;
    const bool sizeOk = ParseSize(fields[2], listedSize);
    if (!sizeOk) check.Problem(number, "size \"" + fields[2] + "\" is not a whole number of bytes");
    const bool crcOk = IsCanonicalInt32(fields[3]);
    if (!crcOk)
        check.Problem(number, "checksum \"" + fields[3] +
                                  "\" is not in the form the installer compares (signed 32-bit decimal, no "
                                  "leading zeros or blanks)");
    ++check.result.entries;
    CheckListedFile(check, number, fields, sizeOk, listedSize, crcOk);
}

void CheckFileList(const std::string& productDir, bool baseDelta, CdCheckResult& result) {
    const std::string listPath = productDir + "\\" + kFileListName;
    ListCheck check(productDir, baseDelta, result);
    if (!qv::fs::IsFile(listPath)) {
        check.Problem(0, "missing: every product folder needs its file list");
        return;
    }
    // The list is read as the installer reads it: its line reader and its field parser.
    qv::LineReader list;
    qv::RunError error;
    if (!list.Open(listPath, error)) {
        check.Problem(0, "cannot be read");
        return;
    }
    int number = 0;
    std::string line;
    while (list.ReadLine(line, error)) {
        ++number;
        if (list.LastLineEnd() != qv::LineReader::LineEnd::CrLf) check.Problem(number, "line does not end with CR LF");
        if (!line.empty() && line[0] == '#') continue;
        if (qv::Trim(line).empty()) {
            check.Problem(number, "empty line");
            continue;
        }
        CheckEntry(check, number, line);
    }
    if (error.number != 0) check.Problem(number + 1, "cannot be read");
}

}  // namespace

std::string FormatChecksum(uint32_t crc) { return std::to_string(static_cast<int32_t>(crc)); }

bool FileChecksum(const std::string& path, uint32_t& crc, uint64_t& size) {
    // The file calls of the program, not a stream's: they take the name in the program's
    // code page, which a stream's path would widen byte by byte.
    qv::RunError error;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(qv::fs::OpenFile(path, "rb", error), std::fclose);
    if (!in) return false;
    std::vector<char> buffer(32767 * 8);
    uint32_t running = 0xFFFFFFFFu;
    size = 0;
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
        running = qvcrc::Update(running, buffer.data(), n);
        size += n;
    }
    if (std::ferror(in.get())) return false;
    crc = ~running;
    return true;
}

std::string FileListLine(const std::string& spec, const std::string& date, uint64_t size, uint32_t crc) {
    return spec + "," + date + "," + std::to_string(size) + "," + FormatChecksum(crc);
}

std::string SpecProblem(const std::string& spec) {
    if (spec.empty()) return "is an empty path";
    if (spec[0] == '#') return "begins with \"#\", which marks a comment line in the list";
    if (spec[0] == '\\') return "begins with \"\\\"; paths are relative to the product folder";
    if (spec.front() == ' ' || spec.back() == ' ' || spec.front() == '\t' || spec.back() == '\t')
        return "begins or ends with a blank, which the list's reading drops";
    for (char ch : spec) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ',') return "contains a comma, which separates the list's fields";
        if (c < 0x20 || c == 0x7F) return "contains the control character " + Hex(c);
        if (c >= 0x80 && !qv::IsValidUtf8(spec))
            return "contains the byte " + Hex(c) + ", which is not UTF-8: its character depends on the code page";
        if (std::string_view("<>:\"/|?*").find(ch) != std::string_view::npos)
            return std::string("contains \"") + ch + "\", which Windows does not allow in file names";
    }
    size_t start = 0;
    for (;;) {
        const size_t slash = spec.find('\\', start);
        const std::string name = spec.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (name.empty()) return "has an empty folder name";
        if (name == "." || name == "..") return "contains a \".\" or \"..\" folder";
        if (name.back() == '.' || name.back() == ' ')
            return "has a name ending in \".\" or a blank, which Windows drops";
        if (IsReservedDeviceName(name)) return "uses the reserved device name \"" + name + "\"";
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return {};
}

namespace {

// Sorts the entries by spec without regard to case; false when two specs differ only in
// case, which Windows would hold as one file.
bool SortBySpec(const std::string& productDir, std::vector<FileListEntry>& entries, std::string& error) {
    std::sort(entries.begin(), entries.end(), [](const FileListEntry& a, const FileListEntry& b) {
        const std::string ua = qv::UpperAscii(a.spec), ub = qv::UpperAscii(b.spec);
        return ua != ub ? ua < ub : a.spec < b.spec;
    });
    for (size_t i = 1; i < entries.size(); ++i) {
        if (qv::EqualsNoCase(entries[i - 1].spec, entries[i].spec)) {
            error = Display(productDir) + ": \"" + entries[i - 1].spec + "\" and \"" + entries[i].spec +
                    "\" differ only in letter case; Windows holds them as one file";
            return false;
        }
    }
    return true;
}

}  // namespace

bool ListProductFiles(const std::string& productDir, std::vector<FileListEntry>& entries, std::string& error) {
    entries.clear();
    const stdfs::path root = HostPath(productDir);
    std::error_code ec;
    if (!stdfs::is_directory(root, ec)) {
        error = Display(productDir) + ": not a folder";
        return false;
    }
    const bool baseDelta = IsBaseDelta(productDir);

    stdfs::recursive_directory_iterator it(root, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const stdfs::directory_entry& item = *it;
        std::string spec = item.path().lexically_relative(root).generic_string();
        std::replace(spec.begin(), spec.end(), '/', '\\');
        const auto fail = [&](const std::string& why) {
            error = Display(productDir) + ": \"" + spec + "\" " + why;
            return false;
        };
        if (item.is_directory(ec)) {
            if (const std::string why = SpecProblem(spec); !why.empty()) return fail(why);
            continue;
        }
        if (!item.is_regular_file(ec)) return fail("is not a regular file");
        if (qv::EqualsNoCase(spec, qv::kCatalogueName) || qv::EqualsNoCase(spec, kFileListName)) continue;
        if (const std::string why = SpecProblem(spec); !why.empty()) return fail(why);
        if (baseDelta && !HasPartFolder(spec)) return fail(kPartFolderProblem);

        FileListEntry entry;
        entry.spec = spec;
        entry.date = FormatDate(item.path());
        if (!FileChecksum(productDir + "\\" + spec, entry.crc, entry.size)) return fail("cannot be read");
        if (entry.size > kMaxListedFileSize)
            return fail("has " + std::to_string(entry.size) + " bytes; the installer copies at most " +
                        std::to_string(kMaxListedFileSize));
        entries.push_back(entry);
    }
    if (ec) {
        error = Display(productDir) + ": cannot be listed: " + ec.message();
        return false;
    }
    return SortBySpec(productDir, entries, error);
}

bool WriteFileList(const std::string& productDir, std::string& error) {
    std::vector<FileListEntry> entries;
    if (!ListProductFiles(productDir, entries, error)) return false;

    std::string content = std::string("# path,modified (UTC),size in bytes,CRC-32 as a signed 32-bit number") + kLineEnd;
    for (const FileListEntry& e : entries) content += FileListLine(e.spec, e.date, e.size, e.crc) + kLineEnd;

    const std::string path = productDir + "\\" + kFileListName;
    std::ofstream out(HostPath(path), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.close();
    if (!out) {
        error = Display(path) + ": cannot be written";
        return false;
    }
    return true;
}

namespace {

// The immediate subfolders of a CD, sorted by name; false when it cannot be listed.
bool ListFolders(const std::string& cdDir, std::vector<std::string>& folders, std::string& error) {
    folders.clear();
    const stdfs::path root = HostPath(cdDir);
    std::error_code ec;
    if (!stdfs::is_directory(root, ec)) {
        error = "not a folder";
        return false;
    }
    for (stdfs::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (it->is_directory(entryError)) folders.push_back(it->path().filename().string());
    }
    if (ec) {
        error = "cannot be listed: " + ec.message();
        return false;
    }
    std::sort(folders.begin(), folders.end());
    return true;
}

}  // namespace

bool WriteFileLists(const std::string& cdDir, std::string& error) {
    std::vector<std::string> folders;
    if (!ListFolders(cdDir, folders, error)) {
        error = Display(cdDir) + ": " + error;
        return false;
    }
    error.clear();
    for (const std::string& folder : folders) {
        const std::string productDir = cdDir + "\\" + folder;
        if (!qv::fs::IsFile(productDir + "\\" + qv::kCatalogueName)) continue;
        std::string folderError;
        if (!WriteFileList(productDir, folderError)) error += (error.empty() ? "" : "\n") + folderError;
    }
    return error.empty();
}

CdCheckResult CheckCd(const std::string& cdDir) {
    CdCheckResult result;
    std::vector<std::string> folders;
    std::string error;
    if (!ListFolders(cdDir, folders, error)) {
        result.problems.push_back({Display(cdDir), 0, error});
        return result;
    }

    for (const std::string& folder : folders) {
        const std::string productDir = cdDir + "\\" + folder;
        if (!qv::fs::IsFile(productDir + "\\" + qv::kCatalogueName)) continue;
        if (qv::LeadingNumber(CatalogueKey(productDir, "ProdNum")) == 0) {
            result.notes.push_back(folder + ": ProdNum is 0 or missing; not a product, not checked");
            continue;
        }
        ++result.products;
        const CatalogueCheck catalogue = CheckCatalogue(productDir, result);
        if (!catalogue.product && !catalogue.anyMessage)
            result.problems.push_back({Display(productDir + "\\" + qv::kCatalogueName), 0,
                                       "gives no size above 0 on any platform; the installer never lists it"});
        CheckFileList(productDir, IsBaseDelta(productDir), result);
    }
    return result;
}

int CheckCd(const std::string& cdDir, std::string& report) {
    const CdCheckResult result = CheckCd(cdDir);
    report.clear();
    for (const CdProblem& p : result.problems) report += FormatProblem(p) + "\n";
    return static_cast<int>(result.problems.size());
}

std::string FormatProblem(const CdProblem& problem) {
    return problem.file + ":" + std::to_string(problem.line) + ": " + problem.text;
}

}  // namespace qvtools

#include "tools/standin_archive/archive_format.h"

#ifdef _WIN32
#include <windows.h>

#include "setup/session/scoped_handle_win.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <limits>

#include "qvcrc/crc32.h"
#include "setup/engine/file_list.h"

namespace qvtools::standin {
namespace {

namespace fsys = std::filesystem;

constexpr char kMagic[4] = {'Q', 'V', 'S', 'A'};
constexpr char kEndMagic[8] = {'Q', 'V', 'S', 'A', 'E', 'N', 'D', '1'};
constexpr uint32_t kVersion = 1;
constexpr size_t kTrailerSize = 16;
// 100-ns ticks from 1 January 1601 to 1 January 1970.
constexpr int64_t kUnixEpochTicks = 116444736000000000LL;

fsys::path HostPath(const std::string& path) {
#ifdef _WIN32
    return fsys::path(path);
#else
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return fsys::path(p);
#endif
}

// The last-write time of a file in 100-ns units since 1601, to the full precision of the
// file system (the library's own calls keep whole seconds only on some systems).
bool WriteTimeOf(const fsys::path& path, int64_t& ticks) {
#ifdef _WIN32
    qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    FILETIME written;
    const bool ok = GetFileTime(file.get(), nullptr, nullptr, &written) != 0;
    ticks = static_cast<int64_t>((uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime);
    return ok;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return false;
    ticks = static_cast<int64_t>(st.st_mtim.tv_sec) * 10000000 + st.st_mtim.tv_nsec / 100 + kUnixEpochTicks;
    return true;
#endif
}

bool SetWriteTime(const fsys::path& path, int64_t ticks) {
#ifdef _WIN32
    qv::ScopedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    FILETIME written;
    written.dwLowDateTime = static_cast<DWORD>(ticks);
    written.dwHighDateTime = static_cast<DWORD>(static_cast<uint64_t>(ticks) >> 32);
    return SetFileTime(file.get(), nullptr, nullptr, &written) != 0;
#else
    // A time before what the subtraction can reach is no time a file can have.
    if (ticks < std::numeric_limits<int64_t>::min() + kUnixEpochTicks) return false;
    const int64_t sinceEpoch = ticks - kUnixEpochTicks;
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(sinceEpoch / 10000000);
    times[1].tv_nsec = static_cast<long>(sinceEpoch % 10000000) * 100;
    if (times[1].tv_nsec < 0) {
        times[1].tv_nsec += 1000000000;
        times[1].tv_sec -= 1;
    }
    return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
#endif
}

void PutU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutU64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Reads little-endian numbers and byte strings from a stream; remembers a failure.
class Reader {
public:
    explicit Reader(std::istream& in) : in_(in) {}
    uint64_t Number(int bytes) {
        unsigned char b[8] = {};
        if (!in_.read(reinterpret_cast<char*>(b), bytes)) ok_ = false;
        uint64_t v = 0;
        for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | b[i];
        return v;
    }
    std::string Bytes(uint64_t n) {
        if (n > (1u << 20)) {  // names and codes are short
            ok_ = false;
            return {};
        }
        std::string s(static_cast<size_t>(n), '\0');
        if (n > 0 && !in_.read(s.data(), static_cast<std::streamsize>(n))) ok_ = false;
        return s;
    }
    bool ok() const { return ok_ && static_cast<bool>(in_); }

private:
    std::istream& in_;
    bool ok_ = true;
};

bool EqualsNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool CopyStream(std::istream& in, std::ostream& out, uint64_t size, uint32_t* crc) {
    std::vector<char> buffer(1 << 16);
    uint32_t running = 0xFFFFFFFFu;
    while (size > 0) {
        const auto n = static_cast<std::streamsize>(std::min<uint64_t>(size, buffer.size()));
        if (!in.read(buffer.data(), n)) return false;
        running = qvcrc::Update(running, buffer.data(), static_cast<size_t>(n));
        if (!out.write(buffer.data(), n)) return false;
        size -= static_cast<uint64_t>(n);
    }
    if (crc) *crc = ~running;
    return true;
}

}  // namespace

std::string PasswordFor(const std::string& productCode) {
    return productCode + productCode.substr(0, 1) + productCode;
}

namespace {

// Appends one member: its entry, then its bytes. The CRC comes after the bytes are read,
// so the entry is written in two steps.
bool AppendMember(std::ofstream& out, const Member& m, std::string& error) {
    std::error_code ec;
    const fsys::path source = HostPath(m.sourcePath);
    const uint64_t size = fsys::file_size(source, ec);
    int64_t time = 0;
    std::ifstream in(source, std::ios::binary);
    if (ec || !in || !WriteTimeOf(source, time)) {
        error = "cannot read " + m.sourcePath;
        return false;
    }
    std::string entry;
    PutU32(entry, static_cast<uint32_t>(m.spec.size()));
    entry += m.spec;
    PutU64(entry, size);
    PutU64(entry, static_cast<uint64_t>(time));
    out.write(entry.data(), static_cast<std::streamsize>(entry.size()));
    const auto crcAt = out.tellp();
    out.write("\0\0\0\0", 4);
    uint32_t crc = 0;
    if (!CopyStream(in, out, size, &crc)) {
        error = "cannot copy " + m.sourcePath;
        return false;
    }
    const auto end = out.tellp();
    std::string crcBytes;
    PutU32(crcBytes, crc);
    out.seekp(crcAt);
    out.write(crcBytes.data(), 4);
    out.seekp(end);
    return true;
}

}  // namespace

bool PackArchive(const std::string& stubPath, const std::string& outPath, const std::string& productCode,
                 const std::vector<Member>& members, std::string& error) {
    std::ifstream stub(HostPath(stubPath), std::ios::binary);
    if (!stub) {
        error = "cannot read the program " + stubPath;
        return false;
    }
    std::ofstream out(HostPath(outPath), std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write " + outPath;
        return false;
    }
    out << stub.rdbuf();
    const auto payloadOffset = static_cast<uint64_t>(out.tellp());

    std::string header(kMagic, sizeof kMagic);
    PutU32(header, kVersion);
    PutU32(header, static_cast<uint32_t>(productCode.size()));
    header += productCode;
    PutU32(header, static_cast<uint32_t>(members.size()));
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    for (const Member& m : members)
        if (!AppendMember(out, m, error)) return false;

    std::string trailer;
    PutU64(trailer, payloadOffset);
    trailer.append(kEndMagic, sizeof kEndMagic);
    out.write(trailer.data(), static_cast<std::streamsize>(trailer.size()));
    out.close();
    if (!out) {
        error = "cannot write " + outPath;
        return false;
    }
    return true;
}

bool MembersFromFileList(const std::string& productDir, std::vector<Member>& members, std::string& error) {
    const std::string listPath = productDir + "\\" + qv::kFileListName;
    std::ifstream list(HostPath(listPath), std::ios::binary);
    if (!list) {
        error = "cannot read " + listPath;
        return false;
    }
    std::string line;
    while (std::getline(list, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::string spec = qv::ReadListField(line, 1);
        members.push_back({spec, productDir + "\\" + spec});
    }
    return true;
}

namespace {

// Moves i past the program path at the start of the command line: quoted, or up to the
// first ".exe" that a blank or the end follows.
bool SkipProgramPath(const std::string& s, size_t& i, std::string& error) {
    if (i < s.size() && s[i] == '"') {
        const size_t close = s.find('"', i + 1);
        if (close == std::string::npos) {
            error = "the program path has no closing quote";
            return false;
        }
        i = close + 1;
        return true;
    }
    size_t at = i;
    for (;;) {
        std::string lower = s.substr(at);
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        const size_t exe = lower.find(".exe");
        if (exe == std::string::npos) {
            error = "no program path ending in .exe";
            return false;
        }
        at += exe + 4;
        if (at == s.size() || s[at] == ' ') break;
    }
    i = at;
    return true;
}

}  // namespace

bool ParseCommandLine(const std::string& commandLine, Request& request, std::string& error) {
    const std::string& s = commandLine;
    size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (!SkipProgramPath(s, i, error)) return false;

    bool silent = false, overAll = false, password = false;
    std::vector<std::string> quoted;
    for (;;) {
        while (i < s.size() && s[i] == ' ') ++i;
        if (i >= s.size()) break;
        if (s[i] == '"') {
            const size_t close = s.find('"', i + 1);
            if (close == std::string::npos) {
                error = "an argument has no closing quote";
                return false;
            }
            quoted.push_back(s.substr(i + 1, close - i - 1));
            i = close + 1;
            if (i < s.size() && s[i] != ' ') {
                error = "text follows a closing quote";
                return false;
            }
            continue;
        }
        const size_t end = std::min(s.find(' ', i), s.size());
        const std::string option = s.substr(i, end - i);
        i = end;
        if (option == "-silent") {
            silent = true;
        } else if (option == "-over=all") {
            overAll = true;
        } else if (option.rfind("-pass=", 0) == 0) {
            password = true;
            request.password = option.substr(6);
        } else {
            error = "unknown option " + option;
            return false;
        }
    }
    if (!silent || !overAll || !password || quoted.size() != 2) {
        error = "expected -silent, -over=all, -pass= and two quoted arguments";
        return false;
    }
    request.spec = quoted[0];
    request.targetDir = quoted[1];
    return true;
}

namespace {

// Reads the trailer at the end of the archive and the payload's header that it points
// to: the product code and the member count. Leaves the stream at the first member.
bool ReadPayloadHeader(std::istream& in, uint64_t length, std::string& code, uint64_t& count, std::string& error) {
    if (length < kTrailerSize) {
        error = "no payload";
        return false;
    }
    in.seekg(static_cast<std::streamoff>(length - kTrailerSize));
    Reader r(in);
    const uint64_t payloadOffset = r.Number(8);
    if (r.Bytes(8) != std::string(kEndMagic, sizeof kEndMagic) || !r.ok() || payloadOffset >= length) {
        error = "no payload";
        return false;
    }
    in.seekg(static_cast<std::streamoff>(payloadOffset));
    if (r.Bytes(4) != std::string(kMagic, sizeof kMagic) || r.Number(4) != kVersion) {
        error = "unknown payload";
        return false;
    }
    code = r.Bytes(r.Number(4));
    count = r.Number(4);
    if (!r.ok()) {
        error = "damaged payload";
        return false;
    }
    return true;
}

// A member's entry before its bytes.
struct MemberEntry {
    std::string name;
    uint64_t size = 0;
    int64_t time = 0;
    uint32_t crc = 0;
};

// Writes the member whose bytes the stream stands at into the target directory (made when
// missing) under the last component of its name: to a scratch name first, checked against
// its CRC, then in place of an older file.
ExitCode WriteMember(std::istream& in, const MemberEntry& m, const std::string& targetDir, std::string& error) {
    std::string target = targetDir;
    if (!target.empty() && target.back() == '\\') target.pop_back();
    const size_t slash = m.name.rfind('\\');
    const std::string fileName = slash == std::string::npos ? m.name : m.name.substr(slash + 1);
    const fsys::path dir = HostPath(target);
    const fsys::path final = dir / fileName;
    const fsys::path scratch = dir / (fileName + ".~qvsa");
    std::error_code ec;
    fsys::create_directories(dir, ec);
    {
        std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
        uint32_t actual = 0;
        if (!out || !CopyStream(in, out, m.size, &actual)) {
            error = "cannot write " + scratch.string();
            fsys::remove(scratch, ec);
            return kCannotWrite;
        }
        out.close();
        if (actual != m.crc) {
            error = "member " + m.name + " is damaged";
            fsys::remove(scratch, ec);
            return kDamagedArchive;
        }
    }
    SetWriteTime(scratch, m.time);
    fsys::remove(final, ec);  // -over=all: an older file is replaced
    fsys::rename(scratch, final, ec);
    if (ec) {
        error = "cannot write " + final.string();
        fsys::remove(scratch, ec);
        return kCannotWrite;
    }
    return kExtracted;
}

}  // namespace

ExitCode Extract(const std::string& archivePath, const Request& request, std::string& error) {
    std::ifstream in(HostPath(archivePath), std::ios::binary);
    if (!in || !in.seekg(0, std::ios::end)) {
        error = "cannot read " + archivePath;
        return kDamagedArchive;
    }
    const auto length = static_cast<uint64_t>(in.tellg());
    std::string code;
    uint64_t count = 0;
    if (!ReadPayloadHeader(in, length, code, count, error)) return kDamagedArchive;
    if (request.password != PasswordFor(code)) {
        error = "wrong password";
        return kWrongPassword;
    }

    Reader r(in);
    for (uint64_t n = 0; n < count; ++n) {
        MemberEntry m;
        m.name = r.Bytes(r.Number(4));
        m.size = r.Number(8);
        m.time = static_cast<int64_t>(r.Number(8));
        m.crc = static_cast<uint32_t>(r.Number(4));
        // A member that runs past the end of the file, or a name the installer would
        // never ask for, can only come from a damaged archive.
        const auto at = static_cast<uint64_t>(in.tellg());
        if (!r.ok() || at > length || m.size > length - at || !qv::IsSafeFileSpec(m.name)) {
            error = "damaged payload";
            return kDamagedArchive;
        }
        if (!EqualsNoCase(m.name, request.spec)) {
            in.seekg(static_cast<std::streamoff>(m.size), std::ios::cur);
            continue;
        }
        return WriteMember(in, m, request.targetDir, error);
    }
    error = "no member " + request.spec;
    return kNoSuchMember;
}

}  // namespace qvtools::standin

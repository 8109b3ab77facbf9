// Native implementation of the file-system services: Windows paths are mapped onto the
// build machine's by turning every "\" into "/".
#include <dirent.h>
#include <glob.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "setup/session/file_system.h"

namespace qv::fs {
namespace {

thread_local int lastErrno = 0;

std::string Native(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

bool Fail() {
    lastErrno = errno;
    return false;
}

}  // namespace

bool Exists(const std::string& path) {
    struct stat st;
    return stat(Native(path).c_str(), &st) == 0 || Fail();
}

bool IsDirectory(const std::string& path) {
    struct stat st;
    if (stat(Native(path).c_str(), &st) != 0) return Fail();
    return S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st;
    if (stat(Native(path).c_str(), &st) != 0) return Fail();
    return S_ISREG(st.st_mode);
}

std::vector<std::string> ListSubdirectories(const std::string& dir) {
    std::vector<std::string> names;
    const std::string base = Native(dir);
    DIR* d = opendir(base.c_str());
    if (!d) {
        Fail();
        return names;
    }
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (stat((base + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode)) names.push_back(name);
    }
    closedir(d);
    return names;
}

bool MatchesAnyEntry(const std::string& pattern) {
    if (pattern.empty()) return false;
    const std::string search = Native(pattern.back() == '\\' ? pattern + "*" : pattern);
    glob_t found{};
    const int result = glob(search.c_str(), GLOB_NOSORT, nullptr, &found);
    globfree(&found);
    if (result != 0) errno = ENOENT;
    return result == 0 || Fail();
}

bool CreateDir(const std::string& path) { return mkdir(Native(path).c_str(), 0777) == 0 || Fail(); }
bool RemoveDir(const std::string& path) { return rmdir(Native(path).c_str()) == 0 || Fail(); }
bool RemoveFile(const std::string& path) { return unlink(Native(path).c_str()) == 0 || Fail(); }

bool MoveReplacing(const std::string& from, const std::string& to) {
    return std::rename(Native(from).c_str(), Native(to).c_str()) == 0 || Fail();
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    std::FILE* f = std::fopen(Native(path).c_str(), mode);
    if (!f) Fail();
    return f;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    std::FILE* f = OpenFile(path, "rb");
    if (!f) return false;
    content.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) content.append(buffer, n);
    const bool ok = !std::ferror(f);
    if (!ok) lastErrno = EIO;
    std::fclose(f);
    return ok;
}

std::optional<DiskSpace> GetDiskSpace(const std::string& root) {
    struct statvfs v;
    if (statvfs(Native(root).c_str(), &v) != 0) {
        Fail();
        return std::nullopt;
    }
    // Present the figures as the Windows call does: 512-byte sectors, clusters of the
    // file system's block size, counts clamped to 32 bits.
    DiskSpace s;
    s.bytesPerSector = 512;
    s.sectorsPerCluster = std::max<uint32_t>(1, static_cast<uint32_t>(v.f_frsize / 512));
    s.freeClusters = static_cast<uint32_t>(std::min<unsigned long long>(v.f_bavail, 0xFFFFFFFFull));
    s.totalClusters = static_cast<uint32_t>(std::min<unsigned long long>(v.f_blocks, 0xFFFFFFFFull));
    return s;
}

std::string GetEnv(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? v : "";
}

RunError LastError() {
    switch (lastErrno) {
        case 0: return {};
        case ENOENT: return err::PathNotFound();
        case EACCES:
        case EPERM:
        case EROFS: return err::PermissionDenied();
        case ENOSPC: return err::DiskFull();
        case EIO: return err::DeviceIo();
        default: return err::PathFileAccess();
    }
}

std::string SystemTempDir() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? t : "/tmp";
}

}  // namespace qv::fs

// Native implementation of the file layer: Windows paths are mapped onto the build
// machine's by turning every "\" into "/".
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>

#include "setup/session/file_system.h"
#include "setup/session/native_path.h"

namespace qv::fs {
namespace {

bool Fail(RunError& error) {
    error = FromSystemError(static_cast<uint32_t>(errno));
    return false;
}

int Fd(Handle file) { return static_cast<int>(file); }

}  // namespace

EntryKind KindOf(const std::string& path, RunError& error) {
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0) {
        Fail(error);
        return EntryKind::None;
    }
    return S_ISDIR(st.st_mode) ? EntryKind::Directory : EntryKind::File;
}

bool IsReadOnly(const std::string& path) {
    struct stat st;
    return stat(NativePath(path).c_str(), &st) == 0 && !(st.st_mode & S_IWUSR);
}

bool IsLink(const std::string& path) {
    struct stat st;
    return lstat(NativePath(path).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool Occupied(const std::string& path) {
    struct stat st;
    return lstat(NativePath(path).c_str(), &st) == 0;
}

namespace {
// A time as a count of 100 nanoseconds, as Windows counts file times.
int64_t Ticks(int64_t seconds, int64_t nanoseconds) { return seconds * 10000000 + nanoseconds / 100; }
}  // namespace

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st;
    if (lstat(NativePath(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStamp{st.st_size, Ticks(st.st_mtim.tv_sec, st.st_mtim.tv_nsec)};
}

bool FindEntries(const std::string& pattern, const std::function<bool(const DirEntry&)>& visit, RunError& error) {
    // The folder part is opened; the last part is matched as Windows does, without
    // regard to case.
    const size_t slash = pattern.rfind('\\');
    const std::string folder = slash == std::string::npos ? "." : NativePath(pattern.substr(0, slash + 1));
    const std::string name = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), &closedir);
    if (!dir) return Fail(error);
    while (const dirent* e = readdir(dir.get())) {
        DirEntry entry{e->d_name, false};
        if (entry.name == "." || entry.name == ".." || fnmatch(name.c_str(), e->d_name, FNM_CASEFOLD) != 0) continue;
        struct stat st;
        entry.directory = stat((folder + "/" + entry.name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        entry.link = lstat((folder + "/" + entry.name).c_str(), &st) == 0 && S_ISLNK(st.st_mode);
        if (!visit(entry)) break;
    }
    return true;
}

bool CreateDir(const Path& path, RunError& error) {
    return mkdir(NativePath(path).c_str(), 0777) == 0 || Fail(error);
}

bool RemoveDir(const Path& path, RunError& error) {
    // A link to a folder goes as Windows removes a junction: the link, not the folder.
    if (IsLink(path)) return unlink(NativePath(path).c_str()) == 0 || Fail(error);
    return rmdir(NativePath(path).c_str()) == 0 || Fail(error);
}

bool CreateProtectedDir(const Path& path, RunError& error) {
    if (mkdir(NativePath(path).c_str(), 0700) == 0) return true;
    if (errno != EEXIST) return Fail(error);
    struct stat st;
    if (lstat(NativePath(path).c_str(), &st) != 0) return Fail(error);
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid()) {
        error = FromSystemError(EACCES);  // someone else's: not to be trusted
        return false;
    }
    return chmod(NativePath(path).c_str(), 0700) == 0 || Fail(error);
}

bool IsTrustedFile(const std::string& path) {
    struct stat st;
    return lstat(NativePath(path).c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && (st.st_uid == geteuid() || st.st_uid == 0) &&
           !(st.st_mode & (S_IWGRP | S_IWOTH));
}

bool RemoveFile(const Path& path, RunError& error) {
    return unlink(NativePath(path).c_str()) == 0 || Fail(error);
}

bool RemoveAtRestart(const Path& /*path*/, RunError& error) {
    error = FromSystemError(ENOSYS);  // the build machine keeps no such list
    return false;
}

bool ClearReadOnly(const Path& path, RunError& error) {
    struct stat st;
    if (stat(NativePath(path).c_str(), &st) != 0) return Fail(error);
    return chmod(NativePath(path).c_str(), st.st_mode | S_IWUSR) == 0 || Fail(error);
}

bool MoveReplacing(const Path& from, const Path& to, RunError& error) {
    // A file without write permission stands for a read-only one, which Windows will not
    // replace (the owner's bit: root could replace it all the same).
    if (IsReadOnly(to)) {
        error = FromSystemError(EACCES);
        return false;
    }
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 || Fail(error);
}

bool Move(const Path& from, const Path& to, RunError& error) {
    // Windows will not move onto an existing name; rename would replace it.
    if (Exists(to)) {
        error = FromSystemError(EEXIST);
        return false;
    }
    return std::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 || Fail(error);
}

bool MoveAside(const Path& from, const Path& to, RunError& error) {
    RunError lookup;
    const EntryKind kind = KindOf(from, lookup);
    if (kind == EntryKind::None) {
        error = lookup;
        return false;
    }
    if (kind == EntryKind::Directory || IsReadOnly(from)) {
        error = FromSystemError(EACCES);
        return false;
    }
    return Move(from, to, error);
}

bool CopyToNew(const std::string& from, const Path& to, RunError& error) {
    std::string content;
    if (!ReadWholeFile(from, content, error)) return false;
    const Handle out = CreateNew(to, error);
    if (out == kNoHandle) return false;
    const bool written = Write(out, content.data(), static_cast<uint32_t>(content.size()), error);
    return Close(out, error) && written;
}

// The build machine has no program that holds a file against the others.
bool HeldByAnother(const RunError& /*error*/) { return false; }

namespace {
// The system's list of renames at the next start, in its own form, for the life of the process.
std::vector<std::string>& PendingRenames() {
    static std::vector<std::string> names;
    return names;
}
}  // namespace

bool ReplaceAtRestart(const Path& from, const Path& to, RunError& /*error*/) {
    PendingRenames().push_back(SystemName(from));
    PendingRenames().push_back(ReplacedName(to));
    return true;
}

bool CancelReplaceAtRestart(const Path& from, const Path& to, RunError& /*error*/) {
    std::vector<std::string>& names = PendingRenames();
    for (std::optional<size_t> at; (at = FindReplacement(names, from, to));)
        names.erase(names.begin() + static_cast<std::ptrdiff_t>(*at), names.begin() + static_cast<std::ptrdiff_t>(*at) + 2);
    return true;
}

std::vector<PendingReplacement> PendingReplacements() { return ReplacementsIn(PendingRenames()); }

std::FILE* CreateFileToWrite(const Path& path, RunError& error) { return OpenFile(path, "wb", error); }

std::FILE* OpenFile(const std::string& path, const char* mode, RunError& error) {
    std::FILE* f = std::fopen(NativePath(path).c_str(), mode);
    if (!f) Fail(error);
    return f;
}

bool ReadWholeFile(const std::string& path, std::string& content, RunError& error) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(OpenFile(path, "rb", error), &std::fclose);
    if (!f) return false;
    content.clear();
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) content.append(buffer, n);
    if (!std::ferror(f.get())) return true;
    error = FromSystemError(EIO);
    return false;
}

Handle OpenForRead(const std::string& path, RunError& error) {
    const int fd = open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(error);
        return kNoHandle;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {  // Windows will not open a folder as a file
        close(fd);
        error = FromSystemError(EISDIR);
        return kNoHandle;
    }
    return fd;
}

Handle CreateNew(const Path& path, RunError& error) {
    const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(error);
        return kNoHandle;
    }
    return fd;
}

Handle OpenForAppend(const Path& path, RunError& error) {
    const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(error);
        return kNoHandle;
    }
    return fd;
}

bool Flush(Handle file, RunError& error) { return fsync(Fd(file)) == 0 || Fail(error); }

Handle CreateForWrite(const Path& path, RunError& error) {
    const int fd = open(NativePath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        Fail(error);
        return kNoHandle;
    }
    return fd;
}

bool Read(Handle file, void* buffer, uint32_t want, uint32_t& got, RunError& error) {
    got = 0;
    auto* p = static_cast<char*>(buffer);
    while (got < want) {
        const ssize_t n = read(Fd(file), p + got, want - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) break;
        got += static_cast<uint32_t>(n);
    }
    return true;
}

bool Write(Handle file, const void* buffer, uint32_t count, RunError& error) {
    const auto* p = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < count) {
        const ssize_t n = write(Fd(file), p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail(error);
        }
        if (n == 0) {
            error = FromSystemError(ENOSPC);
            return false;
        }
        done += static_cast<uint32_t>(n);
    }
    return true;
}

bool Seek(Handle file, int64_t offset, RunError& error) {
    return lseek(Fd(file), static_cast<off_t>(offset), SEEK_SET) >= 0 || Fail(error);
}

bool Size(Handle file, int64_t& size, RunError& error) {
    struct stat st;
    if (fstat(Fd(file), &st) != 0) return Fail(error);
    size = st.st_size;
    return true;
}

bool Close(Handle file, RunError& error) { return close(Fd(file)) == 0 || Fail(error); }

int64_t WriteTimeOf(const FileTimes& times) { return Ticks(times.values[2], times.values[3]); }

bool GetFileTimes(Handle file, FileTimes& times, RunError& error) {
    // The creation time has no native counterpart.
    struct stat st;
    if (fstat(Fd(file), &st) != 0) return Fail(error);
    times.values[0] = st.st_atim.tv_sec;
    times.values[1] = st.st_atim.tv_nsec;
    times.values[2] = st.st_mtim.tv_sec;
    times.values[3] = st.st_mtim.tv_nsec;
    return true;
}

bool SetFileTimes(Handle file, const FileTimes& times, RunError& error) {
    struct timespec both[2];
    both[0].tv_sec = static_cast<time_t>(times.values[0]);
    both[0].tv_nsec = static_cast<long>(times.values[1]);
    both[1].tv_sec = static_cast<time_t>(times.values[2]);
    both[1].tv_nsec = static_cast<long>(times.values[3]);
    return futimens(Fd(file), both) == 0 || Fail(error);
}

std::optional<DiskSpace> GetDiskSpace(const std::string& root, RunError& error) {
    struct statvfs v;
    if (statvfs(NativePath(root).c_str(), &v) != 0) {
        Fail(error);
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

std::optional<Path> CurrentDir() {
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer)) return std::nullopt;
    return Path::Parse(buffer);
}

// The build machine's volumes keep no short names.
Path LongForm(const Path& path) { return path; }

std::string GetEnv(const std::string& name) {
    const char* v = std::getenv(name.c_str());
    return v ? v : "";
}

namespace {
std::map<std::string, std::string>& ShortPaths() {
    static std::map<std::string, std::string> paths;
    return paths;
}
}  // namespace

// The build machine's volumes keep no short names; a test gives the ones it needs.
std::string ShortPath(const std::string& path) {
    const auto found = ShortPaths().find(path);
    return found == ShortPaths().end() ? std::string() : found->second;
}

void SetShortPathForTests(const std::string& path, const std::string& shortPath) { ShortPaths()[path] = shortPath; }

std::string ProgramFolder() { return {}; }

std::string SystemTempDir() {
    const char* t = std::getenv("TMPDIR");
    return t && *t ? t : "/tmp";
}

// One folder of the build machine stands for both, the user's own.
std::optional<Path> MachineDataFolder() {
    std::string folder = SystemTempDir();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    folder += "/qvsetup-data-" + std::to_string(geteuid());
    mkdir(folder.c_str(), 0700);
    return Path::Parse(folder);
}
std::optional<Path> UserDataFolder() { return MachineDataFolder(); }

}  // namespace qv::fs

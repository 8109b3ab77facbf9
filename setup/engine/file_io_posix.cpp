// Native implementation of the engine's file and process services: Windows paths are
// mapped onto the build machine's by turning every "\" into "/".
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "setup/engine/file_io.h"

extern char** environ;

namespace qv::io {
namespace {

std::string Native(const std::string& path) {
    std::string p = path;
    std::replace(p.begin(), p.end(), '\\', '/');
    return p;
}

RunError ToRunError(int code) {
    switch (code) {
        case ENOENT: return err::FileNotFound();
        case ENOTDIR: return err::PathNotFound();
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR: return err::PermissionDenied();
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return err::DiskFull();
        case EIO: return err::DeviceIo();
        default: return err::PathFileAccess();
    }
}

bool Fail(RunError& error) {
    error = ToRunError(errno);
    return false;
}

int Fd(Handle file) { return static_cast<int>(file); }

// Splits a command line the way Windows programs split theirs: blanks separate
// arguments, double quotes group, a backslash escapes a quote only before one.
std::vector<std::string> SplitCommandLine(const std::string& line) {
    std::vector<std::string> args;
    size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string arg;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            size_t slashes = 0;
            while (i < line.size() && line[i] == '\\') ++slashes, ++i;
            if (i < line.size() && line[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2) {
                    arg += '"';
                } else {
                    quoted = !quoted;
                }
                ++i;
            } else {
                arg.append(slashes, '\\');
                if (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) arg += line[i++];
            }
        }
        args.push_back(arg);
    }
    return args;
}

}  // namespace

Handle OpenForRead(const std::string& path, RunError& error) {
    const int fd = open(Native(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        Fail(error);
        return kNoHandle;
    }
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        close(fd);
        error = err::PermissionDenied();
        return kNoHandle;
    }
    return fd;
}

Handle CreateForWrite(const std::string& path, RunError& error) {
    const int fd = open(Native(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
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
            error = err::DiskFull();
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

bool Remove(const std::string& path) { return unlink(Native(path).c_str()) == 0; }

bool CopyFileTimes(const std::string& source, const std::string& dest) {
    // The creation time has no native counterpart; access and modification times carry over.
    struct stat st;
    if (stat(Native(source).c_str(), &st) != 0) return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return utimensat(AT_FDCWD, Native(dest).c_str(), times, 0) == 0;
}

bool StartProgram(const std::string& commandLine, bool /*hidden*/, RunError& error) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) {
        error = err::FileNotFound();
        return false;
    }
    args[0] = Native(args[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        errno = rc;
        return Fail(error);
    }
    return true;
}

}  // namespace qv::io

// Windows implementation of the engine's file and process services.
#include <windows.h>

#include <vector>

#include "setup/engine/file_io.h"

namespace qv::io {
namespace {

HANDLE AsHandle(Handle file) { return reinterpret_cast<HANDLE>(file); }

// The classic run-time error that the installer reports for a Win32 error code.
RunError ToRunError(DWORD code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND: return err::FileNotFound();
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
        case ERROR_INVALID_NAME: return err::PathNotFound();
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return err::PermissionDenied();
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return err::DiskFull();
        case ERROR_NOT_READY:
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT:
        case ERROR_GEN_FAILURE:
        case ERROR_SECTOR_NOT_FOUND: return err::DeviceIo();
        default: return err::PathFileAccess();
    }
}

bool Fail(RunError& error) {
    error = ToRunError(GetLastError());
    return false;
}

// Closes a handle when it goes out of scope.
class ScopedHandle {
public:
    explicit ScopedHandle(HANDLE h) : h_(h) {}
    ~ScopedHandle() {
        if (valid()) CloseHandle(h_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

}  // namespace

Handle OpenForRead(const std::string& path, RunError& error) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail(error);
        return kNoHandle;
    }
    return reinterpret_cast<Handle>(h);
}

Handle CreateForWrite(const std::string& path, RunError& error) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        Fail(error);
        return kNoHandle;
    }
    return reinterpret_cast<Handle>(h);
}

bool Read(Handle file, void* buffer, uint32_t want, uint32_t& got, RunError& error) {
    DWORD n = 0;
    got = 0;
    if (!ReadFile(AsHandle(file), buffer, want, &n, nullptr)) return Fail(error);
    got = n;
    return true;
}

bool Write(Handle file, const void* buffer, uint32_t count, RunError& error) {
    DWORD n = 0;
    if (!WriteFile(AsHandle(file), buffer, count, &n, nullptr)) return Fail(error);
    if (n != count) {
        error = err::DiskFull();
        return false;
    }
    return true;
}

bool Seek(Handle file, int64_t offset, RunError& error) {
    LARGE_INTEGER to;
    to.QuadPart = offset;
    return SetFilePointerEx(AsHandle(file), to, nullptr, FILE_BEGIN) || Fail(error);
}

bool Size(Handle file, int64_t& size, RunError& error) {
    LARGE_INTEGER n;
    if (!GetFileSizeEx(AsHandle(file), &n)) return Fail(error);
    size = n.QuadPart;
    return true;
}

bool Close(Handle file, RunError& error) { return CloseHandle(AsHandle(file)) || Fail(error); }

bool Remove(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CopyFileTimes(const std::string& source, const std::string& dest) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    ScopedHandle from(CreateFileA(source.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!from.valid()) return false;
    ScopedHandle to(CreateFileA(dest.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!to.valid()) return false;
    FILETIME created, accessed, written;
    if (!GetFileTime(from.get(), &created, &accessed, &written)) return false;
    return SetFileTime(to.get(), &created, &accessed, &written) != 0;
}

bool StartProgram(const std::string& commandLine, bool hidden, RunError& error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(hidden ? SW_HIDE : SW_SHOWNORMAL);
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return Fail(error);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

}  // namespace qv::io

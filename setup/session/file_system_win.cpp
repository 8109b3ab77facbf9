// Windows implementation of the file-system services, with the ANSI Win32 calls.
#include <windows.h>

#include <cerrno>
#include <cstdlib>

#include "setup/session/file_system.h"

namespace qv::fs {
namespace {

thread_local DWORD lastError = 0;

bool Fail() {
    lastError = GetLastError();
    return false;
}

DWORD Attributes(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) Fail();
    return a;
}

}  // namespace

bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
    const DWORD a = Attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> ListSubdirectories(const std::string& dir) {
    std::vector<std::string> names;
    std::string pattern = dir;
    if (pattern.empty() || pattern.back() != '\\') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
        Fail();
        return names;
    }
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) names.push_back(name);
    } while (FindNextFileA(find, &data));
    FindClose(find);
    return names;
}

bool MatchesAnyEntry(const std::string& pattern) {
    if (pattern.empty()) return false;
    const std::string search = pattern.back() == '\\' ? pattern + "*" : pattern;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(search.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return Fail();
    FindClose(find);
    return true;
}

bool CreateDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) || Fail(); }
bool RemoveDir(const std::string& path) { return RemoveDirectoryA(path.c_str()) || Fail(); }
bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) || Fail(); }

bool MoveReplacing(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) || Fail();
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (!f) lastError = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    return f;
}

bool ReadWholeFile(const std::string& path, std::string& content) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail();
    content.clear();
    char buffer[65536];
    DWORD got = 0;
    bool ok = true;
    for (;;) {
        if (!ReadFile(h, buffer, sizeof buffer, &got, nullptr)) {
            ok = Fail();
            break;
        }
        if (got == 0) break;
        content.append(buffer, got);
    }
    CloseHandle(h);
    return ok;
}

std::optional<DiskSpace> GetDiskSpace(const std::string& root) {
    DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &spc, &bps, &freeClusters, &total)) {
        Fail();
        return std::nullopt;
    }
    return DiskSpace{spc, bps, freeClusters, total};
}

std::string GetEnv(const std::string& name) {
    char buffer[32768];
    const DWORD n = GetEnvironmentVariableA(name.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

RunError LastError() {
    switch (lastError) {
        case 0: return {};
        case ERROR_FILE_NOT_FOUND: return err::FileNotFound();
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH: return err::PathNotFound();
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
        case ERROR_SHARING_VIOLATION: return err::PermissionDenied();
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return err::DiskFull();
        case ERROR_NOT_READY:
        case ERROR_CRC:
        case ERROR_READ_FAULT:
        case ERROR_WRITE_FAULT: return err::DeviceIo();
        default: return err::PathFileAccess();
    }
}

std::string SystemTempDir() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof buffer, buffer);
    std::string dir = n > 0 && n <= MAX_PATH ? std::string(buffer, n) : std::string("C:\\");
    if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    return dir;
}

}  // namespace qv::fs

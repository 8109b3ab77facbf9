// Windows implementation of the file layer, with the ANSI Win32 calls.
#include <windows.h>
// windows.h first: these need its types.
#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cerrno>
#include <functional>

#include "setup/session/file_system.h"
#include "setup/session/registry_key_win.h"
#include "setup/session/scoped_handle_win.h"
#include "setup/session/wide_text_win.h"

namespace qv::fs {
namespace {

bool Fail(RunError& error) {
    error = FromSystemError(GetLastError());
    return false;
}

HANDLE AsHandle(Handle file) { return reinterpret_cast<HANDLE>(file); }

Handle Adopt(HANDLE h, RunError& error) {
    if (h == INVALID_HANDLE_VALUE) {
        Fail(error);
        return kNoHandle;
    }
    return reinterpret_cast<Handle>(h);
}

// Makes a move with `move(replace, why)`: first without replacing, which does most moves
// in one call, then, where `to` exists, replacing it unless it is read-only. Windows will
// not replace a read-only file; Wine would, so the rule is kept here.
bool MoveUnlessReadOnly(const std::string& to, RunError& error, const std::function<bool(bool, DWORD&)>& move) {
    DWORD why = ERROR_SUCCESS;
    if (move(false, why)) return true;
    if (why == ERROR_ALREADY_EXISTS || why == ERROR_FILE_EXISTS) {
        if (IsReadOnly(to)) why = ERROR_ACCESS_DENIED;
        else if (move(true, why)) return true;
    }
    error = FromSystemError(why);
    return false;
}

}  // namespace

EntryKind KindOf(const std::string& path, RunError& error) {
    const DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) {
        Fail(error);
        return EntryKind::None;
    }
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Directory : EntryKind::File;
}

bool IsReadOnly(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY);
}

bool IsLink(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The attributes of a link are its own: GetFileAttributes does not follow it.
bool Occupied(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FindEntries(const std::string& pattern, const std::function<bool(const DirEntry&)>& visit, RunError& error) {
    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(pattern.c_str(), &found));
    if (!search.valid()) {
        const DWORD why = GetLastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_NO_MORE_FILES) return true;  // nothing matches
        error = FromSystemError(why);
        return false;
    }
    do {
        const DirEntry entry{found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                             (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0};
        if (entry.name == "." || entry.name == "..") continue;
        if (!visit(entry)) return true;
    } while (FindNextFileA(search.get(), &found));
    if (GetLastError() != ERROR_NO_MORE_FILES) return Fail(error);
    return true;
}

bool CreateDir(const Path& path, RunError& error) {
    return CreateDirectoryA(path.c_str(), nullptr) || Fail(error);
}

bool RemoveDir(const Path& path, RunError& error) { return RemoveDirectoryA(path.c_str()) || Fail(error); }

namespace {

// The folder's access list: the system, the administrators and its owner may change it, no
// one else, and nothing is inherited from above.
constexpr const char* kProtectedFolderAcl = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)";

// The owner of a file or folder is the system, the administrators, or the user this process
// runs as.
bool OwnedByTrustedAccount(const std::string& path) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    bool trusted = IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid);
    HANDLE token = nullptr;
    if (!trusted && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        char buffer[256];
        DWORD size = 0;
        if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &size))
            trusted = EqualSid(owner, reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid) != FALSE;
        CloseHandle(token);
    }
    LocalFree(descriptor);
    return trusted;
}

}  // namespace

bool CreateProtectedDir(const Path& path, RunError& error) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kProtectedFolderAcl, SDDL_REVISION_1, &descriptor, nullptr))
        return Fail(error);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    bool made = CreateDirectoryA(path.c_str(), &attributes) != FALSE;
    DWORD why = made ? ERROR_SUCCESS : GetLastError();
    if (!made && why == ERROR_ALREADY_EXISTS && IsDirectory(path) && !IsLink(path) && OwnedByTrustedAccount(path)) {
        // A folder made earlier: its access list is set again, in case it was loosened.
        BOOL present = FALSE, defaulted = FALSE;
        PACL acl = nullptr;
        GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
        why = SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, nullptr, nullptr, acl,
                                    nullptr);
        made = why == ERROR_SUCCESS;
    } else if (!made && why == ERROR_ALREADY_EXISTS) {
        why = ERROR_ACCESS_DENIED;  // someone else's: not to be trusted
    }
    LocalFree(descriptor);
    if (made) return true;
    error = FromSystemError(why);
    return false;
}

bool IsTrustedFile(const std::string& path) { return !IsLink(path) && OwnedByTrustedAccount(path); }

bool RemoveFile(const Path& path, RunError& error) { return DeleteFileA(path.c_str()) || Fail(error); }

bool RemoveAtRestart(const Path& path, RunError& error) {
    return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) || Fail(error);
}

bool ClearReadOnly(const Path& path, RunError& error) {
    const DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return Fail(error);
    return !(a & FILE_ATTRIBUTE_READONLY) || SetFileAttributesA(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY) || Fail(error);
}

bool MoveReplacing(const Path& from, const Path& to, RunError& error) {
    return MoveUnlessReadOnly(to, error, [&](bool replace, DWORD& why) {
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
        if (MoveFileExA(from.c_str(), to.c_str(), flags)) return true;
        why = GetLastError();
        return false;
    });
}

bool Move(const Path& from, const Path& to, RunError& error) {
    return MoveFileExA(from.c_str(), to.c_str(), 0) || Fail(error);
}

bool MoveAside(const Path& from, const Path& to, RunError& error) {
    const DWORD a = GetFileAttributesA(from.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return Fail(error);
    if (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) {
        error = FromSystemError(ERROR_ACCESS_DENIED);
        return false;
    }
    return Move(from, to, error);
}

bool CopyToNew(const std::string& from, const Path& to, RunError& error) {
    return CopyFileA(from.c_str(), to.c_str(), TRUE) || Fail(error);
}

bool HeldByAnother(const RunError& error) {
    return error.systemCode == ERROR_SHARING_VIOLATION || error.systemCode == ERROR_LOCK_VIOLATION;
}

bool ReplaceAtRestart(const Path& from, const Path& to, RunError& error) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) ||
           Fail(error);
}

namespace {

constexpr const wchar_t* kSessionManager = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const wchar_t* kPendingRenames = L"PendingFileRenameOperations";

using reg::FailWith;
using reg::ScopedKey;

// The names of the system's list as it keeps them, in UTF-16: one after another, each
// ended by a NUL, a removal's empty place among them, and one NUL more at the end. A list
// that is not there is empty.
[[nodiscard]] bool ReadPendingRenames(HKEY key, std::vector<std::wstring>& names, RunError& error) {
    names.clear();
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExW(key, kPendingRenames, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return true;
    if (status != ERROR_SUCCESS) return FailWith(status, error);
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    status = RegQueryValueExW(key, kPendingRenames, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
    if (status != ERROR_SUCCESS) return FailWith(status, error);
    data.resize(size / sizeof(wchar_t));
    for (size_t begin = 0; begin < data.size();) {
        const size_t end = std::min(data.find(L'\0', begin), data.size());
        names.push_back(data.substr(begin, end - begin));
        begin = end + 1;
    }
    // The list's own last NUL is no name.
    if (names.size() % 2 == 1 && names.back().empty()) names.pop_back();
    return true;
}

[[nodiscard]] bool WritePendingRenames(HKEY key, const std::vector<std::wstring>& names, RunError& error) {
    if (names.empty()) {
        const LONG status = RegDeleteValueW(key, kPendingRenames);
        return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || FailWith(status, error);
    }
    std::wstring data;
    for (const std::wstring& name : names) data += name + L'\0';
    data += L'\0';
    const LONG status = RegSetValueExW(key, kPendingRenames, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(data.data()),
                                       static_cast<DWORD>(data.size() * sizeof(wchar_t)));
    return status == ERROR_SUCCESS || FailWith(status, error);
}

std::vector<std::string> NarrowAll(const std::vector<std::wstring>& names) {
    std::vector<std::string> narrow;
    for (const std::wstring& name : names) narrow.push_back(Narrow(name));
    return narrow;
}

}  // namespace

bool CancelReplaceAtRestart(const Path& from, const Path& to, RunError& error) {
    ScopedKey key;
    const LONG status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key.h);
    if (status != ERROR_SUCCESS) return FailWith(status, error);
    std::vector<std::wstring> names;
    if (!ReadPendingRenames(key.h, names, error)) return false;
    // The other programs' names are written back as the system keeps them, in UTF-16.
    bool changed = false;
    for (std::optional<size_t> at; (at = FindReplacement(NarrowAll(names), from, to));) {
        names.erase(names.begin() + static_cast<std::ptrdiff_t>(*at), names.begin() + static_cast<std::ptrdiff_t>(*at) + 2);
        changed = true;
    }
    return !changed || WritePendingRenames(key.h, names, error);
}

std::vector<PendingReplacement> PendingReplacements() {
    ScopedKey key;
    std::vector<std::wstring> names;
    RunError ignored;  // a list that cannot be read holds nothing this program can count on
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, &key.h) != ERROR_SUCCESS ||
        !ReadPendingRenames(key.h, names, ignored))
        return {};
    return ReplacementsIn(NarrowAll(names));
}

std::FILE* CreateFileToWrite(const Path& path, RunError& error) { return OpenFile(path, "wb", error); }

std::FILE* OpenFile(const std::string& path, const char* mode, RunError& error) {
    // The runtime's open leaves the Win32 code of its failure behind; errno is coarser.
    SetLastError(ERROR_SUCCESS);
    std::FILE* f = std::fopen(path.c_str(), mode);
    if (!f) {
        DWORD why = GetLastError();
        if (why == ERROR_SUCCESS) why = errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        error = FromSystemError(why);
    }
    return f;
}

bool ReadWholeFile(const std::string& path, std::string& content, RunError& error) {
    ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return Fail(error);
    content.clear();
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return Fail(error);
        if (got == 0) return true;
        content.append(buffer, got);
    }
}

Handle OpenForRead(const std::string& path, RunError& error) {
    return Adopt(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                 error);
}

Handle CreateForWrite(const Path& path, RunError& error) {
    return Adopt(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                 error);
}

Handle CreateNew(const Path& path, RunError& error) {
    return Adopt(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr),
                 error);
}

Handle OpenForAppend(const Path& path, RunError& error) {
    const Handle file = Adopt(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr),
                              error);
    if (file == kNoHandle) return file;
    LARGE_INTEGER zero{};
    if (SetFilePointerEx(AsHandle(file), zero, nullptr, FILE_END)) return file;
    Fail(error);
    CloseHandle(AsHandle(file));
    return kNoHandle;
}

bool Flush(Handle file, RunError& error) { return FlushFileBuffers(AsHandle(file)) || Fail(error); }

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
        error = FromSystemError(ERROR_DISK_FULL);
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

namespace {

FILETIME AsFileTime(int64_t value) {
    const auto bits = static_cast<uint64_t>(value);
    return {static_cast<DWORD>(bits), static_cast<DWORD>(bits >> 32)};
}

int64_t AsValue(const FILETIME& time) {
    return static_cast<int64_t>((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

}  // namespace

int64_t WriteTimeOf(const FileTimes& times) { return times.values[2]; }

std::optional<FileStamp> StampOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return std::nullopt;
    const int64_t size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return FileStamp{size, AsValue(data.ftLastWriteTime)};
}

bool GetFileTimes(Handle file, FileTimes& times, RunError& error) {
    FILETIME created, accessed, written;
    if (!GetFileTime(AsHandle(file), &created, &accessed, &written)) return Fail(error);
    times.values[0] = AsValue(created);
    times.values[1] = AsValue(accessed);
    times.values[2] = AsValue(written);
    return true;
}

bool SetFileTimes(Handle file, const FileTimes& times, RunError& error) {
    const FILETIME created = AsFileTime(times.values[0]);
    const FILETIME accessed = AsFileTime(times.values[1]);
    const FILETIME written = AsFileTime(times.values[2]);
    return SetFileTime(AsHandle(file), &created, &accessed, &written) || Fail(error);
}

std::optional<DiskSpace> GetDiskSpace(const std::string& root, RunError& error) {
    DWORD spc = 0, bps = 0, freeClusters = 0, total = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &spc, &bps, &freeClusters, &total)) {
        Fail(error);
        return std::nullopt;
    }
    return DiskSpace{spc, bps, freeClusters, total};
}

std::optional<Path> CurrentDir() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetCurrentDirectoryA(sizeof buffer, buffer);
    if (n == 0 || n >= sizeof buffer) return std::nullopt;
    return Path::Parse(std::string(buffer, n), nullptr, PathForms{true});
}

Path LongForm(const Path& path) {
    // The longest part of the path that exists is named by its long names; the rest, which
    // does not exist yet, has no short names to undo.
    for (Path part = path;; part = part.Parent()) {
        char buffer[MAX_PATH + 1];
        const DWORD n = GetLongPathNameA(part.c_str(), buffer, sizeof buffer);
        if (n > 0 && n < sizeof buffer) {
            const std::string_view rest = path.RelativeTo(part);
            const std::optional<Path> longPart = Path::Parse(std::string(buffer, n), nullptr, PathForms{true});
            if (!longPart) return path;
            if (rest.empty()) return *longPart;
            return longPart->Join(rest).value_or(path);
        }
        if (part.IsRoot()) return path;
    }
}

std::string GetEnv(const std::string& name) {
    std::wstring value(32768, L'\0');
    const DWORD n = GetEnvironmentVariableW(Widen(name).c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (n == 0 || n >= value.size()) return {};
    value.resize(n);
    return Narrow(value);
}

std::string ShortPath(const std::string& path) {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::string ProgramFolder() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    const std::string path(buffer, n);
    return path.substr(0, path.rfind('\\'));
}

namespace {

std::optional<Path> ShellFolder(int id) {
    char buffer[MAX_PATH + 1] = {};
    if (FAILED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buffer))) return std::nullopt;
    return Path::Parse(buffer);
}

}  // namespace

std::optional<Path> MachineDataFolder() { return ShellFolder(CSIDL_COMMON_APPDATA); }
std::optional<Path> UserDataFolder() { return ShellFolder(CSIDL_LOCAL_APPDATA); }

std::string SystemTempDir() {
    char buffer[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof buffer, buffer);
    std::string dir = n > 0 && n <= MAX_PATH ? std::string(buffer, n) : std::string("C:\\");
    if (dir.size() > 3 && dir.back() == '\\') dir.pop_back();
    return dir;
}

}  // namespace qv::fs

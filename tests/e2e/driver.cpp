#include "e2e/driver.h"
#include "e2e/driver_internal.h"

#include <tlhelp32.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>


namespace qve2e {
namespace detail {

std::string FormatError(DWORD code) {
    char* buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = "error " + std::to_string(code);
    if (length > 0 && buffer) {
        std::string message(buffer, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
        text += " (" + message + ")";
    }
    if (buffer) LocalFree(buffer);
    return text;
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Sends a message with a time limit, so that a hung program cannot hang the test; as an
// "A" message (SendMessageTimeoutA) or a "W" one.
template <typename SendTimeout>
bool SendWithLimit(SendTimeout send, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    DWORD_PTR answer = 0;
    if (!send(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendLimitMs, &answer)) return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return SendWithLimit(SendMessageTimeoutA, window, message, wParam, lParam, result);
}

bool SendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    return SendWithLimit(SendMessageTimeoutW, window, message, wParam, lParam, result);
}

// UTF-16 text in the ANSI code page, as the program's own "A" calls see it.
std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), ansi.data(), length, nullptr, nullptr);
    return ansi;
}

// The strings of a list box or a combo box's list, by the three messages of that
// control (count, length of an item, text of an item; the error value is -1 for both).
// Asked for in UTF-16: Wine hands the ANSI form of these texts from another process
// back unconverted, as UTF-16.
std::optional<std::vector<std::string>> ListItems(HWND control, UINT countMessage, UINT lengthMessage,
                                                  UINT textMessage) {
    auto sendW = [&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendLimitMs,
                                 &answer))
            return false;
        result = static_cast<LRESULT>(answer);
        return result != -1;
    };
    LRESULT count = 0;
    if (!sendW(countMessage, 0, 0, count)) return std::nullopt;
    std::vector<std::string> items;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0, copied = 0;
        if (!sendW(lengthMessage, i, 0, length)) return std::nullopt;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        if (!sendW(textMessage, i, reinterpret_cast<LPARAM>(item.data()), copied)) return std::nullopt;
        item.resize(std::wcslen(item.c_str()));
        items.push_back(ToAnsi(item));
    }
    return items;
}

// Polls find() until it gives a window, the limit passes, or (when given) the process
// ends.
HWND PollForWindow(const std::function<HWND()>& find, Millis limit, const Process* process) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (HWND found = find()) return found;
        if (process && !process->Running()) return nullptr;
        if (Clock::now() >= deadline) return nullptr;
        if (process)
            WaitForSingleObject(process->Handle(), kPollMs);  // wakes at once when it ends
        else
            Sleep(kPollMs);
    }
}

std::string SafeFileName(std::string name) {
    for (char& c : name)
        if (std::strchr("\\/:*?\"<>| ", c)) c = '-';
    return name;
}

std::string GetEnvironmentValue(const char* name) {
    char buffer[32768];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return path;
    return std::string(buffer, length);
}

}  // namespace detail

using namespace detail;

// ---- Environment ----

Environment CurrentEnvironment() {
    Environment environment;
    char* block = GetEnvironmentStringsA();
    if (!block) return environment;
    for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) environment.emplace_back(entry);
    FreeEnvironmentStringsA(block);
    return environment;
}

Environment WithoutVariables(Environment environment, std::initializer_list<const char*> names) {
    auto named = [&](const std::string& entry) {
        // "=C:=C:\..." entries hold the current directories of drives; their name
        // starts after the first "=".
        const size_t equals = entry.find('=', 1);
        const std::string name = entry.substr(0, equals);
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return SameNoCase(name, n); });
    };
    environment.erase(std::remove_if(environment.begin(), environment.end(), named), environment.end());
    return environment;
}

// ---- Process ----

Process::~Process() {
    Kill();
    if (process_) CloseHandle(process_);
}

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(other.id_), error_(std::move(other.error_)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        if (process_) CloseHandle(process_);
        process_ = std::exchange(other.process_, nullptr);
        id_ = other.id_;
        error_ = std::move(other.error_);
    }
    return *this;
}

bool Process::Start(const std::string& exe, const std::string& arguments, const std::string& workDir,
                    const Environment* environment) {
    Kill();
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    id_ = 0;
    error_.clear();

    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');

    std::string block;
    if (environment) {
        for (const std::string& entry : *environment) {
            block += entry;
            block += '\0';
        }
        if (block.empty()) block += '\0';
        block += '\0';
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                        environment ? block.data() : nullptr, workDir.empty() ? nullptr : workDir.c_str(),
                        &startup, &info)) {
        error_ = "CreateProcessA(" + commandLine + ") failed: " + FormatError(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::WaitForExit(Millis limit) {
    if (!process_) return std::nullopt;
    if (WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

void Process::Kill() {
    if (!Running()) return;
    TerminateProcess(process_, kKilledExitCode);
    WaitForSingleObject(process_, 10000);
}

std::string Process::Describe() const {
    if (!process_) return "not started" + (error_.empty() ? std::string() : ": " + error_);
    if (Running()) return "running; its windows:\n" + DescribeWindows(id_);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return "ended with exit code " + std::to_string(code);
}

// ---- Wine ----

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool UseUnmanagedWindows(const std::string& exeName) {
    if (!RunningUnderWine()) return true;
    const std::string keyName = "Software\\Wine\\AppDefaults\\" + exeName + "\\X11 Driver";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const char value[] = "N";
    const LONG written = RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
}

ProcessPause::ProcessPause(const Process& process) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process.Id()) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        if (SuspendThread(thread) == DWORD(-1)) {
            CloseHandle(thread);
            continue;
        }
        threads_.push_back(thread);
    }
    CloseHandle(snapshot);
}

ProcessPause::~ProcessPause() {
    for (HANDLE thread : threads_) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
}

namespace {

// The mount manager's request that defines or removes a drive of a Wine prefix.
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

bool DefineUnixDrive(char letter, UINT type, const std::string& unixPath) {
    if (!RunningUnderWine()) return false;
    std::vector<char> buffer(sizeof(UnixDriveRequest) + unixPath.size() + 1, '\0');
    auto* request = reinterpret_cast<UnixDriveRequest*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->type = type;
    request->letter = static_cast<WCHAR>(std::tolower(static_cast<unsigned char>(letter)));
    if (!unixPath.empty()) {
        std::memcpy(buffer.data() + sizeof(UnixDriveRequest), unixPath.c_str(), unixPath.size() + 1);
        request->mountPointOffset = static_cast<USHORT>(sizeof(UnixDriveRequest));
    }
    HANDLE manager = CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

// The Unix path of a Windows path, from Wine's own kernel32.
std::string UnixPathOf(const std::string& windowsPath) {
    using Convert = char*(CDECL*)(const WCHAR*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto convert = kernel ? reinterpret_cast<Convert>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")))
                          : nullptr;
    if (!convert) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), length);
    char* unixPath = convert(wide.c_str());
    if (!unixPath) return {};
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

}  // namespace

bool MapWineDrive(char letter, const std::string& folder) {
    const std::string unixPath = UnixPathOf(folder);
    return !unixPath.empty() && DefineUnixDrive(letter, DRIVE_FIXED, unixPath);
}

bool UnmapWineDrive(char letter) { return DefineUnixDrive(letter, DRIVE_NO_ROOT_DIR, {}); }

// ---- Paths ----

std::string ProgramFolder() {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    std::string path(buffer, length < sizeof buffer ? length : 0);
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ScreenshotFolder(const std::string& testName) {
    std::string root = GetEnvironmentValue("QV_E2E_SHOTS");
    if (root.empty()) root = ProgramFolder() + "\\..\\e2e-shots";
    return FullPath(root + "\\" + SafeFileName(testName));
}

}  // namespace qve2e

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "setup/engine/install_journal.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/removal_copy.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// Tells the copy that it is one: the starting program's process id and the handle of the
// pipe on which it waits for the exit code.
constexpr const char* kCopyVariable = "QVSETUP_REMOVAL_PARENT";
constexpr const char* kCopiedFiles[] = {"qvsetup.exe", "qvole.dll", "qvcrc.dll"};
constexpr DWORD kParentWait = 60000;

std::string CopyVariable() {
    char value[64] = {};
    const DWORD n = GetEnvironmentVariableA(kCopyVariable, value, sizeof value);
    return n > 0 && n < sizeof value ? value : "";
}

// Lays the program and its libraries out in a folder of their own in TEMP.
bool MakeCopy(std::string& program) {
    const std::string folder = fs::SystemTempDir() + "\\qvsetup-removal-" + std::to_string(GetCurrentProcessId());
    const std::string from = fs::ProgramFolder();
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    for (const char* name : kCopiedFiles) {
        const std::string source = from + "\\" + name;
        if (GetFileAttributesA(source.c_str()) == INVALID_FILE_ATTRIBUTES) continue;
        if (!CopyFileA(source.c_str(), (folder + "\\" + name).c_str(), FALSE)) return false;
    }
    program = folder + "\\" + kCopiedFiles[0];
    return true;
}

// Starts the copy with the pipe's writing end to inherit, and reads the exit code it sends.
bool StartAndWait(const std::string& program, const std::string& arguments, int& exitCode) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    const std::string variable = std::to_string(GetCurrentProcessId()) + " " +
                                 std::to_string(reinterpret_cast<uintptr_t>(writeEnd));
    SetEnvironmentVariableA(kCopyVariable, variable.c_str());
    std::string line = "\"" + program + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const std::string folder = program.substr(0, program.rfind('\\'));
    const BOOL started = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        folder.c_str(), &startup, &process);
    SetEnvironmentVariableA(kCopyVariable, nullptr);
    CloseHandle(writeEnd);
    if (!started) {
        CloseHandle(readEnd);
        return false;
    }
    DWORD code = 0, got = 0;
    // The code comes before the copy ends; a copy that ends without sending one failed.
    if (!ReadFile(readEnd, &code, sizeof code, &got, nullptr) || got != sizeof code) {
        WaitForSingleObject(process.hProcess, INFINITE);
        if (!GetExitCodeProcess(process.hProcess, &code)) code = 4;
    }
    CloseHandle(readEnd);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    exitCode = static_cast<int>(code);
    return true;
}

// Removes a file now, or at the next restart; the log says which.
void RemoveNowOrAtRestart(const Path& path, UserPort& port) {
    RunError error;
    PassOver(fs::ClearReadOnly(path, error));
    if (fs::RemoveFile(path, error)) return;
    port.LogStep((fs::RemoveAtRestart(path, error) ? "Removed at the next restart: " : "Could not have removed at the next restart: ") +
                 path + SystemCause(error));
}

}  // namespace

bool IsRemovalCopy() { return !CopyVariable().empty(); }

bool RunRemovalFromCopy(const std::string& arguments, const std::string& installDir, int& exitCode) {
    const std::string from = fs::ProgramFolder();
    if (IsRemovalCopy() || from.empty() || !StartsWithNoCase(from + "\\", CanonicalDir(installDir) + "\\")) return false;
    std::string program;
    return MakeCopy(program) && StartAndWait(program, arguments, exitCode);
}

void FinishRemovalCopy(int exitCode, const UninstallOutcome& outcome, UserPort& port) {
    unsigned long long parent = 0, pipe = 0;
    if (std::sscanf(CopyVariable().c_str(), "%llu %llu", &parent, &pipe) != 2) return;
    const DWORD code = static_cast<DWORD>(exitCode);
    DWORD written = 0;
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(pipe));
    WriteFile(handle, &code, sizeof code, &written, nullptr);
    CloseHandle(handle);
    if (HANDLE starter = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(parent))) {
        WaitForSingleObject(starter, kParentWait);
        CloseHandle(starter);
    }
    // The copy itself goes at the next restart where the system lets it (TEMP keeps it otherwise).
    RunError ignored;
    if (const std::optional<Path> copy = Path::Parse(fs::ProgramFolder(), nullptr, PathForms{true})) {
        for (const char* name : kCopiedFiles) PassOver(fs::RemoveAtRestart(*copy->Join(name), ignored));
        PassOver(fs::RemoveAtRestart(*copy, ignored));
    }
    const Path later = UninstallerFolder(outcome.record.installDir);
    for (const Path& path : outcome.held)
        if (path.IsWithin(later) && path != later) RemoveNowOrAtRestart(path, port);
    Confinement places;
    places.installDir = outcome.record.installDir;
    std::vector<Path> folders = outcome.record.folders;
    std::sort(folders.begin(), folders.end(), [](const Path& a, const Path& b) { return a.str().size() > b.str().size(); });
    for (const Path& folder : folders) {
        RunError error;
        // A folder that still holds what goes at the restart goes after it; one that holds
        // what was kept stays then too.
        if (fs::IsDirectory(folder) && MayChange(places, folder, error) && !fs::RemoveDir(folder, error))
            PassOver(fs::RemoveAtRestart(folder, error));
    }
}

}  // namespace qv

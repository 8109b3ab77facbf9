// The stand-in archive program (see archive_format.h). A window-less program: the
// installer starts it hidden. With QV_STANDIN_LOG set, it first appends its command line,
// exactly as it got it, to that file, so that tests can see what the installer passed.
#include <windows.h>

#include <string>

#include "setup/session/scoped_handle_win.h"
#include "tools/standin_archive/archive_format.h"

namespace {

// Appends one line to the log; false when it cannot. Several archive programs may run at
// once, so the file is opened without sharing and the open is tried again while another
// one holds it.
bool Record(const std::string& logPath, const std::string& line) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        qv::ScopedHandle log(CreateFileA(logPath.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!log.valid()) {
            if (GetLastError() != ERROR_SHARING_VIOLATION) return false;
            Sleep(5);
            continue;
        }
        const std::string text = line + "\r\n";
        DWORD written = 0;
        return WriteFile(log.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
               written == text.size() && log.Close();
    }
    return false;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string commandLine = GetCommandLineA();
    char logPath[MAX_PATH + 1];
    const DWORD n = GetEnvironmentVariableA("QV_STANDIN_LOG", logPath, sizeof logPath);
    // A test that asked for the record must not take a missing one for a program never started.
    if (n > 0 && n < sizeof logPath && !Record(logPath, commandLine)) return qvtools::standin::kCannotWrite;

    char self[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length >= sizeof self) return qvtools::standin::kDamagedArchive;

    using namespace qvtools::standin;
    Request request;
    std::string error;
    if (!ParseCommandLine(commandLine, request, error)) return kBadCommandLine;
    try {
        return Extract(self, request, error);
    } catch (...) {
        return kCannotWrite;
    }
}

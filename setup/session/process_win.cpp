// Windows implementation of starting a program.
#include <windows.h>

#include <vector>

#include "setup/session/process.h"
#include "setup/session/scoped_handle_win.h"

namespace qv {

bool StartProgram(const std::string& program, const std::string& commandLine, bool hidden, RunError& error) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(hidden ? SW_HIDE : SW_SHOWNORMAL);
    PROCESS_INFORMATION process{};
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        error = FromSystemError(GetLastError());
        return false;
    }
    ScopedHandle thread(process.hThread), child(process.hProcess);  // not awaited
    return true;
}

}  // namespace qv

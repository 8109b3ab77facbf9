// The sample CD's stand-in for the tools that the installer's shortcuts start (the
// workstation setup, the database setup, the data ferry, the server transfer). One
// program, copied under each name: it shows a message box that names the tool it stands
// for, with its arguments and working directory.
//
// When the environment variable QVSAMPLE_LOG names a file, the program appends one line
// "<program file name>|<arguments>|<working directory>" to it instead, so that tests can
// see what a shortcut started without a window to close.
#include <windows.h>

#include <cctype>
#include <string>

#include "setup/session/scoped_handle_win.h"

namespace {

std::string FileName(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The command line without the program name, leading blanks removed.
std::string Arguments() {
    const char* p = GetCommandLineA();
    if (*p == '"') {
        ++p;
        while (*p && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p && *p != ' ' && *p != '\t') ++p;
    }
    while (*p == ' ' || *p == '\t') ++p;
    return p;
}

// The tool this copy stands for, by its file name (and, for a setup program, its folder:
// the database setup lies in "dbsetup", a product's own setup in the install directory).
std::string ToolName(const std::string& program, const std::string& arguments) {
    const std::string file = FileName(program);
    const std::string name = Lower(file);
    const std::string path = Lower(program);
    if (name == "qvcfg.exe") return Lower(arguments).find("-clean") != std::string::npos ? "Uninstall Workstation"
                                                                                         : "Setup Workstation";
    if (name == "qvdft.exe") return "Data Ferry";
    if (name == "qvtrans.exe") return "Server Transfer";
    if (name == "setup.exe")
        return path.find("\\dbsetup\\setup.exe") != std::string::npos ? "Database Setup" : "Supply Chain Setup";
    return file;
}

bool AppendLog(const std::string& log, const std::string& line) {
    qv::ScopedHandle file(CreateFileA(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return ok && written == line.size() && file.Close();
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char buffer[MAX_PATH + 1];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    const std::string program = length > 0 && length < sizeof buffer ? std::string(buffer, length) : "qvsample.exe";
    char directory[MAX_PATH + 1];
    const DWORD dirLength = GetCurrentDirectoryA(sizeof directory, directory);
    const std::string workDir = dirLength > 0 && dirLength < sizeof directory ? std::string(directory, dirLength) : "?";
    const std::string arguments = Arguments();

    char log[MAX_PATH + 1];
    const DWORD logLength = GetEnvironmentVariableA("QVSAMPLE_LOG", log, sizeof log);
    if (logLength > 0 && logLength < sizeof log)
        return AppendLog(log, FileName(program) + "|" + arguments + "|" + workDir + "\r\n") ? 0 : 1;

    const std::string title = "Marrowvale " + ToolName(program, arguments);
    const std::string text = title + "\r\n\r\nProgram: " + program +
                             "\r\nArguments: " + (arguments.empty() ? "(none)" : arguments) +
                             "\r\nWorking directory: " + workDir;
    MessageBoxA(nullptr, text.c_str(), title.c_str(), MB_OK | MB_ICONINFORMATION);
    return 0;
}

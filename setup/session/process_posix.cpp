// Native implementation of starting a program: the command line is split the way
// Windows programs split theirs, and the program runs detached.
#include <spawn.h>

#include <cerrno>
#include <vector>

#include "setup/session/native_path.h"
#include "setup/session/process.h"

extern char** environ;

namespace qv {
namespace {

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

bool StartProgram(const std::string& program, const std::string& commandLine, bool /*hidden*/, RunError& error) {
    std::vector<std::string> args = SplitCommandLine(commandLine);
    if (args.empty()) args.push_back(program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string file = NativePath(program);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, file.c_str(), nullptr, nullptr, argv.data(), environ);
    if (rc != 0) {
        error = FromSystemError(static_cast<uint32_t>(rc));
        return false;
    }
    return true;
}

}  // namespace qv

// Silent runs of qvsetup.exe (/S) for end-to-end tests: the run with its log, its exit
// code and a check that no window showed, and the lines of the log.
#pragma once

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "e2e/qvsetup_test.h"

namespace qve2e {

// The line with which every run begins its log.
inline constexpr const char* kRunBegan = "Run began (appended to this log: the lines of earlier runs stay above)";

// The lines of a log, each checked for its time stamp and its CR LF, without the stamp.
inline std::vector<std::string> LogLines(const std::string& text) {
    static const std::regex stamp(R"(^\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{3}  )");
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        const size_t end = text.find("\r\n", begin);
        EXPECT_NE(end, std::string::npos) << "a log line without CR LF: " << text.substr(begin);
        const std::string line = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        EXPECT_TRUE(std::regex_search(line, stamp)) << "no time stamp: " << line;
        lines.push_back(line.size() > 25 ? line.substr(25) : line);
        if (end == std::string::npos) break;
        begin = end + 2;
    }
    return lines;
}

inline bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

inline bool HasLineStarting(const std::vector<std::string>& lines, const std::string& start) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
}

// Where a silent run's program lies and runs, when not the build's qvsetup.exe in its
// folder: a copy elsewhere, another current directory, more environment.
struct SilentProgram {
    std::string exe;      // full path; empty: the build's qvsetup.exe
    std::string workDir;  // empty: the program's folder
    std::vector<std::string> environment;
    std::string temp;  // TEMP of the run; empty: the test's scratch folder
};

class SilentSetupTest : public SetupTest {
protected:
    std::string Target() const { return target_.path("silent target"); }
    std::string LogPath() const { return scratch_.path("install.log"); }

    // Runs the installer silently with these switches and returns its exit code; fails
    // the test when a window of the installer shows meanwhile. The CD is mastered first
    // unless the test has mastered (and then changed) it itself.
    DWORD RunSilent(const std::string& switches, bool master = true, const SilentProgram& program = {}) {
        std::string error;
        if (master && !cd.Master(error)) {
            ADD_FAILURE() << error;
            return kKilledExitCode;
        }
        Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
        environment.push_back("TEMP=" + (program.temp.empty() ? scratch_.root() : program.temp));
        environment.insert(environment.end(), program.environment.begin(), program.environment.end());
        const std::string arguments = "\"" + cd.root() + "\" x /S /LOG=\"" + LogPath() + "\" " + switches;
        if (program.exe.empty())
            Start(kSetupExe, arguments, &environment);
        else
            EXPECT_TRUE(app.Start(program.exe, arguments, program.workDir, &environment)) << app.error();
        if (!app.Started()) return kKilledExitCode;
        bool windowSeen = false;
        WaitUntil([&] {
            windowSeen = windowSeen || !TopLevelWindows(app.Id(), true).empty();
            return !app.Running();
        }, Millis(60000));
        EXPECT_FALSE(windowSeen) << "a silent run showed a window";
        const std::optional<DWORD> code = app.WaitForExit(Millis(1000));
        EXPECT_TRUE(code.has_value()) << "the silent run did not end: " << app.Describe();
        return code.value_or(kKilledExitCode);
    }

    // The lines of the last run's log: every run appends to the log, and begins with
    // kRunBegan, which is left out.
    std::vector<std::string> Log() {
        const std::optional<std::string> text = ReadFile(LogPath());
        EXPECT_TRUE(text.has_value()) << "no log at " << LogPath();
        std::vector<std::string> lines = text ? LogLines(*text) : std::vector<std::string>{};
        const auto began = std::find(lines.rbegin(), lines.rend(), kRunBegan);
        EXPECT_NE(began, lines.rend()) << "the log holds no run's first line";
        if (began != lines.rend()) lines.erase(lines.begin(), began.base());
        return lines;
    }
    // How many runs the log holds.
    size_t RunsInLog() {
        const std::optional<std::string> text = ReadFile(LogPath());
        const std::vector<std::string> lines = text ? LogLines(*text) : std::vector<std::string>{};
        return static_cast<size_t>(std::count(lines.begin(), lines.end(), kRunBegan));
    }

    qvtest::TempTree target_;
    qvtest::TempTree scratch_;
};

}  // namespace qve2e

// The install log: one line per step of a run, each with a time stamp, so that an
// administrator can read what an unattended install did. Every line is flushed as it
// is written, so that the log of a run that crashed still shows how far it got.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace qv {

class InstallLog {
public:
    InstallLog();
    ~InstallLog();
    InstallLog(const InstallLog&) = delete;
    InstallLog& operator=(const InstallLog&) = delete;

    // Creates the file, or appends to it when it exists: a run never replaces an earlier
    // run's log (a deployment tool's failed attempt stays readable after its retry). On
    // failure `error` says why and the log stays closed (writing to it then does nothing).
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Path() const { return path_; }

    // False once a line could not be written completely (a full disk, a lost share).
    // The install goes on regardless; later lines are still tried.
    bool Healthy() const { return healthy_; }

    // Writes one line: "yyyy-mm-dd hh:mm:ss.mmm", two blanks, the text, CR LF. Line
    // breaks inside the text are written as the escapes \r and \n, so that one line
    // of the log is one step.
    void Write(const std::string& text);

    // The clock of the time stamps, as a date-time value (CurrentDateTime unless replaced).
    void SetClock(std::function<double()> now);

private:
    std::FILE* file_ = nullptr;
    std::string path_;
    bool healthy_ = true;
    std::function<double()> now_;
};

// The first line every run writes to its log, so that a log that several runs appended to
// reads run by run.
inline constexpr const char* kRunBeganLine = "Run began (appended to this log: the lines of earlier runs stay above)";

// A date-time value (days since 30 December 1899, the fraction being the time of day)
// as "yyyy-mm-dd hh:mm:ss.mmm", rounded to the millisecond.
std::string FormatTimeStamp(double dateTime);

// The text with every CR written as \r and every LF as \n.
std::string EscapeLineBreaks(const std::string& text);

}  // namespace qv

// The install log: the line format, the time stamps from date-time values, the escapes
// of line breaks, and logs that cannot be opened or written.
#include <gtest/gtest.h>

#include <cstdio>

#include <limits>

#include "setup/session/file_system.h"
#include "setup/session/install_log.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::TempTree;

TEST(LogTimeStamp, DateTimeValuesToCalendarDates) {
    const std::pair<double, const char*> cases[] = {
        {0.0, "1899-12-30 00:00:00.000"},
        {2.0, "1900-01-01 00:00:00.000"},
        {45658.5, "2025-01-01 12:00:00.000"},
        {60.0, "1900-02-28 00:00:00.000"},  // 1900 has no 29 February
        {61.0, "1900-03-01 00:00:00.000"},
        {36585.0, "2000-02-29 00:00:00.000"},
        {45351.75, "2024-02-29 18:00:00.000"},
        {45352.0, "2024-03-01 00:00:00.000"},
        {73110.0, "2100-03-01 00:00:00.000"},
        {2958465.0, "9999-12-31 00:00:00.000"},
        {-693593.0, "0001-01-01 00:00:00.000"},
        {-1.25, "1899-12-29 06:00:00.000"},  // before the epoch the fraction still counts forward
        {45658.0 + (13 * 3600 + 14 * 60 + 15.5) / 86400.0, "2025-01-01 13:14:15.500"},
        {45658.0 + 0.0123 / 86400.0, "2025-01-01 00:00:00.012"},
        {45658.0 + 0.0126 / 86400.0, "2025-01-01 00:00:00.013"},
        {45658.0 + 59.9996 / 86400.0, "2025-01-01 00:01:00.000"},        // no ".1000"
        {45658.0 + 86399.9997 / 86400.0, "2025-01-02 00:00:00.000"},     // up to the next day
        {45688.0 + 86399.9997 / 86400.0, "2025-02-01 00:00:00.000"},     // and the next month
    };
    for (const auto& [value, expected] : cases) {
        SCOPED_TRACE(value);
        EXPECT_EQ(FormatTimeStamp(value), expected);
    }
    EXPECT_EQ(FormatTimeStamp(std::numeric_limits<double>::quiet_NaN()), "0000-00-00 00:00:00.000");
    EXPECT_EQ(FormatTimeStamp(1e300), "0000-00-00 00:00:00.000");
}

TEST(LogEscapes, EveryLineBreakBecomesItsEscape) {
    EXPECT_EQ(EscapeLineBreaks("a\r\nb\rc\nd\n\r"), "a\\r\\nb\\rc\\nd\\n\\r");
    EXPECT_EQ(EscapeLineBreaks("C:\\new\\dir"), "C:\\new\\dir");  // backslashes stay as they are
}

class InstallLogTest : public ::testing::Test {
protected:
    TempTree tree;
    InstallLog log;
    double clock = 45658.5;

    InstallLogTest() {
        log.SetClock([this] { return clock; });
    }
};

TEST_F(InstallLogTest, LinesWithTimeStampsCrLfAndEscapedBreaks) {
    std::string error = "stale";
    ASSERT_TRUE(log.Open(tree.path("setup.log"), error));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(log.IsOpen());
    EXPECT_EQ(log.Path(), tree.path("setup.log"));

    log.Write("Command line: \"D:\\cd\" x /S");
    // Each line is on disk as soon as it is written.
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("setup.log")), "2025-01-01 12:00:00.000  Command line: \"D:\\cd\" x /S\r\n");

    clock = 45658.5 + 1.25 / 86400.0;
    log.Write("Message box \"Error\": first\r\nsecond\rthird\nfourth -> OK");
    log.Write("");
    EXPECT_TRUE(log.Healthy());
    log.Close();
    EXPECT_FALSE(log.IsOpen());
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("setup.log")),
              "2025-01-01 12:00:00.000  Command line: \"D:\\cd\" x /S\r\n"
              "2025-01-01 12:00:01.250  Message box \"Error\": first\\r\\nsecond\\rthird\\nfourth -> OK\r\n"
              "2025-01-01 12:00:01.250  \r\n");

    log.Write("after closing");  // nothing happens
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("setup.log")).find("after closing"), std::string::npos);
}

TEST_F(InstallLogTest, OpeningAppendsToAnEarlierLog) {
    tree.write("setup.log", "an earlier run's lines\r\n");
    std::string error;
    ASSERT_TRUE(log.Open(tree.path("setup.log"), error));
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("setup.log")), "an earlier run's lines\r\n");
    log.Write("new");
    EXPECT_EQ(qvtest::ReadSharedFile(tree.path("setup.log")), "an earlier run's lines\r\n2025-01-01 12:00:00.000  new\r\n");
}

TEST_F(InstallLogTest, LogThatCannotBeCreatedStaysClosed) {
    std::string error;
    const std::string path = tree.path("no such folder\\setup.log");
    EXPECT_FALSE(log.Open(path, error));
    EXPECT_FALSE(log.IsOpen());
    const std::string start = "Cannot create the log file \"" + path + "\": ";
    ASSERT_GT(error.size(), start.size() + 1);
    EXPECT_EQ(error.substr(0, start.size()), start);
    EXPECT_EQ(error.back(), '.');
    log.Write("goes nowhere");
    EXPECT_FALSE(tree.exists("no such folder"));
}

TEST(InstallLog, DefaultClockIsTheSystemClock) {
    TempTree tree;
    InstallLog log;
    std::string error;
    ASSERT_TRUE(log.Open(tree.path("a.log"), error));
    log.Write("x");
    const std::string line = qvtest::ReadSharedFile(tree.path("a.log"));
    ASSERT_EQ(line.size(), 23u + 2 + 1 + 2);
    EXPECT_GE(line.substr(0, 4), "2024");
    EXPECT_EQ(line.substr(23), "  x\r\n");
}

#ifndef _WIN32
// A full disk: the write fails, the log says so, and the run goes on.
TEST(InstallLog, FailedWriteIsNotFatal) {
    InstallLog log;
    std::string error;
    ASSERT_TRUE(log.Open("/dev/full", error)) << error;
    log.Write("does not fit");
    EXPECT_FALSE(log.Healthy());
    EXPECT_TRUE(log.IsOpen());
    log.Write("nor does this");
    EXPECT_FALSE(log.Healthy());
}
#endif

}  // namespace
}  // namespace qv

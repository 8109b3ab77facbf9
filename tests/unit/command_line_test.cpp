// The command line: the quoted source directory, the blank after it, the switches,
// and the temporary directory.
#include <gtest/gtest.h>

#include <cstdlib>

#include "setup/session/command_line.h"
#include "setup/session/file_system.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

#ifdef _WIN32
#define setenv(name, value, overwrite) _putenv_s(name, value)
#define unsetenv(name) _putenv_s(name, "")
#endif

namespace qv {
namespace {

using qvtest::RecordingPort;
using qvtest::TempTree;

// Sets the four temporary-directory variables for one test and restores them after it.
class TempVariables {
public:
    TempVariables() {
        for (const char* name : kNames) saved_.push_back(fs::GetEnv(name));
        for (const char* name : kNames) unsetenv(name);
    }
    ~TempVariables() {
        for (size_t i = 0; i < 4; ++i) {
            if (saved_[i].empty()) unsetenv(kNames[i]);
            else setenv(kNames[i], saved_[i].c_str(), 1);
        }
    }
    void Set(const char* name, const std::string& value) { setenv(name, value.c_str(), 1); }

private:
    static constexpr const char* kNames[4] = {"TEMP", "temp", "TMP", "tmp"};
    std::vector<std::string> saved_;
};

class CommandLineTest : public ::testing::Test {
protected:
    TempTree tree;
    TempVariables temp;
    Session session;
    RecordingPort port;
    StartupOptions options;

    CommandLineTest() { temp.Set("TEMP", tree.root()); }

    bool Parse(const std::string& line) { return ParseCommandLine(session, port, line, options); }

    void ExpectMissingParameter() {
        ASSERT_EQ(port.messages.size(), 1u);
        EXPECT_EQ(port.messages[0].text, "Load Error\r\nMissing required command line parameter.");
        EXPECT_EQ(port.messages[0].title, "Marrowvale CD-ROM Installation");
        EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
        EXPECT_EQ(port.messages[0].buttons, Buttons::Ok);
    }
};

TEST_F(CommandLineTest, QuotedDirectoryWithBlanksAndTrailingBackslash) {
    ASSERT_TRUE(Parse("  \"D:\\my cd\\\" rest of the line  "));
    EXPECT_EQ(session.SourceDir, "D:\\my cd");
    EXPECT_EQ(session.TempDir, tree.root());
    EXPECT_EQ(options.dbPlatformCode, "SBS");
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CommandLineTest, MissingParameterCases) {
    for (const char* line : {"", "   ", "\"D:\\cd\"", "\"D:\\cd\"  ", "D:\\cd x", "\"D:\\cd x"}) {
        SCOPED_TRACE(line);
        port.messages.clear();
        EXPECT_FALSE(Parse(line));
        ExpectMissingParameter();
    }
}

TEST_F(CommandLineTest, DatabaseSwitch) {
    ASSERT_TRUE(Parse("\"D:\\cd\" x /db=ora"));
    EXPECT_EQ(options.dbPlatformCode, "ORA");
    ASSERT_TRUE(Parse("\"D:\\cd\" /DB=DB4 /other"));
    EXPECT_EQ(options.dbPlatformCode, "DB4");

    EXPECT_FALSE(Parse("\"D:\\cd\" /DB=XYZ"));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text,
              "Load Error\r\nUnknown database platform \"XYZ\" in /DB=XYZ.\r\n"
              "Use one of SBS, ORA, INF, DBX, SYB, MSS, DB4, DB2.");
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
}

TEST_F(CommandLineTest, ChecksumSwitch) {
    ASSERT_TRUE(Parse("\"D:\\cd\" x /DB=ora"));
    EXPECT_FALSE(options.crcCheck);
    ASSERT_TRUE(Parse("\"D:\\cd\" x /crc /DB=ora"));
    EXPECT_TRUE(options.crcCheck);
    EXPECT_EQ(options.dbPlatformCode, "ORA");
}

TEST_F(CommandLineTest, TemporaryDirectoryVariablesInOrder) {
    temp.Set("TEMP", "");
    temp.Set("tmp", tree.path("only-tmp\\"));
    ASSERT_TRUE(Parse("\"D:\\cd\" x"));
    EXPECT_EQ(session.TempDir, tree.path("only-tmp"));  // created, stored without the "\"
    EXPECT_TRUE(fs::IsDirectory(tree.path("only-tmp")));
}

TEST_F(CommandLineTest, NoTemporaryDirectoryEndsStartUp) {
    temp.Set("TEMP", "");
    EXPECT_FALSE(Parse("\"D:\\cd\" x"));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, "Error - TEMP Environment Varible not set.\r\nPlease correct this and run SETUP again.");
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
}

TEST(SwitchWords, QuotesGroupBlanks) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitSwitchWords("  /a  /DIR=\"c:\\my dir\" b"), (V{"/a", "/DIR=c:\\my dir", "b"}));
    EXPECT_EQ(SplitSwitchWords(""), V{});
    EXPECT_EQ(SplitSwitchWords("\"\""), (V{""}));
}

}  // namespace
}  // namespace qv

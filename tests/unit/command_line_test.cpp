// The command line: the quoted source directory, the blank after it, the switches,
// and the temporary directory; the lenient first look at the switches; the language
// that /LANG= names.
#include <gtest/gtest.h>

#include <cstdlib>

#include "setup/session/command_line.h"
#include "setup/session/text_util.h"
#include "setup/session/file_system.h"
#include "setup/session/languages.h"
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

    // The program's folder is not known unless a test gives it.
    bool Parse(const std::string& line, const std::string& programFolder = "") {
        return ParseCommandLine(session, port, line, options, programFolder);
    }

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

TEST_F(CommandLineTest, WithoutAQuotedFirstFieldTheCdIsTheProgramsOwnFolder) {
    ASSERT_TRUE(Parse("/S /DIR=\"c:\\a b\"", "Z:\\cd\\"));
    EXPECT_EQ(session.SourceDir, "Z:\\cd");
    EXPECT_TRUE(options.silent);
    EXPECT_EQ(options.installDir, "c:\\a b");
    options = {};
    ASSERT_TRUE(Parse("install now /QUIET", "Z:\\cd"));
    EXPECT_EQ(session.SourceDir, "Z:\\cd");
    EXPECT_TRUE(options.silent);
    EXPECT_TRUE(port.messages.empty());
    // An empty line and a quoted directory without further text still name no CD.
    for (const char* line : {"", "\"D:\\cd\""}) {
        SCOPED_TRACE(line);
        EXPECT_FALSE(Parse(line, "Z:\\cd"));
        ExpectMissingParameter();
        port.messages.clear();
    }
}

TEST_F(CommandLineTest, ScopeAndRestartSwitches) {
    ASSERT_TRUE(Parse("\"D:\\cd\" x /NORESTART /CURRENTUSER"));
    EXPECT_TRUE(options.noRestart);
    EXPECT_EQ(options.scope, InstallScope::CurrentUser);
    EXPECT_EQ(session.Scope, InstallScope::CurrentUser);
    options = {};
    ASSERT_TRUE(Parse("\"D:\\cd\" x /allusers"));
    EXPECT_EQ(session.Scope, InstallScope::AllUsers);
    options = {};
    ASSERT_TRUE(Parse("\"D:\\cd\" x"));
    EXPECT_EQ(session.Scope, InstallScope::AsAllowed);
    // /QUIET is /S to the first look too, so that no window shows.
    EXPECT_TRUE(ReadSwitchesLeniently("/QUIET /LOG=x.log").Unattended());
}

TEST_F(CommandLineTest, DatabaseSwitch) {
    ASSERT_TRUE(Parse("\"D:\\cd\" x /db=ora"));
    EXPECT_EQ(options.dbPlatformCode, "ORA");
    ASSERT_TRUE(Parse("\"D:\\cd\" /DB=DB4 other"));
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

TEST_F(CommandLineTest, WithoutSwitchesEverythingKeepsItsDefault) {
    ASSERT_TRUE(Parse("\"D:\\cd\" x"));
    EXPECT_FALSE(options.silent);
    EXPECT_EQ(options.languageCode, "");
    EXPECT_EQ(options.installType, 1);
    EXPECT_FALSE(options.productsGiven);
    EXPECT_TRUE(options.productCodes.empty());
    EXPECT_EQ(options.installDir, "");
    EXPECT_FALSE(options.groupGiven);
    EXPECT_FALSE(options.noGroup);
    EXPECT_EQ(options.dbDir, "");
    EXPECT_EQ(options.logPath, "");
    EXPECT_FALSE(options.crcCheck);
}

TEST_F(CommandLineTest, EverySwitchInAnyCaseWithQuotedValues) {
    ASSERT_TRUE(Parse("\"D:\\cd\" x /s /Lang=deu /db=inf /TYPE=0 /products=\" ab1 , Cd2,x-3\" "
                      "/dir=\"C:\\Program Files\\MV\" /Group=\"My Group\" /DBDIR=\"C:\\db dir\" "
                      "/Crc \"/LOG=C:\\logs\\run 1.log\""));
    EXPECT_TRUE(options.silent);
    EXPECT_EQ(options.languageCode, "deu");  // matched without case later
    EXPECT_EQ(options.dbPlatformCode, "INF");
    EXPECT_EQ(options.installType, 0);
    EXPECT_TRUE(options.productsGiven);
    EXPECT_EQ(options.productCodes, (std::vector<std::string>{"ab1", "Cd2", "x-3"}));
    EXPECT_EQ(options.installDir, "C:\\Program Files\\MV");
    EXPECT_TRUE(options.groupGiven);
    EXPECT_EQ(options.groupTitle, "My Group");
    EXPECT_FALSE(options.noGroup);
    EXPECT_EQ(options.dbDir, "C:\\db dir");
    EXPECT_TRUE(options.crcCheck);
    EXPECT_EQ(options.logPath, "C:\\logs\\run 1.log");
    EXPECT_TRUE(port.messages.empty());
}

TEST(Switches, ValuesAtTheirLimitsAndRepeatedSwitches) {
    StartupOptions options;
    std::string problem = "stale";
    ASSERT_TRUE(ReadSwitches("/TYPE=6 /TYPE=06 /PRODUCTS=A /PRODUCTS=B,C /NOGROUP /LANG=ENG /LANG=FRA", options,
                             problem));
    EXPECT_EQ(problem, "");
    EXPECT_EQ(options.installType, 6);
    EXPECT_EQ(options.productCodes, (std::vector<std::string>{"B", "C"}));
    EXPECT_TRUE(options.noGroup);
    EXPECT_FALSE(options.groupGiven);
    EXPECT_EQ(options.languageCode, "FRA");

    // An empty group title is a title (the shortcuts go straight into the Programs
    // folder); thirty characters are the most it may have.
    StartupOptions group;
    ASSERT_TRUE(ReadSwitches("/GROUP=", group, problem));
    EXPECT_TRUE(group.groupGiven);
    EXPECT_EQ(group.groupTitle, "");
    ASSERT_TRUE(ReadSwitches("\"/GROUP=" + std::string(30, 'g') + "\"", group, problem));
    EXPECT_EQ(group.groupTitle, std::string(30, 'g'));
}

TEST(Switches, EachBadWordIsNamedAndLeavesTheOptionsAlone) {
    const std::string valid =
        "Valid switches: /S /LANG=<code> /DB=<code> /TYPE=<0-6> /PRODUCTS=<code>,<code> /DIR=<path> "
        "/GROUP=<title> /NOGROUP /DBDIR=<path> /CRC /LOG=<file> /PLAN /VERIFY /REPAIR /PASSIVE /SAVEINF=<file> "
        "/LOADINF=<file> /UNINSTALL /MODIFY /NOROLLBACK /REINSTALL /QUIET /NORESTART /ALLUSERS /CURRENTUSER.";
    const std::string title31(31, 't');
    const std::pair<std::string, std::string> cases[] = {
        {"x /FOO", "Unknown switch \"/FOO\".\r\n" + valid},
        {"/SILENT", "Unknown switch \"/SILENT\".\r\n" + valid},
        {"/", "Unknown switch \"/\".\r\n" + valid},
        {"/DIRX=c:\\a", "Unknown switch \"/DIRX=c:\\a\".\r\n" + valid},
        {"/S=1", "Switch \"/S=1\" takes no value.\r\nUse /S."},
        {"/crc=on", "Switch \"/crc=on\" takes no value.\r\nUse /CRC."},
        {"/NOGROUP=", "Switch \"/NOGROUP=\" takes no value.\r\nUse /NOGROUP."},
        {"/TYPE=7", "Invalid install type \"7\" in /TYPE=7.\r\nUse a number from 0 to 6."},
        {"/TYPE=-1", "Invalid install type \"-1\" in /TYPE=-1.\r\nUse a number from 0 to 6."},
        {"/TYPE=1.5", "Invalid install type \"1.5\" in /TYPE=1.5.\r\nUse a number from 0 to 6."},
        {"/TYPE=", "Invalid install type \"\" in /TYPE=.\r\nUse a number from 0 to 6."},
        {"/TYPE=99999999999", "Invalid install type \"99999999999\" in /TYPE=99999999999.\r\nUse a number from 0 to 6."},
        {"/TYPE", "Switch \"/TYPE\" needs a value.\r\nUse /TYPE=<0-6>."},
        {"/LANG=", "Switch \"/LANG=\" needs a value.\r\nUse /LANG=<code>."},
        {"\"/LANG=  \"", "Switch \"/LANG=  \" needs a value.\r\nUse /LANG=<code>."},
        {"/LANG", "Switch \"/LANG\" needs a value.\r\nUse /LANG=<code>."},
        {"/PRODUCTS=", "Switch \"/PRODUCTS=\" needs a value.\r\nUse /PRODUCTS=<code>,<code>."},
        {"/DIR=", "Switch \"/DIR=\" needs a value.\r\nUse /DIR=<path>."},
        {"/DBDIR=\"\"", "Switch \"/DBDIR=\" needs a value.\r\nUse /DBDIR=<path>."},
        {"/log=", "Switch \"/log=\" needs a value.\r\nUse /LOG=<file>."},
        {"/GROUP", "Switch \"/GROUP\" needs a value.\r\nUse /GROUP=<title>."},
        {"/PRODUCTS=A,,B", "Empty product code in /PRODUCTS=A,,B.\r\nUse /PRODUCTS=<code>,<code>."},
        {"/PLAN /repair", "Switches /PLAN and /repair exclude each other.\r\nUse one of /PLAN, /VERIFY, /REPAIR, /UNINSTALL and /MODIFY."},
        {"/PRODUCTS=A,", "Empty product code in /PRODUCTS=A,.\r\nUse /PRODUCTS=<code>,<code>."},
        {"\"/PRODUCTS=, A\"", "Empty product code in /PRODUCTS=, A.\r\nUse /PRODUCTS=<code>,<code>."},
        {"/GROUP=" + title31,
         "Group title longer than 30 characters in /GROUP=" + title31 + ".\r\nUse a title of at most 30 characters."},
        {"/nogroup /GROUP=G", "Switches /GROUP=G and /nogroup exclude each other.\r\nUse /GROUP=<title> or /NOGROUP, not both."},
        {"/GROUP=G /NOGROUP /GROUP=H",
         "Switches /GROUP=H and /NOGROUP exclude each other.\r\nUse /GROUP=<title> or /NOGROUP, not both."},
        {"/ALLUSERS /currentuser",
         "Switches /ALLUSERS and /currentuser exclude each other.\r\nUse /ALLUSERS or /CURRENTUSER, not both."},
        {"/NORESTART=1", "Switch \"/NORESTART=1\" takes no value.\r\nUse /NORESTART."},
        {"/DB=", "Unknown database platform \"\" in /DB=.\r\nUse one of SBS, ORA, INF, DBX, SYB, MSS, DB4, DB2."},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        StartupOptions options;
        options.installType = 3;
        std::string problem;
        EXPECT_FALSE(ReadSwitches("/S /TYPE=2 /LOG=a.log " + text, options, problem));
        EXPECT_EQ(problem, expected);
        EXPECT_FALSE(options.silent);  // nothing applied from a line with a bad word
        EXPECT_EQ(options.installType, 3);
        EXPECT_EQ(options.logPath, "");
    }
}

TEST_F(CommandLineTest, BadSwitchIsToldInOneLoadErrorBox) {
    EXPECT_FALSE(Parse("\"D:\\cd\" x /S /foo"));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text,
              "Load Error\r\nUnknown switch \"/foo\".\r\nValid switches: /S /LANG=<code> /DB=<code> /TYPE=<0-6> "
              "/PRODUCTS=<code>,<code> /DIR=<path> /GROUP=<title> /NOGROUP /DBDIR=<path> /CRC /LOG=<file> "
              "/PLAN /VERIFY /REPAIR /PASSIVE /SAVEINF=<file> /LOADINF=<file> /UNINSTALL /MODIFY /NOROLLBACK /REINSTALL /QUIET "
              "/NORESTART /ALLUSERS /CURRENTUSER.");
    EXPECT_EQ(port.messages[0].title, "Marrowvale CD-ROM Installation");
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(port.messages[0].buttons, Buttons::Ok);
    EXPECT_FALSE(options.silent);
}

TEST(LenientReading, FindsSilentAndLogEvenOnLinesTheFullReadingRefuses) {
    struct Case {
        const char* line;
        bool silent;
        const char* log;
    };
    const Case cases[] = {
        {"\"D:\\cd\" x /s \"/log=C:\\my logs\\a.log\"", true, "C:\\my logs\\a.log"},
        {"\"D:\\cd\" /LOG=first.log /FOO /TYPE=9 /Log=second.log", false, "second.log"},
        {"\"D:\\cd\"/S", true, ""},                    // no blank after the quote
        {"D:\\cd /S /LOG=x.log", true, "x.log"},        // no quotes at all
        {"\"D:\\my cd /S /LOG=x.log", true, "x.log"},  // no closing quote
        {"\"D:\\S\" /LOG=", false, ""},                // the directory is not a switch
        {"\"/S\" x", false, ""},
        {"", false, ""},
        {"\"", false, ""},
        {"   /S   ", true, ""},
        {"\"D:\\cd\" /SILENT /S=1 /LOGS=y", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const StartupOptions options = ReadSwitchesLeniently(c.line);
        EXPECT_EQ(options.silent, c.silent);
        // A log named without a folder goes to the current directory.
        const std::string log = c.log;
        EXPECT_TRUE(log.empty() ? options.logPath.empty() : options.logPath == log || EndsWith(options.logPath, "\\" + log))
            << options.logPath;
        EXPECT_EQ(options.installType, 1);  // nothing else is taken
        EXPECT_FALSE(options.crcCheck);
    }
    EXPECT_FALSE(ReadSwitchesLeniently("\"D:\\cd\" /CRC /TYPE=3 /NOGROUP").noGroup);
}

TEST_F(CommandLineTest, APlanAVerifyOrARepairRunsWithoutWindowsAndLogsToTempWithoutLog) {
    const StartupOptions verify = ReadSwitchesLeniently("\"D:\\cd\" x /verify");
    EXPECT_EQ(verify.mode, RunMode::Verify);
    EXPECT_TRUE(verify.Unattended());
    EXPECT_EQ(verify.logPath, tree.root() + "\\qvsetup-verify.log");
    EXPECT_EQ(ReadSwitchesLeniently("\"D:\\cd\" /PLAN /LOG=c:\\p.log").logPath, "c:\\p.log");
    EXPECT_FALSE(ReadSwitchesLeniently("\"D:\\cd\" /S").logPath.size());
}

TEST(ExitLines, ARestartFinishesAnInstallARepairOrAVerifyAndAnUninstallSaysWhatGoesThen) {
    const ExitCode restart = ExitCode::InstalledAtRestart;
    EXPECT_EQ(ExitLine(restart, RunMode::Install), "Exit code 3010: installed; a restart finishes it");
    EXPECT_EQ(ExitLine(restart, RunMode::Repair), "Exit code 3010: repaired; a restart finishes it");
    EXPECT_EQ(ExitLine(restart, RunMode::Verify), "Exit code 3010: intact once a restart finishes the install");
    EXPECT_EQ(ExitLine(ExitCode::RemovedAtRestart, RunMode::Uninstall),
              "Exit code 3010: removed, some files go at the next restart");
}

TEST(LanguageSwitch, FindsTheLanguageByItsCode) {
    Session session;
    session.Languages = {{"English", "ENG", 0}, {"Deutsch", " deu ", 1000}, {"Francais", "FRA", 2000}, {"None", "", 0}};
    EXPECT_EQ(FindLanguageByCode(session, "ENG"), 0);
    EXPECT_EQ(FindLanguageByCode(session, "Deu"), 1);
    EXPECT_EQ(FindLanguageByCode(session, " fra\t"), 2);
    EXPECT_EQ(FindLanguageByCode(session, "FR"), -1);
    EXPECT_EQ(FindLanguageByCode(session, "ITA"), -1);
    EXPECT_EQ(FindLanguageByCode(session, ""), -1);  // not the record without a code
    EXPECT_EQ(FindLanguageByCode(Session{}, "ENG"), -1);
}

}  // namespace
}  // namespace qv

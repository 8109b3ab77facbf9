// Editing the workstation configuration: entries, sections, types, and saves that must
// never leave a half-written file.
#include <gtest/gtest.h>

#include "setup/config/config_profile.h"
#include "setup/session/file_system.h"
#include "setup/session/text_encoding.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::RecordingPort;
using qvtest::TempTree;
using Lines = std::vector<std::string>;

class ProfileTest : public ::testing::Test {
protected:
    TempTree tree;
    Session session;
    RecordingPort port;

    Lines Edit(const std::string& content, const std::string& key, const std::string& value,
               const std::string& section) {
        tree.write("p.cfg", content);
        EXPECT_TRUE(LoadFile(session, port, tree.path("p.cfg")));
        SetREGParm(session, key, value, section);
        return session.ConfigLines;
    }
};

TEST_F(ProfileTest, ReplacesAnEntryKeepingItsType) {
    EXPECT_EQ(Edit("[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n\r\n[Other]\r\n", "DBType", "ORACLE", "[Startup]"),
              (Lines{"[Startup]", "DBType=REG_SZ=ORACLE", "", "[Other]"}));
    EXPECT_EQ(Edit("  [startup]  \r\n  dbtype = REG_EXPAND_SZ = x \r\n", "DBType", "MICROSFT", "[Startup]"),
              (Lines{"[startup]", "DBType=REG_EXPAND_SZ=MICROSFT"}));
    EXPECT_EQ(Edit("[Startup]\r\nDBType=old\r\n", "DBType", "new", "[Startup]"),
              (Lines{"[Startup]", "DBType=REG_SZ=new"}));
}

TEST_F(ProfileTest, NewEntryGoesBeforeTheNextSectionAfterBlankLines) {
    EXPECT_EQ(Edit("[Startup]\r\nA=REG_SZ=1\r\n\r\n[Other]\r\nB=REG_SZ=2\r\n", "C", "3", "[Startup]"),
              (Lines{"[Startup]", "A=REG_SZ=1", "", "C=REG_SZ=3", "[Other]", "B=REG_SZ=2"}));
    // The key is looked for only inside its own section.
    EXPECT_EQ(Edit("[Other]\r\nC=REG_SZ=x\r\n[Startup]\r\n", "C", "3", "[Startup]"),
              (Lines{"[Other]", "C=REG_SZ=x", "[Startup]", "C=REG_SZ=3"}));
}

TEST_F(ProfileTest, HeadersAreWholeLines) {
    // "[Startup] ; comment" is not the header: the section is appended.
    EXPECT_EQ(Edit("[Startup] ; comment\r\nDBType=REG_SZ=a\r\n", "DBType", "b", "[Startup]"),
              (Lines{"[Startup] ; comment", "DBType=REG_SZ=a", "[Startup]", "DBType=REG_SZ=b"}));
}

TEST_F(ProfileTest, AByteOrderMarkIsSkippedAndEveryLineEndEndsALine) {
    EXPECT_EQ(Edit("\xEF\xBB\xBF[Startup]\rDBType=REG_SZ=a\nQ=REG_SZ=q\r\n", "DBType", "b", "[Startup]"),
              (Lines{"[Startup]", "DBType=REG_SZ=b", "Q=REG_SZ=q"}));
}

TEST_F(ProfileTest, MissingSectionsAreAppendedAndGrow) {
    tree.write("p.cfg", "");
    ASSERT_TRUE(LoadFile(session, port, tree.path("p.cfg")));
    EXPECT_TRUE(session.ConfigLines.empty());
    SetREGParm(session, "A", "1", "[New]");
    SetREGParm(session, "B", "2", "[New]");
    SetREGParm(session, "A", "9", "[New]");
    EXPECT_EQ(session.ConfigLines, (Lines{"[New]", "A=REG_SZ=9", "B=REG_SZ=2"}));
    ASSERT_TRUE(SaveFile(session, port, tree.at("p.cfg")));
    EXPECT_EQ(tree.read("p.cfg"), "[New]\r\nA=REG_SZ=9\r\nB=REG_SZ=2\r\n");
    EXPECT_TRUE(session.ConfigLines.empty());
}

TEST_F(ProfileTest, MissingFileIsSkippedInSilence) {
    session.InstallDir = "c:\\qv";
    WriteWorkstationConfig(session, port, tree.at("setup\\qvtools8.cfg"), WorkstationConfigEntries(session, "c:\\db"));
    EXPECT_TRUE(port.messages.empty());
    EXPECT_FALSE(tree.exists("setup\\qvtools8.cfg"));
    EXPECT_FALSE(tree.exists("setup"));
}

TEST_F(ProfileTest, UnreadableFileIsReportedUnlessSilenced) {
    tree.mkdir("dir.cfg");  // a directory where the file should be
    EXPECT_FALSE(LoadFile(session, port, tree.path("dir.cfg"), false));
    EXPECT_TRUE(port.messages.empty());
    EXPECT_FALSE(LoadFile(session, port, tree.path("dir.cfg")));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "LoadFile");
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);
    EXPECT_EQ(port.messages[0].text.rfind("File Access Error : ", 0), 0u);
    EXPECT_TRUE(port.messages[0].text.ends_with("\rReading file " + tree.path("dir.cfg")));
}

TEST_F(ProfileTest, FailedSaveLeavesTheOldFileByteForByte) {
    const std::string old = "[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n";
    tree.write("p.cfg", old);
    ASSERT_TRUE(LoadFile(session, port, tree.path("p.cfg")));
    SetREGParm(session, "DBType", "ORACLE", "[Startup]");
    tree.mkdir("p.cfg.~new");  // the scratch file cannot be made
    EXPECT_FALSE(SaveFile(session, port, tree.at("p.cfg")));
    EXPECT_EQ(tree.read("p.cfg"), old);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "Marrowvale CD-ROM Installation");
    EXPECT_TRUE(port.messages[0].text.ends_with("\rWriting " + tree.path("p.cfg") + "\rChanges not saved."));
    EXPECT_EQ(session.ConfigLines.size(), 2u);  // the edit is kept for another try
}

TEST_F(ProfileTest, WorkstationConfigurationHoldsAllEntriesInOrder) {
    session.InstallDir = "n:\\qv";
    session.TempDir = "c:\\temp";
    session.DbConfigName = "ORACLE";
    session.Languages = {{"English", "ENG", 0}};
    tree.write("qvtools8.cfg", "; Marrowvale tools\r\n[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n\r\n[QVIDE]\r\n");
    WriteWorkstationConfig(session, port, tree.at("qvtools8.cfg"), WorkstationConfigEntries(session, "c:\\orawin\\bin"));
    EXPECT_TRUE(port.messages.empty());
    const std::string written = tree.read("qvtools8.cfg");
    const Lines expected = {
        "; Marrowvale tools",
        "[Startup]",
        "DBType=REG_SZ=ORACLE",
        "",
        "[QVIDE]",
        "ReportOutputDir=REG_SZ=c:\\temp",
        "[QVTOOLS]",
        "Language=REG_SZ=ENG",
        "[Tabulon]",
        "TemplateDir=REG_SZ=n:\\qv\\excel",
        "MacroDir=REG_SZ=n:\\qv\\excel",
        "LayoutDir=REG_SZ=n:\\qv\\Tabulon\\layout",
        "DrillDownDir=REG_SZ=n:\\qv\\Tabulon\\layout\\drilldn",
        "StyleDir=REG_SZ=n:\\qv\\excel",
        "[Batchwell]",
        "CBLBIN=REG_SZ=n:\\qv\\cblbin",
        "CRWRPTPATH=REG_SZ=n:\\qv\\crw",
        "DBBIN=REG_SZ=c:\\orawin\\bin",
        "PRDDRIVE=REG_SZ=n:",
        "PRDBIN=REG_SZ=\\qv\\cblbin",
        "TOOLBIN=REG_SZ=n:\\qv\\bin\\client\\winx86",
        "QV_HOME=REG_SZ=n:\\qv",
        "QVSQR1=REG_SZ=n:\\qv\\user\\sqr",
        "QVSQR2=REG_SZ=n:\\qv\\sqr",
        "QVSQR3=REG_SZ=c:\\user\\sqr",
        "QVSQR4=REG_SZ=n:\\qv\\sqr",
        "TEMP=REG_SZ=c:\\temp",
        "QVSQRFLAGS=REG_SZ=-ZIFn:\\qv\\sqr\\qvsqr.ini",
        "[Marrowbooks]",
        "BookPath=REG_SZ=n:\\qv\\qvbooks",
        "Marrowbooks Viewer Path=REG_SZ=n:\\qv\\qvbooks\\folio\\views.exe",
        "Help Viewer Path=REG_SZ=n:\\qv\\qvbooks\\folio\\qvhlp.exe",
        "Opener=REG_SZ=n:\\qv\\qvbooks\\Folio Shared\\opener.dll",
        "[Data Ferry]",
        "InputDir=REG_SZ=n:\\qv\\data",
        "OutputDir=REG_SZ=n:\\qv\\data",
        "LastScriptDir=REG_SZ=n:\\qv\\scripts",
        "LogDir=REG_SZ=c:\\temp",
    };
    std::string joined;
    for (const std::string& line : expected) joined += line + "\r\n";
    EXPECT_EQ(written, joined);
    EXPECT_FALSE(tree.exists("qvtools8.cfg.~new"));
}

#ifndef _WIN32
// In Windows the system decides the program's code page (the end-to-end test of names in any
// script runs there); natively, a test does.
//
// A program that holds its text in UTF-8 on a Western system: the CD's text is taken as
// UTF-8 where it is valid, else as Windows-1252; the files of the suite's programs are
// written in Windows-1252, a path that has no place there in its short form, and an entry
// that has neither as it is, named in the log, never with a "?".
class CodePageTest : public ProfileTest {
protected:
    void SetUp() override { SetProgramUsesUtf8ForTests(true); }
    void TearDown() override { SetProgramUsesUtf8ForTests(false); }
};

TEST_F(CodePageTest, CdTextIsUtf8WhereValidElseWindows1252) {
    EXPECT_EQ(FromCdText("Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x93\x80"), "Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x93\x80");
    EXPECT_EQ(FromCdText("M\xFCller \x80 5"), "M\xC3\xBCller \xE2\x82\xAC 5");
    // Overlong, a surrogate, cut short, past the last code point, a lone continuation.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "a\xE2\x82", "\xF4\x90\x80\x80", "\x80"})
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    EXPECT_EQ(Edit("[Tabulon]\r\nName=REG_SZ=K\xE4se\r\n", "Other", "x", "[Tabulon]")[1], "Name=REG_SZ=K\xC3\xA4se");
}

TEST_F(CodePageTest, SavedEntriesAreWindows1252WithShortPathsWhereTheyDoNotFit) {
    const std::string greek = "C:\\qv-\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1";
    fs::SetShortPathForTests(greek, "C:\\QV-_~TB0");
    session.InstallDir = greek;
    Edit("", "Owner", "M\xC3\xBCller", "[A]");
    SetREGParm(session, "Dir", greek + "\\bin", "[A]");
    SetREGParm(session, "Flags", "-ZIF" + greek + "\\sqr.ini", "[A]");
    SetREGParm(session, "OnDrive", greek.substr(2) + "\\cblbin", "[A]");
    SetREGParm(session, "Title", "\xCE\x9F\xCE\xBC\xCE\xAC\xCE\xB4\xCE\xB1", "[A]");
    ASSERT_TRUE(SaveFile(session, port, tree.at("p.cfg")));
    EXPECT_EQ(tree.read("p.cfg"),
              "[A]\r\nOwner=REG_SZ=M\xFCller\r\nDir=REG_SZ=C:\\QV-_~TB0\\bin\r\nFlags=REG_SZ=-ZIFC:\\QV-_~TB0\\sqr.ini\r\n"
              "OnDrive=REG_SZ=\\QV-_~TB0\\cblbin\r\nTitle=REG_SZ=\xCE\x9F\xCE\xBC\xCE\xAC\xCE\xB4\xCE\xB1\r\n");
    EXPECT_EQ(port.steps, (Lines{"The entry \"Title=REG_SZ=\xCE\x9F\xCE\xBC\xCE\xAC\xCE\xB4\xCE\xB1\" of " +
                                 tree.path("p.cfg") +
                                 " could not be written faithfully: the code page of the programs that read it "
                                 "cannot hold it"}));
}

#endif

}  // namespace
}  // namespace qv

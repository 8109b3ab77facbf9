// The end of an install: Supply Chain hand-over, program group dialog, configuration
// files and the five shortcuts.
#include <gtest/gtest.h>

#include "setup/engine/install_completion.h"
#include "setup/session/platforms.h"
#include "support/engine_fixture.h"
#include "support/fake_shortcuts.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::RecordingPort;
using qvtest::TempTree;

using qvtest::FakeShortcuts;

struct FakeServices : CompletionServices {
    GroupChoice choice;
    int dialogs = 0;
    int waitClosed = 0;
    bool startSucceeds = true;
    uint32_t startError = 0;
    std::vector<std::string> started;
    FakeShortcuts shortcuts;

    GroupChoice ShowGroupDialog() override {
        ++dialogs;
        return choice;
    }
    void CloseWaitWindow() override { ++waitClosed; }
    bool StartProgram(const std::string& path, RunError& error) override {
        started.push_back(path);
        if (!startSucceeds) error = FromSystemError(startError);
        return startSucceeds;
    }
    ShortcutLibrary& Shortcuts() override { return shortcuts; }
};

class CompletionTest : public ::testing::Test {
protected:
    TempTree tree;
    Session session;
    RecordingPort port;
    FakeServices services;
    std::string dest = tree.path("qv");
    InstallJournal journal{qvtest::PlacesOf(dest)};

    CompletionTest() {
        session.InstallDir = dest;
        session.TempDir = tree.path("temp");
        tree.mkdir("temp");
        session.Languages = {{"English", "ENG", 0}};
        SetDbPlatform(session, *FindDbPlatform("ORA"));
        services.choice = {true, "Marrowvale 8.01 Installation", "c:\\orawin\\bin"};
    }

    // A tools install for the user alone, into the Programs folder the library names: the
    // places its journals may change.
    Confinement ForTheUser() {
        session.ToolsInstalled = true;
        session.Scope = InstallScope::CurrentUser;
        services.shortcuts.userPrograms = tree.path("programs");
        services.shortcuts.failing.clear();
        tree.write("qv\\setup\\qvtools8.cfg", "");
        tree.mkdir("programs");
        Confinement places = qvtest::PlacesOf(dest);
        places.programsFolders = {qvtest::P(services.shortcuts.userPrograms)};
        return places;
    }
};

TEST_F(CompletionTest, ToolsInstallEndsWithConfigurationAndFiveShortcuts) {
    session.ToolsInstalled = true;
    tree.write("qv\\setup\\qvtools8.cfg", "[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n");
    EXPECT_EQ(FinishInstall(session, port, services, journal, qvtest::P(dest), false), CompletionOutcome::Returned);
    EXPECT_EQ(services.dialogs, 1);
    EXPECT_TRUE(session.CreateGroup);
    EXPECT_NE(tree.read("qv\\setup\\qvtools8.cfg").find("DBBIN=REG_SZ=c:\\orawin\\bin\r\n"), std::string::npos);
    EXPECT_TRUE(tree.exists("temp\\qvxfr.cfg"));

    const std::string bin = dest + "\\bin\\client\\winx86";
    const std::string g = "1|Marrowvale 8.01 Installation|";
    const std::vector<std::string> expected = {
        "OleInit",
        g + "Setup Workstation|" + bin + "\\qvcfg.exe|" + bin + "|",
        g + "Uninstall Workstation|" + bin + "\\qvcfg.exe|" + bin + "|-clean",
        g + "Database Setup|" + dest + "\\setup\\dbsetup\\setup.exe|" + dest + "\\setup\\dbsetup|",
        g + "Data Ferry|" + bin + "\\qvdft.exe|c:\\orawin\\bin|",
        g + "Server Transfer|" + bin + "\\qvtrans|" + bin + "|",
        "OleUninit",
    };
    EXPECT_EQ(services.shortcuts.calls, expected);
    EXPECT_EQ(services.waitClosed, 1);

    // The install log hears of the choice, both files and every shortcut's result.
    const std::vector<std::string> steps = {
        "Program group: \"Marrowvale 8.01 Installation\", connectivity directory c:\\orawin\\bin",
        "Wrote " + tree.path("temp\\qvxfr.cfg"),
        "Wrote " + tree.path("qv\\setup\\qvtools8.cfg"),
        "Shortcut \"Marrowvale 8.01 Installation\\Setup Workstation\" to " + bin + "\\qvcfg.exe: made",
        "Shortcut \"Marrowvale 8.01 Installation\\Uninstall Workstation\" to " + bin + "\\qvcfg.exe: made",
        "Shortcut \"Marrowvale 8.01 Installation\\Database Setup\" to " + dest + "\\setup\\dbsetup\\setup.exe: made",
        "Shortcut \"Marrowvale 8.01 Installation\\Data Ferry\" to " + bin + "\\qvdft.exe: made",
        "Shortcut \"Marrowvale 8.01 Installation\\Server Transfer\" to " + bin + "\\qvtrans: not made",
    };
    EXPECT_EQ(port.steps, steps);
}

// A run over the last makes again only the shortcuts that are missing: one the user made
// start something else is kept, the others are unchanged; /REINSTALL makes them all.
TEST_F(CompletionTest, ARunOverTheLastMakesOnlyTheMissingShortcutsAgain) {
    const Confinement places = ForTheUser();
    InstallJournal first{places};
    FinishInstall(session, port, services, first, qvtest::P(dest), false);
    services.shortcuts.made["Marrowvale 8.01 Installation\\Data Ferry"].args = "-other";
    services.shortcuts.made.erase("Marrowvale 8.01 Installation\\Database Setup");

    InstallJournal again{places};
    RunError error;
    ASSERT_TRUE(again.Open(first.Record(), "", error)) << error.description;
    services.shortcuts.calls.clear();
    port.steps.clear();
    FinishInstall(session, port, services, again, qvtest::P(dest), false);
    const std::string bin = dest + "\\bin\\client\\winx86";
    const std::string setup = dest + "\\setup\\dbsetup";
    const std::vector<std::string> remade = {
        "OleInit", "0|Marrowvale 8.01 Installation|Database Setup|" + setup + "\\setup.exe|" + setup + "|", "OleUninit"};
    EXPECT_EQ(services.shortcuts.calls, remade);
    const std::vector<std::string> logged(port.steps.end() - 2, port.steps.end());
    const std::string g = "Shortcut \"Marrowvale 8.01 Installation\\";
    EXPECT_EQ(logged, (std::vector<std::string>{g + "Data Ferry\" to " + bin + "\\qvdft.exe: kept (changed since the install)",
                                                g + "Server Transfer\" to " + bin + "\\qvtrans: unchanged"}));
    EXPECT_EQ(again.Record().shortcuts.size(), 5u);

    // /REINSTALL makes every one again.
    session.Reinstall = true;
    services.shortcuts.calls.clear();
    FinishInstall(session, port, services, again, qvtest::P(dest), false);
    EXPECT_EQ(services.shortcuts.calls.size(), 7u);
}

// A run that makes the group under another title takes the earlier group's shortcuts away
// where they still start what they did, and the earlier group's folder with them; one the
// user changed stays. The record then holds the new group's shortcuts alone, and reads back.
TEST_F(CompletionTest, AGroupMadeUnderAnotherTitleTakesTheEarlierGroupsShortcutsAway) {
    const Confinement places = ForTheUser();
    InstallJournal first{places};
    FinishInstall(session, port, services, first, qvtest::P(dest), false);
    InstallRecord record = first.Record();
    const auto runAgainUnder = [&](const std::string& title) {
        InstallJournal again{places};
        RunError error;
        ASSERT_TRUE(again.Open(record, "", error)) << error.description;
        services.choice.groupTitle = title;
        FinishInstall(session, port, services, again, qvtest::P(dest), false);
        ASSERT_TRUE(again.Commit(port, error)) << error.description;
        Confinement readBack = places;
        std::string problem;
        record = {};
        ASSERT_TRUE(ParseRecord(tree.read("qv\\setup\\qvinstall.rec"), readBack, record, problem)) << problem;
    };

    runAgainUnder("Another");
    EXPECT_FALSE(tree.exists("programs\\Marrowvale 8.01 Installation"));
    ASSERT_EQ(record.shortcuts.size(), 5u);

    services.shortcuts.made["Another\\Data Ferry"].target = "elsewhere";
    runAgainUnder("Marrowvale 8.01 Installation");
    EXPECT_TRUE(tree.exists("programs\\Another\\Data Ferry.LNK"));
    EXPECT_FALSE(tree.exists("programs\\Another\\Setup Workstation.LNK"));
    EXPECT_NE(std::find(port.steps.begin(), port.steps.end(),
                        "Kept: " + tree.path("programs\\Another\\Data Ferry.LNK") +
                            " (changed since the install; a shortcut of the earlier group)"),
              port.steps.end());
    ASSERT_EQ(record.shortcuts.size(), 5u);
    for (const RecordedShortcut& s : record.shortcuts) EXPECT_EQ(s.link.Parent(), record.group->folder);
}

TEST_F(CompletionTest, ClearedGroupBoxWritesConfigurationButNoShortcut) {
    session.ToolsInstalled = true;
    services.choice.createGroup = false;
    tree.write("qv\\setup\\qvtools8.cfg", "");
    FinishInstall(session, port, services, journal, qvtest::P(dest), false);
    EXPECT_FALSE(session.CreateGroup);
    EXPECT_NE(tree.read("qv\\setup\\qvtools8.cfg").find("[Startup]\r\nDBType=REG_SZ=ORACLE\r\n"), std::string::npos);
    EXPECT_TRUE(tree.exists("temp\\qvxfr.cfg"));
    EXPECT_TRUE(services.shortcuts.calls.empty());
}

TEST_F(CompletionTest, WithoutTheToolsThereIsNoDialogAndNoGroup) {
    session.CreateGroup = true;
    FinishInstall(session, port, services, journal, qvtest::P(dest), false);
    EXPECT_EQ(services.dialogs, 0);
    EXPECT_FALSE(session.CreateGroup);
    EXPECT_TRUE(services.shortcuts.calls.empty());
    EXPECT_FALSE(tree.exists("temp\\qvxfr.cfg"));
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(CompletionTest, SupplyChainSetupIsHandedOver) {
    session.ToolsInstalled = true;
    tree.write("qv\\setup.exe", "MZ");
    EXPECT_EQ(FinishInstall(session, port, services, journal, qvtest::P(dest), true), CompletionOutcome::HandedOver);
    EXPECT_EQ(services.started, std::vector<std::string>{dest + "\\setup.exe"});
    EXPECT_EQ(services.dialogs, 0);
    EXPECT_TRUE(services.shortcuts.calls.empty());
}

TEST_F(CompletionTest, SupplyChainWithoutItsSetupGoesOnNormally) {
    session.ToolsInstalled = true;
    EXPECT_EQ(FinishInstall(session, port, services, journal, qvtest::P(dest), true), CompletionOutcome::Returned);
    EXPECT_TRUE(services.started.empty());
    EXPECT_EQ(services.dialogs, 1);

    // A setup program that cannot be started is no hand-over either.
    tree.write("qv\\setup.exe", "MZ");
    services.startSucceeds = false;
    EXPECT_EQ(FinishInstall(session, port, services, journal, qvtest::P(dest), true), CompletionOutcome::Returned);
    EXPECT_EQ(services.dialogs, 2);
}

TEST(ConnectivityDefaults, ByPlatformCode) {
    Session s;
    const std::pair<const char*, const char*> rows[] = {
        {"SBS", "c:\\sqlbase"}, {"ora", "c:\\orawin\\bin"}, {"INF", "c:\\informix\\bin"}, {"DB4", ""},
        {"DBX", "c:\\db2cae\\bin"}, {"SYB", "c:\\sql10\\dll"}, {"MSS", "c:\\mssql\\binn"},
        {"DB2", "c:\\sqllib\\bin"}, {"XYZ", "c:\\"}, {"", "c:\\"},
    };
    for (const auto& [code, dir] : rows) {
        s.DbPlatformCode = code;
        EXPECT_EQ(DefaultConnectivityDir(s), dir) << code;
    }
}

TEST(GroupDialog, ConnectivityDirectoryByPlatform) {
    Session session;
    session.InstallDir = "n:\\qv";
    session.DbPlatformCode = "ORA";
    EXPECT_EQ(InitialConnectivityDir(session), "c:\\orawin\\bin");
    EXPECT_TRUE(ConnectivityControlsEnabled(session));
    session.DbPlatformCode = "XYZ";
    EXPECT_EQ(InitialConnectivityDir(session), "c:\\");
    // The platform whose client programs the suite brings along: its own client folder,
    // not the user's choice.
    session.DbPlatformCode = "DB4";
    EXPECT_EQ(InitialConnectivityDir(session), "n:\\qv\\bin\\client\\winx86");
    EXPECT_FALSE(ConnectivityControlsEnabled(session));
}

TEST(GroupDialog, ConnectivityDirectoryIsLookedUpAsASearchPattern) {
    qvtest::TempTree tree;
    tree.write("sqlbase\\bin\\dbnt.dll", "x");
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sqlbase")));
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sqlbase\\bin\\dbnt.dll")));  // a file matches too
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sql*")));
    EXPECT_TRUE(ConnectivityDirFound(tree.path("sqlbase") + "\\"));   // the folder's entries
    EXPECT_FALSE(ConnectivityDirFound(tree.path("sqlbase\\empty")));
    EXPECT_FALSE(ConnectivityDirFound(tree.path("ora*")));
    EXPECT_FALSE(ConnectivityDirFound(""));
}

}  // namespace
}  // namespace qv

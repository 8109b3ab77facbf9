// The end of an install through the windows: the program group dialog after the tools
// product (its texts, the platform's default directory, the existence check, the title's
// limit, the disabled controls of the platform that brings its own client, the cleared
// check box), then the workstation and transfer configuration, the database codes and
// the five shortcuts in the Start menu; and the hand-over to a Supply Chain product's own
// setup program, after which the installer ends without its closing message.
#include <shlobj.h>

#include <map>
#include <sstream>

#include "e2e/qvsetup_test.h"
#include "support/link_reader_win.h"

namespace qve2e {
namespace {

namespace gr = ids::frm_group;

constexpr const char* kSuccess = "\rThe Marrowvale CD-ROM has been successfully installed.\r";
constexpr const char* kShortcutNames[] = {"Setup Workstation", "Uninstall Workstation", "Database Setup",
                                          "Data Ferry", "Server Transfer"};

// The entries "key=type=value" of a configuration file, by key.
std::map<std::string, std::string> ConfigEntries(const std::string& text, int& count) {
    std::map<std::string, std::string> entries;
    std::istringstream lines(text);
    std::string line;
    count = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const size_t first = line.find('=');
        if (line.empty() || line[0] == '[' || first == std::string::npos) continue;
        ++count;
        entries[line.substr(0, first)] = line.substr(first + 1);
    }
    return entries;
}

std::string CommonProgramsFolder() {
    char path[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
    return path;
}

// The control that has the keyboard focus in the program's user-interface thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    return thread && GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

class CompletionTest : public SetupTest {
protected:
    void TearDown() override {
        SetupTest::TearDown();
        if (!group_.empty()) qvtest::RemoveTree(CommonProgramsFolder() + "\\" + group_);
    }

    std::string Target() const { return target_.path("qv"); }

    // Starts the installer with TEMP in a folder of the test, installs every listed
    // product and waits for the program group dialog.
    HWND InstallUpToTheGroupDialog(const std::string& switches) {
        Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
        environment.push_back("TEMP=" + temp_.root());
        StartSetup(switches, &environment);
        WaitForMain();
        SetInstallTo(Target());
        EXPECT_TRUE(ClickButton(main, "Install"));
        HWND confirmation = WaitForForm(ids::kConfirmationClass);
        if (!confirmation || !ClickButton(confirmation, "Proceed")) return nullptr;
        return WaitForForm(ids::kFrmGroupClass);
    }

    // A group name of this test alone, so that runs do not meet each other's shortcuts.
    std::string UniqueGroup() {
        group_ = "QV Test " + std::to_string(GetCurrentProcessId() % 100000) + "-" +
                 std::to_string(GetTickCount() % 10000);
        return group_;
    }

    qvtest::TempTree target_;
    qvtest::TempTree temp_;
    qvtest::TempTree connectivity_;
    std::string group_;
};

TEST_F(CompletionTest, ToolsInstallAsksForTheGroupThenConfiguresAndMakesFiveShortcuts) {
    cd.Add(ToolsProduct());
    TestProduct ledger = MakeProduct("ledger", "General Ledger", 2);
    ledger.softwareType = "Application";
    ledger.files = {{"ledger\\ledger.dat", FileBytes(20000, 9)}};
    cd.Add(ledger);
    connectivity_.write("ora.dll", "client");

    HWND group = InstallUpToTheGroupDialog("/DB=ORA");
    ASSERT_NE(group, nullptr);
    Shot("group-dialog");
    EXPECT_EQ(Text(group), kTitle);
    EXPECT_EQ(Text(Control(group, gr::Frame1)), "Windows Program Manager Group");
    EXPECT_EQ(Text(Control(group, gr::chkGroup)), "Create Marrowvale Group and Icons");
    EXPECT_TRUE(IsChecked(Control(group, gr::chkGroup)));
    EXPECT_EQ(Text(Control(group, gr::lblGroup)), "Windows Group Title");
    EXPECT_EQ(Text(Control(group, gr::lblMax)), "(max. 30 characters)");
    EXPECT_EQ(Text(Control(group, gr::lblDbDir)), "Oracle Connectivity Programs Directory");
    EXPECT_EQ(Text(Control(group, gr::lblDrives)), "Dri&ves");
    EXPECT_EQ(Text(Control(group, gr::txtGroupTitle)), "Marrowvale 8.01 Installation");
    EXPECT_EQ(Text(Control(group, gr::btnOk)), "&OK");
    HWND dbDir = Control(group, gr::txtDbdir);
    EXPECT_EQ(Text(dbDir), "c:\\orawin\\bin");
    EXPECT_EQ(FocusOf(group), dbDir) << "the focus starts in the connectivity directory";
    EXPECT_EQ(FindWindowOf(app.Id(), {ids::kInstallStatusClass}), nullptr) << "the progress window stayed";

    // The title takes at most 30 characters as it is typed.
    HWND title = Control(group, gr::txtGroupTitle);
    ASSERT_TRUE(SetText(title, ""));
    ASSERT_TRUE(TypeText(title, "Marrowvale Accounting Tools For Everyone"));
    EXPECT_TRUE(WaitForText(title, "Marrowvale Accounting Tools Fo"));

    // The platform's default directory does not exist on this machine: OK refuses it.
    ASSERT_TRUE(ClickButton(group, "OK"));
    ExpectBox(kTitle, "Error - Connectivity Programs Directory does not exist.", {"OK"}, BoxIcon::None, "OK",
              "no-connectivity-dir");
    EXPECT_TRUE(IsVisible(group)) << "the dialog closed over a missing directory";
    EXPECT_TRUE(WaitUntil([&] { return FocusOf(group) == dbDir; })) << "the focus did not go back to the directory";

    ASSERT_TRUE(SetText(title, UniqueGroup()));
    ASSERT_TRUE(SetText(dbDir, connectivity_.root()));
    ASSERT_TRUE(ClickButton(group, "OK"));
    ExpectBox(kTitle, kSuccess, {"OK"}, BoxIcon::Asterisk, "OK", "installed");
    EXPECT_TRUE(WaitUntil([&] { return FindWindowOf(app.Id(), {ids::kFrmWaitClass}) == nullptr; }))
        << "the wait window stayed";

    // The workstation configuration: the 29 entries of this installation.
    const std::optional<std::string> config = ReadFile(Target() + "\\setup\\qvtools8.cfg");
    ASSERT_TRUE(config.has_value());
    int count = 0;
    const std::map<std::string, std::string> entries = ConfigEntries(*config, count);
    EXPECT_EQ(count, 29) << *config;
    EXPECT_EQ(entries.at("DBType"), "REG_SZ=ORACLE");
    EXPECT_EQ(entries.at("DBBIN"), "REG_SZ=" + connectivity_.root());
    EXPECT_EQ(entries.at("TOOLBIN"), "REG_SZ=" + Target() + "\\bin\\client\\winx86");
    EXPECT_EQ(entries.at("TEMP"), "REG_SZ=" + temp_.root());
    EXPECT_NE(config->find("\r\n"), std::string::npos);

    // The transfer configuration in the temporary folder, the database codes below the
    // install directory.
    EXPECT_TRUE(ReadFile(temp_.path("qvxfr.cfg")).has_value()) << "no qvxfr.cfg in " << temp_.root();
    const std::optional<std::string> codes = ReadFile(Target() + "\\setup\\dbcodes.inf");
    ASSERT_TRUE(codes.has_value());
    EXPECT_NE(codes->find("[dbcodes]"), std::string::npos) << *codes;
    EXPECT_NE(codes->find("P2=General Ledger,"), std::string::npos) << *codes;

    // The five shortcuts of the group, each pointing at its tool.
    const std::string folder = CommonProgramsFolder() + "\\" + group_;
    for (const char* name : kShortcutNames)
        EXPECT_TRUE(ReadFile(folder + "\\" + name + ".lnk").has_value()) << name << ".lnk is missing in " << folder;
    const std::optional<qvtest::LinkFields> ferry = qvtest::ReadLink(folder + "\\Data Ferry.lnk");
    ASSERT_TRUE(ferry.has_value());
    EXPECT_EQ(ferry->target, Target() + "\\bin\\client\\winx86\\qvdft.exe");
    EXPECT_EQ(ferry->workdir, connectivity_.root());
    const std::optional<qvtest::LinkFields> uninstall = qvtest::ReadLink(folder + "\\Uninstall Workstation.lnk");
    ASSERT_TRUE(uninstall.has_value());
    EXPECT_EQ(uninstall->args, "-clean");
}

TEST_F(CompletionTest, OwnClientPlatformDisablesTheDirectoryAndAClearedBoxMakesNoGroup) {
    cd.Add(ToolsProduct());
    HWND group = InstallUpToTheGroupDialog("/DB=DB4");
    ASSERT_NE(group, nullptr);
    for (int control : {gr::lblDbDir, gr::txtDbdir, gr::Dir1, gr::Drive1, gr::lblDrives})
        EXPECT_FALSE(IsEnabled(Control(group, control))) << "control " << control << " is enabled";
    HWND dbDir = Control(group, gr::txtDbdir);
    EXPECT_EQ(Text(dbDir), Target() + "\\bin\\client\\winx86");
    EXPECT_EQ(FocusOf(group), Control(group, gr::btnOk)) << "the focus does not start on OK";

    // Clearing the box disables the title; ticking it again enables it.
    HWND box = Control(group, gr::chkGroup);
    HWND title = Control(group, gr::txtGroupTitle);
    ASSERT_TRUE(SetText(title, UniqueGroup()));
    ASSERT_TRUE(Click(box));
    EXPECT_TRUE(WaitUntil([&] { return !IsEnabled(title); }));
    Shot("group-cleared");
    ASSERT_TRUE(Click(box));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(title); }));
    ASSERT_TRUE(Click(box));
    EXPECT_TRUE(WaitUntil([&] { return !IsChecked(box); }));

    // Without a group the directory is not checked: OK closes over one that is missing.
    const std::string missing = target_.path("no such client");
    ASSERT_TRUE(SetText(dbDir, missing));
    ASSERT_TRUE(ClickButton(group, "OK"));
    ExpectBox(kTitle, kSuccess, {"OK"}, BoxIcon::Asterisk, "OK");

    const std::optional<std::string> config = ReadFile(Target() + "\\setup\\qvtools8.cfg");
    ASSERT_TRUE(config.has_value());
    int count = 0;
    const std::map<std::string, std::string> entries = ConfigEntries(*config, count);
    EXPECT_EQ(entries.at("DBType"), "REG_SZ=DB2400");
    EXPECT_EQ(entries.at("DBBIN"), "REG_SZ=" + missing);
    EXPECT_FALSE(ReadFile(CommonProgramsFolder() + "\\" + group_ + "\\Data Ferry.lnk").has_value())
        << "a shortcut was made with the group box cleared";
}

TEST_F(CompletionTest, SupplyChainSetupIsStartedAndTheInstallerEndsAtOnce) {
    const std::optional<std::string> program = ReadFile(ProgramFolder() + "\\qvsample.exe");
    ASSERT_TRUE(program.has_value()) << "qvsample.exe is not in " << ProgramFolder();
    TestProduct supply = MakeProduct("supply", "Marrowvale Supply Chain", 1);
    supply.softwareType = "Supply Chain";
    supply.files = {{"setup.exe", *program}, {"scm\\plan.dat", FileBytes(30000, 5)}};
    cd.Add(supply);

    // The started program writes what it was started with into this file.
    const std::string started = temp_.path("started.log");
    Environment environment = CurrentEnvironment();
    environment.push_back("QVSAMPLE_LOG=" + started);
    StartSetup("", &environment);
    WaitForMain();
    SetInstallTo(Target());
    ASSERT_TRUE(ClickButton(main, "Install"));
    HWND confirmation = WaitForForm(ids::kConfirmationClass);
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));

    // No closing message and no group dialog: the installer ends by itself.
    ExpectExitCode(0);
    // The started program makes the file, then writes its line in one call: the line's end
    // tells that it is there.
    EXPECT_TRUE(WaitUntil([&] {
        const std::optional<std::string> text = ReadFile(started);
        return text && text->size() >= 2 && text->compare(text->size() - 2, 2, "\r\n") == 0;
    })) << "setup.exe was not started";
    const std::optional<std::string> line = ReadFile(started);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->rfind("setup.exe|", 0), 0u) << *line;
}

}  // namespace
}  // namespace qve2e

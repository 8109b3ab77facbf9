// Rolling out: a passive install that shows only its progress window (Cancel still asks),
// and the answers of an install through the windows saved to an answer file and given
// again, silently, to install the same files and configuration.
#include <shlobj.h>

#include <chrono>
#include <filesystem>
#include <map>

#include "e2e/held_install.h"
#include "e2e/silent_test.h"

namespace qve2e {
namespace {

namespace gr = ids::frm_group;
namespace st = ids::install_status;

constexpr const char* kSuccess = "\rThe Marrowvale CD-ROM has been successfully installed.\r";

constexpr int kManyFiles = 200;

TestProduct ManyFiles(int count) {
    TestProduct product = MakeProduct("many", "Many Files", 2);
    for (int i = 0; i < count; ++i)
        product.files.push_back({"many\\f" + std::to_string(i) + ".dat", FileBytes(3000 + static_cast<size_t>(i), i)});
    return product;
}

// Every file below a folder with its bytes, by path relative to it.
// Every file below folder with its bytes; the install record by its presence alone, since
// it holds what each run was told.
std::map<std::string, std::string> Tree(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file())
            files[entry.path().string().substr(folder.size())] = ReadFile(entry.path().string()).value_or("?");
    if (files.count("\\setup\\qvinstall.rec")) files["\\setup\\qvinstall.rec"] = "(the record)";
    return files;
}

class RolloutTest : public SilentSetupTest {
protected:
    void TearDown() override {
        SilentSetupTest::TearDown();
        char programs[MAX_PATH];
        if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
            qvtest::RemoveTree(std::string(programs) + "\\" + group_);
    }
    Environment TempEnvironment() const {
        Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
        environment.push_back("TEMP=" + scratch_.root());
        return environment;
    }
    // Starts a passive run, held at its first checksum, and waits for its progress window;
    // no other window may show.
    HWND StartHeldPassive(const std::string& switches) {
        std::string error;
        EXPECT_TRUE(cd.Master(error)) << error;
        const std::string program = scratch_.path("program");
        EXPECT_TRUE(HeldInstall::MakeProgramFolder(program)) << "cannot lay out " << program;
        Environment environment = TempEnvironment();
        environment.push_back(held_.Variable());
        EXPECT_TRUE(UseUnmanagedWindows(kSetupExe));
        EXPECT_TRUE(app.Start(program + "\\" + kSetupExe,
                              "\"" + cd.root() + "\" x /PASSIVE /CRC /LOG=\"" + LogPath() + "\" " + switches, program,
                              &environment))
            << app.error();
        EXPECT_TRUE(held_.WaitUntilHeld(app)) << "the install did not reach its first checksum: " << app.Describe();
        heldSince_ = std::chrono::steady_clock::now();
        HWND status = WaitForForm(ids::kInstallStatusClass);
        EXPECT_EQ(FindWindowOf(app.Id(), {ids::kQVSetupClass, "", false}), nullptr) << "the main window was made";
        return status;
    }
    const std::string group_ = "QV Rollout Test";
    HeldInstall held_;
    std::chrono::steady_clock::time_point heldSince_;
};

TEST_F(RolloutTest, APassiveInstallShowsOnlyItsProgressAndEndsWithoutTheClosingMessage) {
    cd.Add(ManyFiles(kManyFiles));
    HWND status = StartHeldPassive("/DIR=\"" + Target() + "\"");
    ASSERT_NE(status, nullptr);
    // Read as the window system keeps it: a message to a held program would wait for it.
    char caption[64] = {};
    GetWindowTextA(status, caption, sizeof caption);
    EXPECT_STREQ(caption, "Installation Status");
    WaitForStillScreen();
    EndToEndTest::Shot("passive-progress");
    held_.Release();
    ExpectExitCode(0);
    EXPECT_EQ(Tree(Target() + "\\many").size(), static_cast<size_t>(kManyFiles));
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLine(log, "Message box \"Marrowvale CD-ROM Installation\": \\r"
                             "The Marrowvale CD-ROM has been successfully installed.\\r -> OK"))
        << "the closing message is answered, not shown: " << ::testing::PrintToString(log);
}

TEST_F(RolloutTest, CancelInAPassiveInstallStillAsksAPerson) {
    cd.Add(ManyFiles(kManyFiles));
    HWND status = StartHeldPassive("/DIR=\"" + Target() + "\"");
    ASSERT_NE(status, nullptr);
    // Pressed while the install stands at its first checksum: the click waits in the
    // program's queue until the copy lets pending events run after that block.
    ASSERT_TRUE(PostMessageA(FindControlById(status, st::btnCancel), BM_CLICK, 0, 0));
    OutlastTheEventInterval(heldSince_);
    held_.Release();
    ExpectBox("Cancel CD-ROM Installation",
              "Do you wish to Cancel the Installation Process?\r\rSelect YES to Cancel, or NO to Continue.",
              {"Yes", "No"}, BoxIcon::Hand, "Yes");
    ExpectExitCode(5);
    EXPECT_LT(Tree(Target() + "\\many").size(), static_cast<size_t>(kManyFiles));
}

TEST_F(RolloutTest, TheAnswersOfAnInstallThroughTheWindowsInstallTheSameSilently) {
    cd.Add(ToolsProduct());
    cd.Add(ManyFiles(5));
    const std::string client = scratch_.path("client");
    ASSERT_TRUE(CreateDirectoryA(client.c_str(), nullptr));
    const std::string answers = scratch_.path("answers.inf");

    // Through the windows: install to the target, a group title and a connectivity directory.
    const Environment environment = TempEnvironment();
    StartSetup("/DB=ORA /CRC /SAVEINF=\"" + answers + "\"", &environment);
    WaitForMain();
    SetInstallTo(Target());
    ASSERT_TRUE(ClickButton(main, "Install"));
    HWND confirmation = WaitForForm(ids::kConfirmationClass);
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));
    HWND group = WaitForForm(ids::kFrmGroupClass);
    ASSERT_NE(group, nullptr);
    ASSERT_TRUE(SetText(FindControlById(group, gr::txtGroupTitle), group_));
    ASSERT_TRUE(SetText(FindControlById(group, gr::txtDbdir), client));
    ASSERT_TRUE(ClickButton(group, "OK"));
    ExpectBox(kTitle, kSuccess, {"OK"}, BoxIcon::Asterisk, "OK");
    ASSERT_TRUE(ClickButton(main, "Exit"));
    ExpectExitCode(0);
    const std::map<std::string, std::string> installed = Tree(Target());
    const std::optional<std::string> saved = ReadFile(answers);
    ASSERT_TRUE(saved.has_value());
    EXPECT_NE(saved->find("LANG=ENG"), std::string::npos) << *saved;
    EXPECT_NE(saved->find("GROUP=" + group_), std::string::npos) << *saved;

    // Again, silently, from the answers alone: the same files and configuration.
    qvtest::RemoveTree(Target());
    ASSERT_EQ(RunSilent("/LOADINF=\"" + answers + "\"", false), 0u);
    EXPECT_TRUE(Tree(Target()) == installed) << "the silent run installed something else";
    EXPECT_TRUE(HasLine(Log(), "Answers taken from " + answers));

    // A key the file cannot hold: the start-up fails, naming the file and the key.
    qvtest::WriteFile(answers, "[Setup]\r\nDIR=c:\\qv\r\nSPEED=fast\r\n");
    EXPECT_EQ(RunSilent("/LOADINF=\"" + answers + "\"", false), 1u);
    EXPECT_TRUE(HasLineStarting(Log(), "Message box \"Marrowvale CD-ROM Installation\": Load Error\\r\\n"
                                       "Unknown key \"SPEED\" in the answer file " + answers));
}

TEST_F(RolloutTest, StartedFromTheCdsOwnFolderWithSwitchesOnlyItInstallsThatCdAndSavesTheSwitchesGiven) {
    cd.Add(ManyFiles(5));
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    // The program and its libraries on the CD, started there as a deployment tool starts
    // it: switches only, from another current directory.
    for (const char* name : {"qvsetup.exe", "qvole.dll", "qvcrc.dll"})
        ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\" + name).c_str(), (cd.root() + "\\" + name).c_str(), FALSE)) << name;
    const std::string here = scratch_.path("here");
    ASSERT_TRUE(CreateDirectoryA(here.c_str(), nullptr));
    const Environment environment = TempEnvironment();
    ASSERT_TRUE(app.Start(cd.root() + "\\" + kSetupExe,
                          "/QUIET /NORESTART /DIR=\"" + Target() + "\" /NOGROUP /LOG=\"" + LogPath() + "\" /SAVEINF=saved.inf",
                          here, &environment))
        << app.error();
    ExpectExitCode(0);
    EXPECT_TRUE(Tree(Target()).count("\\many\\f4.dat")) << "the CD in the program's folder was not installed";
    EXPECT_TRUE(HasLineStarting(Log(), "Source directory: " + cd.root() + "\\, 1 products"))
        << ::testing::PrintToString(Log());
    // Under /S the answers are the switches given; a bare name lies in the current directory.
    const std::optional<std::string> saved = ReadFile(here + "\\saved.inf");
    ASSERT_TRUE(saved.has_value()) << "no answer file in " << here;
    EXPECT_NE(saved->find("DIR=" + Target() + "\r\n"), std::string::npos) << *saved;
    EXPECT_NE(saved->find("NOGROUP=1\r\n"), std::string::npos) << *saved;
}

TEST_F(RolloutTest, APassiveRunAnswersTheBoxesOfItsStartUpAsASilentRunDoes) {
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    const std::string answers = scratch_.path("bad.inf");
    qvtest::WriteFile(answers, "[Setup]\r\nBOGUS=1\r\n");
    const Environment environment = TempEnvironment();
    Start(kSetupExe, "\"" + cd.root() + "\" x /PASSIVE /LOG=\"" + LogPath() + "\" /LOADINF=\"" + answers + "\"",
          &environment);
    bool windowSeen = false;
    WaitUntil([&] {
        windowSeen = windowSeen || !TopLevelWindows(app.Id(), true).empty();
        return !app.Running();
    }, Millis(60000));
    EXPECT_FALSE(windowSeen) << "a box waited for a click";
    ExpectExitCode(1);
    EXPECT_TRUE(HasLineStarting(Log(), "Message box \"Marrowvale CD-ROM Installation\": Load Error\\r\\n"))
        << ::testing::PrintToString(Log());
}

}  // namespace
}  // namespace qve2e

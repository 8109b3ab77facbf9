// Plan, verify and repair from the command line: a plan writes nothing and names what an
// install would do, a verify names exactly what drifted after an install, and a repair
// puts back exactly that, leaving every intact file as it was.
#include <shlobj.h>

#include <filesystem>
#include <map>

#include "e2e/silent_test.h"
#include "setup/session/run_lock.h"

namespace qve2e {
namespace {

namespace fsys = std::filesystem;

TestProduct DataProduct() {
    TestProduct product = MakeProduct("ledger", "General Ledger", 2);
    product.softwareType = "Application";
    product.files = {{"ledger\\a.dat", FileBytes(40000, 1)},
                     {"ledger\\b.dat", FileBytes(90000, 2)},
                     {"ledger\\sub\\c.dat", FileBytes(1000, 3)}};
    return product;
}

// Every file, with its size and time, of the folders a run could write to: the install-to
// directory's tree, the run's TEMP (but for its log) and both Programs folders.
std::map<std::string, std::pair<uintmax_t, fsys::file_time_type>> Snapshot(const std::vector<std::string>& roots,
                                                                            const std::string& except) {
    std::map<std::string, std::pair<uintmax_t, fsys::file_time_type>> files;
    for (const std::string& root : roots) {
        std::error_code error;
        for (auto it = fsys::recursive_directory_iterator(root, error); !error && it != fsys::recursive_directory_iterator();
             it.increment(error)) {
            const std::string path = it->path().string();
            if (it->is_regular_file() && path != except) files[path] = {it->file_size(error), it->last_write_time(error)};
            else if (it->is_directory()) files[path + "\\"] = {0, {}};
        }
    }
    return files;
}

std::string ShellFolder(int id) {
    char path[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, path)) ? path : "";
}

class PlanVerifyTest : public SilentSetupTest {
protected:
    std::string Switches() const {
        return "/DB=ORA /DIR=\"" + Target() + "\" /GROUP=\"" + group_ + "\" /DBDIR=\"" + scratch_.path("client") + "\"";
    }
    void SetUp() override {
        SilentSetupTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(scratch_.path("client").c_str(), nullptr));
        cd.Add(ToolsProduct());
        cd.Add(DataProduct());
    }
    void TearDown() override {
        SilentSetupTest::TearDown();
        char programs[MAX_PATH];
        if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
            qvtest::RemoveTree(std::string(programs) + "\\" + group_);
    }
    std::vector<std::string> LinesStarting(const std::string& start) {
        std::vector<std::string> lines;
        for (const std::string& line : Log())
            if (line.rfind(start, 0) == 0) lines.push_back(line);
        return lines;
    }
    const std::string group_ = "Marrowvale Verify Test";
};

TEST_F(PlanVerifyTest, APlanWritesNothingAndNamesEveryFileNew) {
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    const std::vector<std::string> roots = {target_.root(), scratch_.root(), ShellFolder(CSIDL_COMMON_PROGRAMS),
                                            ShellFolder(CSIDL_PROGRAMS)};
    const auto before = Snapshot(roots, LogPath());
    EXPECT_EQ(RunSilent("/PLAN " + Switches(), false), 0u);
    EXPECT_TRUE(Snapshot(roots, LogPath()) == before) << "the plan wrote something";
    const std::vector<std::string> files = LinesStarting("Plan: file ");
    ASSERT_EQ(files.size(), 8u) << ::testing::PrintToString(Log());
    for (const std::string& line : files) EXPECT_EQ(line.rfind("Plan: file new ", 0), 0u) << line;
    EXPECT_TRUE(HasLine(Log(), "Plan: file new 90000 " + Target() + "\\ledger\\b.dat"));
    EXPECT_TRUE(HasLine(Log(), "Plan: directory " + Target()));
    EXPECT_TRUE(HasLine(Log(), "Plan: group \"" + group_ + "\""));
    EXPECT_EQ(LinesStarting("Plan: shortcut ").size(), 5u);
    EXPECT_EQ(LinesStarting("Plan: totals 8 files, ").size(), 1u);
}

TEST_F(PlanVerifyTest, AfterAnInstallVerifyNamesExactlyTheDriftAndRepairPutsItBack) {
    ASSERT_EQ(RunSilent(Switches()), 0u);
    EXPECT_EQ(RunSilent("/PLAN " + Switches(), false), 0u);
    EXPECT_EQ(Log().back(), "Exit code 0: would install");
    for (const std::string& line : LinesStarting("Plan: file ")) {
        if (line.find("qvtools8.cfg") != std::string::npos) continue;  // copied, then edited: always replaced
        EXPECT_EQ(line.rfind("Plan: file unchanged ", 0), 0u) << line;
    }
    EXPECT_EQ(RunSilent("/VERIFY " + Switches(), false), 0u);
    EXPECT_EQ(LinesStarting("Drift: ").size(), 0u) << ::testing::PrintToString(Log());
    EXPECT_EQ(Log().back(), "Exit code 0: intact");

    // One byte of one file, another file gone, one configuration entry edited.
    std::string a = *ReadFile(Target() + "\\ledger\\a.dat");
    a[20000] = static_cast<char>(a[20000] + 1);
    qvtest::WriteFile(Target() + "\\ledger\\a.dat", a);
    ASSERT_TRUE(DeleteFileA((Target() + "\\ledger\\b.dat").c_str()));
    const std::string config = Target() + "\\setup\\qvtools8.cfg";
    std::string text = *ReadFile(config);
    const size_t dbType = text.find("DBType=REG_SZ=ORACLE");
    ASSERT_NE(dbType, std::string::npos) << text;
    text.replace(dbType, 20, "DBType=REG_SZ=SYBASE");
    qvtest::WriteFile(config, text);
    const auto stamp = fsys::last_write_time(Target() + "\\ledger\\sub\\c.dat");

    EXPECT_EQ(RunSilent("/VERIFY " + Switches(), false), 6u);
    EXPECT_EQ(LinesStarting("Drift: "),
              (std::vector<std::string>{"Drift: file checksum differs 40000 40000 " + Target() + "\\ledger\\a.dat",
                                        "Drift: file missing 90000 - " + Target() + "\\ledger\\b.dat",
                                        "Drift: entry changed " + config +
                                            " [Startup] DBType: expected \"ORACLE\", found \"SYBASE\""}));
    EXPECT_EQ(Log().back(), "Exit code 6: the installation has drifted");

    EXPECT_EQ(RunSilent("/REPAIR " + Switches(), false), 0u);
    EXPECT_EQ(Log().back(), "Exit code 0: repaired");
    EXPECT_TRUE(*ReadFile(Target() + "\\ledger\\a.dat") == DataProduct().files[0].content);
    EXPECT_TRUE(*ReadFile(Target() + "\\ledger\\b.dat") == DataProduct().files[1].content);
    EXPECT_NE(ReadFile(config)->find("DBType=REG_SZ=ORACLE"), std::string::npos);
    EXPECT_TRUE(fsys::last_write_time(Target() + "\\ledger\\sub\\c.dat") == stamp) << "an intact file was touched";
    EXPECT_EQ(RunSilent("/VERIFY " + Switches(), false), 0u);
    EXPECT_EQ(RunSilent("/REPAIR " + Switches(), false), 0u);
    EXPECT_TRUE(HasLine(Log(), "Nothing to repair: the installation is intact"));
    // Each of the seven runs appended to the one log: none replaced an earlier run's lines.
    EXPECT_EQ(RunsInLog(), 7u);
}

TEST_F(PlanVerifyTest, TheVerifyWindowListsTheDriftAndItsRepairButtonPutsItBack) {
    // An install with the default group, then one byte of one file changed.
    const std::string switches = "/DB=ORA /DIR=\"" + Target() + "\" /DBDIR=\"" + scratch_.path("client") + "\"";
    ASSERT_EQ(RunSilent(switches), 0u);
    std::string a = *ReadFile(Target() + "\\ledger\\a.dat");
    a[100] = static_cast<char>(a[100] + 1);
    qvtest::WriteFile(Target() + "\\ledger\\a.dat", a);

    // The windows, on the same platform and TEMP: File > Verify Installation.
    Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
    environment.push_back("TEMP=" + scratch_.root());
    StartSetup("/DB=ORA", &environment);
    WaitForMain();
    SetInstallTo(Target());
    ASSERT_TRUE(ChooseMenuCommand(main, ids::qv_setup::mnuFileVerify));
    HWND verify = WaitForForm(ids::kFrmVerifyClass);
    ASSERT_NE(verify, nullptr);
    namespace fv = ids::frm_verify;
    ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Control(verify, fv::btnRepair)); }, Millis(30000)))
        << Text(Control(verify, fv::lblStatus));
    Shot("verify-window");
    EXPECT_EQ(Text(verify), "Verify Installation");
    EXPECT_EQ(Text(Control(verify, fv::lblStatus)), "These items are not as the install left them:");
    EXPECT_EQ(ListViewRows(Control(verify, fv::lstDrift), 4),
              (std::vector<std::vector<std::string>>{
                  {Target() + "\\ledger\\a.dat", "checksum differs", "40,000", "40,000"}}));

    // Repair: the progress window, the closing message, the file as the CD has it.
    ASSERT_TRUE(ClickButton(verify, "Repair"));
    ExpectBox(kTitle, "\rThe Marrowvale CD-ROM has been successfully installed.\r", {"OK"}, BoxIcon::Asterisk, "OK");
    EXPECT_TRUE(*ReadFile(Target() + "\\ledger\\a.dat") == DataProduct().files[0].content);

    // Checked again: intact, nothing to repair.
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    ASSERT_TRUE(ChooseMenuCommand(main, ids::qv_setup::mnuFileVerify));
    verify = WaitForForm(ids::kFrmVerifyClass);
    ASSERT_NE(verify, nullptr);
    EXPECT_TRUE(WaitForText(Control(verify, fv::lblStatus),
                            "The installation is intact: every file, entry and shortcut is as the install left it."));
    EXPECT_FALSE(IsEnabled(Control(verify, fv::btnRepair)));
    ASSERT_TRUE(ClickButton(verify, "Close"));
    EXPECT_TRUE(WaitForWindowGone(verify));
}

TEST_F(PlanVerifyTest, ARepairThatCannotPutBackAnEntryEndsWithSixAndNamesIt) {
    ASSERT_EQ(RunSilent(Switches()), 0u);
    const std::string config = Target() + "\\setup\\qvtools8.cfg";
    std::string text = *ReadFile(config);
    text.replace(text.find("DBType=REG_SZ=ORACLE"), 20, "DBType=REG_SZ=SYBASE");
    qvtest::WriteFile(config, text);
    ASSERT_TRUE(SetFileAttributesA(config.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RunSilent("/REPAIR " + Switches(), false), 6u);
    SetFileAttributesA(config.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(HasLine(Log(), "Could not repair 1 entries of " + config)) << ::testing::PrintToString(Log());
    EXPECT_EQ(LinesStarting("Drift: entry changed ").size(), 2u) << "before and after the repair";
    EXPECT_EQ(Log().back(), "Exit code 6: the installation has drifted");
}

TEST_F(PlanVerifyTest, ASecondRunForADirectoryInUseWaitsThenEndsWith1618) {
    qv::RunLock other;  // the lock another run into the directory holds
    ASSERT_TRUE(other.TryTake(qvtest::P(Target())));
    EXPECT_EQ(RunSilent(Switches()), 1618u);
    EXPECT_TRUE(HasLine(Log(), "Another run of the installer is working on " + Target() + ": waiting for it to end"));
    EXPECT_EQ(Log().back(), "Exit code 1618: another run holds the install directory, try again later");
    EXPECT_FALSE(fsys::exists(Target() + "\\setup")) << "the second run wrote something";
}

}  // namespace
}  // namespace qve2e

// Unattended installs (/S): no window at all, every answer from the command line, a log
// of every step and an exit code for each way a run can end.
#include <shlobj.h>

#include <sstream>

#include "e2e/silent_test.h"
#include "setup/session/file_system.h"
#include "support/temp_tree.h"

namespace qve2e {
namespace {

TestProduct DataProduct(const std::string& folder, int order, const std::string& selected = "") {
    TestProduct product = MakeProduct(folder, "Product " + folder, order);
    product.selected = selected;
    product.files = {{folder + "\\a.dat", FileBytes(40000, static_cast<uint32_t>(order * 10))},
                     {folder + "\\b.dat", FileBytes(90000, static_cast<uint32_t>(order * 10 + 1))},
                     {folder + "\\c.dat", FileBytes(1000, static_cast<uint32_t>(order * 10 + 2))}};
    return product;
}

// Has Wine start the machine again as far as the files go: the renames the system keeps for
// the next restart are made. True once that is done.
bool RestartWine() {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    char line[] = "wineboot.exe -r";
    if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return false;
    DWORD code = 1;
    const bool ended = WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process.hProcess, &code) && code == 0;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return ended;
}

// Whether the system still keeps a rename into `dir` for the next restart.
bool PendingInto(const std::string& dir) {
    const qv::Path root = qvtest::P(dir);
    for (const qv::fs::PendingReplacement& pending : qv::fs::PendingReplacements())
        if (pending.to.IsWithin(root)) return true;
    return false;
}

class UnattendedTest : public SilentSetupTest {
protected:
    void TearDown() override {
        SilentSetupTest::TearDown();
        if (!group_.empty()) {
            char programs[MAX_PATH];
            if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
                qvtest::RemoveTree(std::string(programs) + "\\" + group_);
        }
    }

    void ExpectInstalled(const TestProduct& product, bool installed = true) {
        for (const TestFile& file : product.files) {
            const std::optional<std::string> copied = ReadFile(Target() + "\\" + file.path);
            if (installed && file.path == "setup\\qvtools8.cfg") {  // edited after the copy
                EXPECT_TRUE(copied.has_value());
                continue;
            }
            if (!installed) {
                EXPECT_FALSE(copied.has_value()) << file.path << " was installed";
                continue;
            }
            ASSERT_TRUE(copied.has_value()) << file.path << " was not installed";
            EXPECT_TRUE(*copied == file.content) << file.path << " differs from the CD";
        }
    }

    std::string group_;
};

TEST_F(UnattendedTest, InstallsTheChosenProductsWithGroupAndLogsEveryStep) {
    const TestProduct tools = ToolsProduct();
    const TestProduct first = DataProduct("first", 2);
    const TestProduct skipped = DataProduct("skipped", 3, "0");
    cd.Add(tools);
    cd.Add(first);
    cd.Add(skipped);
    scratch_.write("client\\dbnt.dll", "client");
    group_ = "QV Silent " + std::to_string(GetCurrentProcessId() % 100000);

    const DWORD code = RunSilent("/CRC /DB=ora /DIR=\"" + Target() + "\" /GROUP=\"" + group_ + "\" /DBDIR=\"" +
                                 scratch_.path("client") + "\"");
    EXPECT_EQ(code, 0u);
    ExpectInstalled(tools);
    ExpectInstalled(first);
    ExpectInstalled(skipped, false);

    const std::optional<std::string> config = ReadFile(Target() + "\\setup\\qvtools8.cfg");
    ASSERT_TRUE(config.has_value());
    EXPECT_NE(config->find("DBType=REG_SZ=ORACLE\r\n"), std::string::npos) << *config;
    EXPECT_NE(config->find("DBBIN=REG_SZ=" + scratch_.path("client") + "\r\n"), std::string::npos) << *config;
    EXPECT_TRUE(ReadFile(scratch_.path("qvxfr.cfg")).has_value());

    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Command line: \"" + cd.root())) << ::testing::PrintToString(log);
    EXPECT_TRUE(HasLine(log, "Database platform: Oracle (ORA)"));
    EXPECT_TRUE(HasLineStarting(log, "Chosen: P1 Marrowtools ("));
    EXPECT_TRUE(HasLineStarting(log, "Chosen: P2 Product first ("));
    EXPECT_TRUE(HasLineStarting(log, "Listed: P3 Product skipped ("));
    for (const TestProduct* product : {&tools, &first})
        for (const TestFile& file : product->files)
            EXPECT_TRUE(HasLineStarting(log, "Copied " + Target() + "\\" + file.path + " (" +
                                                 std::to_string(file.content.size()) + " bytes, checksum "))
                << file.path;
    EXPECT_TRUE(HasLine(log, "Message box \"Marrowvale CD-ROM Installation\": "
                             "\\rThe Marrowvale CD-ROM has been successfully installed.\\r -> OK"));
    EXPECT_TRUE(HasLine(log, "Wrote " + scratch_.path("qvxfr.cfg")));
    EXPECT_TRUE(HasLine(log, "Wrote " + Target() + "\\setup\\qvtools8.cfg"));
    for (const char* name : {"Setup Workstation", "Uninstall Workstation", "Database Setup", "Data Ferry"})
        EXPECT_TRUE(HasLineStarting(log, "Shortcut \"" + group_ + "\\" + name + "\" to ")) << name;
    EXPECT_TRUE(HasLineStarting(log, "Shortcut \"" + group_ + "\\Server Transfer\" to "));
    const size_t made = std::count_if(log.begin(), log.end(), [](const std::string& l) {
        return l.rfind("Shortcut ", 0) == 0 && l.size() > 6 && l.substr(l.size() - 6) == ": made";
    });
    EXPECT_EQ(made, 5u) << ::testing::PrintToString(log);
    EXPECT_EQ(log.back(), "Exit code 0: installed");
}

TEST_F(UnattendedTest, MissingConnectivityDirectoryMeansNoGroupButConfiguration) {
    cd.Add(ToolsProduct());
    const DWORD code = RunSilent("/DIR=\"" + Target() + "\" /DBDIR=\"" + scratch_.path("no client") + "\"");
    EXPECT_EQ(code, 0u);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLine(log, "Message box \"Marrowvale CD-ROM Installation\": "
                             "Error - Connectivity Programs Directory does not exist. -> OK"))
        << ::testing::PrintToString(log);
    EXPECT_FALSE(HasLineStarting(log, "Shortcut "));
    EXPECT_TRUE(HasLine(log, "Wrote " + Target() + "\\setup\\qvtools8.cfg"));
}

TEST_F(UnattendedTest, StartUpFailuresEndWithOne) {
    cd.Add(DataProduct("first", 1));
    EXPECT_EQ(RunSilent("/DIR=\"" + Target() + "\" /BOGUS"), 1u);
    std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Message box \"Marrowvale CD-ROM Installation\": Load Error\\r\\n"
                                     "Unknown switch \"/BOGUS\"."))
        << ::testing::PrintToString(log);
    EXPECT_EQ(log.back(), "Exit code 1: start-up failed");

    EXPECT_EQ(RunSilent("/DIR=\"" + Target() + "\" /PRODUCTS=P1,NOPE"), 1u);
    log = Log();
    EXPECT_TRUE(HasLine(log, "Message box \"Marrowvale CD-ROM Installation\": Load Error\\r\\n"
                             "Unknown product code \"NOPE\" in /PRODUCTS=. -> OK"))
        << ::testing::PrintToString(log);
    ExpectInstalled(DataProduct("first", 1), false);
}

TEST_F(UnattendedTest, RefusedChecksEndWithTwoAndListFailuresWithFour) {
    const TestProduct first = DataProduct("first", 1);
    cd.Add(first);
    EXPECT_EQ(RunSilent("/DIR=c:\\"), 2u);
    EXPECT_TRUE(HasLineStarting(Log(), "Message box \"Marrowvale CD-ROM Installation\": "))
        << "the refusal was not logged";

    // A second product whose file list is missing from the CD.
    cd.Add(DataProduct("broken", 2));
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    ASSERT_TRUE(DeleteFileA(cd.tree().path("broken\\QVSETUP.INF").c_str()));
    EXPECT_EQ(RunSilent("/NOROLLBACK /DIR=\"" + Target() + "\"", false), 4u);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Message box \"InstallDirectory\": ")) << ::testing::PrintToString(log);
    EXPECT_EQ(log.back(), "Exit code 4: the install failed");
    ExpectInstalled(first);
}

TEST_F(UnattendedTest, DamagedFileWithChecksumsOnEndsWithFiveAndKeepsEarlierFiles) {
    const TestProduct product = DataProduct("first", 1);
    cd.Add(product);
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    ASSERT_TRUE(cd.SpoilChecksum("first", "first\\b.dat"));
    EXPECT_EQ(RunSilent("/NOROLLBACK /CRC /DIR=\"" + Target() + "\"", false), 5u);
    EXPECT_EQ(ReadFile(Target() + "\\first\\a.dat"), std::optional<std::string>(product.files[0].content));
    EXPECT_FALSE(ReadFile(Target() + "\\first\\b.dat").has_value()) << "the damaged file stayed";
    EXPECT_FALSE(ReadFile(Target() + "\\first\\c.dat").has_value()) << "the install went on after Abort";
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Message box \"File Copy Error\": ")) << ::testing::PrintToString(log);
    EXPECT_TRUE(HasLineStarting(log, "Not installed: " + Target() + "\\first\\b.dat (checksum "));
    EXPECT_EQ(log.back(), "Exit code 5: cancelled during the install");
}

TEST_F(UnattendedTest, AFileHeldOpenIsReplacedAtTheNextRestartAndTheRunEndsWith3010) {
    if (!RunningUnderWine()) GTEST_SKIP() << "the restart is made by Wine's own start-up";
    const TestProduct product = DataProduct("first", 1);
    cd.Add(product);
    ASSERT_EQ(RunSilent("/DIR=\"" + Target() + "\""), 0u);
    // The next release of b.dat, while a user holds the one installed open.
    const std::string held = Target() + "\\first\\b.dat";
    const std::string next = FileBytes(90000, 77);
    cd.tree().write("first\\first\\b.dat", next);
    HANDLE file = CreateFileA(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const DWORD code = RunSilent("/CRC /DIR=\"" + Target() + "\"");
    CloseHandle(file);
    const std::optional<std::string> before = ReadFile(held);
    const bool restarted = RestartWine();

    EXPECT_EQ(code, 3010u);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Held open: " + held + " (Permission denied) [system error 32: "))
        << ::testing::PrintToString(log);
    EXPECT_TRUE(HasLine(log, "Replaced at the next restart: " + held));
    EXPECT_TRUE(HasLine(log, "Message box \"Marrowvale CD-ROM Installation\": "
                             "\\rThe Marrowvale CD-ROM has been successfully installed.\\rSome files were held open "
                             "by another program: their new copies take their place when the computer restarts.\\r -> OK"));
    EXPECT_EQ(log.back(), "Exit code 3010: installed; a restart finishes it");
    EXPECT_TRUE(before == product.files[1].content) << "the held file was replaced before the restart";
    ASSERT_TRUE(restarted);
    EXPECT_TRUE(ReadFile(held) == next) << "the new copy is not in place after the restart";
    EXPECT_FALSE(PendingInto(Target())) << "the prefix keeps a rename for its next start";
}

TEST_F(UnattendedTest, WithTheWindowsTheLogHoldsEveryMessageBoxAndItsAnswer) {
    cd.Add(DataProduct("first", 1));
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    Start(kSetupExe, "\"" + cd.root() + "\" x /DB=XYZ /LOG=\"" + LogPath() + "\"");
    ExpectBox(kTitle, std::string("Load Error\r\nUnknown database platform \"XYZ\" in /DB=XYZ.\r\nUse one of ") +
                          "SBS, ORA, INF, DBX, SYB, MSS, DB4, DB2.",
              {"OK"}, BoxIcon::Exclamation, "OK");
    ExpectExitCode(1);
    const std::vector<std::string> log = Log();
    ASSERT_EQ(log.size(), 3u) << ::testing::PrintToString(log);
    EXPECT_EQ(log[0], "Command line: \"" + cd.root() + "\" x /DB=XYZ /LOG=\"" + LogPath() + "\"");
    EXPECT_EQ(log[1], "Message box \"Marrowvale CD-ROM Installation\": Load Error\\r\\nUnknown database platform "
                      "\"XYZ\" in /DB=XYZ.\\r\\nUse one of SBS, ORA, INF, DBX, SYB, MSS, DB4, DB2. -> OK");
    EXPECT_EQ(log[2], "Exit code 1: start-up failed");
}

}  // namespace
}  // namespace qve2e

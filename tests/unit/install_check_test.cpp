// The survey of an installation against the CD: what a plan says, what a verify finds
// after changes to files, entries and shortcuts, and a repair that puts back exactly those.
#include <gtest/gtest.h>

#include <filesystem>

#include "setup/config/config_profile.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_run.h"
#include "setup/session/file_system.h"
#include "setup/session/languages.h"
#include "setup/session/platforms.h"
#include "support/engine_fixture.h"
#include "support/fake_shortcuts.h"

namespace qv {
namespace {

using qvtest::PatternBytes;

struct InstallCheck : qvtest::EngineFixture {
    qvtest::FakeShortcuts shortcuts;
    GroupChoice group{true, "Marrowvale", "c:\\orawin\\bin"};

    struct Services : CompletionServices {
        InstallCheck& test;
        explicit Services(InstallCheck& t) : test(t) {}
        GroupChoice ShowGroupDialog() override { return test.group; }
        ShortcutLibrary& Shortcuts() override { return test.shortcuts; }
    };

    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = port.Now();
        s.TempDir = tree.path("temp");
        tree.mkdir("temp");
        s.Languages = {EnglishLanguage()};
        SetDbPlatform(s, *FindDbPlatform("ORA"));
        shortcuts.failing.clear();
        ProductRec& tools = AddProduct(1, "TOOLS", {{"setup\\qvtools8.cfg", "[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n"},
                                                    {"bin\\client\\winx86\\qvcfg.exe", PatternBytes(70000, 1)}});
        tools.SoftwareType = "Marrowtools";
        ProductRec& ledger = AddProduct(2, "GL", {{"gl\\a.dat", PatternBytes(40000, 2)}, {"gl\\b.dat", "beta"}});
        ledger.SoftwareType = "Application";
    }

    Survey Check() { return SurveyInstall(s, port, ReadInstallLists(s), group, shortcuts); }
    // An install as a run makes it, with its record.
    void InstallRecorded() {
        Services services(*this);
        RunRecordedInstall(s, port, shortcuts, {}, [&](InstallJournal& journal, const Path& root, bool sc) {
            FinishInstall(s, port, services, journal, root, sc);
        });
        ASSERT_FALSE(s.InstallAborted);
    }
    std::vector<std::string> Drift(const Survey& survey) {
        std::vector<std::string> drift;
        for (const CheckItem* item : DriftedItems(survey)) drift.push_back(item->name + ": " + ItemStateName(item->state));
        return drift;
    }
    void Install() {
        Services services(*this);
        Journaled([&](InstallJournal& journal) {
            const RunOutcome outcome = RunInstall(s, port, journal, [&](const Path& root, bool supplyChain) {
                FinishInstall(s, port, services, journal, root, supplyChain);
            });
            ASSERT_FALSE(outcome.EndsInstall());
        });
    }
};

TEST_F(InstallCheck, APlanOfAnEmptyDirectoryNamesEverythingNewAndWritesNothing) {
    const InstallPlan plan = PlanInstall(s, InstallRecord());
    const Survey survey = SurveyInstall(s, port, plan, group, shortcuts, SurveyDepth::Sizes);
    ASSERT_TRUE(survey.complete);
    ASSERT_EQ(survey.files.size(), 4u);
    for (const CheckItem& f : survey.files) EXPECT_EQ(f.state, ItemState::Missing) << f.name;
    EXPECT_EQ(survey.directories.front().str(), dest);
    EXPECT_EQ(survey.entries.size(), 30u);  // 29 entries and the ledger's database code
    EXPECT_EQ(survey.shortcuts.size(), 5u);
    port.steps.clear();
    LogPlan(s, plan, survey, port, 1e9);
    EXPECT_EQ(port.steps.front(), "Plan: file new 70000 " + dest + "\\bin\\client\\winx86\\qvcfg.exe");
    EXPECT_EQ(port.steps.back(), "Plan: totals 4 files, 110,038 bytes to copy, 0 bytes in place, 999,889,962 bytes free after");
    EXPECT_FALSE(tree.exists("inst"));
}

TEST_F(InstallCheck, AVerifyNamesExactlyWhatDriftedAndARepairPutsBackOnlyThat) {
    Install();
    EXPECT_TRUE(DriftedItems(Check()).empty()) << "a fresh install is intact";

    std::string a = tree.read("inst\\gl\\a.dat");
    a[1000] ^= 1;  // one byte
    tree.write("inst\\gl\\a.dat", a);
    std::filesystem::remove(qvtest::HostPath(dest + "\\gl\\b.dat"));
    ASSERT_TRUE(LoadFile(s, port, dest + "\\setup\\qvtools8.cfg"));
    SetREGParm(s, "DBType", "SQLBASE", "[Startup]");
    ASSERT_TRUE(SaveFile(s, port, qvtest::P(dest + "\\setup\\qvtools8.cfg")));
    shortcuts.made.erase("Marrowvale\\Data Ferry");
    tree.write("inst\\notes.txt", "mine");
    const auto stamp = std::filesystem::last_write_time(qvtest::HostPath(dest + "\\bin\\client\\winx86\\qvcfg.exe"));

    Survey survey = Check();
    std::vector<std::string> drift;
    for (const CheckItem* item : DriftedItems(survey)) drift.push_back(item->name + ": " + ItemStateName(item->state));
    EXPECT_EQ(drift, (std::vector<std::string>{dest + "\\gl\\a.dat: checksum differs", dest + "\\gl\\b.dat: missing",
                                               "DBType: changed", "Marrowvale\\Data Ferry: missing"}));
    EXPECT_EQ(ExtraFiles(s, survey), (std::vector<Path>{qvtest::P(dest + "\\notes.txt")}));
    port.steps.clear();
    EXPECT_EQ(LogVerify(s, survey, port), VerifyResult::Drifted);
    EXPECT_EQ(port.steps.back(),
              "Verify: drifted, 2 of 4 files, 1 of 30 entries and 1 of 5 shortcuts drifted; 1 files no list names");

    EXPECT_EQ(RepairInstall(s, port, survey, shortcuts).result, RunResult::Completed);
    survey = Check();
    port.steps.clear();
    EXPECT_EQ(LogVerify(s, survey, port), VerifyResult::Intact) << ::testing::PrintToString(port.steps);
    EXPECT_EQ(std::filesystem::last_write_time(qvtest::HostPath(dest + "\\bin\\client\\winx86\\qvcfg.exe")), stamp)
        << "an intact file was touched";
    EXPECT_EQ(tree.read("inst\\notes.txt"), "mine");
    port.steps.clear();
    RepairInstall(s, port, survey, shortcuts);
    EXPECT_EQ(port.steps, (std::vector<std::string>{"Nothing to repair: the installation is intact"}));
}

// An install for the user alone has its group in the user's Programs folder: a repair
// makes a lost shortcut there again, not in the all-users folder.
TEST_F(InstallCheck, ARepairMakesAShortcutAgainWhereTheInstallMadeIt) {
    s.Scope = InstallScope::CurrentUser;
    shortcuts.userPrograms = tree.path("programs");
    InstallRecorded();
    shortcuts.made.erase("Marrowvale\\Data Ferry");
    shortcuts.calls.clear();
    EXPECT_EQ(RepairInstall(s, port, SurveyForVerify(s, port, group, shortcuts), shortcuts).result, RunResult::Completed);
    ASSERT_EQ(shortcuts.calls.size(), 3u);  // OleInit, the shortcut, OleUninit
    EXPECT_EQ(shortcuts.calls[1].substr(0, 23), "0|Marrowvale|Data Ferry");
}

TEST_F(InstallCheck, TheRecordJudgesByWhatTheLastWriterLeftWhateverTheVerifyingRunsTemp) {
    // A later product writes the same file as the ledger: it wins, as in install order.
    AddProduct(3, "PATCH", {{"gl\\a.dat", PatternBytes(300, 9)}}).SoftwareType = "Application";
    InstallRecorded();
    ASSERT_EQ(tree.read("inst\\gl\\a.dat"), PatternBytes(300, 9));
    s.TempDir = tree.path("another users temp");
    EXPECT_TRUE(Drift(SurveyForVerify(s, port, group, shortcuts)).empty());

    // Without the record, the survey of the CD comes to the same.
    const std::string record = tree.read("inst\\setup\\qvinstall.rec");
    tree.write("inst\\setup\\qvinstall.rec", "QVREC\t1\r\nfile\tdamaged");
    EXPECT_TRUE(Drift(SurveyForVerify(s, port, group, shortcuts)).empty());
    EXPECT_NE(std::find_if(port.steps.begin(), port.steps.end(), [](const std::string& step) {
        return step.find(" is refused (") != std::string::npos;
    }), port.steps.end()) << ::testing::PrintToString(port.steps);

    // A repair puts back the last writer's version.
    tree.write("inst\\setup\\qvinstall.rec", record);
    tree.write("inst\\gl\\a.dat", "spoiled");
    const Survey survey = SurveyForVerify(s, port, group, shortcuts);
    EXPECT_EQ(Drift(survey), (std::vector<std::string>{dest + "\\gl\\a.dat: size differs"}));
    EXPECT_EQ(RepairInstall(s, port, survey, shortcuts).result, RunResult::Completed);
    EXPECT_EQ(tree.read("inst\\gl\\a.dat"), PatternBytes(300, 9));
}

TEST_F(InstallCheck, AFileWaitingForTheRestartIsPendingWhileItsCopyHoldsWhatTheRecordSays) {
    InstallRecorded();
    // As a run that found a.dat held open leaves it: the new copy beside the earlier file.
    const Path a = qvtest::P(dest + "\\gl\\a.dat");
    const Path copy = qvtest::P(dest + "\\gl\\~7");
    tree.write("inst\\gl\\~7", tree.read("inst\\gl\\a.dat"));
    tree.write("inst\\gl\\a.dat", "the earlier release");
    RunError error;
    ASSERT_TRUE(fs::ReplaceAtRestart(copy, a, error)) << error.description;

    const Survey survey = SurveyForVerify(s, port, group, shortcuts);
    EXPECT_TRUE(Drift(survey).empty());
    EXPECT_TRUE(ExtraFiles(s, survey).empty());
    port.steps.clear();
    EXPECT_EQ(LogVerify(s, survey, port), VerifyResult::PendingRestart);
    EXPECT_EQ(port.steps.front(), "Pending restart: file " + a + " (replaced by " + copy + " at the next restart)");
    EXPECT_NE(port.steps.back().find("; 1 replaced at the next restart"), std::string::npos) << port.steps.back();

    // Without the record, the survey of the CD comes to the same.
    EXPECT_TRUE(Drift(Check()).empty());

    // A copy that does not hold what the record says does not make the file intact.
    tree.write("inst\\gl\\~7", "spoiled");
    EXPECT_EQ(Drift(SurveyForVerify(s, port, group, shortcuts)), (std::vector<std::string>{dest + "\\gl\\a.dat: size differs"}));
    EXPECT_TRUE(fs::CancelReplaceAtRestart(copy, a, error));  // the system's list as the test found it
}

}  // namespace
}  // namespace qv

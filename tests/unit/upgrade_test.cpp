// An install over an earlier one decides each file by the record and the disk: what is
// still as written and given again is not copied, what the user changed is kept (beside the
// release's file where the release changed it), and what the release no longer lists goes.
// A rolled-back upgrade leaves the first release exactly.
#include <gtest/gtest.h>

#include <filesystem>

#include "setup/config/db_codes.h"
#include "setup/config/profile_edit.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_run.h"
#include "setup/engine/record_trust.h"
#include "support/engine_fixture.h"
#include "support/fake_shortcuts.h"

namespace qv {
namespace {

using qvtest::PatternBytes;
using qvtest::ReadTree;
using Tree = std::map<std::string, std::string>;

struct Upgrade : qvtest::EngineFixture {
    qvtest::FakeShortcuts shortcuts;

    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = port.Now();
        Release({{"same.txt", "same"},
                 {"changed.txt", "release 1"},
                 {"edited.txt", "as shipped"},
                 {"conflict.txt", "release 1 conflict"},
                 {"old\\gone.txt", "only in release 1"},
                 {"dropped.txt", "dropped by release 2"}});
        Install();
        ASSERT_FALSE(s.InstallAborted) << ::testing::PrintToString(port.steps);
    }
    // The CD's product folder holds this release alone: its list names every file there.
    void Release(const std::vector<qvtest::CdFile>& files) {
        std::filesystem::remove_all(qvtest::HostPath(cd + "\\P"));
        AddProduct(1, "P", files);
    }
    // Release 2: one file changed, two dropped, one added; the user has edited two files and
    // one of those that are dropped.
    void UpgradeSetUp() {
        tree.write("inst\\edited.txt", "the user's edit");
        tree.write("inst\\conflict.txt", "the user's conflict");
        tree.write("inst\\dropped.txt", "the user's own now");
        Release({{"same.txt", "same"},
                 {"changed.txt", "release 2"},
                 {"edited.txt", "as shipped"},
                 {"conflict.txt", "release 2 conflict"},
                 {"new.txt", "new in release 2"}});
    }
    void Install(const RecordedRunOptions& options = {}) {
        s.InstallAborted = s.InstallFailed = false;
        port.steps.clear();
        SetOutcomeFlags(s, RunRecordedInstall(s, port, shortcuts, options, {}));
    }
    bool Logged(const std::string& line) const {
        return std::find(port.steps.begin(), port.steps.end(), line) != port.steps.end();
    }
    std::string Dst(const std::string& spec) const { return dest + "\\" + spec; }
    std::string Record() { return tree.read("inst\\setup\\qvinstall.rec"); }
};

TEST_F(Upgrade, EachFileIsDecidedByTheRecordAndTheDisk) {
    UpgradeSetUp();
    const auto sameTime = std::filesystem::last_write_time(qvtest::HostPath(Dst("same.txt")));
    Install();
    ASSERT_FALSE(s.InstallAborted) << ::testing::PrintToString(port.steps);
    Tree expected = {{"same.txt", "same"},
                     {"changed.txt", "release 2"},
                     {"edited.txt", "the user's edit"},
                     {"conflict.txt", "release 2 conflict"},
                     {"conflict.txt.qvsave", "the user's conflict"},
                     {"dropped.txt", "the user's own now"},
                     {"new.txt", "new in release 2"}};
    Tree found = ReadTree(dest);
    for (auto it = found.begin(); it != found.end();) it = it->first.rfind("setup\\", 0) == 0 ? found.erase(it) : ++it;
    EXPECT_EQ(found, expected);
    EXPECT_FALSE(std::filesystem::exists(qvtest::HostPath(Dst("old")))) << "the folder made for it goes with it";
    EXPECT_EQ(std::filesystem::last_write_time(qvtest::HostPath(Dst("same.txt"))), sameTime);

    EXPECT_TRUE(Logged("Unchanged: " + Dst("same.txt")));
    EXPECT_TRUE(Logged("Kept: " + Dst("edited.txt") + " (changed since the install)"));
    EXPECT_TRUE(Logged("Saved: " + Dst("conflict.txt") + " as conflict.txt.qvsave (changed since the install)"));
    EXPECT_TRUE(Logged("Removed: " + Dst("old\\gone.txt") + " (no longer listed)"));
    EXPECT_TRUE(Logged("Kept: " + Dst("dropped.txt") + " (changed since the install; no longer listed)"));
    EXPECT_EQ(s.SavedUserFiles, std::vector<std::string>{Dst("conflict.txt.qvsave")});

    // The record holds what the upgrade leaves: the kept edit as installed (verify calls it
    // drift), nothing of what went or became the user's, and not the saved file.
    const std::string record = Record();
    EXPECT_NE(record.find(Dst("edited.txt") + "\t10\t"), std::string::npos);
    for (const char* gone : {"gone.txt", "dropped.txt", "qvsave", "\\old\r"})
        EXPECT_EQ(record.find(gone), std::string::npos) << gone;
}

// /PLAN prints the install's own plan: each decision that EachFileIsDecidedByTheRecordAndTheDisk
// sees the install make, in the plan's words.
TEST_F(Upgrade, ThePlanNamesEachDecisionOfTheInstall) {
    UpgradeSetUp();
    Confinement places = ConfinementFor(s, Dest(), shortcuts);
    const FoundRecord found = ReadInstallRecord(places, port, /*finish=*/false);
    ASSERT_EQ(found.state, FoundRecord::State::Read);
    const InstallPlan plan = PlanInstall(s, found.record);
    const Survey survey = SurveyInstall(s, port, plan, {}, shortcuts, SurveyDepth::Sizes);
    port.steps.clear();
    LogPlan(s, plan, survey, port, 1e9);
    for (const std::string& line : {"unchanged 4 " + Dst("same.txt"), "replaced 9 " + Dst("changed.txt"),
                                    "kept (changed since the install) 10 " + Dst("edited.txt"),
                                    "saved as conflict.txt.qvsave 18 " + Dst("conflict.txt"),
                                    "new 16 " + Dst("new.txt"), "obsolete 17 " + Dst("old\\gone.txt"),
                                    "kept (changed since the install) 20 " + Dst("dropped.txt")})
        EXPECT_TRUE(Logged("Plan: file " + line)) << line << ::testing::PrintToString(port.steps);
}

// The database code of a product that the release no longer gives any goes, and the record
// forgets it.
TEST_F(Upgrade, ADatabaseCodeTheReleaseNoLongerWritesGoes) {
    s.ListedProducts[1].SoftwareType = "Application";
    Install();
    const Path codes = DbCodesPath(s);
    ASSERT_TRUE(ReadLegacyProfileString("dbcodes", "P", codes));
    s.ListedProducts[1].SoftwareType = "";
    Install();
    ASSERT_FALSE(s.InstallAborted) << ::testing::PrintToString(port.steps);
    EXPECT_FALSE(ReadLegacyProfileString("dbcodes", "P", codes));
    EXPECT_TRUE(Logged("Removed: database code P of " + codes.str() + " (no longer written)"));
    EXPECT_EQ(Record().find("dbcode\t"), std::string::npos);
}

TEST_F(Upgrade, ARolledBackUpgradeLeavesTheFirstReleaseExactly) {
    UpgradeSetUp();
    const Tree before = ReadTree(dest);
    const std::string record = Record();
    // A second product's file fails its checksum after the first product's pass, removals
    // and saved files included, is done.
    AddProduct(2, "Q", {{"q.txt", "q"}});
    qvtest::WriteFile(cd + "\\Q\\q.txt", "Q");
    port.answers = {Answer::Abort};
    Install();
    ASSERT_TRUE(s.InstallAborted);
    ASSERT_TRUE(Logged("Removed: " + Dst("old\\gone.txt") + " (no longer listed)"));
    EXPECT_EQ(ReadTree(dest), before);
    EXPECT_EQ(Record(), record);
    EXPECT_TRUE(s.SavedUserFiles.empty());
}

// A run that ended after its commit, before its record was written and the folder it
// emptied went, is finished by the next: the record it vouched for written, the folder gone.
TEST_F(Upgrade, TheNextRunFinishesTheCommitOfAnUpgradeThatEmptiedAFolder) {
    UpgradeSetUp();
    tree.mkdir("inst\\setup\\qvinstall.rec.~new");  // the record cannot be written
    Install();
    ASSERT_TRUE(s.InstallFailed);
    std::filesystem::remove(qvtest::HostPath(Dst("setup\\qvinstall.rec.~new")));
    tree.mkdir("inst\\old");  // as a run killed before the folder went leaves it
    Confinement places = ConfinementFor(s, Dest(), shortcuts);
    EXPECT_EQ(ReadInstallRecord(places, port, /*finish=*/true).state, FoundRecord::State::Read);
    EXPECT_FALSE(std::filesystem::exists(qvtest::HostPath(Dst("old"))));
    for (const char* gone : {"gone.txt", "\\old\r"}) EXPECT_EQ(Record().find(gone), std::string::npos) << gone;
}

// An install that ended part-way under /NOROLLBACK is continued by the next run, which
// copies only what is missing or different.
TEST_F(Upgrade, ARunAfterAnInstallLeftPartWayCopiesOnlyWhatIsMissing) {
    RecordedRunOptions keep;
    keep.rollback = false;
    Release({{"a.txt", "alpha"}, {"b.txt", "beta"}, {"c.txt", "gamma"}});
    qvtest::WriteFile(cd + "\\P\\b.txt", "BETA");  // damaged on the CD: Abort there
    port.answers = {Answer::Abort};
    Install(keep);
    ASSERT_TRUE(s.InstallAborted);
    Release({{"a.txt", "alpha"}, {"b.txt", "beta"}, {"c.txt", "gamma"}});
    Install();
    ASSERT_FALSE(s.InstallAborted) << ::testing::PrintToString(port.steps);
    EXPECT_TRUE(Logged("Unchanged: " + Dst("a.txt")));
    EXPECT_EQ(std::count_if(port.steps.begin(), port.steps.end(), [](const std::string& l) { return l.rfind("Copied ", 0) == 0; }), 2);
    EXPECT_EQ(tree.read("inst\\c.txt"), "gamma");
}

// The install is planned whole: a file one product no longer lists and another still does is
// no product's obsolete file. It stays as it is, and the record names the product that lists
// it as its writer, so that a later install of the first product alone leaves it.
TEST_F(Upgrade, AFileAnotherProductStillListsIsNotObsolete) {
    AddProduct(2, "Q", {{"same.txt", "same"}});
    Release({{"changed.txt", "release 2"}});
    Install();
    ASSERT_FALSE(s.InstallAborted) << ::testing::PrintToString(port.steps);
    EXPECT_TRUE(Logged("Unchanged: " + Dst("same.txt")));
    EXPECT_FALSE(Logged("Removed: " + Dst("same.txt") + " (no longer listed)"));
    EXPECT_NE(Record().find(Dst("same.txt") + "\t4\t"), std::string::npos);
    EXPECT_NE(Record().find("\tQ\tsame.txt\t"), std::string::npos) << Record();
    s.ListedProducts[2].Chosen = 0;
    Install();
    EXPECT_EQ(tree.read("inst\\same.txt"), "same");
}

// A place an earlier product of the install copies to is judged as that copy left it: a
// later product that gives the same file leaves it, one that gives another copies it again.
TEST_F(Upgrade, ALaterProductIsJudgedByWhatAnEarlierOneCopied) {
    const auto copies = [&] {
        return std::count_if(port.steps.begin(), port.steps.end(),
                             [&](const std::string& l) { return l.rfind("Copied " + Dst("changed.txt") + " (", 0) == 0; });
    };
    Release({{"changed.txt", "release 2"}});
    AddProduct(2, "Q", {{"changed.txt", "release 2"}});
    Install();
    EXPECT_EQ(copies(), 1);
    EXPECT_TRUE(Logged("Unchanged: " + Dst("changed.txt")));
    Release({{"changed.txt", "release 3"}});
    AddProduct(2, "Q", {{"changed.txt", "Q's own"}});
    Install();
    EXPECT_EQ(copies(), 2);
    EXPECT_EQ(tree.read("inst\\changed.txt"), "Q's own");
}

// The earlier files of the entries an upgrade did not get to stay, also those moved aside
// ahead for their copies: an upgrade that ends part-way and keeps what it did
// (/NOROLLBACK) commits nothing it did not do.
TEST_F(Upgrade, AnUpgradeEndedPartWayKeepsTheEarlierFilesItDidNotGetTo) {
    RecordedRunOptions keep;
    keep.rollback = false;
    Release({{"a.txt", "release 2 a"}, {"changed.txt", "release 2"}, {"same.txt", "same 2"}, {"edited.txt", "2"}});
    qvtest::WriteFile(cd + "\\P\\changed.txt", "RELEASE 2");  // damaged on the CD: Abort there
    port.answers = {Answer::Abort};
    Install(keep);
    ASSERT_TRUE(s.InstallAborted);
    EXPECT_EQ(tree.read("inst\\a.txt"), "release 2 a");
    for (const auto& [spec, content] : Tree{{"changed.txt", "release 1"}, {"same.txt", "same"}, {"edited.txt", "as shipped"}})
        EXPECT_EQ(tree.read("inst\\" + spec), content) << spec;
    for (const auto& [path, content] : ReadTree(dest)) EXPECT_EQ(path.find('~'), std::string::npos) << path << " left behind";
}

// With checksums read, a file that keeps its size and time but not its bytes is the
// user's; /REINSTALL copies every file, as an install without a record does.
TEST_F(Upgrade, ChecksumsAreReadWithChecksAndReinstallCopiesEverything) {
    const auto host = qvtest::HostPath(Dst("same.txt"));
    const auto stamped = std::filesystem::last_write_time(host);
    tree.write("inst\\same.txt", "SAME");
    std::filesystem::last_write_time(host, stamped);
    s.NoCrcCheck = true;
    Install();
    EXPECT_TRUE(Logged("Unchanged: " + Dst("same.txt")));
    s.NoCrcCheck = false;
    Install();
    EXPECT_TRUE(Logged("Kept: " + Dst("same.txt") + " (changed since the install)"));
    s.Reinstall = true;
    Install();
    EXPECT_EQ(tree.read("inst\\same.txt"), "same");
    EXPECT_EQ(std::count_if(port.steps.begin(), port.steps.end(), [](const std::string& l) { return l.rfind("Copied ", 0) == 0; }), 6);
}

}  // namespace
}  // namespace qv

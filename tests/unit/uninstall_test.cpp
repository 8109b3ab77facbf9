// Rollback and removal by the install record: an install that fails puts the directory
// back as it was; an uninstall removes what the installs wrote and still holds what was
// written, keeps and names the rest, and never removes what the record does not name.
#include <gtest/gtest.h>

#include "setup/engine/install_run.h"
#include "setup/engine/record_trust.h"
#include "setup/engine/removal_plan.h"
#include "setup/session/digest.h"
#include "setup/engine/uninstall.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/registry.h"
#include "support/engine_fixture.h"
#include "support/fake_shortcuts.h"

namespace qv {
namespace {

using qvtest::PatternBytes;
using qvtest::ReadTree;
using Tree = std::map<std::string, std::string>;

struct Uninstall : qvtest::EngineFixture {
    qvtest::FakeShortcuts shortcuts;

    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = port.Now();
        AddProduct(1, "P", {{"a.txt", "alpha"}, {"bin\\b.bin", PatternBytes(70000, 2)}, {"bin\\c.txt", "gamma"}})
            .SoftwareType = "Application";  // its database code goes to setup\dbcodes.inf
    }
    void InstallRecorded(const RecordedRunOptions& options = {}) {
        s.InstallAborted = s.InstallFailed = false;
        RunRecordedInstall(s, port, shortcuts, options, {});
    }
    std::string Src(const std::string& spec) const { return cd + "\\P\\" + spec; }
    std::string Dst(const std::string& spec) const { return dest + "\\" + spec; }
    std::string EntryKey() const { return std::string(kUninstallKeyRoot) + "\\" + UninstallKeyName(Dest()); }
    // The entry's quiet uninstall command line, with the scope switch the install was given.
    std::string QuietUninstall(const std::string& scopeSwitch = "") const {
        return "\"" + dest + "\\setup\\uninstall\\qvsetup.exe\" \"" + dest + "\\setup\\uninstall\" x /UNINSTALL /DIR=\"" +
               dest + "\"" + scopeSwitch + " /S";
    }
};

TEST_F(Uninstall, AnInstallThatFailsIsRolledBackToTheEarlierFilesByteForByte) {
    tree.write("inst\\a.txt", "earlier a");
    tree.write("inst\\bin\\c.txt", "earlier c");
    tree.write("inst\\setup\\dbcodes.inf", "[dbcodes]\r\nOTHER=Another product,X,0\r\n");
    const Tree before = ReadTree(dest);
    qvtest::WriteFile(Src("bin\\b.bin"), PatternBytes(70000, 3));  // the CD gives a damaged file
    port.answers = {Answer::Abort};
    InstallRecorded();
    EXPECT_TRUE(s.InstallAborted);
    EXPECT_EQ(ReadTree(dest), before);
    EXPECT_FALSE(reg::KeyExists(reg::Root::LocalMachine, EntryKey()));

    // Without rollback, what was copied stays, as the copy dialogs always left it.
    port.answers = {Answer::Abort};
    RecordedRunOptions keep;
    keep.rollback = false;
    InstallRecorded(keep);
    EXPECT_EQ(ReadTree(dest).at("a.txt"), "alpha");
}

TEST_F(Uninstall, RemovesWhatWasWrittenAndKeepsAndNamesWhatChangedOrWasAdded) {
    InstallRecorded();
    ASSERT_FALSE(s.InstallAborted);
    ASSERT_TRUE(reg::KeyExists(reg::Root::LocalMachine, EntryKey()));
    EXPECT_EQ(reg::ReadString(reg::Root::LocalMachine, EntryKey(), "QuietUninstallString"), QuietUninstall());
    tree.write("inst\\bin\\c.txt", "changed");
    tree.write("inst\\a.txt", "ALPHA");  // the size it had, another time stamped: judged by its bytes
    tree.write("inst\\bin\\mine.txt", "the user's");

    const UninstallOutcome outcome = RunUninstall(s, port, shortcuts, Dest());
    EXPECT_EQ(outcome.end, UninstallOutcome::End::Removed);
    EXPECT_EQ(outcome.kept, (std::vector<Path>{qvtest::P(Dst("a.txt")), qvtest::P(Dst("bin\\c.txt"))}));
    EXPECT_EQ(ReadTree(dest), (Tree{{"a.txt", "ALPHA"}, {"bin\\c.txt", "changed"}, {"bin\\mine.txt", "the user's"}}));
    EXPECT_FALSE(reg::KeyExists(reg::Root::LocalMachine, EntryKey()));
    EXPECT_EQ(FilesLeftIn(Dest()), (std::vector<Path>{qvtest::P(Dst("a.txt")), qvtest::P(Dst("bin\\c.txt")),
                                                       qvtest::P(Dst("bin\\mine.txt"))}));

    // Nothing left to remove: the next uninstall finds no record.
    EXPECT_EQ(RunUninstall(s, port, shortcuts, Dest()).end, UninstallOutcome::End::NoRecord);
}

// An earlier run left a.txt's new copy to take its place at the next restart. A second
// install writes its own copy beside it too, to follow that one, so that the restart leaves
// the newer; an uninstall removes a.txt at the restart, after the copy has moved in.
TEST_F(Uninstall, AFileWaitingForTheRestartIsReplacedAndRemovedAfterTheEarlierCopy) {
    InstallRecorded();
    const Path a = qvtest::P(Dst("a.txt"));
    const Path earlier = qvtest::P(Dst("~9"));
    tree.write("inst\\~9", "alpha");
    RunError error;
    ASSERT_TRUE(fs::ReplaceAtRestart(earlier, a, error)) << error.description;
    AddProduct(1, "P", {{"a.txt", "alpha 2"}, {"bin\\b.bin", PatternBytes(70000, 2)}, {"bin\\c.txt", "gamma"}})
        .SoftwareType = "Application";
    InstallRecorded();
    ASSERT_FALSE(s.InstallAborted) << ::testing::PrintToString(port.steps);
    std::vector<fs::PendingReplacement> pending = fs::PendingReplacements();
    ASSERT_EQ(pending.size(), 2u);
    EXPECT_EQ(pending[0].from, earlier);
    EXPECT_EQ(pending[1].to, a);
    EXPECT_EQ(tree.read("inst\\" + std::string(pending[1].from.RelativeTo(Dest()))), "alpha 2");
    EXPECT_EQ(tree.read("inst\\a.txt"), "alpha") << "until the restart";

    const UninstallOutcome outcome = RunUninstall(s, port, shortcuts, Dest());
    EXPECT_EQ(outcome.held, std::vector<Path>{a});
    EXPECT_TRUE(outcome.kept.empty());
    for (const fs::PendingReplacement& p : pending) EXPECT_TRUE(fs::CancelReplaceAtRestart(p.from, p.to, error));
}

// The plan takes the items back to front of how an install makes them: the files and the
// codes while Cancel can still undo them, then the entry, the record and the folders,
// deepest first. A file outside this run's TEMP is only named.
TEST(RemovalPlan, RemovesItemsBeforeTheCommitAndFoldersDeepestFirstAfterIt) {
    using qvtest::P;
    InstallRecord r;
    r.installDir = P("c:\\qv");
    r.files.resize(2);
    r.files[0].path = P("c:\\qv\\a.txt");
    r.files[1].path = P("c:\\qv\\x\\b.txt");
    r.outside = {{P("c:\\temp\\qvxfr.cfg"), 9, "c3"}, {P("c:\\other\\qvxfr.cfg"), 9, "c4"}};
    r.dbCodes = {{P("c:\\qv\\d.inf"), "K1", "1"}, {P("c:\\qv\\e.inf"), "K2", "2"}, {P("c:\\qv\\D.INF"), "K3", "3"}};
    r.group = RecordedGroup{"QV", P("c:\\progs\\QV"), true, true};
    r.shortcuts = {{P("c:\\progs\\QV\\Run.LNK"), "Run", "c:\\qv\\run.exe", "", ""}};
    r.folders = {P("c:\\qv\\x"), P("c:\\qv\\x\\deep")};
    r.uninstallEntry = RecordedUninstallEntry{"HKLM", "K"};
    Confinement places;
    places.installDir = r.installDir;
    places.transferConfig = P("c:\\temp\\qvxfr.cfg");

    std::vector<std::string> steps;
    for (const RemovalStep& step : PlanRemoval(r, places, P("c:\\progs\\QV"))) {
        steps.push_back(std::visit(
            [](const auto& s) -> std::string {
                using T = std::decay_t<decltype(s)>;
                if constexpr (std::is_same_v<T, RemoveFile>) return "file " + s.path.str();
                else if constexpr (std::is_same_v<T, KeepFile>) return "keep " + s.path.str() + ": " + s.why;
                else if constexpr (std::is_same_v<T, RemoveDbCode>) return "code " + s.code.key;
                else if constexpr (std::is_same_v<T, RemoveEmptyCodesFile>) return "codes file " + s.file.str();
                else if constexpr (std::is_same_v<T, RemoveShortcut>) return "shortcut " + s.link.str();
                else if constexpr (std::is_same_v<T, CommitRemoval>) return "commit";
                else if constexpr (std::is_same_v<T, RemoveUninstallEntry>) return "entry " + s.entry.key;
                else if constexpr (std::is_same_v<T, RemoveRecord>) return "record";
                else return "folder " + s.folder.str();
            },
            step));
    }
    EXPECT_EQ(steps, (std::vector<std::string>{
                         "file c:\\qv\\a.txt", "file c:\\qv\\x\\b.txt", "file c:\\temp\\qvxfr.cfg",
                         "keep c:\\other\\qvxfr.cfg: not in the TEMP of this run", "code K1", "code K2", "code K3",
                         "codes file c:\\qv\\d.inf", "codes file c:\\qv\\e.inf", "shortcut c:\\progs\\QV\\Run.LNK",
                         "commit", "entry K", "record", "folder c:\\qv\\x\\deep", "folder c:\\progs\\QV",
                         "folder c:\\qv\\x"}));
}

// Detection rules name the entry by its key, worked out from the directory as the README
// tells: the same key for every spelling, and the README's examples.
TEST(UninstallKey, IsTheOneDetectionRulesComputeForADirectory) {
    EXPECT_EQ(UninstallKeyName(qvtest::P("c:\\qv")), "MarrowvaleSetup-337cf4e3-5");
    EXPECT_EQ(UninstallKeyName(qvtest::P("C:\\QV\\")), "MarrowvaleSetup-337cf4e3-5");
    EXPECT_EQ(UninstallKeyName(qvtest::P("c:\\marrowvale")), "MarrowvaleSetup-77941076-13");
}

TEST_F(Uninstall, AGivenScopeRegistersThereAloneAndTheRecordHoldsIt) {
    // For the user alone: the user's entry, whose command lines carry the switch, and
    // nothing for the machine; the removal takes the user's entry.
    s.Scope = InstallScope::CurrentUser;
    InstallRecorded();
    ASSERT_FALSE(s.InstallAborted);
    EXPECT_FALSE(reg::KeyExists(reg::Root::LocalMachine, EntryKey()));
    EXPECT_EQ(reg::ReadString(reg::Root::CurrentUser, EntryKey(), "QuietUninstallString"), QuietUninstall(" /CURRENTUSER"));
    EXPECT_NE(tree.read("inst\\setup\\qvinstall.rec").find("\ntype\t1\r\nscope\tcurrentuser\r\n"), std::string::npos);
    EXPECT_EQ(RunUninstall(s, port, shortcuts, Dest()).end, UninstallOutcome::End::Removed);
    EXPECT_FALSE(reg::KeyExists(reg::Root::CurrentUser, EntryKey()));

#ifndef _WIN32
    // For every user, by a run that cannot write the machine's key: the start-up says so,
    // and the user's entry is never taken instead.
    s.Scope = InstallScope::AllUsers;
    reg::SetWritableForTests(reg::Root::LocalMachine, false);
    port.messages.clear();
    EXPECT_FALSE(CheckInstallScope(s, port));
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text,
              "Load Error\r\n/ALLUSERS: this run cannot write the machine's Apps & features key "
              "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall.\r\nRun the installer as an "
              "administrator, or install for this user alone with /CURRENTUSER.");
    InstallRecorded();  // had it gone on all the same
    reg::SetWritableForTests(reg::Root::LocalMachine, true);
    EXPECT_EQ(reg::ReadString(reg::Root::CurrentUser, EntryKey(), "DisplayName"), std::nullopt);
    EXPECT_FALSE(reg::KeyExists(reg::Root::LocalMachine, EntryKey()));
    s.Scope = InstallScope::CurrentUser;
    EXPECT_TRUE(CheckInstallScope(s, port));
#endif
}

TEST_F(Uninstall, ATamperedRecordCannotRemoveAnythingElse) {
    InstallRecorded();
    tree.write("elsewhere.txt", "not the installer's");
    const std::string path = dest + "\\setup\\qvinstall.rec";
    std::string record = tree.read("inst\\setup\\qvinstall.rec");
    const std::string a = Dst("a.txt");
    record.replace(record.find(a), a.size(), tree.path("elsewhere.txt"));
    const std::string forged = SealRecordText(record.substr(0, record.rfind("seal\t")));
    qvtest::WriteFile(path, forged);
    const auto logged = [&](const std::string& what) {
        return std::any_of(port.steps.begin(), port.steps.end(),
                           [&](const std::string& step) { return step.find(what) != std::string::npos; });
    };

    // Sealed anew, it is not the record the last run wrote.
    EXPECT_EQ(RunUninstall(s, port, shortcuts, Dest()).end, UninstallOutcome::End::NoRecord);
    EXPECT_TRUE(logged("its digest is not the one kept in the registry"));
    // With its digest kept as well, it still names nothing outside the install directory.
    RunError error;
    ASSERT_TRUE(reg::SetValues(reg::Root::LocalMachine, EntryKey(), {{kRecordDigestValue, Sha256Hex(forged)}}, error));
    EXPECT_EQ(RunUninstall(s, port, shortcuts, Dest()).end, UninstallOutcome::End::NoRecord);
    EXPECT_TRUE(logged("lies outside the install directory"));
    EXPECT_EQ(tree.read("elsewhere.txt"), "not the installer's");
    EXPECT_EQ(tree.read("inst\\a.txt"), "alpha");
}

TEST_F(Uninstall, CancelAtAnyPointOfAnInstallPutsTheEarlierOneBack) {
    tree.write("inst\\a.txt", "earlier a");
    tree.write("inst\\bin\\b.bin", "earlier b");
    const Tree before = ReadTree(dest);
    for (int at : {1, 2, 3}) {
        SCOPED_TRACE("Cancel at " + std::to_string(at));
        int calls = 0;
        port.onDoEvents = [&] {
            if (++calls != at) return;
            port.answers = {Answer::Yes};
            ConfirmCancel(s, port);
        };
        InstallRecorded();
        EXPECT_TRUE(s.InstallAborted);
        EXPECT_EQ(ReadTree(dest), before);
    }
}

TEST_F(Uninstall, CancelPutsEverythingBack) {
    InstallRecorded();
    const Tree installed = ReadTree(dest);
    port.onDoEvents = [&] {
        if (port.fileNames.back() != Dst("bin\\b.bin")) return;
        port.answers = {Answer::Yes};
        ConfirmCancel(s, port);
    };
    EXPECT_EQ(RunUninstall(s, port, shortcuts, Dest()).end, UninstallOutcome::End::Cancelled);
    EXPECT_EQ(ReadTree(dest), installed);
}

}  // namespace
}  // namespace qv

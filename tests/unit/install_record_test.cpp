// The install record and the journal: read back as written, refused when damaged or
// pointing where a run may not go; a run's journal undone step by step by a rollback,
// also by the next run after a run that was killed; a record trusted only by its digest.
#include <gtest/gtest.h>

#include "setup/engine/install_journal.h"
#include "setup/engine/install_record.h"
#include "setup/engine/record_trust.h"
#include "setup/engine/uninstall_entry.h"
#include "setup/session/digest.h"
#include "setup/session/file_system.h"
#include "setup/session/registry.h"
#include "support/engine_cd.h"
#include "support/engine_fixture.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::P;
using qvtest::ReadTree;

InstallRecord SampleRecord(const std::string& dir) {
    InstallRecord r;
    r.installDir = P(dir);
    r.sourceDir = "d:\\cd";
    r.language = "ENG";
    r.platform = "ORA";
    r.installType = 2;
    r.answers = {{"GROUP", "Tab\there %41"}};
    r.products = {{"GL", "General Ledger"}};
    r.folders = {P(dir), P(dir + "\\gl")};
    r.files = {{P(dir + "\\gl\\a.dat"), 40000, "-123", "GL", "gl\\a.dat", true, false, false}};
    r.entries = {{P(dir + "\\setup\\qvtools8.cfg"), "[Startup]", "DBType", "ORACLE"}};
    r.dbCodes = {{P(dir + "\\setup\\dbcodes.inf"), "GL", "General Ledger,GL,0"}};
    r.outside = {{P("c:\\temp\\qvxfr.cfg"), 60, "77"}};
    r.group = RecordedGroup{"Marrowvale", P("c:\\ProgramData\\Start Menu\\Programs\\Marrowvale"), true, true};
    r.shortcuts = {{P("c:\\ProgramData\\Start Menu\\Programs\\Marrowvale\\Data Ferry.LNK"), "Data Ferry", dir + "\\x.exe",
                    dir, ""}};
    r.uninstallEntry = RecordedUninstallEntry{"HKLM", "Marrowvale-1234"};
    return r;
}

Confinement PlacesOfQv() {
    Confinement places;
    places.installDir = P("c:\\qv");
    places.programsFolders = {P("c:\\ProgramData\\Start Menu\\Programs")};
    places.transferConfig = P("c:\\temp\\qvxfr.cfg");
    places.uninstallKey = "Marrowvale-1234";
    return places;
}

// Replaces the first occurrence of `from` and seals the text again, as a careful hand would.
std::string Edited(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return SealRecordText(text.substr(0, text.rfind("seal\t")));
}

std::string Refusal(const std::string& text) {
    Confinement places = PlacesOfQv();
    InstallRecord record;
    std::string problem;
    return ParseRecord(text, places, record, problem) ? "taken" : problem;
}

TEST(InstallRecordFile, ReadsBackWhatItWroteAndRefusesWhatWasTamperedWith) {
    const std::string text = FormatRecord(SampleRecord("c:\\qv"));
    Confinement places = PlacesOfQv();
    InstallRecord record;
    std::string problem;
    ASSERT_TRUE(ParseRecord(text, places, record, problem)) << problem;
    EXPECT_EQ(FormatRecord(record), text);

    std::string damaged = text;
    damaged[damaged.find("40000")] = '5';
    EXPECT_EQ(Refusal(damaged), "line 18: the seal does not match the record");
    EXPECT_NE(Refusal(text.substr(0, text.size() / 2)).find("cut short"), std::string::npos);
    EXPECT_EQ(Refusal("QVREC\t2\r\n"), "line 1: the file is of version 2, this installer reads version 1");
    // Paths that leave the install directory, however they are spelt.
    EXPECT_EQ(Refusal(Edited(text, "c:\\qv\\gl\\a.dat", "c:\\windows\\a.dat")),
              "line 11: \"c:\\windows\\a.dat\" lies outside the install directory");
    EXPECT_NE(Refusal(Edited(text, "c:\\qv\\gl\\a.dat", "c:\\qv\\../Windows/win.ini")), "taken");
    EXPECT_EQ(Refusal(Edited(text, "c:\\qv\\gl\\a.dat", "c:\\qv\\a.txt%00\\x")),
              "line 11: \"c:\\qv\\a.txt%00\\x\" is refused: it holds a control character");
    EXPECT_NE(Refusal(Edited(text, "c:\\qv\\gl\\a.dat", "c:\\qv\\gl\\AUX.dat")).find("names a device"), std::string::npos);
    EXPECT_NE(Refusal(Edited(text, "\\qvxfr.cfg", "\\boot.ini")), "taken");
    // A shortcut is the link of its name in the group's folder, and nothing else.
    EXPECT_NE(Refusal(Edited(text, "Marrowvale\\Data Ferry.LNK", "Other\\Data Ferry.LNK")), "taken");
    // A sealed record names its install directory, and one that follows its seal is no record.
    const size_t dirLine = text.find("installdir\t");
    EXPECT_EQ(Refusal(Edited(text, text.substr(dirLine, text.find('\n', dirLine) + 1 - dirLine), "")),
              "line 17: the record names no install directory");
    EXPECT_EQ(Refusal(text + "begin\r\n"), "line 19: \"begin\" follows the end of the record");
}

TEST(InstallRecordFile, AJournalNamesOnlyWhatThisRunMayChange) {
    const InstallRecord base = SampleRecord("c:\\qv");
    const std::string head = JournalHeader(P("c:\\qv"), "");
    const auto refusal = [&](const std::string& lines) {
        Confinement places = PlacesOfQv();
        JournalFile journal;
        std::string problem;
        return ParseJournal(head + lines, places, base, journal, problem) ? "taken" : problem;
    };
    EXPECT_EQ(refusal("create\tc:\\qv\\a.txt\r\nreplace\tc:\\qv\\b.txt\tc:\\qv\\~1\r\n"
                      "create\tc:\\temp\\qvxfr.cfg\r\ncreate\tc:\\ProgramData\\Start Menu\\Programs\\Marrowvale\\x.LNK\r\n"),
              "taken");
    EXPECT_EQ(refusal("replace\tc:\\qv\\a.txt\tc:\\qv\\../victim.txt\r\n"),
              "line 4: the backup of \"c:\\qv\\a.txt\" is not a backup in its folder");
    EXPECT_EQ(refusal("create\tc:\\Windows\\win.ini%00\\qvxfr.cfg\r\n"),
              "line 4: \"c:\\Windows\\win.ini%00\\qvxfr.cfg\" is refused: it holds a control character");
    EXPECT_EQ(refusal("create\tc:\\other\\qvxfr.cfg\r\n"),
              "line 4: \"c:\\other\\qvxfr.cfg\" lies outside the places an install writes to");
    EXPECT_EQ(refusal("create\tc:\\Users\\x\\Start Menu\\Programs\\a.txt\r\n"),
              "line 4: \"c:\\Users\\x\\Start Menu\\Programs\\a.txt\" lies outside the places an install writes to");
    EXPECT_EQ(refusal("commit\tnot a digest\r\n"), "line 4: a commit without the digest of its record");
    // A last step cut short was never taken.
    Confinement places = PlacesOfQv();
    JournalFile journal;
    std::string problem;
    ASSERT_TRUE(ParseJournal(head + "create\tc:\\qv\\a.txt\r\ncreate\tc:\\qv\\b", places, base, journal, problem));
    EXPECT_EQ(journal.steps.size(), 1u);
}

// A run finished from its journal: a group in another folder takes the earlier group's
// place with its shortcuts and folders, the codes the run forgot go, and an earlier group's
// emptied folder may go; what it leaves is a record that reads back.
TEST(InstallRecordFile, AJournalsNewGroupAndForgottenCodesLeaveARecordThatReadsBack) {
    InstallRecord base = SampleRecord("c:\\qv");
    const Path earlier = base.group->folder;
    base.folders.push_back(earlier);
    const RecordedGroup other{"Other", P("c:\\ProgramData\\Start Menu\\Programs\\Other"), true, true};
    const std::string lines = GroupLine(other) + GoneCodeLine(base.dbCodes[0]) + EmptiedLine(earlier);
    Confinement places = PlacesOfQv();
    JournalFile journal;
    std::string problem;
    ASSERT_TRUE(ParseJournal(JournalHeader(P("c:\\qv"), "") + lines, places, base, journal, problem)) << problem;
    EXPECT_TRUE(journal.written.shortcuts.empty());
    EXPECT_TRUE(journal.written.dbCodes.empty());
    EXPECT_EQ(journal.emptied, std::vector<Path>{earlier});
    Confinement readBack = PlacesOfQv();
    InstallRecord record;
    EXPECT_TRUE(ParseRecord(FormatRecord(journal.written), readBack, record, problem)) << problem;
}

TEST(RestartList, IsReadInTheSystemsOwnFormAndFindsThePairOfAReplacement) {
    const Path share = *Path::Parse("\\\\srv\\share\\b.dll", nullptr, PathForms{true});
    const std::vector<std::string> names = {
        "\\??\\c:\\qv\\~1", "!\\??\\c:\\qv\\a.dll",            // a replacement
        "\\??\\c:\\old.tmp", "",                          // a removal
        fs::SystemName(share.Parent().Join("~2").value()), fs::ReplacedName(share),
        "c:\\no prefix", "!\\??\\c:\\qv\\c.dll",               // a name of another form
    };
    EXPECT_EQ(names[4], "\\??\\UNC\\srv\\share\\~2");
    const std::vector<fs::PendingReplacement> found = fs::ReplacementsIn(names);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].from, P("c:\\qv\\~1"));
    EXPECT_EQ(found[0].to, P("c:\\qv\\a.dll"));
    EXPECT_EQ(found[1].to, share);
    EXPECT_EQ(fs::FindReplacement(names, P("C:\\QV\\~1"), P("c:\\qv\\a.dll")), std::optional<size_t>(0));
    EXPECT_EQ(fs::FindReplacement(names, found[1].from, share), std::optional<size_t>(4));
    EXPECT_FALSE(fs::FindReplacement(names, P("c:\\old.tmp"), P("c:\\qv\\a.dll")));
}

struct Journal : qvtest::EngineFixture {
    std::string dir = dest;

    InstallRecord Read() {
        Confinement places = Places();
        const FoundRecord found = ReadInstallRecord(places, port, /*finish=*/false);
        EXPECT_EQ(found.state, FoundRecord::State::Read) << found.problem;
        return found.record;
    }

    // What the system puts in the place of `path` at the next restart.
    static std::vector<Path> PendingInto(const Path& path) {
        std::vector<Path> copies;
        for (const fs::PendingReplacement& pending : fs::PendingReplacements())
            if (pending.to == path) copies.push_back(pending.from);
        return copies;
    }

    // A run that replaces a.txt, adds b.txt in a new folder and edits c.cfg.
    void Work(InstallJournal& journal) {
        RunError error;
        ASSERT_TRUE(journal.MakeFolders(P(dir + "\\new\\deep"), error)) << error.description;
        ASSERT_TRUE(journal.PrepareFile(P(dir + "\\a.txt"), error)) << error.description;
        tree.write("inst\\a.txt", "new a");
        journal.Wrote(RecordedFile{P(dir + "\\a.txt"), 5, "1", "P", "a.txt", false, false, false});
        ASSERT_TRUE(journal.PrepareFile(P(dir + "\\new\\deep\\b.txt"), error));
        tree.write("inst\\new\\deep\\b.txt", "b");
        ASSERT_TRUE(journal.PrepareEdit(P(dir + "\\c.cfg"), error));
        tree.write("inst\\c.cfg", "edited");
    }
};

TEST_F(Journal, ARollbackPutsTheDirectoryBackAsItWasAndACommitKeepsTheRun) {
    tree.write("inst\\a.txt", "earlier a");
    tree.write("inst\\c.cfg", "earlier c");
    const auto before = ReadTree(dir);
    {
        InstallJournal journal(Places());
        RunError error;
        ASSERT_TRUE(journal.Open({}, "", error)) << error.description;
        Work(journal);
        journal.Rollback(port);
    }
    EXPECT_EQ(ReadTree(dir), before);  // no record, no folder, every earlier file byte for byte

    InstallJournal journal(Places());
    RunError error;
    ASSERT_TRUE(journal.Open({}, "", error));
    Work(journal);
    ASSERT_TRUE(journal.Commit(port, error)) << error.description;
    const InstallRecord record = Read();
    ASSERT_EQ(record.files.size(), 1u);
    EXPECT_TRUE(record.files[0].earlier);
    EXPECT_EQ(record.folders, (std::vector<Path>{P(dir + "\\setup"), P(dir + "\\new"), P(dir + "\\new\\deep")}));
    const auto after = ReadTree(dir);
    EXPECT_EQ(after.size(), 4u) << "a backup was left";  // a, b, c and the record
    EXPECT_EQ(after.at("a.txt"), "new a");
}

TEST_F(Journal, TheNextRunTakesBackAReplacementAtTheRestartWithItsCopy) {
    tree.write("inst\\a.txt", "earlier a");
    const Path a = P(dir + "\\a.txt");
    {
        InstallJournal killed(Places());  // a.txt held open: its new copy is written beside it
        RunError error;
        ASSERT_TRUE(killed.Open({}, "", error));
        ASSERT_TRUE(killed.PrepareAtRestart(a, error)) << error.description;
        const Path copy = killed.CopyPathFor(a);
        EXPECT_EQ(copy.Parent(), a.Parent());
        qvtest::WriteFile(copy, "new a");
        ASSERT_TRUE(killed.ReplaceAtRestart(a, error)) << error.description;
        EXPECT_EQ(PendingInto(a), std::vector<Path>{copy});
        killed.Flush();
    }
    // The pair leaves the system's list, and the copy goes.
    Confinement places = Places();
    EXPECT_EQ(ReadInstallRecord(places, port, /*finish=*/true).state, FoundRecord::State::None);
    EXPECT_TRUE(PendingInto(a).empty());
    EXPECT_EQ(ReadTree(dir), (std::map<std::string, std::string>{{"a.txt", "earlier a"}}));
    EXPECT_NE(std::find(port.steps.begin(), port.steps.end(), "Rolled back: the replacement at the next restart of " + a),
              port.steps.end()) << ::testing::PrintToString(port.steps);
}

TEST_F(Journal, TheNextRunFinishesARunThatWasKilledAndTrustsOnlyARecordItWrote) {
    tree.write("inst\\a.txt", "earlier a");
    tree.write("inst\\c.cfg", "earlier c");
    const auto before = ReadTree(dir);
    {
        InstallJournal killed(Places());  // ends without a commit or a rollback, as a killed process does
        RunError error;
        ASSERT_TRUE(killed.Open({}, "", error));
        Work(killed);
        killed.Flush();
    }
    EXPECT_EQ(ReadTree(dir).count("setup\\qvinstall.rec"), 0u) << "the journal is kept out of the directory";
    Confinement places = Places();
    EXPECT_EQ(ReadInstallRecord(places, port, /*finish=*/true).state, FoundRecord::State::None);
    EXPECT_EQ(ReadTree(dir), before);
    EXPECT_NE(std::find(port.steps.begin(), port.steps.end(), "Rolled back: restored " + dir + "\\a.txt"),
              port.steps.end());

    // A record the last run wrote is trusted; one edited and sealed anew is not.
    InstallJournal journal(Places());
    RunError error;
    ASSERT_TRUE(journal.Open({}, "", error));
    Work(journal);
    ASSERT_TRUE(journal.Commit(port, error));
    Read();
    const std::string text = tree.read("inst\\setup\\qvinstall.rec");
    tree.write("inst\\setup\\qvinstall.rec", Edited(text, "\t5\t", "\t6\t"));
    places = Places();
    const FoundRecord found = ReadInstallRecord(places, port, /*finish=*/true);
    EXPECT_EQ(found.state, FoundRecord::State::Refused);
    EXPECT_EQ(found.problem, "it is not the record the last run wrote: its digest is not the one kept in the registry");
}

}  // namespace
}  // namespace qv

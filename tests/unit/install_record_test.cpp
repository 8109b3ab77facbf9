// The install record: read back as written, refused when damaged or pointing where an
// install never writes; its journal undone step by step by a rollback, also by the next
// run after a run that was killed.
#include <gtest/gtest.h>

#include "setup/engine/install_journal.h"
#include "setup/engine/install_record.h"
#include "setup/session/file_system.h"
#include "support/engine_cd.h"
#include "support/recording_port.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::ReadTree;

InstallRecord SampleRecord(const std::string& dir) {
    InstallRecord r;
    r.installDir = dir;
    r.sourceDir = "d:\\cd";
    r.language = "ENG";
    r.platform = "ORA";
    r.installType = 2;
    r.answers = {{"GROUP", "Tab\there %41"}};
    r.products = {{"GL", "General Ledger"}};
    r.folders = {dir, dir + "\\gl"};
    r.files = {{dir + "\\gl\\a.dat", 40000, "-123", "GL", "gl\\a.dat", true, false, false}};
    r.entries = {{dir + "\\setup\\qvtools8.cfg", "[Startup]", "DBType", "ORACLE"}};
    r.dbCodes = {{dir + "\\setup\\dbcodes.inf", "GL", "General Ledger,GL,0"}};
    r.outside = {{"c:\\temp\\qvxfr.cfg", 60, "77"}};
    r.group = RecordedGroup{"Marrowvale", "c:\\ProgramData\\Start Menu\\Programs\\Marrowvale", true, true};
    r.shortcuts = {{"c:\\ProgramData\\Start Menu\\Programs\\Marrowvale\\Data Ferry.LNK", "Data Ferry", dir + "\\x.exe",
                    dir, ""}};
    r.uninstallEntry = RecordedUninstallEntry{"HKLM", "Marrowvale-1234"};
    return r;
}

// Replaces the first occurrence of `from` and seals the text again, as a careful hand would.
std::string Edited(std::string text, const std::string& from, const std::string& to) {
    text.replace(text.find(from), from.size(), to);
    return SealRecordText(text.substr(0, text.rfind("seal\t")));
}

TEST(InstallRecordFile, ReadsBackWhatItWroteAndRefusesWhatWasTamperedWith) {
    const std::string dir = "c:\\qv";
    const RecordConfinement confinement{dir, {}, {}, "Marrowvale-1234"};
    const std::string text = FormatRecord(SampleRecord(dir));
    RecordFile file;
    std::string problem;
    ASSERT_TRUE(ParseRecord(text, confinement, file, problem)) << problem;
    EXPECT_TRUE(file.sealed);
    EXPECT_FALSE(file.Interrupted());
    EXPECT_EQ(FormatRecord(file.record), text);

    // A byte changed, a line cut short, a path outside the install directory re-sealed.
    std::string damaged = text;
    damaged[damaged.find("40000")] = '5';
    EXPECT_FALSE(ParseRecord(damaged, confinement, file, problem));
    EXPECT_EQ(problem, "line 18: the seal does not match the record");
    EXPECT_FALSE(ParseRecord(text.substr(0, text.size() / 2), confinement, file, problem));
    EXPECT_NE(problem.find("cut short"), std::string::npos) << problem;
    EXPECT_FALSE(ParseRecord(Edited(text, dir + "\\gl\\a.dat", "c:\\windows\\a.dat"), confinement, file, problem));
    EXPECT_EQ(problem, "line 11: \"c:\\windows\\a.dat\" lies outside the install directory");
    EXPECT_FALSE(ParseRecord(Edited(text, dir + "\\gl\\a.dat", dir + "\\..\\a.dat"), confinement, file, problem));
    EXPECT_FALSE(ParseRecord(Edited(text, "\\qvxfr.cfg", "\\boot.ini"), confinement, file, problem));
    EXPECT_FALSE(ParseRecord("QVREC\t2\r\n", confinement, file, problem));
    EXPECT_EQ(problem, "line 1: the record is of version 2, this installer reads version 1");
}

struct Journal : ::testing::Test {
    qvtest::TempTree tree;
    qvtest::RecordingPort port;
    std::string dir = tree.path("qv");

    RecordFile Read() {
        std::string text;
        RunError error;
        RecordFile file;
        std::string problem;
        EXPECT_TRUE(fs::ReadWholeFile(RecordPath(dir), text, error)) << error.description;
        EXPECT_TRUE(ParseRecord(text, {dir, {}, {}, ""}, file, problem)) << problem;
        return file;
    }

    // A run that replaces a.txt, adds b.txt in a new folder and edits c.cfg.
    void Work(InstallJournal& journal) {
        RunError error;
        ASSERT_TRUE(journal.MakeFolders(dir + "\\new\\deep", error)) << error.description;
        ASSERT_TRUE(journal.PrepareFile(dir + "\\a.txt", error)) << error.description;
        tree.write("qv\\a.txt", "new a");
        journal.Wrote(RecordedFile{dir + "\\a.txt", 5, "1", "P", "a.txt", false, false, false});
        ASSERT_TRUE(journal.PrepareFile(dir + "\\new\\deep\\b.txt", error));
        tree.write("qv\\new\\deep\\b.txt", "b");
        ASSERT_TRUE(journal.PrepareEdit(dir + "\\c.cfg", error));
        tree.write("qv\\c.cfg", "edited");
    }
};

TEST_F(Journal, ARollbackPutsTheDirectoryBackAsItWasAndACommitKeepsTheRun) {
    tree.write("qv\\a.txt", "earlier a");
    tree.write("qv\\c.cfg", "earlier c");
    const auto before = ReadTree(dir);
    {
        InstallJournal journal;
        RunError error;
        ASSERT_TRUE(journal.Open(dir, {}, error)) << error.description;
        Work(journal);
        journal.Rollback(port);
    }
    EXPECT_EQ(ReadTree(dir), before);  // no record, no folder, every earlier file byte for byte

    InstallJournal journal;
    RunError error;
    ASSERT_TRUE(journal.Open(dir, {}, error));
    Work(journal);
    ASSERT_TRUE(journal.Commit(port, error)) << error.description;
    const RecordFile file = Read();
    EXPECT_TRUE(file.sealed);
    ASSERT_EQ(file.record.files.size(), 1u);
    EXPECT_TRUE(file.record.files[0].earlier);
    EXPECT_EQ(file.record.folders, (std::vector<std::string>{dir + "\\setup", dir + "\\new", dir + "\\new\\deep"}));
    const auto after = ReadTree(dir);
    EXPECT_EQ(after.size(), 4u) << "a backup was left";  // a, b, c and the record
    EXPECT_EQ(after.at("a.txt"), "new a");
}

TEST_F(Journal, TheNextRunFinishesARunThatWasKilled) {
    tree.write("qv\\a.txt", "earlier a");
    tree.write("qv\\c.cfg", "earlier c");
    const auto before = ReadTree(dir);
    {
        InstallJournal killed;  // ends without a commit or a rollback, as a killed process does
        RunError error;
        ASSERT_TRUE(killed.Open(dir, {}, error));
        Work(killed);
        killed.Flush();
    }
    RecordFile file = Read();
    ASSERT_TRUE(file.Interrupted());
    EXPECT_EQ(RecoverInterruptedRun(dir, file, port), Recovery::RolledBack);
    EXPECT_EQ(ReadTree(dir), before);
    EXPECT_NE(std::find(port.steps.begin(), port.steps.end(), "Rolled back: restored " + dir + "\\a.txt"),
              port.steps.end());
}

}  // namespace
}  // namespace qv

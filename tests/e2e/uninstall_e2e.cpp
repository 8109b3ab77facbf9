// An installation taken off the machine, and one put back after a kill: an install
// registers in Apps & features, where Wine's own uninstaller lists it; its quiet uninstall
// command removes the folder, the shortcuts and the entry and keeps and names what changed
// or was added; with the windows it asks first and says at the end what was kept; and an
// upgrade killed half-way is rolled back by the next run, even a verify.
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "e2e/held_install.h"
#include "e2e/silent_test.h"
#include "setup/engine/install_record.h"
#include "setup/engine/uninstall_entry.h"

namespace qve2e {
namespace {

// The files below folder, relative to it, sorted.
std::vector<std::string> Tree(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code error;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, error);
         !error && it != std::filesystem::recursive_directory_iterator(); it.increment(error))
        if (it->is_regular_file(error)) files.push_back(it->path().string().substr(folder.size() + 1));
    std::sort(files.begin(), files.end());
    return files;
}

// What a command line of the system's own programs prints, standard error included.
std::string CommandOutput(std::string commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "(no pipe)";
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(writeEnd);
    std::string output;
    char buffer[4096];
    DWORD got = 0;
    while (started && ::ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) output.append(buffer, got);
    CloseHandle(readEnd);
    if (!started) return "(not started)";
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return output;
}

// What Wine's own uninstaller lists: one line per entry, "<key>|||<name>".
std::string UninstallerList() { return CommandOutput("uninstaller.exe --list"); }

std::string RegistryString(const std::string& key, const std::string& name, HKEY root = HKEY_LOCAL_MACHINE) {
    char value[2048] = {};
    DWORD size = sizeof value;
    if (RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return {};
    return value;
}

class UninstallTest : public SilentSetupTest {
protected:
    void SetUp() override {
        SilentSetupTest::SetUp();
        ASSERT_TRUE(CreateDirectoryA(scratch_.path("client").c_str(), nullptr));
        cd.Add(ToolsProduct());
        TestProduct data = MakeProduct("ledger", "General Ledger", 2);
        data.softwareType = "Application";
        data.files = {{"ledger\\a.dat", FileBytes(40000, 1)}, {"ledger\\b.dat", FileBytes(9000, 2)}};
        cd.Add(data);
    }
    void TearDown() override {
        SilentSetupTest::TearDown();
        qvtest::RemoveTree(GroupFolder());
        qvtest::RemoveTree(GroupFolder(CSIDL_PROGRAMS));
    }
    std::string Switches() const {
        return "/DB=ORA /DIR=\"" + Target() + "\" /GROUP=\"" + group_ + "\" /DBDIR=\"" + scratch_.path("client") + "\"";
    }
    // The group's folder in the all-users Programs folder, or in the user's.
    std::string GroupFolder(int programsId = CSIDL_COMMON_PROGRAMS) const {
        char programs[MAX_PATH] = {};
        SHGetFolderPathA(nullptr, programsId, nullptr, SHGFP_TYPE_CURRENT, programs);
        return std::string(programs) + "\\" + group_;
    }
    std::string EntryKey() const { return std::string(qv::kUninstallKeyRoot) + "\\" + qv::UninstallKeyName(qvtest::P(Target())); }
    // Starts a command line of the entry as Apps & features would, and waits for its end.
    DWORD RunEntryCommand(const std::string& name, const Environment& environment, HKEY root = HKEY_LOCAL_MACHINE) {
        const std::string command = RegistryString(EntryKey(), name, root);
        const size_t quote = command.find('"', 1);
        EXPECT_EQ(command.rfind("\"" + Target() + "\\setup\\uninstall\\qvsetup.exe\" ", 0), 0u) << command;
        EXPECT_TRUE(app.Start(command.substr(1, quote - 1), command.substr(quote + 2) + " /LOG=\"" + LogPath() + "\"",
                              {}, &environment))
            << app.error();
        return app.WaitForExit(Millis(60000)).value_or(kKilledExitCode);
    }
    Environment TempEnvironment() const {
        Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
        environment.push_back("TEMP=" + scratch_.root());
        return environment;
    }
    const std::string group_ = "Marrowvale Uninstall Test";
};

TEST_F(UninstallTest, TheQuietUninstallRemovesWhatWasWrittenAndKeepsWhatChangedOrWasAdded) {
    ASSERT_EQ(RunSilent(Switches()), 0u);
    const std::string key = qv::UninstallKeyName(qvtest::P(Target()));
    EXPECT_NE(UninstallerList().find(key + "|||Marrowvale 8.01 (" + Target() + ")"), std::string::npos)
        << UninstallerList();
    EXPECT_TRUE(std::filesystem::exists(GroupFolder() + "\\Data Ferry.LNK"));
    qvtest::WriteFile(Target() + "\\ledger\\b.dat", "changed by the user");
    qvtest::WriteFile(Target() + "\\ledger\\notes.txt", "added by the user");

    EXPECT_EQ(RunEntryCommand("QuietUninstallString", TempEnvironment()), 3u);
    // The copy in TEMP that did the removal takes the program's own files once it has ended.
    const std::vector<std::string> kept = {"ledger\\b.dat", "ledger\\notes.txt"};
    EXPECT_TRUE(WaitUntil([&] { return Tree(Target()) == kept; })) << ::testing::PrintToString(Tree(Target()));
    EXPECT_FALSE(std::filesystem::exists(GroupFolder())) << "the group stayed";
    EXPECT_FALSE(std::filesystem::exists(scratch_.path("qvxfr.cfg"))) << "the transfer configuration stayed";
    EXPECT_EQ(RegistryString(EntryKey(), "DisplayName"), "");
    EXPECT_EQ(UninstallerList().find(key), std::string::npos) << UninstallerList();
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLine(log, "Kept: " + Target() + "\\ledger\\b.dat (changed since the install)"));
    EXPECT_TRUE(HasLine(log, "Left in the install directory: " + Target() + "\\ledger\\notes.txt"));
    EXPECT_EQ(log.back(), "Exit code 3: removed, some files kept");
}

TEST_F(UninstallTest, ForTheUserAloneTheEntryAndTheGroupAreTheUsersAndTheRemovalTakesThem) {
    ASSERT_EQ(RunSilent(Switches() + " /CURRENTUSER"), 0u);
    // The registry as its own tool reads it: the user's entry, whose command lines carry
    // the switch, and nothing under the machine's key.
    const std::string key = "\\" + EntryKey() + "\"";
    const std::string user = CommandOutput("reg.exe query \"HKCU" + key + " /v QuietUninstallString");
    EXPECT_NE(user.find("REG_SZ"), std::string::npos) << user;
    EXPECT_NE(user.find("/DIR=\"" + Target() + "\" /CURRENTUSER /S"), std::string::npos) << user;
    const std::string machine = CommandOutput("reg.exe query \"HKLM" + key);
    EXPECT_EQ(machine.find("REG_SZ"), std::string::npos) << machine;
    EXPECT_TRUE(std::filesystem::exists(GroupFolder(CSIDL_PROGRAMS) + "\\Data Ferry.LNK"));
    EXPECT_FALSE(std::filesystem::exists(GroupFolder())) << "the group went to the all-users Programs folder";
    EXPECT_NE(ReadFile(Target() + "\\setup\\qvinstall.rec").value_or("").find("\nscope\tcurrentuser\r\n"),
              std::string::npos);

    EXPECT_EQ(RunEntryCommand("QuietUninstallString", TempEnvironment(), HKEY_CURRENT_USER), 0u);
    // The copy in TEMP that did the removal finishes its log once the program has ended.
    EXPECT_TRUE(WaitUntil([&] { return HasLine(Log(), "Exit code 0: removed"); })) << ::testing::PrintToString(Log());
    EXPECT_EQ(CommandOutput("reg.exe query \"HKCU" + key).find("REG_SZ"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(GroupFolder(CSIDL_PROGRAMS))) << "the user's group stayed";
}

TEST_F(UninstallTest, WithTheWindowsItAsksFirstAndNamesWhatItKept) {
    ASSERT_EQ(RunSilent(Switches()), 0u);
    qvtest::WriteFile(Target() + "\\ledger\\notes.txt", "added by the user");
    // The entry's command line, run by the program outside the directory, so that the
    // windows are the test's program's own and not those of a copy in TEMP.
    const std::string command = RegistryString(EntryKey(), "UninstallString");
    const Environment environment = TempEnvironment();
    Start(kSetupExe, command.substr(command.find('"', 1) + 2), &environment);
    ExpectBox("Remove Marrowvale 8.01",
              "Do you wish to remove these products and everything their installation wrote from " + Target() +
                  "?\r\rProducts:\rMarrowtools\rGeneral Ledger",
              {"Yes", "No"}, BoxIcon::Question, "Yes", "uninstall-question");
    ExpectBox("Remove Marrowvale 8.01",
              "The Marrowvale installation has been removed.\r\rThese files were changed or added since the "
              "installation and have been kept:\r" + Target() + "\\ledger\\notes.txt",
              {"OK"}, BoxIcon::Asterisk, "OK", "uninstall-done");
    ExpectExitCode(3);
    EXPECT_EQ(Tree(Target()), (std::vector<std::string>{"ledger\\notes.txt"}));
}

TEST_F(UninstallTest, AnUpgradeKilledHalfWayIsRolledBackByTheNextRunEvenAVerify) {
    ASSERT_EQ(RunSilent(Switches()), 0u);
    // The user changes a file that the second release changes too.
    const std::string qvcfg = Target() + "\\bin\\client\\winx86\\qvcfg.exe";
    qvtest::WriteFile(qvcfg, "the user's own build");
    qvtest::WriteFile(cd.root() + "\\tools\\bin\\client\\winx86\\qvcfg.exe", FileBytes(70000, 9));
    qvtest::WriteFile(cd.root() + "\\ledger\\ledger\\b.dat", FileBytes(9000, 9));
    std::string error;
    ASSERT_TRUE(cd.Master(error)) << error;
    std::map<std::string, std::string> before;
    for (const std::string& path : Tree(Target())) before[path] = *ReadFile(Target() + "\\" + path);

    // The upgrade, held at its first checksum, the copy of the release's qvcfg.exe once the
    // user's has been saved beside it, and killed there. Without /CRC the files still as
    // written are judged by their stamps, and no checksum comes before.
    const std::string program = scratch_.path("program");
    ASSERT_TRUE(HeldInstall::MakeProgramFolder(program));
    HeldInstall held;
    Environment environment = TempEnvironment();
    environment.push_back(held.Variable());
    ASSERT_TRUE(app.Start(program + "\\" + kSetupExe, "\"" + cd.root() + "\" x /S " + Switches(), program,
                          &environment))
        << app.error();
    ASSERT_TRUE(held.WaitUntilHeld(app)) << app.Describe();
    app.Kill();
    EXPECT_EQ(ReadFile(qvcfg + ".qvsave"), "the user's own build");

    EXPECT_EQ(RunSilent("/VERIFY " + Switches(), false), 6u) << "the user's change is drift";
    EXPECT_TRUE(HasLine(Log(), "An earlier run into " + Target() + " ended before it finished: it is rolled back"))
        << ::testing::PrintToString(Log());
    std::map<std::string, std::string> after;
    for (const std::string& path : Tree(Target())) after[path] = *ReadFile(Target() + "\\" + path);
    EXPECT_TRUE(after == before) << "the first release is not as it was";
}

TEST_F(UninstallTest, AForgedRecordAndJournalMakeNoRunTouchAFileOutsideTheInstallDirectory) {
    // What a user who can write the install directory leaves there, sealed as the record is.
    const std::string victim = scratch_.path("victim.txt");
    qvtest::WriteFile(victim, "not the installer's");
    const std::string record = qv::SealRecordText("QVREC\t1\r\ninstalldir\t" + Target() + "\r\nsource\tD:\\\r\n");
    qvtest::WriteFile(Target() + "\\setup\\qvinstall.rec",
                      record + "QVJNL\t1\r\nbegin\r\nreplace\t" + Target() + "\\a.txt\t" + Target() +
                          "\\../victim.txt\r\ncommit\r\n");
    EXPECT_EQ(RunSilent("/VERIFY " + Switches()), 6u);
    EXPECT_TRUE(HasLine(Log(), "No install record to judge by: the chosen products are surveyed on the CD"));
    EXPECT_EQ(RunSilent("/UNINSTALL /S /DIR=\"" + Target() + "\"", false), 1u);
    EXPECT_EQ(*ReadFile(victim), "not the installer's");
}

TEST_F(UninstallTest, AnEditedRecordSealedAnewIsRefusedAndTheUninstallRemovesNothing) {
    ASSERT_EQ(RunSilent(Switches()), 0u);
    const std::string path = Target() + "\\setup\\qvinstall.rec";
    std::string text = *ReadFile(path);
    text = text.substr(0, text.rfind("seal\t"));
    text.replace(text.find("\ntype\t1\r"), 8, "\ntype\t2\r");
    qvtest::WriteFile(path, qv::SealRecordText(text));
    const std::vector<std::string> before = Tree(Target());

    EXPECT_EQ(RunSilent("/UNINSTALL /S /DIR=\"" + Target() + "\"", false), 1u);
    EXPECT_TRUE(HasLine(Log(), "The install record " + path +
                                   " is refused (it is not the record the last run wrote: its digest is not the one "
                                   "kept in the registry): this run goes on without it"))
        << ::testing::PrintToString(Log());
    EXPECT_EQ(Tree(Target()), before);
}

}  // namespace
}  // namespace qve2e

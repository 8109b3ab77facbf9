// Faults under Wine, made with what Windows itself honours: the read-only attribute and a
// file held open without sharing by another program. Each test checks the box the user is
// asked with, what the log says, how a silent run would end and what is on disk after: a
// copy that does not complete never costs an earlier file, and leaves no part of itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "setup/config/config_profile.h"
#include "setup/engine/file_list.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_run.h"
#include "setup/engine/progress.h"
#include "setup/mainwindow/unattended.h"
#include "setup/session/install_log.h"
#include "setup/session/policy_port.h"
#include "setup/session/scoped_handle_win.h"
#include "support/engine_fixture.h"
#include "support/fake_shortcuts.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::PatternBytes;
using qvtest::ReadTree;

// Another program holding a file open without sharing, until Release. It says when it
// holds the file by an event of its own name; the limit of the wait is only a safety net.
class Holder {
public:
    explicit Holder(const std::string& path) {
        static int count = 0;
        const std::string name =
            "Local\\qv-hold-file-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++count);
        HANDLE held = CreateEventA(nullptr, TRUE, FALSE, name.c_str());
        if (!held) return;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        std::string line = "win_hold_file.exe \"" + path + "\" " + name;
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process_)) {
            // The event once the file is held; the process's end when it could not open it.
            const HANDLE either[] = {held, process_.hProcess};
            held_ = WaitForMultipleObjects(2, either, FALSE, kLimitMs) == WAIT_OBJECT_0;
        }
        CloseHandle(held);
    }
    ~Holder() { Release(); }
    bool held() const { return held_; }
    // Ends the program; its end closes the file.
    void Release() {
        if (!process_.hProcess) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, kLimitMs);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
        process_ = {};
    }

private:
    static constexpr DWORD kLimitMs = 60000;
    PROCESS_INFORMATION process_{};
    bool held_ = false;
};

// The test itself holding a file open without sharing, as another program would.
ScopedHandle HoldOpen(const std::string& path) {
    return ScopedHandle(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// The copies the system puts in the place of `path` at the next restart.
std::vector<Path> PendingInto(const std::string& path) {
    std::vector<Path> copies;
    for (const fs::PendingReplacement& pending : fs::PendingReplacements())
        if (pending.to == qvtest::P(path)) copies.push_back(pending.from);
    return copies;
}

struct Faults : qvtest::EngineFixture {
    InstallLog log;
    LoggingPort logged{port, log};

    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = port.Now();
        std::string error;
        ASSERT_TRUE(log.Open(tree.path("run.log"), error)) << error;
    }

    void Install(int index = 1) {
        s.InstallAborted = s.InstallFailed = false;
        s.CurrentProduct = static_cast<int16_t>(index);
        Journaled([&](InstallJournal& journal) {
            SetOutcomeFlags(s, InstallDirectory(s, logged, journal, s.ListedProducts[static_cast<size_t>(index)].ProductDir, Dest()));
        });
    }
    std::string Src(const std::string& spec) const { return cd + "\\P\\" + spec; }
    std::string Dst(const std::string& spec) const { return dest + "\\" + spec; }
    std::string LogText() const { return qvtest::ReadSharedFile(tree.path("run.log")); }
    std::string CopyErrorText(const std::string& spec, const std::string& error) const {
        return "File Copy Error : " + error + "\r" + Src(spec) + " -> " + Dst(spec);
    }
};

TEST_F(Faults, ADestinationThatIsReadOnlyOrHeldOpenIsAskedForAndKeptUntilItCanBeReplaced) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    tree.write("inst\\a.txt", "earlier a");
    tree.write("inst\\b.txt", "earlier b");
    ASSERT_TRUE(SetFileAttributesA(Dst("a.txt").c_str(), FILE_ATTRIBUTE_READONLY));

    // Read-only: the box; Abort keeps the earlier file, and a silent run ends with 5.
    port.answers = {Answer::Abort};
    Install();
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].title, "FileCP");
    EXPECT_EQ(port.messages[0].text, CopyErrorText("a.txt", "70\nPermission denied"));
    EXPECT_EQ(port.messages[0].buttons, Buttons::AbortRetryIgnore);
    EXPECT_EQ(InstallExitCode(s), ExitCode::InstallCancelled);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "earlier a"}, {"b.txt", "earlier b"}}));
    EXPECT_NE(LogText().find("Not installed: " + Dst("a.txt") + " (copy error, aborted; the earlier file is kept)"),
              std::string::npos)
        << LogText();
    EXPECT_NE(LogText().find("-> Abort [system error 5: "), std::string::npos) << LogText();

    // Retry once the attribute is cleared; b, held open by another program, Retry once it
    // lets go: both installed.
    port.messages.clear();
    Holder holder(Dst("b.txt"));
    ASSERT_TRUE(holder.held()) << "the holder does not bite";
    int asked = 0;
    port.onMessage = [&](const Message& box) {
        if (++asked == 1) SetFileAttributesA(Dst("a.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
        if (box.text == CopyErrorText("b.txt", "70\nPermission denied")) holder.Release();
    };
    port.answers = {Answer::Retry, Answer::Retry};
    Install();
    EXPECT_EQ(port.messages.size(), 2u);
    EXPECT_FALSE(s.InstallAborted);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"b.txt", "beta"}}));
}

TEST_F(Faults, UnattendedADestinationHeldOpenIsWrittenBesideItAndReplacesItAtTheNextRestart) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    tree.write("inst\\b.txt", "earlier b");
    qvtest::FakeShortcuts shortcuts;
    s.Unattended = true;
    ScopedHandle held = HoldOpen(Dst("b.txt"));
    ASSERT_TRUE(held.valid());

    RunRecordedInstall(s, logged, shortcuts, {}, {});
    EXPECT_TRUE(port.messages.empty()) << "no one is asked to close the program";
    EXPECT_EQ(InstallExitCode(s), ExitCode::InstalledAtRestart);
    const std::vector<Path> copies = PendingInto(Dst("b.txt"));
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(copies[0].Parent(), qvtest::P(dest));
    EXPECT_NE(LogText().find("Held open: " + Dst("b.txt") + " (Permission denied) [system error 32: "), std::string::npos)
        << LogText();
    EXPECT_NE(LogText().find("Replaced at the next restart: " + Dst("b.txt") + "\r\n"), std::string::npos);
    // Before the restart the record already describes the new file: a verify finds it pending.
    EXPECT_EQ(LogVerify(s, SurveyForVerify(s, logged, {}, shortcuts), logged), VerifyResult::PendingRestart);

    held.Close();
    EXPECT_EQ(tree.read("inst\\a.txt"), "alpha");
    EXPECT_EQ(tree.read("inst\\b.txt"), "earlier b");
    EXPECT_EQ(qvtest::ReadSharedFile(copies[0]), "beta");
    RunError error;
    EXPECT_TRUE(fs::CancelReplaceAtRestart(copies[0], qvtest::P(Dst("b.txt")), error));  // the prefix as it was
}

TEST_F(Faults, WithTheWindowsAHeldDestinationIsAskedForAndIgnoreReplacesItAtTheRestartUntilARollback) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    tree.write("inst\\a.txt", "earlier a");
    tree.write("inst\\b.txt", "earlier b");
    ASSERT_TRUE(SetFileAttributesA(Dst("b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    qvtest::FakeShortcuts shortcuts;
    // a, held open: the box first, so that the user can close the program and Retry; Ignore
    // has its copy replace it at the restart. b, read-only: Abort, and the install is rolled back.
    std::vector<Path> pendingAtAbort;
    port.onMessage = [&](const Message& box) {
        if (box.text == CopyErrorText("b.txt", "70\nPermission denied")) pendingAtAbort = PendingInto(Dst("a.txt"));
    };
    port.answers = {Answer::Ignore, Answer::Abort};
    {
        ScopedHandle held = HoldOpen(Dst("a.txt"));
        ASSERT_TRUE(held.valid());
        RunRecordedInstall(s, logged, shortcuts, {}, {});
    }
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[0].text, CopyErrorText("a.txt", "70\nPermission denied"));
    EXPECT_EQ(pendingAtAbort.size(), 1u);
    EXPECT_EQ(InstallExitCode(s), ExitCode::InstallCancelled);
    EXPECT_TRUE(PendingInto(Dst("a.txt")).empty()) << "the rollback left the replacement to the system";
    ASSERT_TRUE(SetFileAttributesA(Dst("b.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "earlier a"}, {"b.txt", "earlier b"}}));
    EXPECT_NE(LogText().find("Rolled back: the replacement at the next restart of " + Dst("a.txt")), std::string::npos)
        << LogText();
}

TEST_F(Faults, ASourceThatCannotBeReadOrIsShorterThanItsListLeavesTheEarlierFile) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.bin", PatternBytes(100000, 4)}});
    tree.write("inst\\b.bin", "earlier b");

    // a, held open by another program: the box, and Retry once it lets go.
    {
        Holder holder(Src("a.txt"));
        ASSERT_TRUE(holder.held()) << "the holder does not bite";
        qvtest::WriteFile(Src("b.bin"), PatternBytes(70000, 4));  // and b shorter than its list says
        port.answers = {Answer::Retry, Answer::Abort};
        port.onMessage = [&](const Message&) { holder.Release(); };
        Install();
    }
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[0].text, CopyErrorText("a.txt", "70\nPermission denied"));
    EXPECT_EQ(port.messages[1].title, "File Copy Error");  // the checksum of the short copy
    EXPECT_EQ(port.messages[1].text.rfind(Dst("b.bin") + "\nCD-ROM Read Error\n", 0), 0u) << port.messages[1].text;
    EXPECT_EQ(InstallExitCode(s), ExitCode::InstallCancelled);
    EXPECT_EQ(ReadTree(dest), (std::map<std::string, std::string>{{"a.txt", "alpha"}, {"b.bin", "earlier b"}}));
    EXPECT_NE(LogText().find("Not installed: " + Dst("b.bin") + " (checksum "), std::string::npos) << LogText();
}

TEST_F(Faults, CancelAnywhereInAnInstallOverAnEarlierOneLeavesEachFileWholeOldOrWholeNew) {
    std::vector<qvtest::CdFile> files;
    for (int i = 0; i < 8; ++i)
        files.push_back({"f" + std::to_string(i) + ".bin", PatternBytes(static_cast<size_t>(1000 + i * 40000), i)});
    AddProduct(1, "P", files);
    const auto earlier = [&] {
        qvtest::RemoveTree(dest);
        for (const auto& f : files) tree.write("inst\\" + f.spec, "earlier " + f.spec);
    };

    // Every point at which the Cancel button can act, then twenty of them spread over it.
    earlier();
    Install();
    const int points = port.doEventsCalls;
    ASSERT_GT(points, 20);
    for (int k = 1; k <= 20; ++k) {
        const int at = 1 + (points - 1) * (k - 1) / 19;
        SCOPED_TRACE("Cancel at " + std::to_string(at) + " of " + std::to_string(points));
        earlier();
        port.doEventsCalls = 0;
        port.answers = {Answer::Yes};
        port.onDoEvents = [&] {
            if (port.doEventsCalls == at) ConfirmCancel(s, logged);
        };
        Install();
        port.onDoEvents = nullptr;
        EXPECT_TRUE(s.InstallAborted);
        // The files before the one in progress are the CD's, the rest the earlier ones,
        // and nothing else lies in the folder.
        const std::map<std::string, std::string> installed = ReadTree(dest);
        ASSERT_EQ(installed.size(), files.size());
        size_t done = 0;
        while (done < files.size() && installed.at(files[done].spec) == files[done].content) ++done;
        for (size_t i = done; i < files.size(); ++i)
            EXPECT_EQ(installed.at(files[i].spec), "earlier " + files[i].spec) << files[i].spec;
    }
}

TEST_F(Faults, AWorkstationConfigurationReadOnlyOrHeldOpenWhileSavedStaysByteForByte) {
    const std::string path = tree.path("qvtools8.cfg");
    const std::string before = "[Startup]\r\nDBType=REG_SZ=SQLBASE\r\n";
    tree.write("qvtools8.cfg", before);
    const auto save = [&] {
        port.messages.clear();
        EXPECT_TRUE(LoadFile(s, logged, path));
        SetREGParm(s, "DBType", "ORACLE", "[Startup]");
        return SaveFile(s, logged, qvtest::P(path));
    };
    const std::string refused = "File Access Error : 70\rPermission denied\rWriting " + path + "\rChanges not saved.";

    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(save());
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, refused);
    EXPECT_EQ(tree.read("qvtools8.cfg"), before);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL));

    port.messages.clear();
    EXPECT_TRUE(LoadFile(s, logged, path));
    SetREGParm(s, "DBType", "ORACLE", "[Startup]");
    {
        Holder holder(path);
        ASSERT_TRUE(holder.held()) << "the holder does not bite";
        EXPECT_FALSE(SaveFile(s, logged, qvtest::P(path)));
    }
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, refused);
    EXPECT_EQ(tree.read("qvtools8.cfg"), before);
    EXPECT_FALSE(tree.exists("qvtools8.cfg.~new"));
    EXPECT_NE(LogText().find("Changes not saved. -> OK [system error 5: "), std::string::npos) << LogText();
}

TEST_F(Faults, AFileHeldOpenByAnotherProgramCannotBeCheckedAndIsNeverCalledDrifted) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"b.txt", "beta"}});
    qvtest::FakeShortcuts shortcuts;
    RunRecordedInstall(s, logged, shortcuts, {}, {});
    ASSERT_FALSE(s.InstallAborted);
    Holder holder(Dst("a.txt"));
    ASSERT_TRUE(holder.held()) << "the holder does not bite";
    const Survey survey = SurveyForVerify(s, logged, {}, shortcuts);
    EXPECT_EQ(LogVerify(s, survey, logged), VerifyResult::Unchecked);
    EXPECT_TRUE(DriftedItems(survey).empty());
    EXPECT_NE(LogText().find("Unchecked: file " + Dst("a.txt") + " cannot be checked (Permission denied) [system error 32: "),
              std::string::npos)
        << LogText();
}

}  // namespace
}  // namespace qv

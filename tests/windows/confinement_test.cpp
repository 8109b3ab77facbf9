// Confinement under Wine, with the file system's own names: a folder given by its short
// name is the folder of its long one, a device name is never a file of an install, and a
// removal or a rollback never goes through a link planted in the install directory.
#include <windows.h>

#include <gtest/gtest.h>

#include "setup/engine/file_list.h"
#include "setup/engine/install_run.h"
#include "setup/engine/uninstall.h"
#include "setup/session/disk_utils.h"
#include "support/engine_fixture.h"
#include "support/fake_shortcuts.h"
#include "support/temp_tree.h"

namespace qv {
namespace {

using qvtest::P;
using qvtest::PatternBytes;

// Makes `link` a symbolic link to the folder `target`, as a user with write access to the
// install directory could: under Wine a link of the host's file system, which Windows
// programs see as a reparse point.
bool MakeLink(const std::string& link, const std::string& target) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return false;
    const auto host = [&](const std::string& path) {
        std::wstring wide(path.begin(), path.end());
        char* name = unixName(wide.c_str());
        std::string text = name ? name : "";
        HeapFree(GetProcessHeap(), 0, name);
        return text;
    };
    std::string line = "/bin/ln -s \"" + host(target) + "\" \"" + host(link) + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA("Z:\\bin\\ln", line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // Wine does not wait for a host program: the link is looked for until it is there.
    for (int waited = 0; waited < 10000; waited += 10) {
        const DWORD a = GetFileAttributesA(link.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
        Sleep(10);
    }
    return false;
}

struct Confined : qvtest::EngineFixture {
    qvtest::FakeShortcuts shortcuts;

    void SetUp() override {
        EngineFixture::SetUp();
        s.InstallStartTime = port.Now();
        s.TempDir = tree.path("temp");
        tree.mkdir("temp");
    }
};

TEST_F(Confined, AFolderGivenByItsShortNameIsJudgedByItsLongOne) {
    tree.mkdir("A long install folder");
    char buffer[MAX_PATH];
    const std::string longName = tree.path("A long install folder");
    ASSERT_GT(GetShortPathNameA(longName.c_str(), buffer, sizeof buffer), 0u);
    const std::string shortName = buffer;
    ASSERT_NE(shortName, longName);

    EXPECT_EQ(CanonicalDir(shortName), longName);
    EXPECT_EQ(RunLockName(P(CanonicalDir(shortName))), RunLockName(P(longName)));  // one lock, one entry
    qv::Confinement places = ConfinementFor(s, P(longName), shortcuts);
    EXPECT_TRUE(places.Allows(P(shortName + "\\bin\\a.dll")));
    EXPECT_FALSE(places.Allows(P(tree.path("A_LONG~1.bak\\a.dll"))));
}

TEST_F(Confined, ADeviceNameIsNoFileOfAnInstall) {
    AddProduct(1, "P", {{"a.txt", "alpha"}});
    qvtest::WriteFile(cd + "\\P\\QVSETUP.INF", "sub\\CON.txt,x,5,0\r\na.txt,x,5,0\r\n");
    s.CurrentProduct = 1;
    Journaled([&](InstallJournal& journal) {
        EXPECT_EQ(InstallDirectory(s, port, journal, s.ListedProducts[1].ProductDir, Dest()).result, RunResult::Failed);
    });
    ASSERT_FALSE(port.messages.empty());
    EXPECT_NE(port.messages.back().text.find("Invalid File Name : sub\\CON.txt"), std::string::npos);
    EXPECT_FALSE(tree.exists("inst\\sub"));
    EXPECT_FALSE(Path::Parse(dest + "\\nul.txt"));
}

TEST_F(Confined, ARemovalNeverGoesThroughALinkPlantedInTheInstallDirectory) {
    AddProduct(1, "P", {{"a.txt", "alpha"}, {"bin\\b.bin", PatternBytes(7000, 1)}});
    RunRecordedInstall(s, port, shortcuts, {}, {});
    ASSERT_FALSE(s.InstallAborted);
    // A user puts a link where the install's folder was, to a folder of the same files.
    tree.write("elsewhere\\b.bin", PatternBytes(7000, 1));
    qvtest::RemoveTree(dest + "\\bin");
    ASSERT_TRUE(MakeLink(dest + "\\bin", tree.path("elsewhere")));

    const UninstallOutcome outcome = RunUninstall(s, port, shortcuts, Dest());
    EXPECT_EQ(outcome.end, UninstallOutcome::End::Removed);
    EXPECT_EQ(tree.read("elsewhere\\b.bin"), PatternBytes(7000, 1));
    EXPECT_FALSE(tree.exists("inst\\a.txt"));
}

TEST_F(Confined, ARollbackNeverGoesThroughALinkPlantedInTheInstallDirectory) {
    AddProduct(1, "P", {{"bin\\b.bin", PatternBytes(7000, 1)}});
    {
        InstallJournal killed(ConfinementFor(s, Dest(), shortcuts));  // ends as a killed run does
        RunError error;
        ASSERT_TRUE(killed.Open({}, "", error)) << error.description;
        ASSERT_TRUE(killed.MakeFolders(P(dest + "\\bin"), error));
        ASSERT_TRUE(killed.PrepareFile(P(dest + "\\bin\\b.bin"), error));
        killed.Flush();
    }
    tree.write("elsewhere\\b.bin", "not the installer's");
    qvtest::RemoveTree(dest + "\\bin");
    ASSERT_TRUE(MakeLink(dest + "\\bin", tree.path("elsewhere")));

    qv::Confinement places = ConfinementFor(s, Dest(), shortcuts);
    ReadInstallRecord(places, port, /*finish=*/true);
    EXPECT_EQ(tree.read("elsewhere\\b.bin"), "not the installer's");
    EXPECT_NE(std::find_if(port.steps.begin(), port.steps.end(), [](const std::string& step) {
        return step.find("(the path goes through a link)") != std::string::npos;
    }), port.steps.end()) << ::testing::PrintToString(port.steps);
}

}  // namespace
}  // namespace qv

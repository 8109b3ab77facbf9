// Faults of the whole program under Wine: a disk that fills up during the install, DLLs
// planted where a careless program would load them from, and a destination deeper than
// the file calls take. Each checks what the user sees, what the log says, the exit code
// and what is on disk afterwards.
#include <algorithm>
#include <filesystem>
#include <map>

#include "e2e/silent_test.h"
#include "setup/session/session.h"

namespace qve2e {
namespace {

namespace mw = ids::qv_setup;

std::string EnvironmentValue(const char* name) {
    char value[32768];
    const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value, length) : std::string();
}

// A path of the machine's own file system as Wine's drive Z: shows it.
std::string OnDriveZ(std::string unixPath) {
    std::replace(unixPath.begin(), unixPath.end(), '/', '\\');
    return "Z:" + unixPath;
}

// The bytes of every file below a folder, by path relative to it.
std::map<std::string, std::string> FilesBelow(const std::string& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (!entry.is_regular_file()) continue;
        const std::string path = entry.path().string();
        files[path.substr(folder.size() + 1)] = ReadFile(path).value_or("(unreadable)");
    }
    return files;
}

class FaultsTest : public SilentSetupTest {
protected:
    void SetUp() override {
        SilentSetupTest::SetUp();
        UnmapWineDrive('f');
    }
    void TearDown() override {
        SilentSetupTest::TearDown();
        UnmapWineDrive('f');
    }
};

TEST_F(FaultsTest, AFullDiskIsAskedForKeepsTheEarlierFilesAndRetryAfterRoomIsMadeCompletes) {
    // A small file system as drive F:, mounted by the test fixture (fault_fs.sh).
    const std::string unixPath = EnvironmentValue("QV_FAULT_FS");
    ASSERT_FALSE(unixPath.empty()) << "QV_FAULT_FS is not set: run the test through ctest";
    if (const std::optional<std::string> why = ReadFile(OnDriveZ(unixPath) + ".why")) GTEST_SKIP() << *why;
    ASSERT_TRUE(MapWineDrive('f', OnDriveZ(unixPath)));
    qvtest::RemoveTree("F:\\qv");
    qvtest::WriteFile("F:\\filler.bin", std::string(2560 * 1024, 'f'));  // leaves 1.5 MiB

    // 2 MiB of files whose catalogue says far less, so that the free-space check passes.
    TestProduct product = MakeProduct("big", "Big Product", 1);
    for (int i = 0; i < 4; ++i)
        product.files.push_back({"big\\part" + std::to_string(i) + ".dat", FileBytes(512 * 1024, i + 1)});
    product.size = "1000";
    cd.Add(product);
    const std::string earlier = "the earlier part 3";
    qvtest::WriteFile("F:\\qv\\big\\part3.dat", earlier);

    // Silent: Abort, exit code 5, the earlier file as it was and no part of a copy.
    EXPECT_EQ(RunSilent("/DIR=F:\\qv"), 5u);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "Message box \"FileCP\": File Copy Error : 61\\nDisk full\\r")) << ::testing::PrintToString(log);
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.find("-> Abort [system error 112: ") != std::string::npos;
    })) << ::testing::PrintToString(log);
    std::map<std::string, std::string> left = FilesBelow("F:\\qv");
    EXPECT_EQ(left.at("big\\part3.dat"), earlier);
    for (const auto& [path, bytes] : left)
        EXPECT_TRUE(path == "big\\part3.dat" || bytes == FileBytes(512 * 1024, path[8] - '0' + 1))
            << path << " is not whole";

    // With the windows: the box, room made, Retry, and the install completes.
    StartSetup();
    WaitForMain();
    SetInstallTo("F:\\qv");
    ASSERT_TRUE(ClickButton(main, "Install"));
    HWND confirmation = WaitForForm(ids::kConfirmationClass);
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app, kWindowWait);
    ASSERT_TRUE(box.has_value()) << DescribeWindows(app.Id());
    Shot("disk-full");
    EXPECT_EQ(box->title, "FileCP");
    EXPECT_EQ(box->text.rfind("File Copy Error : 61\nDisk full\r", 0), 0u) << box->text;
    EXPECT_EQ(box->buttons, (std::vector<std::string>{"Abort", "Retry", "Ignore"}));
    ASSERT_TRUE(DeleteFileA("F:\\filler.bin"));
    ASSERT_TRUE(AnswerMessageBox(*box, "Retry"));
    ASSERT_TRUE(WaitForWindowGone(box->window));
    ExpectBox(kTitle, "\rThe Marrowvale CD-ROM has been successfully installed.\r", {"OK"}, BoxIcon::Asterisk, "OK");
    left = FilesBelow("F:\\qv");
    // Besides the product, what an install keeps for itself: its record and its uninstaller.
    for (const char* own : {"setup\\qvinstall.rec", "setup\\uninstall\\qvsetup.exe", "setup\\uninstall\\qvole.dll",
                            "setup\\uninstall\\qvcrc.dll"})
        EXPECT_EQ(left.erase(own), 1u) << own;
    ASSERT_EQ(left.size(), product.files.size());
    for (const TestFile& file : product.files) EXPECT_TRUE(left.at(file.path) == file.content) << file.path;
}

TEST_F(FaultsTest, NoDllIsLoadedFromTheCurrentDirectoryOrInPlaceOfASystemLibrary) {
    // qvsetup.exe without qvcrc.dll beside it, with copies of a planted DLL as the version
    // and network libraries beside it and as qvcrc.dll in the current directory.
    const std::string program = scratch_.path("program"), downloads = scratch_.path("downloads");
    const std::string markers = scratch_.path("markers");
    for (const std::string& folder : {program, downloads, markers}) ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string planted = ProgramFolder() + "\\e2e_planted.dll";
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\qvsetup.exe").c_str(), (program + "\\qvsetup.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((ProgramFolder() + "\\qvole.dll").c_str(), (program + "\\qvole.dll").c_str(), FALSE));
    for (const char* name : {"version.dll", "mpr.dll"})
        ASSERT_TRUE(CopyFileA(planted.c_str(), (program + "\\" + name).c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(planted.c_str(), (downloads + "\\qvcrc.dll").c_str(), FALSE));

    // The planted DLL bites: loaded, it leaves its marker.
    SetEnvironmentVariableA("QV_PLANTED_MARKERS", markers.c_str());
    HMODULE probe = LoadLibraryA((downloads + "\\qvcrc.dll").c_str());
    ASSERT_NE(probe, nullptr);
    FreeLibrary(probe);
    ASSERT_TRUE(ReadFile(markers + "\\qvcrc.dll.loaded").has_value()) << "the planted DLL leaves no marker";
    ASSERT_TRUE(DeleteFileA((markers + "\\qvcrc.dll.loaded").c_str()));

    TestProduct product = MakeProduct("first", "First Product", 1);
    product.files = {{"first\\a.dat", FileBytes(40000, 1)}};
    cd.Add(product);
    // With checking on, the checksum library is needed: it is missing beside the program.
    const DWORD code = RunSilent("/CRC /DIR=\"" + Target() + "\"", true,
                                 {program + "\\qvsetup.exe", downloads, {"QV_PLANTED_MARKERS=" + markers}, ""});
    EXPECT_EQ(code, 5u);
    EXPECT_TRUE(FilesBelow(markers).empty()) << "a planted DLL was loaded";
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(HasLineStarting(log, "The checksum library cannot be used: " + program + "\\qvcrc.dll [system error "))
        << ::testing::PrintToString(log);
    EXPECT_TRUE(HasLineStarting(log, "Message box \"FileCP\": File Copy Error : 48\\nError in loading DLL\\r"));
    EXPECT_FALSE(ReadFile(Target() + "\\first\\a.dat").has_value());
}

TEST_F(FaultsTest, ADestinationTooDeepForTheFileCallsEndsTheInstallBeforeItIsWritten) {
    // A file whose path on the CD is as long as the file calls take: below the install-to
    // directory, which is deeper than the CD, it would be longer.
    TestProduct product = MakeProduct("first", "First Product", 1);
    const size_t room = qv::kMaxPathLength - (cd.root() + "\\first\\first\\").size();
    ASSERT_GT(Target().size(), cd.root().size());
    const std::string deep = std::string(room / 2, 'd') + "\\" + std::string(room - room / 2 - 1, 'e');
    product.files = {{"first\\a.dat", "alpha"}, {"first\\" + deep, "too deep"}};
    cd.Add(product);
    EXPECT_EQ(RunSilent("/NOROLLBACK /DIR=\"" + Target() + "\""), 4u);
    const std::vector<std::string> log = Log();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
        return line.rfind("Message box \"InstallDirectory\": ", 0) == 0 &&
               line.find("\\nPath Too Long : ") != std::string::npos;
    })) << ::testing::PrintToString(log);
    EXPECT_EQ(ReadFile(Target() + "\\first\\a.dat"), std::optional<std::string>("alpha"));
    EXPECT_FALSE(std::filesystem::exists(Target() + "\\first\\" + std::string(room / 2, 'd'))) << "its folder was made";
    EXPECT_EQ(log.back(), "Exit code 4: the install failed");
}

}  // namespace
}  // namespace qve2e

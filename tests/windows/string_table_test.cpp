// The string table of the built qvsetup.exe, read with LoadStringA, text for text
// against the texts the installer must show; and the free-space figure of a real drive.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "setup/session/disk_utils.h"

namespace {

const std::vector<std::pair<int, const char*>> kExpected = {
    {8, "&OK"}, {9, "&Cancel"}, {10, "Load Error"}, {11, "Missing required command line parameter."},
    {23, "Can't Install to Root Directory"}, {24, "Please Select a Subdirectory for Installation"},
    {35, "Scanning CD-ROM"}, {36, "Directories Found"}, {37, "Modules Found"}, {38, "Total Bytes"},
    {48, "Marrowvale CD-ROM Installation"}, {50, "Install to Directory:"}, {51, "Free Space"},
    {52, "Product Size"}, {53, "Space Remaining"}, {54, "Configure System"}, {55, "Modify Autoexec.bat"},
    {56, "&Marrowtools Only"}, {57, "Install"}, {58, "Software to File Server"}, {59, "&Install"},
    {60, "&Exit"}, {61, "Please Confirm that you wish to do the following:"}, {62, "&Proceed"},
    {63, "Confirm Install Selections"}, {64, "&File"}, {65, "I&nstall"}, {66, "Configuration &Options"},
    {67, "&Help"}, {68, "Exit"}, {69, "Software to File Server"}, {73, "Contents"},
    {74, "About CD-ROM Installer"}, {80, "Error"}, {81, "You must select at least one product to install"},
    {82, "Directory Access Error"}, {83, "You do not have sufficient access to"}, {84, "Install Error"},
    {88, "Install Software under"}, {89, "Error - TEMP Environment Varible not set."},
    {90, "Please correct this and run SETUP again."}, {91, "Can't Install to Root Directory"},
    {92, "Please Select a Subdirectory for Installation"}, {93, "Error Selecting %temp% Directory"},
    {112, "Drive:"}, {113, "Directory:"}, {114, "Select Directory"}, {128, "Installation Status"},
    {129, "Installing"}, {130, "This Module"}, {131, "All Modules"}, {132, "Time Spent"},
    {133, "Estimated Time Remaining"}, {134, "Cancel CD-ROM Installation"},
    {135, "Do you wish to Cancel the Installation Process?"}, {136, "Select YES to Cancel, or NO to Continue."},
    {144, "Error - Connectivity Programs Directory does not exist."}, {145, "Marrowvale CD-ROM Installation"},
    {146, "Marrowvale SingleUser Installation"}, {147, "Windows Program Manager Group"},
    {148, "Create Marrowvale Group and Icons"}, {149, "Windows Group Title"}, {150, "(max. 30 characters)"},
    {151, "Connectivity Programs Directory"}, {152, "Dri&ves"}, {153, "Marrowvale 8.01 Installation"},
    {160, "Please Wait"}, {161, "Creating Marrowvale Group and Icons..."},
    {162, "The Marrowvale CD-ROM has been successfully installed."},
    {164, "WARNING:  The Marrowvale CD-ROM has NOT completed installation."},
    {165, "You may continue the installation process at a later date by restarting SETUP.EXE."},
    {176, "File Copy Error"}, {177, "File Not Found"}, {178, "CD-ROM Read Error"}, {179, "File Failed CRC Check"},
    {180, "Select ABORT to Quit Installation Process."}, {181, "Select RETRY to attempt to copy this file again."},
    {182, "Select IGNORE to skip this file and continue."}, {183, "Directory Error"}, {184, "Error"},
    {185, "File Error"}, {186, "Reading"}, {187, "Opening Temp File"}, {188, "File Access Error"},
    {208, "Crystal Reports Setup"}, {210, "Database Setup"}, {211, "Data Ferry"}, {212, "Server Transfer"},
    {225, "Please Wait..."}, {227, "Release8"},
};

// The texts of the verify window, its menu entry and the install-from label, at ids the
// table had left free.
const std::vector<std::pair<int, const char*>> kVerifyTexts = {
    {300, "Verify Installation..."}, {301, "Verify Installation"}, {302, "Checking:"}, {303, "File"},
    {304, "State"}, {305, "Expected Size"}, {306, "Found Size"}, {307, "missing"}, {308, "size differs"},
    {309, "checksum differs"}, {310, "changed"},
    {311, "The installation is intact: every file, entry and shortcut is as the install left it."},
    {312, "These items are not as the install left them:"}, {313, "&Repair"}, {314, "&Close"},
    {315, "The installation could not be checked."}, {316, "Installing From:"},
};

class Module {
public:
    explicit Module(const char* path) : handle_(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~Module() {
        if (handle_) FreeLibrary(handle_);
    }
    HMODULE get() const { return handle_; }

private:
    HMODULE handle_;
};

std::string Load(HMODULE module, int id) {
    char buffer[512];
    const int n = LoadStringA(module, static_cast<UINT>(id), buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

TEST(StringTable, EveryBaseIdHoldsItsTextByteForByte) {
    Module setup("qvsetup.exe");
    ASSERT_NE(setup.get(), nullptr) << "qvsetup.exe must lie beside the test";
    for (const auto& [id, text] : kExpected) EXPECT_EQ(Load(setup.get(), id), text) << "id " << id;
    for (const auto& [id, text] : kVerifyTexts) EXPECT_EQ(Load(setup.get(), id), text) << "id " << id;
}

TEST(StringTable, HoldsNothingElseAndGermanForEveryText) {
    Module setup("qvsetup.exe");
    ASSERT_NE(setup.get(), nullptr);
    size_t english = 0, german = 0;
    for (int id = 0; id < 1000; ++id) english += !Load(setup.get(), id).empty();
    for (int id = 1000; id < 4096; ++id) german += !Load(setup.get(), id).empty();
    EXPECT_EQ(english, kExpected.size() + kVerifyTexts.size());
    EXPECT_EQ(german, english);
    for (const auto* table : {&kExpected, &kVerifyTexts})
        for (const auto& entry : *table) EXPECT_FALSE(Load(setup.get(), 1000 + entry.first).empty()) << entry.first;
    EXPECT_EQ(Load(setup.get(), 1059), "&Installieren");
}

TEST(StringTable, ReleasePartsComeFromTheTable) {
    const qv::ReleaseParts parts = qv::GetReleaseParts();
    EXPECT_EQ(parts.major + "." + parts.minor + "." + parts.sub, "8.00.00");
}

TEST(FreeSpace, AgreesWithTheSystemPastFourGigabytes) {
    ULARGE_INTEGER available, total, totalFree;
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &totalFree));
    const double ours = qv::GetFreeSpace("C:\\");
    // Both read the same drive a moment apart; allow for other writers in between.
    const double system = static_cast<double>(totalFree.QuadPart);
    EXPECT_NEAR(ours, system, 64.0 * 1024 * 1024);
    if (system > 4294967296.0) {
        EXPECT_GT(ours, 4294967296.0);
    }
    EXPECT_EQ(qv::GetFreeSpace("Q:\\no-such-root\\"), -1);
}

}  // namespace

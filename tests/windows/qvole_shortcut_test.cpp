// The real qvole.dll under Wine: bound by name like the installer binds it, making real
// .LNK files in the Start menu that are read back through the shell's link object. The
// Windows 95/98 branch runs in a child process that Wine reports as Windows 98.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "support/link_reader_win.h"
#include "support/qvole_exports_win.h"
#include "support/temp_tree.h"

namespace {

using qvtest::LinkFields;
using qvtest::ReadLink;
using qvtest::Export;
using qvtest::MakeShortCutFn;
using qvtest::OleInitFn;
using qvtest::OleUninitFn;

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, 0, path))) return std::string();
    return path;
}

bool IsFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsDir(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    const HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return names;
}

std::string UniqueName(const char* what) {
    static std::atomic<int> counter{0};
    return std::string("qvole ") + what + " " + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(GetTickCount() % 100000) + "-" + std::to_string(counter++);
}

const char* const kBin = "C:\\qv\\bin\\client\\winx86";

class QvoleDll : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library_ = LoadLibraryA("qvole.dll");
        if (!library_) return;
        oleInit_ = Export<OleInitFn>(library_, "OleInit");
        oleUninit_ = Export<OleUninitFn>(library_, "OleUninit");
        makeShortCut_ = Export<MakeShortCutFn>(library_, "MakeShortCut");
    }

    void SetUp() override {
        ASSERT_NE(library_, nullptr) << "qvole.dll not found";
        ASSERT_TRUE(oleInit_ && oleUninit_ && makeShortCut_) << "an export is missing";
        userPrograms_ = ShellFolder(CSIDL_PROGRAMS);
        commonPrograms_ = ShellFolder(CSIDL_COMMON_PROGRAMS);
        ASSERT_FALSE(userPrograms_.empty());
        ASSERT_FALSE(commonPrograms_.empty());
        group_ = UniqueName("group");
    }

    void TearDown() override {
        for (const std::string& path : cleanup_) qvtest::RemoveTree(path);
        qvtest::RemoveTree(userPrograms_ + "\\" + group_);
        qvtest::RemoveTree(commonPrograms_ + "\\" + group_);
    }

    static bool OnNtFamily() {
        OSVERSIONINFOA version = {};
        version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        return GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
#pragma GCC diagnostic pop
    }

    // OleInit, one MakeShortCut, OleUninit, as the installer calls them.
    int32_t Make(int32_t common, const std::string& group, const std::string& name,
                 const std::string& target, const std::string& workdir, const char* args) {
        EXPECT_EQ(oleInit_(), 0);
        const int32_t made =
            makeShortCut_(common, group.c_str(), name.c_str(), target.c_str(), workdir.c_str(), args);
        EXPECT_NE(oleUninit_(), 0);
        return made;
    }

    static HMODULE library_;
    static OleInitFn oleInit_;
    static OleUninitFn oleUninit_;
    static MakeShortCutFn makeShortCut_;

    std::string userPrograms_, commonPrograms_, group_;
    std::vector<std::string> cleanup_;
};

HMODULE QvoleDll::library_ = nullptr;
OleInitFn QvoleDll::oleInit_ = nullptr;
OleUninitFn QvoleDll::oleUninit_ = nullptr;
MakeShortCutFn QvoleDll::makeShortCut_ = nullptr;

TEST_F(QvoleDll, ExportsAndVersionResource) {
    // The export directory: the module's name and exactly three undecorated names.
    const auto* base = reinterpret_cast<const BYTE*>(library_);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(dir.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + exports->Name), "QVOLE.dll");
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::set<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        exported.insert(reinterpret_cast<const char*>(base + names[i]));
    EXPECT_EQ(exported, (std::set<std::string>{"MakeShortCut", "OleInit", "OleUninit"}));

    char file[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameA(library_, file, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file, &ignored);
    ASSERT_NE(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoA(file, 0, size, info.data()));
    const std::pair<const char*, const char*> strings[] = {
        {"FileVersion", "1, 0, 0, 1"},        {"ProductVersion", "1, 0, 0, 1"},
        {"FileDescription", "QVOLE DLL"},     {"InternalName", "QVOLE"},
        {"OriginalFilename", "QVOLE.DLL"},    {"ProductName", "QVOLE Dynamic Link Library"},
    };
    for (const auto& [key, expected] : strings) {
        void* value = nullptr;
        UINT length = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + key;
        ASSERT_TRUE(VerQueryValueA(info.data(), query.c_str(), &value, &length)) << key;
        EXPECT_STREQ(static_cast<const char*>(value), expected) << key;
    }
}

TEST_F(QvoleDll, OleInitTwiceIsUndoneByTwoOleUninits) {
    EXPECT_EQ(oleInit_(), 0);
    EXPECT_EQ(oleInit_(), 1);  // S_FALSE: already initialised on this thread
    EXPECT_NE(oleUninit_(), 0);
    // Still bound after the first OleUninit: a shortcut can be made.
    EXPECT_EQ(makeShortCut_(1, group_.c_str(), "Between", "C:\\x\\y.exe", "", nullptr), 1);
    EXPECT_NE(oleUninit_(), 0);
    // Nothing left to undo, and nothing can be made.
    EXPECT_EQ(oleUninit_(), 0);
    EXPECT_EQ(makeShortCut_(1, group_.c_str(), "After", "C:\\x\\y.exe", "", nullptr), 0);
    EXPECT_FALSE(IsFile(commonPrograms_ + "\\" + group_ + "\\After.LNK"));
    // The thread's OLE initialisation was undone as often as it was made.
    const HRESULT again = CoInitialize(nullptr);
    EXPECT_EQ(again, S_OK);
    if (SUCCEEDED(again)) CoUninitialize();
}

TEST_F(QvoleDll, NtFamilyPutsTheGroupUnderAllUsersPrograms) {
    ASSERT_TRUE(OnNtFamily()) << "the prefix is expected to report the NT family";
    const std::string target = std::string(kBin) + "\\qvcfg.exe";
    ASSERT_EQ(Make(1, group_, "Setup Workstation", target, kBin, ""), 1);
    ASSERT_EQ(Make(1, group_, "Uninstall Workstation", target, "", "-clean"), 1);
    ASSERT_EQ(Make(1, group_, "Server Transfer", "qvtrans", "C:\\dbclient", nullptr), 1);

    const std::string folder = commonPrograms_ + "\\" + group_;
    std::optional<LinkFields> link = ReadLink(folder + "\\Setup Workstation.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, target);
    EXPECT_EQ(link->args, "");
    EXPECT_EQ(link->workdir, kBin);
    EXPECT_EQ(link->description, "Setup Workstation");

    link = ReadLink(folder + "\\Uninstall Workstation.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->args, "-clean");
    EXPECT_EQ(link->workdir, kBin);  // the target's folder
    EXPECT_EQ(link->description, "Uninstall Workstation");

    link = ReadLink(folder + "\\Server Transfer.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->workdir, "C:\\dbclient");
    EXPECT_EQ(FilesIn(folder).size(), 3u);
    EXPECT_FALSE(IsDir(userPrograms_ + "\\" + group_));

    // The same name again replaces the link in the existing group.
    ASSERT_EQ(Make(1, group_, "Setup Workstation", "C:\\other\\qvcfg.exe", "", nullptr), 1);
    link = ReadLink(folder + "\\Setup Workstation.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, "C:\\other\\qvcfg.exe");
    EXPECT_EQ(FilesIn(folder).size(), 3u);

    // Any other value of common: the current user's Programs folder.
    ASSERT_EQ(Make(0, group_, "Data Ferry", std::string(kBin) + "\\qvdft.exe", "", nullptr), 1);
    EXPECT_TRUE(IsFile(userPrograms_ + "\\" + group_ + "\\Data Ferry.LNK"));
}

TEST_F(QvoleDll, EmptyGroupPutsTheShortcutIntoPrograms) {
    const std::string name = UniqueName("top");
    const std::string file = commonPrograms_ + "\\" + name + ".LNK";
    cleanup_.push_back(file);
    ASSERT_EQ(Make(1, "", name, "C:\\qv\\setup\\dbsetup\\setup.exe", "", nullptr), 1);
    const std::optional<LinkFields> link = ReadLink(file);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->workdir, "C:\\qv\\setup\\dbsetup");
    EXPECT_EQ(link->description, name);
}

TEST_F(QvoleDll, GroupFolderThatCannotBeMadeFails) {
    // A file in the group's place.
    const std::string blocker = commonPrograms_ + "\\" + group_;
    qvtest::WriteFile(blocker, "not a folder");
    EXPECT_EQ(Make(1, group_, "Setup Workstation", "C:\\x\\y.exe", "", nullptr), 0);
    EXPECT_TRUE(IsFile(blocker));

    // Only one level of group is created.
    const std::string nested = UniqueName("outer") + "\\Inner";
    cleanup_.push_back(commonPrograms_ + "\\" + nested.substr(0, nested.find('\\')));
    EXPECT_EQ(Make(1, nested, "Setup Workstation", "C:\\x\\y.exe", "", nullptr), 0);
    EXPECT_FALSE(IsDir(commonPrograms_ + "\\" + nested));
}

TEST_F(QvoleDll, LongNameIsCutInTheFileNameButWholeInTheDescription) {
    std::string name;
    while (name.size() < 300) name += "Long shortcut name ";
    ASSERT_EQ(Make(1, group_, name, "C:\\x\\y.exe", "", nullptr), 1);

    const std::string folder = commonPrograms_ + "\\" + group_;
    const std::vector<std::string> files = FilesIn(folder);
    ASSERT_EQ(files.size(), 1u);
    const std::string stem = folder + "\\" + files.front().substr(0, files.front().size() - 4);
    EXPECT_EQ(stem.size(), 255u);
    EXPECT_EQ(files.front(), name.substr(0, 255 - folder.size() - 1) + ".LNK");
    const std::optional<LinkFields> link = ReadLink(folder + "\\" + files.front());
    ASSERT_TRUE(link);
    EXPECT_EQ(link->description, name);
}

// Writes HKCU\Software\Wine\AppDefaults\<exe>\Version, Wine's version setting for one
// program, and removes it again.
class WineVersionFor {
public:
    WineVersionFor(const std::string& exe, const char* version)
        : key_("Software\\Wine\\AppDefaults\\" + exe) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) != ERROR_SUCCESS)
            return;
        ok_ = RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                             static_cast<DWORD>(std::strlen(version) + 1)) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~WineVersionFor() { RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string key_;
    bool ok_ = false;
};

// Runs a program with these arguments in this folder, waits for it and returns its
// exit code (-1 when it could not be started).
int RunProgram(const std::string& exe, const std::vector<std::string>& args, const std::string& cwd) {
    std::string command = "\"" + exe + "\"";
    for (const std::string& arg : args) command += " \"" + arg + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.c_str(), &startup, &process))
        return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

TEST_F(QvoleDll, Win98PutsTheGroupUnderTheUsersPrograms) {
    // The test driver and the library, copied under a name of their own so that Wine's
    // version setting for that name touches no other program.
    qvtest::TempTree tree;
    const std::string exe = "qvole_w98_" + std::to_string(GetCurrentProcessId()) + ".exe";
    const std::string driver = tree.path(exe);
    char here[MAX_PATH] = {};
    ASSERT_NE(GetCurrentDirectoryA(MAX_PATH, here), 0u);
    ASSERT_TRUE(CopyFileA((std::string(here) + "\\win_qvole_mklink.exe").c_str(), driver.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA((std::string(here) + "\\qvole.dll").c_str(), tree.path("qvole.dll").c_str(), FALSE));
    const std::string target = std::string(kBin) + "\\qvcfg.exe";

    {
        WineVersionFor win98(exe, "win98");
        ASSERT_TRUE(win98.ok());
        EXPECT_EQ(RunProgram(driver, {"1", group_, "Windows 98", target, ""}, tree.root()), 0);
    }
    EXPECT_EQ(RunProgram(driver, {"1", group_, "Windows NT", target, ""}, tree.root()), 0);

    EXPECT_TRUE(IsFile(userPrograms_ + "\\" + group_ + "\\Windows 98.LNK"));
    EXPECT_FALSE(IsFile(commonPrograms_ + "\\" + group_ + "\\Windows 98.LNK"));
    EXPECT_TRUE(IsFile(commonPrograms_ + "\\" + group_ + "\\Windows NT.LNK"));
    const std::optional<LinkFields> link = ReadLink(userPrograms_ + "\\" + group_ + "\\Windows 98.LNK");
    ASSERT_TRUE(link);
    EXPECT_EQ(link->target, target);
    EXPECT_EQ(link->workdir, kBin);
}

}  // namespace

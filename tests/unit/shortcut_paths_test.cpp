#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "qvole/shortcut_paths.h"

namespace qvole {
namespace {

TEST(ToAllUsersPath, ReplacesTheThirdComponentFromTheEnd) {
    std::string path = "C:\\WINNT\\Profiles\\user1\\Start Menu\\Programs";
    EXPECT_TRUE(ToAllUsersPath(path));
    EXPECT_EQ(path, "C:\\WINNT\\Profiles\\All users\\Start Menu\\Programs");

    // On the newer profile layout the same rule lands below a folder that does not
    // exist, which is why the shell's own common folder is asked first.
    path = "C:\\users\\ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    EXPECT_TRUE(ToAllUsersPath(path));
    EXPECT_EQ(path, "C:\\users\\ann\\AppData\\Roaming\\Microsoft\\All users\\Start Menu\\Programs");

    path = "C:\\u\\S\\P";
    EXPECT_TRUE(ToAllUsersPath(path));
    EXPECT_EQ(path, "C:\\All users\\S\\P");
}

TEST(ToAllUsersPath, LeavesPathsWithTooFewComponentsAlone) {
    for (const char* original : {"", "Programs", "C:\\Programs", "Start Menu\\Programs",
                                 "C:\\Start Menu\\Programs", "\\Start Menu\\Programs"}) {
        std::string path = original;
        EXPECT_FALSE(ToAllUsersPath(path)) << original;
        EXPECT_EQ(path, original);
    }
}

TEST(ShortcutPaths, GroupFolderIsCutTo258Characters) {
    const std::string programs = "C:\\Programs\\";
    std::string folder;
    ASSERT_TRUE(GroupFolderPath(programs, "", folder));
    EXPECT_EQ(folder, programs);
    ASSERT_TRUE(GroupFolderPath(programs, "Marrowtools", folder));
    EXPECT_EQ(folder, "C:\\Programs\\Marrowtools");

    const std::string group(300, 'g');
    ASSERT_TRUE(GroupFolderPath(programs, group, folder));
    EXPECT_EQ(folder.size(), kMaxGroupFolder);
    EXPECT_EQ(folder, programs + group.substr(0, kMaxGroupFolder - programs.size()));

    // A Programs folder that leaves no room for the group is refused rather than
    // putting the shortcuts into Programs itself.
    const std::string full = std::string(257, 'p') + "\\";
    EXPECT_FALSE(GroupFolderPath(full, "G", folder));
    EXPECT_TRUE(GroupFolderPath(full, "", folder));
}

TEST(ShortcutPaths, LinkNameIsCutTo255CharactersBeforeTheExtension) {
    std::string link;
    ASSERT_TRUE(LinkFilePath("C:\\P\\Group", "Setup Workstation", link));
    EXPECT_EQ(link, "C:\\P\\Group\\Setup Workstation.LNK");
    ASSERT_TRUE(LinkFilePath("C:\\P\\", "Data Ferry", link));
    EXPECT_EQ(link, "C:\\P\\Data Ferry.LNK");

    const std::string name(400, 'n');
    ASSERT_TRUE(LinkFilePath("C:\\P\\Group", name, link));
    EXPECT_EQ(link.size(), kMaxLinkStem + 4);
    EXPECT_EQ(link, "C:\\P\\Group\\" + name.substr(0, kMaxLinkStem - 11) + ".LNK");

    // The longest group folder leaves no room for a name.
    const std::string folder(kMaxGroupFolder, 'f');
    EXPECT_FALSE(LinkFilePath(folder, "Data Ferry", link));
    const std::string nearlyFull(kMaxLinkStem - 2, 'f');
    ASSERT_TRUE(LinkFilePath(nearlyFull, "Data Ferry", link));
    EXPECT_EQ(link, nearlyFull + "\\D.LNK");
}

TEST(ShortcutPaths, WorkingDirectoryDefaultsToTheTargetsFolder) {
    EXPECT_EQ(LinkWorkingDirectory("C:\\qv\\bin\\qvcfg.exe", "D:\\db"), "D:\\db");
    EXPECT_EQ(LinkWorkingDirectory("C:\\qv\\bin\\qvcfg.exe", ""), "C:\\qv\\bin");
    EXPECT_EQ(LinkWorkingDirectory("C:\\qvcfg.exe", ""), "C:");
    EXPECT_EQ(LinkWorkingDirectory("qvtrans", ""), "");
}

// A shell over an imaginary disk: folders and files by path, the shell's two Programs
// folders, and every link saved.
class FakeShell : public ShortcutShell {
public:
    bool win9x = false;
    std::map<ProgramsFolderKind, std::string> shellFolders;
    std::set<std::string> directories;
    std::set<std::string> files;
    std::vector<std::string> created;
    std::vector<LinkSpec> links;
    bool saveFails = false;

    bool IsWin9x() override { return win9x; }
    bool GetFolderPath(ProgramsFolderKind kind, std::string& path) override {
        const auto it = shellFolders.find(kind);
        if (it == shellFolders.end()) return false;
        path = it->second;
        return true;
    }
    bool IsDirectory(const std::string& path) override { return directories.count(Trim(path)) != 0; }
    bool MakeDirectory(const std::string& path) override {
        const std::string p = Trim(path);
        const std::string parent = p.substr(0, p.rfind('\\'));
        if (files.count(p) || directories.count(p) || !directories.count(parent)) return false;
        directories.insert(p);
        created.push_back(path);
        return true;
    }
    bool CreateLink(const LinkSpec& link) override {
        if (saveFails) return false;
        links.push_back(link);
        return true;
    }

private:
    static std::string Trim(std::string path) {
        if (!path.empty() && path.back() == '\\') path.pop_back();
        return path;
    }
};

const std::string kUserPrograms = "C:\\WINNT\\Profiles\\ann\\Start Menu\\Programs";
const std::string kCommonPrograms = "C:\\ProgramData\\Start Menu\\Programs";

class MakeShortCutTest : public ::testing::Test {
protected:
    MakeShortCutTest() {
        shell.shellFolders[ProgramsFolderKind::CurrentUser] = kUserPrograms;
        shell.shellFolders[ProgramsFolderKind::AllUsers] = kCommonPrograms;
        for (const char* dir : {"C:", "C:\\WINNT", "C:\\WINNT\\Profiles", "C:\\WINNT\\Profiles\\ann",
                                "C:\\WINNT\\Profiles\\ann\\Start Menu", "C:\\WINNT\\Profiles\\All users",
                                "C:\\WINNT\\Profiles\\All users\\Start Menu", "C:\\ProgramData",
                                "C:\\ProgramData\\Start Menu"})
            shell.directories.insert(dir);
        shell.directories.insert(kUserPrograms);
        shell.directories.insert(kCommonPrograms);
    }

    static ShortcutRequest Request(int32_t common, const std::string& group, const std::string& name) {
        ShortcutRequest r;
        r.common = common;
        r.group = group;
        r.name = name;
        r.target = "C:\\qv\\bin\\client\\winx86\\qvcfg.exe";
        return r;
    }

    std::string OnlyLinkPath() const {
        EXPECT_EQ(shell.links.size(), 1u);
        return shell.links.empty() ? std::string() : shell.links.front().path;
    }

    FakeShell shell;
};

TEST_F(MakeShortCutTest, CommonOneOnNtUsesTheShellsAllUsersFolder) {
    EXPECT_EQ(MakeShortCut(shell, Request(1, "Marrowtools", "Setup Workstation")), 1);
    EXPECT_EQ(OnlyLinkPath(), kCommonPrograms + "\\Marrowtools\\Setup Workstation.LNK");
    EXPECT_EQ(shell.created, std::vector<std::string>{kCommonPrograms + "\\Marrowtools"});
}

TEST_F(MakeShortCutTest, WithoutAShellAllUsersFolderTheUsersFolderIsRewritten) {
    shell.shellFolders.erase(ProgramsFolderKind::AllUsers);
    EXPECT_EQ(MakeShortCut(shell, Request(1, "Marrowtools", "Data Ferry")), 1);
    // The all-users Programs folder did not exist yet: its parent did, so it is created.
    EXPECT_EQ(OnlyLinkPath(), "C:\\WINNT\\Profiles\\All users\\Start Menu\\Programs\\Marrowtools\\Data Ferry.LNK");
    EXPECT_EQ(shell.created.front(), "C:\\WINNT\\Profiles\\All users\\Start Menu\\Programs\\");

    // Where the rewritten folder's parent is missing, nothing is made.
    FakeShell bare;
    bare.shellFolders[ProgramsFolderKind::CurrentUser] = kUserPrograms;
    bare.directories.insert(kUserPrograms);
    EXPECT_EQ(MakeShortCut(bare, Request(1, "Marrowtools", "Data Ferry")), 0);
    EXPECT_TRUE(bare.links.empty());
}

TEST_F(MakeShortCutTest, CurrentUsersFolderOnWin9xOrWithOtherValues) {
    for (const int32_t common : {0, 2, -1}) {
        shell.links.clear();
        EXPECT_EQ(MakeShortCut(shell, Request(common, "", "Setup Workstation")), 1);
        EXPECT_EQ(OnlyLinkPath(), kUserPrograms + "\\Setup Workstation.LNK") << common;
    }
    shell.links.clear();
    shell.win9x = true;
    EXPECT_EQ(MakeShortCut(shell, Request(1, "G", "Setup Workstation")), 1);
    EXPECT_EQ(OnlyLinkPath(), kUserPrograms + "\\G\\Setup Workstation.LNK");
}

TEST_F(MakeShortCutTest, NoProgramsFolderMakesNothing) {
    shell.shellFolders.clear();
    EXPECT_EQ(MakeShortCut(shell, Request(1, "G", "N")), 0);
    shell.win9x = true;
    EXPECT_EQ(MakeShortCut(shell, Request(1, "G", "N")), 0);
    EXPECT_TRUE(shell.created.empty());
    EXPECT_TRUE(shell.links.empty());
}

// Records what OleInit asked of the OLE library.
class FakeBinder : public OleBinder {
public:
    bool loads = true;
    std::set<OleEntry> missing;
    std::vector<std::string> calls;

    bool Load() override {
        calls.push_back("Load");
        return loads;
    }
    bool Resolve(OleEntry entry) override {
        calls.push_back(OleEntryName(entry));
        return missing.count(entry) == 0;
    }
    void Release() override { calls.push_back("Release"); }
    int32_t Initialize() override {
        calls.push_back("Initialize");
        return 1;
    }
    int32_t ShowError(const char* text) override {
        calls.push_back(std::string("box: ") + text);
        return 1;
    }
};

TEST(InitOle, ReportsEachFailureAndReleasesTheLibrary) {
    FakeBinder noLibrary;
    noLibrary.loads = false;
    EXPECT_EQ(InitOle(noLibrary), 1);
    EXPECT_EQ(noLibrary.calls, (std::vector<std::string>{"Load", "box: Cannot load ole32.dll"}));

    const std::pair<OleEntry, const char*> cases[] = {
        {OleEntry::CoInitialize, "box: Cannot load CoInitialize Proc from ole32.dll"},
        {OleEntry::CoUninitialize, "box: Cannot load CoUnInitialize Proc from ole32.dll"},
        {OleEntry::CoCreateInstance, "box: Cannot load CoCreateInstance Proc from ole32.dll"},
    };
    for (const auto& [entry, box] : cases) {
        FakeBinder binder;
        binder.missing.insert(entry);
        EXPECT_EQ(InitOle(binder), 1);
        ASSERT_GE(binder.calls.size(), 3u);
        EXPECT_EQ(binder.calls[binder.calls.size() - 2], "Release");
        EXPECT_EQ(binder.calls.back(), box);
    }

    FakeBinder ok;
    EXPECT_EQ(InitOle(ok), 1);
    EXPECT_EQ(ok.calls, (std::vector<std::string>{"Load", "CoInitialize", "CoUninitialize",
                                                  "CoCreateInstance", "Initialize"}));
}

}  // namespace
}  // namespace qvole

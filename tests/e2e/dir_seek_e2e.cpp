// The directory chooser DirSeek: the install-to chooser behind "...", with the mouse and
// the keyboard, Cancel and the close box; a drive that cannot be read; and the hidden
// Alt gesture that reads the catalogue again from another install-from directory.
#include <cctype>

#include "e2e/qvsetup_test.h"

namespace qve2e {
namespace {

namespace mw = ids::qv_setup;
namespace ds = ids::dir_seek;

// A path as the directory list gives it: the drive letter in lower case.
std::string ListPath(std::string path) {
    if (!path.empty()) path[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(path[0])));
    return path;
}

class DirSeekTest : public SetupTest {
protected:
    void SetUp() override {
        SetupTest::SetUp();
        AddSmallCatalogue(cd);
        folders_.mkdir("alpha");
        folders_.mkdir("beta\\inner");
    }

    void StartAndWait() {
        StartSetup();
        WaitForMain();
    }

    HWND OpenInstallToChooser() {
        EXPECT_TRUE(ClickButton(main, "..."));
        HWND chooser = WaitForForm(ids::kDirSeekClass);
        EXPECT_NE(chooser, nullptr);
        return chooser;
    }

    qvtest::TempTree folders_;
};

TEST_F(DirSeekTest, InstallToChooserWithMouseAndKeyboard) {
    StartAndWait();
    SetInstallTo(folders_.root());
    HWND chooser = OpenInstallToChooser();
    ASSERT_NE(chooser, nullptr);
    Shot("install-to-chooser");
    EXPECT_EQ(Text(chooser), "Select Directory");
    EXPECT_EQ(Text(Control(chooser, ds::lblDrive)), "Drive:");
    EXPECT_EQ(Text(Control(chooser, ds::lblDirectory)), "Directory:");
    EXPECT_EQ(Text(Control(chooser, ds::btnOK)), "&OK");
    EXPECT_EQ(Text(Control(chooser, ds::btnCancel)), "&Cancel");
    HWND current = Control(chooser, ds::CurrentDir);
    HWND list = Control(chooser, ds::Dir1);
    EXPECT_EQ(Text(current), ListPath(folders_.root()));
    const std::vector<std::string> items = ListBoxItems(list).value_or(std::vector<std::string>{});
    ASSERT_GE(items.size(), 3u);
    EXPECT_EQ(items.front(), "c:\\");
    EXPECT_EQ(std::vector<std::string>(items.end() - 2, items.end()), (std::vector<std::string>{"alpha", "beta"}));
    EXPECT_EQ(Text(Control(chooser, ds::Drive1)).substr(0, 2), "c:");
    EXPECT_FALSE(IsEnabled(main)) << "the chooser is modal";

    // A double-click opens "beta"; its subdirectory is listed.
    ASSERT_TRUE(DoubleClickListBoxItem(list, static_cast<int>(items.size()) - 1));
    EXPECT_TRUE(WaitForText(current, ListPath(folders_.path("beta")))) << Text(current);
    EXPECT_EQ(ListBoxItems(list).value_or(std::vector<std::string>{}).back(), "inner");

    // From the keyboard: down to "inner", Enter opens it, Enter again is OK.
    ASSERT_TRUE(SelectListBoxItem(list, static_cast<int>(ListBoxItems(list)->size()) - 1));
    ASSERT_TRUE(PostKey(list, VK_RETURN));
    EXPECT_TRUE(WaitForText(current, ListPath(folders_.path("beta\\inner")))) << Text(current);
    ASSERT_TRUE(PostKey(list, VK_RETURN));
    EXPECT_TRUE(WaitForWindowGone(chooser));
    EXPECT_TRUE(WaitForText(Main(mw::lblQvver), ListPath(folders_.path("beta\\inner"))));
    Shot("install-to-chosen");
}

TEST_F(DirSeekTest, CancelAndTheCloseBoxKeepTheInstallToDirectory) {
    StartAndWait();
    SetInstallTo(folders_.path("alpha"));
    for (int way = 0; way < 2; ++way) {
        HWND chooser = OpenInstallToChooser();
        ASSERT_NE(chooser, nullptr);
        // What is typed is not taken.
        ASSERT_TRUE(SetText(Control(chooser, ds::CurrentDir), "c:\\somewhere\\else"));
        if (way == 0) {
            ASSERT_TRUE(ClickButton(chooser, "Cancel"));
        } else {
            ASSERT_TRUE(PostMessageA(chooser, WM_CLOSE, 0, 0));
        }
        EXPECT_TRUE(WaitForWindowGone(chooser));
        EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
        EXPECT_EQ(Text(Main(mw::lblQvver)), folders_.path("alpha"));
    }

    // OK takes a typed path as it stands, even one that does not exist.
    HWND chooser = OpenInstallToChooser();
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(SetText(Control(chooser, ds::CurrentDir), "c:\\not\\there"));
    ASSERT_TRUE(ClickButton(chooser, "OK"));
    EXPECT_TRUE(WaitForText(Main(mw::lblQvver), "c:\\not\\there"));
}

TEST_F(DirSeekTest, ADriveThatCannotBeReadReturnsToTheLastGoodDrive) {
    if (!RunningUnderWine()) GTEST_SKIP() << "maps a drive of a Wine prefix";
    // Drive Q: is there when the program starts and its folder goes before it is chosen.
    qvtest::TempTree drive;
    drive.mkdir("q");
    ASSERT_TRUE(MapWineDrive('q', drive.path("q")));
    struct Unmap {
        ~Unmap() { UnmapWineDrive('q'); }
    } unmap;
    StartAndWait();

    SetInstallTo(folders_.root());
    HWND chooser = OpenInstallToChooser();
    ASSERT_NE(chooser, nullptr);
    HWND drives = Control(chooser, ds::Drive1);
    const std::vector<std::string> items = ComboBoxItems(drives).value_or(std::vector<std::string>{});
    int q = -1;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].rfind("q:", 0) == 0) q = static_cast<int>(i);
    ASSERT_GE(q, 0) << "drive q: is not listed";
    qvtest::RemoveTree(drive.path("q"));
    ASSERT_TRUE(SelectComboBoxItem(drives, q));

    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
    ASSERT_TRUE(box.has_value()) << DescribeWindows(app.Id());
    Shot("drive-error");
    EXPECT_EQ(box->title, kTitle);
    EXPECT_EQ(box->text.rfind("Drive: q:  ", 0), 0u) << box->text;
    EXPECT_GT(box->text.size(), std::string("Drive: q:  ").size()) << "no description";
    EXPECT_EQ(box->icon, BoxIcon::Exclamation) << IconName(box->icon);
    ASSERT_TRUE(AnswerMessageBox(*box, "OK"));
    EXPECT_TRUE(WaitForWindowGone(box->window));

    EXPECT_TRUE(WaitUntil([&] { return Text(drives).rfind("c:", 0) == 0; })) << Text(drives);
    EXPECT_EQ(Text(Control(chooser, ds::CurrentDir)).substr(0, 3), "c:\\");
    ASSERT_TRUE(ClickButton(chooser, "Cancel"));
}

TEST_F(DirSeekTest, AltRightClickReadsTheCatalogueOfAnotherDirectory) {
    StartAndWait();
    TestCd other;
    other.Add({"TOOLS", "Other Tools", kFileServer, 5, "", "", "9.00", "", {{"tools.txt", "tools"}}});
    std::string error;
    ASSERT_TRUE(other.Master(error)) << error;

    // Cancel keeps the window and its selection.
    HWND label = Main(mw::lblInstallFromDir);
    ASSERT_TRUE(ClickWithKeys(label, MouseButton::Right, {VK_MENU}));
    HWND chooser = WaitForForm(ids::kDirSeekClass);
    ASSERT_NE(chooser, nullptr);
    Shot("install-from-chooser");
    EXPECT_EQ(Text(chooser), "Select Install From Directory");
    EXPECT_EQ(Text(Control(chooser, ds::CurrentDir)), ListPath(cd.root()));
    ASSERT_TRUE(ClickButton(chooser, "Cancel"));
    EXPECT_TRUE(WaitForWindowGone(chooser));
    EXPECT_EQ(FindWindowOf(app.Id(), {ids::kQVSetupClass}), main);
    EXPECT_EQ(ListBoxItems(Main(mw::ProductBox))->size(), 2u);

    // OK with another directory: the main window is made again from its catalogue.
    ASSERT_TRUE(ClickWithKeys(label, MouseButton::Right, {VK_MENU}));
    chooser = WaitForForm(ids::kDirSeekClass);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(SetText(Control(chooser, ds::CurrentDir), other.root()));
    ASSERT_TRUE(ClickButton(chooser, "OK"));
    HWND reloaded = nullptr;
    EXPECT_TRUE(WaitUntil([&] {
        reloaded = FindWindowOf(app.Id(), {ids::kQVSetupClass});
        return reloaded && reloaded != main && IsEnabled(reloaded);
    })) << DescribeWindows(app.Id());
    ASSERT_NE(reloaded, nullptr);
    main = reloaded;
    EXPECT_TRUE(WaitForText(Main(mw::lblInstallFromDir), other.root()));
    EXPECT_EQ(ListBoxItems(Main(mw::ProductBox)), (std::vector<std::string>{"Other Tools  9.00"}));
    EXPECT_EQ(Text(Main(mw::lblQvver)), "c:\\qv");
    Shot("other-catalogue");
}

}  // namespace
}  // namespace qve2e

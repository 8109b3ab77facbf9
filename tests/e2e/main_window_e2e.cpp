// The main window QVSetup: its captions, the install-type menu entries the catalogue
// makes visible, the product list, the figures with the red state, the Install button's
// refusals, the about box, the hidden Ctrl gesture, and drive N: as the default drive.
#include <cstdio>

#include "e2e/qvsetup_test.h"

namespace qve2e {
namespace {

namespace mw = ids::qv_setup;

constexpr uint32_t kRed = 0xFF0000;
constexpr uint32_t kWhite = 0xFFFFFF;

class MainWindowTest : public SetupTest {
protected:
    // The colour of SpaceRemaining's background, near its left edge (the figure is right-aligned).
    std::optional<uint32_t> RemainingBackground() {
        HWND figure = Main(mw::SpaceRemaining);
        // Let a repaint that is due reach the screen first.
        RedrawWindow(figure, nullptr, nullptr, RDW_UPDATENOW);
        return PixelOf(figure, 4, 4);
    }
    // True once the background shows `colour`: on a busy machine the screen may take a moment
    // to show a repaint.
    bool RemainingBackgroundTurns(uint32_t colour) {
        return WaitUntil([&] { return RemainingBackground() == colour; });
    }

    std::vector<std::string> ProductItems() { return ListBoxItems(Main(mw::ProductBox)).value_or(std::vector<std::string>{}); }
};

TEST_F(MainWindowTest, CaptionsProductsAndFiguresAtStartUp) {
    AddSmallCatalogue(cd);
    StartSetup("/DB=ORA");
    WaitForMain();
    Shot("main-window");

    EXPECT_EQ(Text(main), std::string(kTitle) + " - Oracle");
    const std::pair<int, const char*> captions[] = {
        {mw::lblInstall, "Install to Directory:"}, {mw::lblFreeSpace, "Free Space"},
        {mw::lblProductSize, "Product Size"},      {mw::lblSpaceRemaining, "Space Remaining"},
        {mw::Label3, "Install"},                   {mw::lblInstallSpec, kFileServer},
        {mw::btnInstall, "&Install"},              {mw::btnExit, "&Exit"},
        {mw::Label2, "Installing From:"},          {mw::btnDirBrowse, "..."},
    };
    for (const auto& [control, caption] : captions) EXPECT_EQ(Text(Main(control)), caption) << control;
    EXPECT_EQ(Text(Main(mw::lblInstallFromDir)), cd.root());
    EXPECT_FALSE(IsVisible(Main(mw::chkConfigure)));
    EXPECT_EQ(Text(Main(mw::chkConfigure)), "Configure System");

    // Sorted by install order; "name  release"; the product not chosen by default is not selected.
    HWND list = Main(mw::ProductBox);
    EXPECT_EQ(ProductItems(), (std::vector<std::string>{"Marrowvale Reports  8.02", "Marrowvale Ledger  8.01"}));
    EXPECT_FALSE(ListBoxItemSelected(list, 0));
    EXPECT_TRUE(ListBoxItemSelected(list, 1));
    EXPECT_EQ(Text(Main(mw::lblQvver)), "c:\\qv");
    EXPECT_EQ(Text(Main(mw::ProductSize)), "1,500");
    EXPECT_NE(Text(Main(mw::DiskSize)), "-1");
    EXPECT_TRUE(RemainingBackgroundTurns(kWhite)) << RemainingBackground().value_or(0);
    EXPECT_TRUE(IsEnabled(Main(mw::btnInstall)));

    // Choosing the other product adds its size.
    ASSERT_TRUE(SetListBoxItemSelected(list, 0, true));
    EXPECT_TRUE(WaitForText(Main(mw::ProductSize), "4,000")) << Text(Main(mw::ProductSize));

    // Exit ends the program at once, before anything was installed.
    ASSERT_TRUE(ClickButton(main, "Exit"));
    ExpectExitCode(2);
}

TEST_F(MainWindowTest, ACatalogueErrorIsReportedOverTheScanDialogAndTheScanGoesOn) {
    AddSmallCatalogue(cd);
    cd.Add({"BROKEN", "Broken", kFileServer, 5, "", "", "8.01", "12 MB", {{"x.txt", "x"}}});
    StartSetup();
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
    ASSERT_TRUE(box.has_value()) << DescribeWindows(app.Id());
    HWND scan = FindWindowOf(app.Id(), {ids::kGetProdFormClass});
    ASSERT_NE(scan, nullptr) << "the scan dialog is not shown: " << DescribeWindows(app.Id());
    Shot("scan-error");
    EXPECT_EQ(box->title, "ReadSKU");
    EXPECT_EQ(box->text, "Size : 13\r\nType mismatch\r\n" + cd.tree().path("BROKEN\\QVSETUP.SKU"));
    EXPECT_EQ(Text(scan), "Scanning CD-ROM");
    namespace gp = ids::get_prod_form;
    EXPECT_EQ(Text(Control(scan, gp::Label1)), "Directories Found");
    EXPECT_EQ(Text(Control(scan, gp::Label2)), "Modules Found");
    EXPECT_EQ(Text(Control(scan, gp::Label3)), "Total Bytes");
    EXPECT_EQ(Text(Control(scan, gp::txtDirectoriesFound)), "4");
    ASSERT_TRUE(AnswerMessageBox(*box, "OK"));

    // The other products are listed; the scan dialog is gone.
    WaitForMain();
    EXPECT_EQ(ProductItems().size(), 2u);
    EXPECT_EQ(FindWindowOf(app.Id(), {ids::kGetProdFormClass, "", false}), nullptr);
}

TEST_F(MainWindowTest, InstallTypesShownByTheCatalogueAndTheirDefaultDirectories) {
    AddSmallCatalogue(cd);
    StartSetup();
    WaitForMain();

    // "Software to Database Server" has no product: its entry is hidden and cannot be
    // chosen, nor can "All Products Available". A list click posted after the two
    // commands shows when they have been handled.
    ASSERT_TRUE(ChooseMenuCommand(main, mw::mnuInstall + 2));
    ASSERT_TRUE(ChooseMenuCommand(main, mw::mnuInstall + 0));
    ASSERT_TRUE(SetListBoxItemSelected(Main(mw::ProductBox), 0, true));
    EXPECT_TRUE(WaitForText(Main(mw::ProductSize), "4,000")) << Text(Main(mw::ProductSize));
    EXPECT_EQ(Text(Main(mw::lblInstallSpec)), kFileServer);
    EXPECT_EQ(ProductItems().size(), 2u);
    // "Database to File Server" is offered: its product's DefaultDir moves the install-to text.
    ASSERT_TRUE(ChooseMenuCommand(main, mw::mnuInstall + 4));
    EXPECT_TRUE(WaitForText(Main(mw::lblInstallSpec), kDbFileServer)) << Text(Main(mw::lblInstallSpec));
    EXPECT_EQ(ProductItems(), (std::vector<std::string>{"Ledger Database  8.01"}));
    EXPECT_EQ(Text(Main(mw::lblQvver)), "c:\\qvdb");
    EXPECT_EQ(Text(Main(mw::ProductSize)), "4,000");
    Shot("database-type");

    // The menu's shortcut (Ctrl+F) brings the first type back.
    ASSERT_TRUE(ChooseMenuCommand(main, mw::mnuInstall + 1));
    EXPECT_TRUE(WaitForText(Main(mw::lblInstallSpec), kFileServer));
    EXPECT_EQ(ProductItems().size(), 2u);
}

TEST_F(MainWindowTest, SizesPastTwoGigabytesAndAnUnreadableDriveTurnTheFigureRed) {
    cd.Add({"BIG1", "Big One", kFileServer, 1, "", "", "8.01", "2,000,000,000", {{"a.txt", "a"}}});
    cd.Add({"BIG2", "Big Two", kFileServer, 2, "", "", "8.01", "2,000,000,000", {{"b.txt", "b"}}});
    StartSetup();
    WaitForMain();
    EXPECT_EQ(Text(Main(mw::ProductSize)), "4,000,000,000");

    // A drive that does not exist: free space -1, the remainder red, Install disabled.
    SetInstallTo("q:\\qv");
    EXPECT_TRUE(WaitForText(Main(mw::DiskSize), "-1")) << Text(Main(mw::DiskSize));
    EXPECT_EQ(Text(Main(mw::SpaceRemaining)), "-4,000,000,001");
    EXPECT_FALSE(IsEnabled(Main(mw::btnInstall)));
    EXPECT_TRUE(RemainingBackgroundTurns(kRed)) << RemainingBackground().value_or(0);
    Shot("space-exhausted");

    SetInstallTo("c:\\qv");
    EXPECT_TRUE(WaitUntil([&] { return Text(Main(mw::DiskSize)) != "-1"; }));
    EXPECT_TRUE(RemainingBackgroundTurns(kWhite)) << RemainingBackground().value_or(0);
}

TEST_F(MainWindowTest, InstallButtonRefusals) {
    AddSmallCatalogue(cd);
    qvtest::TempTree target;
    target.write("taken", "a file where a directory would go");
    StartSetup();
    WaitForMain();

    // Nothing chosen: Install is disabled; its command still refuses with the message.
    HWND list = Main(mw::ProductBox);
    ASSERT_TRUE(SetListBoxItemSelected(list, 1, false));
    EXPECT_TRUE(WaitForText(Main(mw::ProductSize), "0"));
    EXPECT_FALSE(IsEnabled(Main(mw::btnInstall)));
    ASSERT_TRUE(ChooseMenuCommand(main, mw::btnInstall));
    ExpectBox(kTitle, "You must select at least one product to install", {"OK"}, BoxIcon::Exclamation, "OK",
              "no-product");
    ASSERT_TRUE(SetListBoxItemSelected(list, 1, true));
    EXPECT_TRUE(WaitForText(Main(mw::ProductSize), "1,500"));

    // A drive root.
    SetInstallTo("c:\\");
    ASSERT_TRUE(ClickButton(main, "Install"));
    ExpectBox(kTitle, "Can't Install to Root Directory\nPlease Select a Subdirectory for Installation", {"OK"},
              BoxIcon::Exclamation, "OK", "drive-root");
    EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == main; }));

    // A directory that cannot be made: a file stands in its way.
    const std::string blocked = target.path("taken\\qv");
    SetInstallTo(blocked);
    ASSERT_TRUE(ClickButton(main, "Install"));
    ExpectBox("Directory Access Error", "You do not have sufficient access to " + blocked, {"OK"},
              BoxIcon::Exclamation, "OK", "no-access");
    EXPECT_EQ(FindWindowOf(app.Id(), {ids::kConfirmationClass}), nullptr);
}

TEST_F(MainWindowTest, AboutBoxShowsTitleReleaseBuildAndCopyright) {
    AddSmallCatalogue(cd);
    StartSetup();
    WaitForMain();
    ASSERT_TRUE(ChooseMenuCommand(main, mw::mnuHelpAbout));
    HWND about = WaitForForm(ids::kFrmAboutClass);
    ASSERT_NE(about, nullptr);
    Shot("about-box");
    EXPECT_EQ(Text(about), std::string("About ") + kTitle);
    const std::string text = Text(Control(about, ids::frm_about::lblAbout));
    EXPECT_EQ(text.rfind("Marrowvale CD-ROM Installation 8.00  Build 00\r\r", 0), 0u) << text;
    EXPECT_NE(text.find("Copyright"), std::string::npos) << text;
    EXPECT_FALSE(IsEnabled(main)) << "the about box is modal";
    ASSERT_TRUE(ClickButton(about, "OK"));
    EXPECT_TRUE(WaitForWindowGone(about));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
}

TEST_F(MainWindowTest, CtrlRightClickOnTheInstallFromLabelTurnsChecksumsOff) {
    AddSmallCatalogue(cd);
    StartSetup("/CRC");
    WaitForMain();
    HWND label = Main(mw::lblInstallFromDir);
    // Other combinations do nothing.
    ASSERT_TRUE(ClickWithKeys(label, MouseButton::Right, {VK_CONTROL, VK_SHIFT}));
    ASSERT_TRUE(ClickWithKeys(label, MouseButton::Left, {VK_CONTROL}));
    EXPECT_FALSE(WaitForMessageBox(app, Millis(1000)).has_value());
    GestureUntilBox(label, MouseButton::Right, {VK_CONTROL});
    ExpectBox(kTitle, "Disabled File CRC checking", {"OK"}, BoxIcon::None, "OK", "crc-off");
}

// A visible top-level window of a program other than these two.
struct OtherWindowSearch {
    DWORD own, test;
    HWND found = nullptr;
    DWORD process = 0;
};

BOOL CALLBACK FindOtherProgramWindow(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<OtherWindowSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->own || pid == search->test || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    search->process = pid;
    return FALSE;
}

// The window of another program that shows up (the help viewer); nullptr at the limit.
HWND WaitForOtherProgramWindow(DWORD ownProcess, DWORD& process) {
    OtherWindowSearch search{ownProcess, GetCurrentProcessId()};
    WaitUntil([&] {
        EnumWindows(&FindOtherProgramWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
    });
    process = search.process;
    return search.found;
}

TEST_F(MainWindowTest, F1OpensTheHelpFileOfTheCd) {
    AddSmallCatalogue(cd);
    StartSetup();
    WaitForMain();
    ASSERT_TRUE(PostKey(Main(mw::ProductBox), VK_F1));
    DWORD viewer = 0;
    HWND window = WaitForOtherProgramWindow(app.Id(), viewer);
    ASSERT_NE(window, nullptr) << "no help viewer";
    Shot("help");
    // The CD has no help file: the viewer says so, naming the file the installer gave it.
    if (const std::optional<MessageBoxInfo> box = ReadMessageBox(window)) {
        EXPECT_NE(box->text.find("qvinseng.hlp"), std::string::npos) << box->text;
    }
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, viewer)) {
        TerminateProcess(process, 0);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

// A drive N: of the prefix makes "n:\qv" the default install-to directory.
class DriveNTest : public MainWindowTest {
protected:
    void TearDown() override {
        if (mapped_) {
            EXPECT_TRUE(UnmapWineDrive('n'));
        }
        MainWindowTest::TearDown();
    }
    qvtest::TempTree drive_;
    bool mapped_ = false;
};

TEST_F(DriveNTest, DriveNIsTheDefault) {
    if (!RunningUnderWine()) GTEST_SKIP() << "maps a drive of a Wine prefix";
    ASSERT_TRUE(MapWineDrive('n', drive_.root()));
    mapped_ = true;
    AddSmallCatalogue(cd);
    StartSetup();
    WaitForMain();
    EXPECT_EQ(Text(Main(mw::lblQvver)), "n:\\qv");
    EXPECT_NE(Text(Main(mw::DiskSize)), "-1");
    Shot("drive-n");
}

}  // namespace
}  // namespace qve2e

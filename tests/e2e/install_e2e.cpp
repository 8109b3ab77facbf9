// The road of an install through the windows: the confirmation's Cancel and Proceed, the
// progress window to the success message with every file on disk, Cancel in the
// progress window answered No and then Yes, and a checksum mismatch answered Retry and
// then Ignore when /CRC turns checking on.
#include <chrono>

#include "e2e/qvsetup_test.h"

namespace qve2e {
namespace {

namespace mw = ids::qv_setup;
namespace st = ids::install_status;

constexpr const char* kSuccess = "\rThe Marrowvale CD-ROM has been successfully installed.\r";
constexpr const char* kNotCompleted =
    "\nWARNING:  The Marrowvale CD-ROM has NOT completed installation.\n"
    "You may continue the installation process at a later date by restarting SETUP.EXE.\n";

class InstallTest : public SetupTest {
protected:
    // The install-to directory of the test, below a scratch folder.
    std::string Target() const { return target_.path("qv"); }

    void ChooseTargetAndInstall() {
        SetInstallTo(Target());
        ASSERT_TRUE(ClickButton(main, "Install"));
    }

    HWND WaitForConfirmation() {
        HWND confirmation = WaitForForm(ids::kConfirmationClass);
        EXPECT_NE(confirmation, nullptr);
        return confirmation;
    }

    // Every file of the product as it landed below the target: true when identical.
    void ExpectInstalled(const TestProduct& product) {
        for (const TestFile& file : product.files) {
            const std::optional<std::string> copied = ReadFile(Target() + "\\" + file.path);
            ASSERT_TRUE(copied.has_value()) << file.path << " was not installed";
            EXPECT_TRUE(*copied == file.content) << file.path << " differs from the CD";
        }
    }

    qvtest::TempTree target_;
};

TestProduct SmallProduct(const std::string& folder, const std::string& name, int order) {
    return {folder, name, kFileServer, order, "", "", "8.01", "",
            {{folder + "\\readme.txt", "Read me.\r\n"},
             {folder + "\\data\\table.dat", FileBytes(100000, static_cast<uint32_t>(order))},
             {folder + "\\data\\empty.dat", ""}}};
}

TEST_F(InstallTest, ConfirmationCancelThenProceedInstallsEveryFile) {
    const TestProduct first = SmallProduct("first", "First Product", 1);
    const TestProduct second = SmallProduct("second", "Second Product", 2);
    cd.Add(first);
    cd.Add(second);
    StartSetup();
    WaitForMain();
    ChooseTargetAndInstall();

    HWND confirmation = WaitForConfirmation();
    ASSERT_NE(confirmation, nullptr);
    Shot("confirmation");
    namespace cf = ids::confirmation;
    EXPECT_EQ(Text(confirmation), "Confirm Install Selections");
    EXPECT_EQ(Text(Control(confirmation, cf::lblConfirm)), "Please Confirm that you wish to do the following:");
    EXPECT_EQ(Text(Control(confirmation, cf::InstallProd)), "Install Software under " + Target());
    EXPECT_FALSE(IsVisible(Control(confirmation, cf::lblConfigure)));
    EXPECT_FALSE(IsVisible(Control(confirmation, cf::lblAutoexec)));
    EXPECT_FALSE(IsEnabled(main)) << "the confirmation is modal";
    ASSERT_TRUE(ClickButton(confirmation, "Cancel"));
    EXPECT_TRUE(WaitForWindowGone(confirmation));
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    EXPECT_FALSE(ReadFile(Target() + "\\first\\readme.txt").has_value()) << "Cancel installed";

    ASSERT_TRUE(ClickButton(main, "Install"));
    confirmation = WaitForConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));
    ExpectBox(kTitle, kSuccess, {"OK"}, BoxIcon::Asterisk, "OK", "installed");
    EXPECT_TRUE(WaitUntil([&] { return FindWindowOf(app.Id(), {ids::kInstallStatusClass, "", false}) == nullptr; }))
        << "the progress window did not unload";
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    ExpectInstalled(first);
    ExpectInstalled(second);
    Shot("after-install");
    ASSERT_TRUE(ClickButton(main, "Exit"));
    ExpectExitCode(0);
}

// An install over an earlier one through the windows: a file the user changed, which the
// new release changes too, is kept beside the new file, and the closing message names it.
TEST_F(InstallTest, AnUpgradeKeepsTheUsersChangeBesideTheNewFileAndTheClosingMessageSaysSo) {
    TestProduct product = SmallProduct("first", "First Product", 1);
    cd.Add(product);
    StartSetup("/S /DIR=\"" + Target() + "\"");
    ExpectExitCode(0);
    const std::string readme = Target() + "\\first\\readme.txt";
    qvtest::WriteFile(readme, "The user's notes.\r\n");
    qvtest::WriteFile(cd.root() + "\\first\\first\\readme.txt", "Read me, release 2.\r\n");

    StartSetup();
    WaitForMain();
    ChooseTargetAndInstall();
    HWND confirmation = WaitForConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));
    ExpectBox(kTitle,
              std::string(kSuccess) + "These files were changed since the installation: they have been kept beside "
                                      "the new ones, under these names:\r" + readme + ".qvsave\r",
              {"OK"}, BoxIcon::Asterisk, "OK", "upgraded");
    ASSERT_TRUE(ClickButton(main, "Exit"));
    ExpectExitCode(0);
    EXPECT_EQ(ReadFile(readme), "Read me, release 2.\r\n");
    EXPECT_EQ(ReadFile(readme + ".qvsave"), "The user's notes.\r\n");
}

// An install that Cancel stops at a point the test controls: two products of small
// files, and with /CRC two files of the first whose listed checksums are spoiled, so that
// the copy stands still at a "File Copy Error" box for each.
class InstallCancelTest : public InstallTest {
protected:
    void SetUp() override {
        InstallTest::SetUp();
        for (int p = 0; p < 2; ++p) {
            TestProduct product = MakeProduct("many" + std::to_string(p), "Many Files " + std::to_string(p), p + 1);
            for (int i = 0; i < 100; ++i)
                product.files.push_back({product.folder + "\\f" + std::to_string(i) + ".dat",
                                         FileBytes(3000 + static_cast<size_t>(i), static_cast<uint32_t>(p * 1000 + i))});
            cd.Add(product);
            products_.push_back(product);
        }
    }

    // At the box of a spoiled file: Ignore, and Cancel pressed behind it while the program
    // is held, so that the click waits in the program's queue until the copy goes on past
    // that file; Cancel then acts after the block in progress.
    void IgnoreAndCancel(HWND status, const std::string& spec, const std::string& shot) {
        const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
        ASSERT_TRUE(box.has_value()) << DescribeWindows(app.Id());
        const auto standingSince = std::chrono::steady_clock::now();
        EXPECT_EQ(box->title, "File Copy Error");
        EXPECT_EQ(box->text.rfind(Target() + "\\" + spec + "\n", 0), 0u) << box->text;
        Shot(shot);
        HWND ignore = FindControl(box->window, {"Button", "Ignore"});
        HWND cancel = Control(status, st::btnCancel);
        ASSERT_TRUE(ignore && cancel);
        OutlastTheEventInterval(standingSince);
        {
            ProcessPause pause(app);
            ASSERT_TRUE(pause.ok());
            ASSERT_TRUE(PostMessageA(ignore, BM_CLICK, 0, 0));
            ASSERT_TRUE(PostMessageA(cancel, BM_CLICK, 0, 0));
        }
        ASSERT_TRUE(WaitForWindowGone(box->window));
    }

    // Every file that was copied is whole, but for the one the cancel interrupted, which
    // holds the first part of its source; files after it were not copied. The spoiled
    // files, passed over, are not counted.
    void ExpectStoppedPartWay() {
        int whole = 0, partial = 0, missing = 0;
        for (const TestProduct& product : products_) {
            for (const TestFile& file : product.files) {
                if (file.path == kSpoiled[0] || file.path == kSpoiled[1]) continue;
                const std::optional<std::string> copied = ReadFile(Target() + "\\" + file.path);
                if (!copied) {
                    ++missing;
                } else if (*copied == file.content) {
                    ++whole;
                } else {
                    ++partial;
                    EXPECT_EQ(file.content.compare(0, copied->size(), *copied), 0) << file.path << " is not a prefix";
                }
            }
        }
        EXPECT_GT(whole, 0);
        EXPECT_LE(partial, 1);
        EXPECT_GT(missing, 0) << "the cancel did not stop the install";
    }

    const std::string kSpoiled[2] = {"many0\\f10.dat", "many0\\f60.dat"};
    std::vector<TestProduct> products_;
};

TEST_F(InstallCancelTest, CancelInTheProgressWindowAnsweredNoThenYes) {
    // Without rollback, as the copy dialogs and Cancel always left an install.
    StartSetup("/CRC /NOROLLBACK");
    for (const std::string& spec : kSpoiled) ASSERT_TRUE(cd.SpoilChecksum("many0", spec));
    WaitForMain();
    ChooseTargetAndInstall();
    HWND confirmation = WaitForConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));
    HWND status = WaitForForm(ids::kInstallStatusClass);
    ASSERT_NE(status, nullptr);

    IgnoreAndCancel(status, kSpoiled[0], "copy-error");
    const std::string question = "Do you wish to Cancel the Installation Process?\r\rSelect YES to Cancel, or NO to Continue.";
    const std::optional<MessageBoxInfo> asked = WaitForMessageBox(app);
    ASSERT_TRUE(asked.has_value()) << DescribeWindows(app.Id());
    HWND no = FindControl(asked->window, {"Button", "No"});
    ASSERT_NE(no, nullptr);
    EXPECT_EQ(GetWindowLongA(no, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON) << "No is not the default button";
    ExpectBox("Cancel CD-ROM Installation", question, {"Yes", "No"}, BoxIcon::Hand, "No", "cancel-question");
    EXPECT_EQ(Text(status), "Installation Status");
    EXPECT_EQ(Text(Control(status, st::fraInstalling)), "Installing");
    EXPECT_EQ(Text(Control(status, st::lblThisModule)), "This Module");
    EXPECT_EQ(Text(Control(status, st::lblAllModules)), "All Modules");
    EXPECT_EQ(Text(Control(status, st::lblTimeSpent)), "Time Spent");
    EXPECT_EQ(Text(Control(status, st::lblTimeRemain)), "Estimated Time Remaining");
    EXPECT_EQ(Text(Control(status, st::ModuleName)).rfind("Many Files ", 0), 0u);
    const std::string fileBefore = Text(Control(status, st::FileName));

    // No: the install goes on to the second spoiled file, whose name the window shows.
    IgnoreAndCancel(status, kSpoiled[1], "second-copy-error");
    EXPECT_NE(Text(Control(status, st::FileName)), fileBefore) << "the install did not go on after No";
    ExpectBox("Cancel CD-ROM Installation", question, {"Yes", "No"}, BoxIcon::Hand, "Yes");
    ExpectBox(kTitle, kNotCompleted, {"OK"}, BoxIcon::Exclamation, "OK", "not-completed");
    EXPECT_TRUE(WaitUntil([&] { return IsEnabled(main); }));
    EXPECT_EQ(FindWindowOf(app.Id(), {ids::kInstallStatusClass}), nullptr);
    // The run's exit code tells that its install was cancelled.
    ASSERT_TRUE(ClickButton(main, "Exit"));
    ExpectExitCode(5);
    ExpectStoppedPartWay();
}

TEST_F(InstallTest, ChecksumMismatchRetriedThenIgnoredWithCrcSwitch) {
    const TestProduct product = SmallProduct("first", "First Product", 1);
    cd.Add(product);
    StartSetup("/CRC");
    ASSERT_TRUE(cd.SpoilChecksum("first", "first\\data\\table.dat"));
    WaitForMain();
    ChooseTargetAndInstall();
    HWND confirmation = WaitForConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));

    for (const char* answer : {"Retry", "Ignore"}) {
        const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
        ASSERT_TRUE(box.has_value()) << DescribeWindows(app.Id());
        Shot(std::string("crc-mismatch-") + answer);
        EXPECT_EQ(box->title, "File Copy Error");
        const std::string dest = Target() + "\\first\\data\\table.dat";
        EXPECT_EQ(box->text.rfind(dest + "\nCD-ROM Read Error\nFile Failed CRC Check\nfCRC : 12345  destCRC : ", 0), 0u)
            << box->text;
        EXPECT_EQ(box->buttons, (std::vector<std::string>{"Abort", "Retry", "Ignore"}));
        EXPECT_EQ(box->icon, BoxIcon::Exclamation) << IconName(box->icon);
        ASSERT_TRUE(AnswerMessageBox(*box, answer));
        EXPECT_TRUE(WaitForWindowGone(box->window));
    }
    ExpectBox(kTitle, kSuccess, {"OK"}, BoxIcon::Asterisk, "OK");
    EXPECT_FALSE(ReadFile(Target() + "\\first\\data\\table.dat").has_value()) << "the failed copy stayed";
    EXPECT_EQ(ReadFile(Target() + "\\first\\readme.txt"), std::optional<std::string>("Read me.\r\n"));
}

TEST_F(InstallTest, WithoutTheSwitchOrAfterTheCtrlGestureChecksumsAreNotCompared) {
    const TestProduct product = SmallProduct("first", "First Product", 1);
    cd.Add(product);
    StartSetup("/CRC");
    ASSERT_TRUE(cd.SpoilChecksum("first", "first\\data\\table.dat"));
    WaitForMain();
    GestureUntilBox(Main(mw::lblInstallFromDir), MouseButton::Right, {VK_CONTROL});
    ExpectBox(kTitle, "Disabled File CRC checking", {"OK"}, BoxIcon::None, "OK");

    // The window made again for the install-from directory (here the same CD) keeps it off.
    ASSERT_TRUE(ClickWithKeys(Main(mw::lblInstallFromDir), MouseButton::Right, {VK_MENU}));
    HWND chooser = WaitForForm(ids::kDirSeekClass);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(ClickButton(chooser, "OK"));
    const HWND before = main;
    ASSERT_TRUE(WaitUntil([&] {
        main = FindWindowOf(app.Id(), {ids::kQVSetupClass});
        return main && main != before && IsEnabled(main);
    })) << DescribeWindows(app.Id());
    ChooseTargetAndInstall();
    HWND confirmation = WaitForConfirmation();
    ASSERT_NE(confirmation, nullptr);
    ASSERT_TRUE(ClickButton(confirmation, "Proceed"));
    ExpectBox(kTitle, kSuccess, {"OK"}, BoxIcon::Asterisk, "OK");
    ExpectInstalled(product);
}

}  // namespace
}  // namespace qve2e

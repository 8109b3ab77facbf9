// qvsetup.exe started with command lines it cannot work with, and with one it can: the
// start-up message boxes as the user sees them, and how the process ends.
#include <iterator>
#include <string>

#include "e2e/e2e_test.h"
#include "support/temp_tree.h"

namespace qve2e {
namespace {

constexpr const char* kSetup = "qvsetup.exe";
constexpr const char* kAppTitle = "Marrowvale CD-ROM Installation";
// The two lines of each box, as the box holds them (joined with CR LF).
constexpr const char* kMissingParameter = "Load Error\r\nMissing required command line parameter.";
constexpr const char* kTempNotSet =
    "Error - TEMP Environment Varible not set.\r\nPlease correct this and run SETUP again.";

class StartupTest : public EndToEndTest {
protected:
    // The source directory, quoted as the command line carries it.
    std::string QuotedCd() const { return "\"" + cd_.root() + "\""; }

    // Waits for the box that ends start-up, checks what it says, presses OK and checks
    // that the process then ends with exit code 1.
    void ExpectStartupFailureBox(const std::string& expectedText, const std::string& step = "") {
        const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
        ASSERT_TRUE(box.has_value()) << "no message box: " << app.Describe();
        Shot(step + "box-shown");
        EXPECT_EQ(box->title, kAppTitle);
        EXPECT_EQ(box->text, expectedText);
        EXPECT_EQ(box->buttons, std::vector<std::string>{"OK"});
        EXPECT_EQ(box->icon, BoxIcon::Exclamation) << IconName(box->icon);

        ASSERT_TRUE(AnswerMessageBox(*box, "OK"));
        EXPECT_TRUE(WaitForWindowGone(box->window)) << app.Describe();
        ExpectExitCode(1);
        Shot(step + "ended");
    }

    qvtest::TempTree cd_;
};

TEST_F(StartupTest, EmptyCommandLineAsksForTheSourceDirectory) {
    Start(kSetup, "");
    ExpectStartupFailureBox(kMissingParameter);
}

TEST_F(StartupTest, QuotedDirectoryWithoutABlankAfterItIsAMissingParameter) {
    // Trailing blanks are trimmed away; text glued to the closing quote has no blank
    // before it.
    const std::string commandLines[] = {QuotedCd(), QuotedCd() + "   ", QuotedCd() + "x"};
    for (size_t i = 0; i < std::size(commandLines); ++i) {
        SCOPED_TRACE("command line: " + commandLines[i]);
        Start(kSetup, commandLines[i]);
        ExpectStartupFailureBox(kMissingParameter, "case" + std::to_string(i + 1) + "-");
        if (HasFatalFailure()) return;
    }
}

TEST_F(StartupTest, UnknownDatabasePlatformIsReportedAndEndsSetup) {
    Start(kSetup, QuotedCd() + " /DB=XYZ");
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
    ASSERT_TRUE(box.has_value()) << "no message box: " << app.Describe();
    Shot("box-shown");
    EXPECT_EQ(box->title, kAppTitle);
    EXPECT_EQ(box->text.rfind("Load Error\r\nUnknown database platform \"XYZ\" in /DB=XYZ.\r\nUse one of ", 0), 0u)
        << box->text;
    EXPECT_NE(box->text.find("ORA"), std::string::npos) << box->text;
    EXPECT_EQ(box->icon, BoxIcon::Exclamation) << IconName(box->icon);

    ASSERT_TRUE(AnswerMessageBox(*box, "OK"));
    EXPECT_TRUE(WaitForWindowGone(box->window));
    ExpectExitCode(1);
    Shot("ended");
}

TEST_F(StartupTest, ValidCommandLineReadsTheCdWithoutAnyMessage) {
    Start(kSetup, QuotedCd() + " /DB=ora x");
    // Without a language list the main window comes at once; Exit ends the program.
    HWND main = WaitForWindow(app, {"QVSetup"});
    ASSERT_NE(main, nullptr) << DescribeWindows(app.Id());
    EXPECT_EQ(Text(main), std::string(kAppTitle) + " - Oracle");
    EXPECT_EQ(FindWindowOf(app.Id(), {"#32770"}), nullptr) << "unexpected message box";
    Shot("main-window");
    ASSERT_TRUE(ClickButton(main, "Exit"));
    ExpectExitCode(2);
    Shot("ended");
}

TEST_F(StartupTest, NoTemporaryDirectoryVariableIsReportedAndEndsSetup) {
    // Windows compares the names without regard to case: this drops temp and tmp too.
    const Environment environment = WithoutVariables(CurrentEnvironment(), {"TEMP", "TMP"});
    Start(kSetup, QuotedCd() + " x", &environment);
    ExpectStartupFailureBox(kTempNotSet);
}

}  // namespace
}  // namespace qve2e

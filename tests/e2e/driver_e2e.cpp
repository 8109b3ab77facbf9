// The driver itself, on the fixture window (e2e_fixture.exe): each kind of control the
// installer's windows have, a menu, a message box, the process's end and screenshots.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2e/e2e_test.h"
#include "e2e/png_writer.h"

namespace qve2e {
namespace {

constexpr const char* kFixture = "e2e_fixture.exe";
// The fixture's menu entries File > Exit and Pick > Second.
constexpr int kMenuExit = 201;
constexpr int kMenuSecond = 203;

class DriverTest : public EndToEndTest {
protected:
    void SetUp() override {
        EndToEndTest::SetUp();
        Start(kFixture, "");
        window_ = WaitForWindow(app, {"QvFixture", "Driver fixture"});
        ASSERT_NE(window_, nullptr) << app.Describe();
        label_ = FindControl(window_, {"Static", "Ready"});
        ASSERT_NE(label_, nullptr) << DescribeWindows(app.Id());
    }

    HWND window_ = nullptr;
    HWND label_ = nullptr;
};

TEST_F(DriverTest, ReadsAndWorksListBoxEditAndButtonThenAnswersTheMessageBox) {
    Shot("fixture-shown");
    HWND list = FindControl(window_, {"ListBox"});
    HWND edit = FindControl(window_, {"Edit"});
    ASSERT_TRUE(list && edit) << DescribeWindows(app.Id());

    EXPECT_EQ(ListBoxItems(list), (std::vector<std::string>{"Alpha", "Beta", "Gamma"}));
    ASSERT_TRUE(SelectListBoxItem(list, 1));
    EXPECT_EQ(ListBoxSelection(list), 1);
    EXPECT_TRUE(WaitForText(label_, "Selected Beta")) << Text(label_);
    ASSERT_TRUE(DoubleClickListBoxItem(list, 2));
    EXPECT_TRUE(WaitForText(label_, "Opened Gamma")) << Text(label_);
    EXPECT_FALSE(SelectListBoxItem(list, 3)) << "there is no fourth item";

    ASSERT_TRUE(SetText(edit, "Bonjour"));
    ASSERT_TRUE(TypeText(edit, " world"));
    EXPECT_EQ(Text(edit), "Bonjour world");

    // The caption is "&Show": the driver finds it without the mnemonic marker.
    ASSERT_TRUE(ClickButton(window_, "Show"));
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(app);
    ASSERT_TRUE(box.has_value()) << app.Describe();
    Shot("message-box");
    EXPECT_EQ(box->title, "Fixture says");
    EXPECT_EQ(box->text, "You chose Gamma\r\nand typed Bonjour world.");
    EXPECT_EQ(box->buttons, (std::vector<std::string>{"OK", "Cancel"}));
    EXPECT_EQ(box->icon, BoxIcon::Question) << IconName(box->icon);

    ASSERT_TRUE(AnswerMessageBox(*box, "Cancel"));
    EXPECT_TRUE(WaitForWindowGone(box->window));
    EXPECT_TRUE(WaitForText(label_, "Answered Cancel")) << Text(label_);
}

TEST_F(DriverTest, ReadsAndSelectsComboBoxItems) {
    HWND drives = FindControl(window_, {"ComboBox"});
    ASSERT_NE(drives, nullptr) << DescribeWindows(app.Id());
    EXPECT_EQ(ComboBoxItems(drives), (std::vector<std::string>{"c: [system]", "n: [server]"}));
    ASSERT_TRUE(SelectComboBoxItem(drives, 1));
    EXPECT_TRUE(WaitForText(label_, "Drive n: [server]")) << Text(label_);
    EXPECT_FALSE(SelectComboBoxItem(drives, 2)) << "there is no third item";
}

TEST_F(DriverTest, ChoosesMenuEntriesAndSeesTheCheckBoxInTheExitCode) {
    // Under Wine another process's menu cannot be read, so entries are chosen by id.
    ASSERT_TRUE(ChooseMenuCommand(window_, kMenuSecond));
    EXPECT_TRUE(WaitForText(label_, "Picked Second")) << Text(label_);

    HWND remember = FindControl(window_, {"Button", "Remember"});
    ASSERT_NE(remember, nullptr);
    EXPECT_FALSE(IsChecked(remember));
    ASSERT_TRUE(Click(remember));
    // The click is posted: the state changes once the program has handled it.
    ASSERT_TRUE(WaitUntil([&] { return IsChecked(remember); }));
    Shot("checked");

    ASSERT_TRUE(ChooseMenuCommand(window_, kMenuExit));
    EXPECT_TRUE(WaitForWindowGone(window_));
    ExpectExitCode(7);
}

TEST_F(DriverTest, EndsAProgramThatIsLeftRunning) {
    EXPECT_EQ(WaitForWindow(app, {"QvFixture", "No such caption"}, Millis(100)), nullptr);
    app.Kill();
    EXPECT_FALSE(app.Running());
    EXPECT_EQ(app.WaitForExit(Millis(0)), kKilledExitCode);
    // Once the program has ended, a wait for its windows gives up at once.
    EXPECT_EQ(WaitForWindow(app, {"QvFixture"}), nullptr);
}

TEST_F(DriverTest, ScreenshotIsAPngOfTheWholeScreen) {
    const std::string path = ScreenshotFolder("DriverTest.png-check") + ".png";
    std::string error;
    ASSERT_TRUE(SaveScreenshot(path, &error)) << error;
    std::ifstream file(path, std::ios::binary);
    const std::vector<uint8_t> png{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};

    auto be32 = [&](size_t at) {
        return uint32_t(png.at(at)) << 24 | uint32_t(png.at(at + 1)) << 16 | uint32_t(png.at(at + 2)) << 8 |
               png.at(at + 3);
    };
    const uint32_t width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    ASSERT_GT(png.size(), 8u + 25 + 12);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(be32(16), width);
    EXPECT_EQ(be32(20), height);

    // IHDR, IDAT, IEND, each with a correct CRC, and nothing after.
    std::vector<std::string> chunks;
    size_t at = 8;
    while (at + 12 <= png.size()) {
        const uint32_t length = be32(at);
        ASSERT_LE(at + 12 + length, png.size());
        chunks.emplace_back(png.begin() + at + 4, png.begin() + at + 8);
        EXPECT_EQ(be32(at + 8 + length), Crc32(png.data() + at + 4, 4 + length)) << chunks.back();
        at += 12 + length;
    }
    EXPECT_EQ(at, png.size());
    EXPECT_EQ(chunks, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));

    // The two checksums against values published with their definitions.
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>("IEND"), 4), 0xAE426082u);
    EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>("Wikipedia"), 9), 0x11E60398u);
}

}  // namespace
}  // namespace qve2e

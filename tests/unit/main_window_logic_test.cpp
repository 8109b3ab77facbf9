// The main window's behaviour against a fake window: install-type menus, the product
// list and its default directories, the figures with their red state, the install-to
// text rules, the Install button's refusals and flow, and the hidden gestures.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "setup/mainwindow/main_window_logic.h"
#include "setup/session/platforms.h"
#include "support/recording_port.h"

namespace qv {
namespace {

using qvtest::RecordingPort;

// The window as the logic sees it, recording what it is told.
class FakeView : public MainView {
public:
    std::vector<int> shownEntries;
    std::map<int, bool> checked;
    std::string spec;
    std::vector<std::string> items;
    std::vector<bool> selected;
    int cursor = -1;
    std::string installTo;
    int focusInstallTo = 0;
    std::string drive = "c: [SYSTEM]";
    std::string drives = "cz";  // the drives the chooser's list knows
    std::vector<std::string> chooserCalls;
    bool chooserOk = false;
    std::string chooserText;
    std::string diskSize, productSize, remaining;
    bool exhausted = false;
    bool installEnabled = true;
    std::map<char, double> freeSpace{{'c', 5000}, {'n', 9000}};
    bool writable = true;
    std::vector<std::string> accessTested;
    bool busy = false;
    int doEvents = 0;
    double now = 45000.5;
    Session* session = nullptr;
    bool proceed = false;
    std::vector<std::pair<std::string, std::string>> confirmations;
    int installStatusShown = 0;
    int reloads = 0;
    size_t listCapacity = SIZE_MAX;  // entries the product list can take
    int verifies = 0;

    void ShowInstallTypeEntry(int index) override { shownEntries.push_back(index); }
    void CheckInstallTypeEntry(int index, bool on) override { checked[index] = on; }
    void SetInstallSpec(const std::string& text) override { spec = text; }
    void ClearProductList() override {
        items.clear();
        selected.clear();
        cursor = -1;
    }
    bool AddProductListItem(const std::string& text) override {
        if (items.size() >= listCapacity) return false;
        items.push_back(text);
        selected.push_back(false);
        return true;
    }
    void SetProductSelected(int entry, bool on) override { selected.at(static_cast<size_t>(entry)) = on; }
    void SetProductCursor(int entry) override { cursor = entry; }
    int ProductEntryCount() override { return static_cast<int>(items.size()); }
    bool IsProductSelected(int entry) override { return selected.at(static_cast<size_t>(entry)); }
    void SetInstallToText(const std::string& text) override { installTo = text; }
    std::string InstallToText() override { return installTo; }
    void FocusInstallToAtEnd() override { ++focusInstallTo; }
    std::string ChooserDrive() override { return drive; }
    void SetChooserDrive(char letter) override {
        const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
        if (drives.find(lower) != std::string::npos) drive = std::string(1, lower) + ":";
    }
    bool ChooseDirectory(const std::string& caption, const std::string& startDir, char startDrive,
                         std::string& chosen) override {
        chooserCalls.push_back(caption + "|" + startDir + "|" + std::string(1, startDrive));
        chosen = chooserText;
        return chooserOk;
    }
    void ShowDiskSize(const std::string& text) override { diskSize = text; }
    void ShowProductSize(const std::string& text) override { productSize = text; }
    void ShowSpaceRemaining(const std::string& text, bool red) override {
        remaining = text;
        exhausted = red;
    }
    void EnableInstall(bool enabled) override { installEnabled = enabled; }
    double FreeSpace(const std::string& root) override {
        auto found = freeSpace.find(static_cast<char>(std::tolower(static_cast<unsigned char>(root[0]))));
        return found == freeSpace.end() ? -1 : found->second;
    }
    bool TestWriteAccess(const std::string& dir) override {
        accessTested.push_back(dir);
        return writable;
    }
    void SetBusy(bool on) override { busy = on; }
    void DoEvents() override { ++doEvents; }
    double Now() override { return now; }
    void ShowConfirmation(const std::string& installLine, const std::string& configureLine) override {
        confirmations.emplace_back(installLine, configureLine);
        if (proceed) session->ConfirmResult = -1;
    }
    void ShowInstallStatus() override {
        ++installStatusShown;
        session->BytesDone = 12345;
    }
    void ReloadMainWindow() override { ++reloads; }
    void ShowVerify() override { ++verifies; }
};

class MainWindowLogicTest : public ::testing::Test {
protected:
    Session session;
    RecordingPort port;
    FakeView view;
    MainWindowLogic logic{session, port, view};

    MainWindowLogicTest() {
        view.session = &session;
        SetDbPlatform(session, *FindDbPlatform("SBS"));
    }

    ProductRec& Add(const std::string& name, const std::string& type, int32_t size, int16_t selected = 1,
                    const std::string& defaultDir = "") {
        ProductRec& p = session.Products[static_cast<size_t>(++session.ProductCount)];
        p.ProductName = name;
        p.ModuleType = type;
        p.Size = size;
        p.Selected = selected;
        p.DefaultDir = defaultDir;
        p.Release = "8.01";
        return p;
    }

    // The start-up part of the main window's load.
    void StartUp() {
        logic.ProposeDefaultInstallDir();
        logic.ShowInstallTypeMenus();
        logic.FillProductList(kDefaultInstallType);
        logic.ShowFreeSpace();
        logic.SumProductSize();
        logic.ShowSpaceRemaining();
    }

    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const Message& m : port.messages) texts.push_back(m.text);
        return texts;
    }
};

constexpr const char* kFileServer = "Software to File Server";
constexpr const char* kDbFileServer = "Database to File Server";

TEST_F(MainWindowLogicTest, StartUpShowsTheMenusOfTheCatalogueAndListsTypeOne) {
    Add("Ledger", kFileServer, 1000);
    Add("Ledger DB", kDbFileServer, 2000);
    Add("Gateway DB", "Database to Gateway", 10);
    Add("Odd", "software to file server", 10);  // not the same type: case counts
    Add("Tools", kFileServer, 500, 0);
    StartUp();

    EXPECT_EQ(view.shownEntries, (std::vector<int>{1, 4, 6}));
    EXPECT_TRUE(logic.IsInstallTypeVisible(1));
    EXPECT_FALSE(logic.IsInstallTypeVisible(0));
    EXPECT_EQ(view.spec, kFileServer);
    EXPECT_EQ(view.items, (std::vector<std::string>{"Ledger  8.01", "Tools  8.01"}));
    EXPECT_EQ(view.selected, (std::vector<bool>{true, false}));
    EXPECT_EQ(view.cursor, 0);
    EXPECT_TRUE(view.checked[1]);
    EXPECT_EQ(view.installTo, "c:\\qv");
    EXPECT_EQ(session.InstallDir, "c:\\qv");
    EXPECT_EQ(view.diskSize, "5,000");
    EXPECT_EQ(view.productSize, "1,000");
    EXPECT_EQ(view.remaining, "4,000");
    EXPECT_FALSE(view.exhausted);
    EXPECT_TRUE(view.installEnabled);
    EXPECT_EQ(session.ProductBytes, 1000);
    EXPECT_EQ(session.ListedProducts[1].Chosen, -1);
    EXPECT_EQ(session.ListedProducts[2].Chosen, 0);
}

TEST_F(MainWindowLogicTest, DriveNMakesNQvTheDefault) {
    view.drives = "cnz";
    Add("Ledger", kFileServer, 1000);
    StartUp();
    EXPECT_EQ(session.InstallDir, "n:\\qv");
    EXPECT_EQ(view.diskSize, "9,000");
}

TEST_F(MainWindowLogicTest, ChoosingAnotherTypeMovesTheCheckAndRefillsTheList) {
    Add("Ledger", kFileServer, 1000, 1, "\\qv\\ledger");
    Add("Ledger DB", kDbFileServer, 2000, 1, "z:\\db");
    Add("Payroll DB", kDbFileServer, 3000, 1, "\\qv\\pay");
    StartUp();
    EXPECT_EQ(session.InstallDir, "c:\\qv\\ledger");  // DefaultDir on the chooser's drive

    logic.InstallTypeChosen(4);
    EXPECT_FALSE(view.checked[1]);
    EXPECT_TRUE(view.checked[4]);
    EXPECT_EQ(view.spec, kDbFileServer);
    EXPECT_EQ(view.items, (std::vector<std::string>{"Ledger DB  8.01", "Payroll DB  8.01"}));
    // "z:\db" moved the chooser's drive; the last listed DefaultDir decides.
    EXPECT_EQ(view.drive, "z:");
    EXPECT_EQ(session.InstallDir, "z:\\qv\\pay");
    EXPECT_EQ(view.productSize, "5,000");
    EXPECT_EQ(session.ListedProducts[1].ProductName, "Ledger DB");
    EXPECT_EQ(logic.LastInstallType(), 4);

    // A hidden entry cannot be chosen; entry 0 lists every product.
    logic.InstallTypeChosen(2);
    EXPECT_EQ(view.spec, kDbFileServer);
    logic.FillProductList(kAllProductsType);
    EXPECT_EQ(view.items.size(), 3u);
    EXPECT_EQ(view.spec, "All Products Available");

    // A shorter listing leaves nothing of the longer one behind it.
    logic.InstallTypeChosen(1);
    EXPECT_EQ(session.ListedProducts[1].ProductName, "Ledger");
    EXPECT_TRUE(session.ListedProducts[2].ProductName.empty());
    EXPECT_TRUE(session.ListedProducts[3].ProductName.empty());
}

TEST_F(MainWindowLogicTest, TheDefaultTypesEntryIsVisibleOnACdWithoutItsProducts) {
    Add("Ledger DB", kDbFileServer, 2000);
    StartUp();
    EXPECT_EQ(view.shownEntries, (std::vector<int>{1, 4}));
    EXPECT_TRUE(view.items.empty());
}

TEST_F(MainWindowLogicTest, SelectionDrivesTheFiguresAndTheInstallButton) {
    Add("A", kFileServer, 600);
    Add("B", kFileServer, 400, 0);
    StartUp();
    EXPECT_EQ(view.productSize, "600");

    view.selected = {true, true};
    logic.ProductBoxClick();
    EXPECT_EQ(view.productSize, "1,000");
    EXPECT_EQ(view.remaining, "4,000");

    // Exactly the free space: nothing remains, red, Install disabled; one byte more frees it.
    view.freeSpace['c'] = 1000;
    logic.ShowFreeSpace();
    logic.ShowSpaceRemaining();
    EXPECT_EQ(view.remaining, "0");
    EXPECT_TRUE(view.exhausted);
    EXPECT_FALSE(view.installEnabled);
    view.freeSpace['c'] = 1001;
    logic.ShowFreeSpace();
    logic.ShowSpaceRemaining();
    EXPECT_EQ(view.remaining, "1");
    EXPECT_FALSE(view.exhausted);
    EXPECT_TRUE(view.installEnabled);

    // Nothing chosen: size 0 and Install disabled though space remains.
    view.selected = {false, false};
    logic.ProductBoxClick();
    EXPECT_EQ(view.productSize, "0");
    EXPECT_FALSE(view.exhausted);
    EXPECT_FALSE(view.installEnabled);
}

TEST_F(MainWindowLogicTest, ProductSizesPastThirtyTwoBitsAreSummedWhole) {
    Add("A", kFileServer, 2000000000);
    Add("B", kFileServer, 2000000000);
    view.freeSpace['c'] = 5e9;
    StartUp();
    EXPECT_EQ(logic.ProductTotal(), 4000000000LL);
    EXPECT_EQ(view.productSize, "4,000,000,000");
    EXPECT_EQ(session.ProductBytes, 4e9);
    EXPECT_EQ(view.remaining, "1,000,000,000");
    EXPECT_TRUE(view.installEnabled);
}

TEST_F(MainWindowLogicTest, AnEmptyListShowsNothingChosen) {
    Add("DB", kDbFileServer, 2000);
    StartUp();
    EXPECT_TRUE(view.items.empty());
    EXPECT_EQ(view.cursor, -1);
    EXPECT_EQ(view.productSize, "0");
    EXPECT_FALSE(view.installEnabled);
}

TEST_F(MainWindowLogicTest, AListThatCannotTakeAnEntryEndsTheListingInStep) {
    Add("A", kFileServer, 100);
    Add("B", kFileServer, 200);
    Add("C", kFileServer, 300);
    view.listCapacity = 1;
    StartUp();
    ASSERT_EQ(view.items.size(), 1u);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, "Error : 7\rOut of memory\rB");
    // What is listed is what would be installed: nothing beyond the one entry shown.
    EXPECT_EQ(session.ListedProducts[1].ProductName, "A");
    EXPECT_TRUE(session.ListedProducts[2].ProductName.empty());
    EXPECT_EQ(view.productSize, "100");
}

TEST_F(MainWindowLogicTest, InstallToTextFollowsTheTypingRules) {
    Add("A", kFileServer, 100);
    StartUp();

    // A trailing backslash is dropped while typing and kept once the focus leaves.
    logic.InstallToChanged("c:\\apps\\");
    EXPECT_EQ(session.InstallDir, "c:\\apps");
    logic.InstallToLostFocus("c:\\apps\\");
    EXPECT_EQ(session.InstallDir, "c:\\apps\\");

    // Another drive refreshes the figures at once; the same drive does not.
    view.diskSize.clear();
    logic.InstallToChanged("n:\\x");
    EXPECT_EQ(view.diskSize, "9,000");
    view.diskSize.clear();
    logic.InstallToChanged("n:\\xy");
    EXPECT_EQ(view.diskSize, "");
    // Upper and lower case of a drive letter count as different.
    logic.InstallToChanged("N:\\xy");
    EXPECT_EQ(view.diskSize, "9,000");

    // An empty text: no directory, free space -1, red, disabled.
    logic.InstallToChanged("");
    EXPECT_EQ(session.InstallDir, "");
    EXPECT_EQ(view.diskSize, "-1");
    EXPECT_TRUE(view.exhausted);
    EXPECT_FALSE(view.installEnabled);
}

TEST_F(MainWindowLogicTest, InstallRefusesWithoutProductsAtRootsAndWithoutAccess) {
    Add("A", kFileServer, 100, 0);
    StartUp();
    logic.InstallClick();
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, "You must select at least one product to install");
    EXPECT_EQ(port.messages[0].title, kAppTitle);
    EXPECT_EQ(port.messages[0].icon, Icon::Exclamation);

    view.selected = {true};
    logic.ProductBoxClick();
    logic.SetInstallTo("c:\\");
    logic.InstallToLostFocus("c:\\");  // three characters: a drive root
    logic.InstallClick();
    ASSERT_EQ(port.messages.size(), 2u);
    EXPECT_EQ(port.messages[1].text, "Can't Install to Root Directory\nPlease Select a Subdirectory for Installation");
    EXPECT_EQ(view.focusInstallTo, 1);
    EXPECT_TRUE(view.accessTested.empty());

    logic.SetInstallTo("c:\\q");  // one more character passes the length test
    view.writable = false;
    logic.InstallClick();
    ASSERT_EQ(port.messages.size(), 3u);
    EXPECT_EQ(port.messages[2].text, "You do not have sufficient access to c:\\q");
    EXPECT_EQ(port.messages[2].title, "Directory Access Error");
    EXPECT_EQ(view.accessTested, (std::vector<std::string>{"c:\\q"}));
    EXPECT_FALSE(view.busy);
    EXPECT_TRUE(view.confirmations.empty());
}

TEST_F(MainWindowLogicTest, ConfirmationCancelAndProceed) {
    Add("A", kFileServer, 100);
    StartUp();
    logic.SetInstallTo("c:\\qv\\apps");

    logic.InstallClick();  // Cancel in the confirmation
    ASSERT_EQ(view.confirmations.size(), 1u);
    EXPECT_EQ(view.confirmations[0].first, "Install Software under c:\\qv\\apps");
    EXPECT_EQ(view.confirmations[0].second, "");
    EXPECT_EQ(session.ConfirmResult, 0);
    EXPECT_EQ(view.installStatusShown, 0);

    // With configuration chosen the line shows; switched off again, it is gone.
    logic.SetConfigure(true);
    logic.InstallClick();
    EXPECT_EQ(view.confirmations[1].second, "Configure System");
    logic.SetConfigure(false);
    view.proceed = true;
    logic.InstallClick();
    EXPECT_EQ(view.confirmations[2].second, "");
    EXPECT_EQ(view.installStatusShown, 1);
    EXPECT_EQ(session.InstallStartTime, view.now);
    EXPECT_EQ(session.BytesDone, 0);  // reset when the progress window returns
    EXPECT_TRUE(port.messages.empty());
}

TEST_F(MainWindowLogicTest, BrowseTakesTheChosenDirectory) {
    Add("A", kFileServer, 100);
    StartUp();
    view.chooserOk = false;
    view.chooserText = "n:\\ignored";
    logic.BrowseInstallTo();
    EXPECT_EQ(view.chooserCalls, (std::vector<std::string>{"Select Directory|c:\\qv|c"}));
    EXPECT_EQ(session.InstallDir, "c:\\qv");

    view.chooserOk = true;
    view.chooserText = "n:\\apps\\";
    logic.BrowseInstallTo();
    EXPECT_EQ(view.installTo, "n:\\apps\\");
    EXPECT_EQ(session.InstallDir, "n:\\apps");
    EXPECT_EQ(view.diskSize, "9,000");
    EXPECT_FALSE(view.busy);
}

TEST_F(MainWindowLogicTest, HiddenGesturesOnTheInstallFromLabel) {
    EXPECT_EQ(GestureFor(2, 4), InstallFromGesture::SelectSourceDir);
    EXPECT_EQ(GestureFor(2, 2), InstallFromGesture::DisableCrcCheck);
    EXPECT_EQ(GestureFor(2, 3), InstallFromGesture::None);  // Ctrl+Shift
    EXPECT_EQ(GestureFor(2, 6), InstallFromGesture::None);  // Ctrl+Alt
    EXPECT_EQ(GestureFor(1, 2), InstallFromGesture::None);
    EXPECT_EQ(GestureFor(2, 0), InstallFromGesture::None);

    session.NoCrcCheck = false;
    logic.InstallFromMouseUp(2, 2);
    EXPECT_TRUE(session.NoCrcCheck);
    ASSERT_EQ(port.messages.size(), 1u);
    EXPECT_EQ(port.messages[0].text, "Disabled File CRC checking");
    EXPECT_EQ(port.messages[0].icon, Icon::None);
    EXPECT_EQ(port.messages[0].buttons, Buttons::Ok);

    // The install-from chooser: Cancel keeps everything; OK reloads against the choice.
    session.SourceDir = "z:\\cd\\";
    logic.InstallFromMouseUp(2, 4);
    EXPECT_EQ(view.chooserCalls.back(), "Select Install From Directory|z:\\cd\\|z");
    EXPECT_EQ(view.reloads, 0);
    view.chooserOk = true;
    view.chooserText = "z:\\other";
    logic.InstallFromMouseUp(2, 4);
    EXPECT_EQ(session.SourceDir, "z:\\other");
    EXPECT_EQ(view.reloads, 1);
}

}  // namespace
}  // namespace qv

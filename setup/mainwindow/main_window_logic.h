// The behaviour of the main window QVSetup, free of the window system: the install-type
// menu, the product list and its selection, the free space, product size and space
// remaining, the install-to directory text, the Install button's checks and the hidden
// gestures on the install-from label. The window implements MainView and forwards its
// events here; tests implement MainView with a fake.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "setup/mainwindow/install_types.h"
#include "setup/session/session.h"
#include "setup/session/user_port.h"

namespace qv {

// What the logic needs from the window and the rest of the program.
class MainView {
public:
    virtual ~MainView() = default;

    // The Install menu: makes an entry visible (entries are never hidden again), and sets
    // or clears an entry's check mark.
    virtual void ShowInstallTypeEntry(int index) = 0;
    virtual void CheckInstallTypeEntry(int index, bool checked) = 0;
    // lblInstallSpec.
    virtual void SetInstallSpec(const std::string& text) = 0;

    // ProductBox, a multi-selection list (entries from 0).
    virtual void ClearProductList() = 0;
    // False when the list cannot take the entry (it is out of memory).
    virtual bool AddProductListItem(const std::string& text) = 0;
    virtual void SetProductSelected(int entry, bool selected) = 0;
    virtual void SetProductCursor(int entry) = 0;
    virtual int ProductEntryCount() = 0;
    virtual bool IsProductSelected(int entry) = 0;

    // lblQvver: sets its text without running the change handling (the logic runs it).
    virtual void SetInstallToText(const std::string& text) = 0;
    virtual std::string InstallToText() = 0;
    // Puts the caret at the end of lblQvver and gives it the focus.
    virtual void FocusInstallToAtEnd() = 0;

    // The drive list of the directory chooser: its drive as it shows it ("c: [DISK1]"),
    // and setting it to a drive letter (its drive change handling runs; a drive that does
    // not exist leaves it as it was).
    virtual std::string ChooserDrive() = 0;
    virtual void SetChooserDrive(char letter) = 0;
    // Shows the chooser modally with this caption, starting at this directory and drive.
    // True after OK, with the chosen text; false after Cancel.
    virtual bool ChooseDirectory(const std::string& caption, const std::string& startDir, char startDrive,
                                 std::string& chosen) = 0;

    // The three figures; SpaceRemaining is shown red on white when exhausted.
    virtual void ShowDiskSize(const std::string& text) = 0;
    virtual void ShowProductSize(const std::string& text) = 0;
    virtual void ShowSpaceRemaining(const std::string& text, bool exhausted) = 0;
    virtual void EnableInstall(bool enabled) = 0;

    // Free bytes on the drive of this root ("c:\"), -1 when it cannot be read.
    virtual double FreeSpace(const std::string& root) = 0;
    virtual bool TestWriteAccess(const std::string& dir) = 0;

    virtual void SetBusy(bool busy) = 0;
    virtual void DoEvents() = 0;
    virtual double Now() = 0;

    // Shows the Confirmation dialog modally with its install line and, when not empty,
    // its configure line; the dialog's Proceed sets ConfirmResult to -1.
    virtual void ShowConfirmation(const std::string& installLine, const std::string& configureLine) = 0;
    // Loads the progress window and shows it modally; the install runs while it is open.
    virtual void ShowInstallStatus() = 0;
    // Unloads the main window and loads it again against the session's SourceDir.
    virtual void ReloadMainWindow() = 0;
    // Shows the verify window modally: it checks the installation of the chosen products
    // in InstallDir and offers to repair what drifted.
    virtual void ShowVerify() = 0;
};

// The hidden gestures on lblInstallFromDir.
enum class InstallFromGesture { None, SelectSourceDir, DisableCrcCheck };
// Mouse button (1 left, 2 right, 4 middle) and shift state (1 Shift, 2 Ctrl, 4 Alt) as
// released over the label; both compared exactly.
InstallFromGesture GestureFor(int button, int shift);

class MainWindowLogic {
public:
    MainWindowLogic(Session& session, UserPort& port, MainView& view);

    // Start-up: the default install-to directory ("n:\qv" when the chooser's drive list
    // knows a drive N:, otherwise "c:\qv"), the Install menu, the products of type 1, and
    // the three figures.
    void ProposeDefaultInstallDir();
    void ShowInstallTypeMenus();
    bool IsInstallTypeVisible(int index) const;

    // An Install menu entry was chosen; entries that are not visible cannot be chosen.
    void InstallTypeChosen(int index);
    // Lists the products of an install type (0 lists every product).
    void FillProductList(int type);
    int LastInstallType() const { return lastInstallType_; }

    // A click in ProductBox: CollectSelection, SumProductSize, ShowSpaceRemaining.
    void ProductBoxClick();
    void CollectSelection();
    void SumProductSize();
    void ShowFreeSpace();
    void ShowSpaceRemaining();

    // lblQvver: text set by the program (the change handling runs), changed by the user,
    // and left by the focus.
    void SetInstallTo(const std::string& text);
    void InstallToChanged(const std::string& text);
    void InstallToLostFocus(const std::string& text);

    // The "..." button beside lblQvver.
    void BrowseInstallTo();
    // The Install button.
    void InstallClick();
    // File > Verify Installation: the chosen products in the install-to directory are
    // checked against the CD (none chosen: the Install button's message).
    void VerifyClick();
    // A mouse button released over lblInstallFromDir.
    void InstallFromMouseUp(int button, int shift);
    void SelectSourceDir();

    // chkConfigure (hidden and cleared at load).
    void SetConfigure(bool checked) { configure_ = checked; }
    bool Configure() const { return configure_; }

    // The figures as the window shows them.
    int64_t ProductTotal() const { return productTotal_; }
    double FreeBytes() const { return freeBytes_; }

private:
    void ShowMessage(const std::string& text, const std::string& title, Icon icon);
    void RunInstallFlow();

    Session& session_;
    UserPort& port_;
    MainView& view_;
    std::array<bool, kInstallTypeCount> visible_{};
    int lastInstallType_ = 0;
    bool configure_ = false;
    int64_t productTotal_ = 0;  // the sum of the chosen products' sizes, in 64 bits
    double freeBytes_ = 0;
};

}  // namespace qv

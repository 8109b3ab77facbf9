// QVSetup, the main window: the install types as a menu, the products of the current
// type in a multi-selection list, the install-to directory with its chooser, the free
// space, product size and space remaining, and the Install and Exit buttons. It fills the
// screen. Its load runs the main start-up: captions, platform, the CD scan with its scan
// dialog, the default install-to directory and the first product list. The behaviour
// lives in MainWindowLogic; this window shows it and forwards its events.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "setup/dialogs/confirmation.h"
#include "setup/dialogs/dir_seek.h"
#include "setup/dialogs/form.h"
#include "setup/dialogs/frm_about.h"
#include "setup/dialogs/frm_verify.h"
#include "setup/dialogs/get_prod_form.h"
#include "setup/dialogs/install_status.h"
#include "setup/mainwindow/main_window_logic.h"
#include "setup/mainwindow/qv_setup_backdrop.h"
#include "setup/mainwindow/qv_setup_port.h"
#include "setup/session/command_line.h"
#include "setup/session/install_log.h"
#include "setup/session/policy_port.h"
#include "setup/session/session.h"

namespace qv {

// The other windows the main window opens.
struct MainWindowDialogs {
    DirSeek& dirSeek;
    GetProdForm& getProdForm;
    Confirmation& confirmation;
    InstallStatus& installStatus;
    FrmAbout& about;
    FrmVerify& verify;
};

class QVSetup : public ui::Form, private MainView {
public:
    // onExit runs when the user ends the program (Exit, File > Exit, the close box).
    QVSetup(Session& session, const StartupOptions& options, InstallLog& log, MainWindowDialogs dialogs,
            std::function<void()> onExit);
    ~QVSetup() override;

    // The window's message boxes, written to the install log.
    UserPort& Port() { return port_; }
    // The install type whose products the window lists.
    int ListedInstallType() const { return logic_ ? logic_->LastInstallType() : kDefaultInstallType; }
    // File > Verify Installation for this install-to directory, as the menu opens it.
    void VerifyInstallation(const std::string& installDir);

protected:
    DWORD Style() const override { return WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN; }
    DWORD ExStyle() const override { return WS_EX_CONTROLPARENT | WS_EX_APPWINDOW; }
    HICON ClassIcon() const override;
    void OnLoad() override;
    bool OnCommand(int id, int code, HWND control) override;
    void OnCloseBox() override;
    void OnHelp() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // MainView
    void ShowInstallTypeEntry(int index) override;
    void CheckInstallTypeEntry(int index, bool checked) override;
    void SetInstallSpec(const std::string& text) override;
    void ClearProductList() override;
    bool AddProductListItem(const std::string& text) override;
    void SetProductSelected(int entry, bool selected) override;
    void SetProductCursor(int entry) override;
    int ProductEntryCount() override;
    bool IsProductSelected(int entry) override;
    void SetInstallToText(const std::string& text) override;
    std::string InstallToText() override;
    void FocusInstallToAtEnd() override;
    std::string ChooserDrive() override;
    void SetChooserDrive(char letter) override;
    bool ChooseDirectory(const std::string& caption, const std::string& startDir, char startDrive,
                         std::string& chosen) override;
    void ShowDiskSize(const std::string& text) override;
    void ShowProductSize(const std::string& text) override;
    void ShowSpaceRemaining(const std::string& text, bool exhausted) override;
    void EnableInstall(bool enabled) override;
    double FreeSpace(const std::string& root) override;
    bool TestWriteAccess(const std::string& dir) override;
    void SetBusy(bool busy) override;
    void DoEvents() override;
    double Now() override;
    void ShowConfirmation(const std::string& installLine, const std::string& configureLine) override;
    void ShowInstallStatus() override;
    void ReloadMainWindow() override;
    void ShowVerify() override;

    void CreateControls();
    void SetCaptions();
    void BuildMenu();
    void RebuildInstallMenu();
    RECT PanelRect() const;
    void LayoutPanel();
    void ScanCatalogue();

    Session& session_;
    const StartupOptions& options_;
    MainWindowDialogs dialogs_;
    std::function<void()> onExit_;
    MainWindowPort window_;  // message boxes over this window, the scan counters
    LoggingPort port_;       // the same, written to the install log
    std::unique_ptr<MainWindowLogic> logic_;
    MainBackdrop backdrop_;

    std::array<bool, kInstallTypeCount> entryVisible_{};
    std::array<bool, kInstallTypeCount> entryChecked_{};
    HMENU installMenu_ = nullptr;
    bool settingInstallTo_ = false;  // lblQvver is being set by the program
    bool remainingExhausted_ = false;
    HBITMAP picture_ = nullptr;
    HBRUSH redBrush_ = nullptr;
};

}  // namespace qv

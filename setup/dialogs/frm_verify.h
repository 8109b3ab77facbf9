// frmVerify: the check of an installation from the main window (File > Verify
// Installation). When it is first shown it checks the chosen products in the install-to
// directory against the CD, showing the file being checked and a bar, then lists every
// item that is not as the install left it (file, state, expected and found size). Repair
// closes it to put back exactly those; Close (Esc, the close box) just closes it.
#pragma once

#include <memory>

#include "setup/dialogs/form.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/engine/install_check.h"
#include "setup/engine/shortcut_library.h"
#include "setup/session/install_log.h"
#include "setup/session/policy_port.h"
#include "setup/session/session.h"

namespace qv {

class FrmVerify : public ui::Form {
public:
    FrmVerify(Session& session, InstallLog& log, ShortcutLibrary& shortcuts);
    ~FrmVerify() override;

    // Loads the window, shows it modally over owner and checks. True when the user chose
    // Repair: Result() then holds what to repair.
    bool Run(HWND owner);
    const Survey& Result() const { return survey_; }

protected:
    void OnLoad() override;
    void OnActivate() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    class CheckPort;
    void Check();
    void ListDrift();

    Session& session_;
    ShortcutLibrary& shortcuts_;
    std::unique_ptr<CheckPort> window_;  // the file being checked and the bar, boxes over this window
    LoggingPort port_;                   // the same, written to the install log
    Survey survey_;
    bool checked_ = false;
    bool repair_ = false;
};

}  // namespace qv

// frmGroup: near the end of an install that included the tools, the user decides whether
// the program group and its shortcuts are made, gives the group's title and confirms the
// directory of the database client's connectivity programs. There is no Cancel: OK is
// the only way on. OK hides the dialog (it stays loaded, so that its text boxes can be
// read); with the group box checked it first checks that the connectivity directory
// exists and puts the wait window on screen, which stays while the group is made.
#pragma once

#include <string>

#include "setup/dialogs/dir_list.h"
#include "setup/dialogs/drive_list.h"
#include "setup/dialogs/form.h"
#include "setup/dialogs/frm_wait.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/session/install_log.h"
#include "setup/session/policy_port.h"
#include "setup/session/session.h"

namespace qv {

class FrmGroup : public ui::Form {
public:
    FrmGroup(Session& session, FrmWait& wait, InstallLog& log);

    // Loads the dialog and shows it modally over owner until OK hides it.
    void Run(HWND owner);

    // What the install completion reads after the dialog has closed.
    std::string GroupTitle() const;  // txtGroupTitle
    std::string DbDir() const;       // txtDbdir
    bool CreateGroupChecked() const; // chkGroup

protected:
    void OnLoad() override;
    void OnActivate() override;
    bool OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // The close box does what OK does: the completion needs the dialog's answers.
    void OnCloseBox() override { Ok(); }

private:
    void GroupClicked();
    void DriveChanged();
    void Ok();

    Session& session_;
    FrmWait& wait_;
    WinUserPort window_;  // message boxes over this dialog
    LoggingPort port_;    // the same, written to the install log
    ui::DriveList drive1_;
    ui::DirList dir1_;
    bool groupLabelsGrey_ = false;
};

}  // namespace qv

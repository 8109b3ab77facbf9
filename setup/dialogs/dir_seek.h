// DirSeek, the directory chooser: a drive list, a directory list and the text box
// CurrentDir that holds the chosen path, with OK and Cancel. OK and Cancel (and the
// window frame's close box, which counts as Cancel) hide it; it stays loaded for the
// next use. The caller sets the caption, the directory and the drive, shows it modally
// and reads DirSeekOk and CurrentDir.
#pragma once

#include <string>

#include "setup/dialogs/dir_list.h"
#include "setup/dialogs/drive_list.h"
#include "setup/dialogs/form.h"
#include "setup/dialogs/user_port_win.h"
#include "setup/session/install_log.h"
#include "setup/session/policy_port.h"
#include "setup/session/session.h"

namespace qv {

class DirSeek : public ui::Form {
public:
    DirSeek(Session& session, InstallLog& log);

    ui::DriveList& Drive1() { return drive1_; }
    ui::DirList& Dir1() { return dir1_; }

    // The path of Dir1; false (nothing moves) when the directory cannot be opened.
    bool SetDirPath(const std::string& path);
    // The drive of Drive1; its change handling runs. False when there is no such drive.
    bool SetDrive(char letter);
    std::string CurrentDir() const;

    // Shows the chooser modally over owner, starting at startDir and (when startDir
    // cannot be opened) on startDrive. True after OK, with the text of CurrentDir.
    bool Choose(HWND owner, const std::string& caption, const std::string& startDir, char startDrive,
                std::string& chosen);

protected:
    void OnLoad() override;
    void OnActivate() override;
    bool OnCommand(int id, int code, HWND control) override;

private:
    void DriveChanged();

    Session& session_;
    WinUserPort window_;  // message boxes over this dialog
    LoggingPort port_;    // the same, written to the install log
    ui::DriveList drive1_;
    ui::DirList dir1_;
    std::string savedDrive_;  // the last drive the list showed without error
    bool restoring_ = false;  // putting the drive list back after an error
};

}  // namespace qv

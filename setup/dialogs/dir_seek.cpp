#include "setup/dialogs/dir_seek.h"

#include "setup/dialogs/dialog_texts.h"
#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"

namespace qv {

namespace id = ids::dir_seek;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

DirSeek::DirSeek(Session& session, InstallLog& log)
    : Form(ids::kDirSeekClass, 4320, 4545), session_(session), port_(window_, log) {}

void DirSeek::OnLoad() {
    window_.SetOwner(hwnd());
    HFONT regular = SansSerif(FontSize::Small, false);
    HFONT bold = SansSerif(FontSize::Small, true);

    // Created in tab order: the text box first, so that the focus starts there.
    AddControl("Edit", id::CurrentDir, "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
               Twips{1185, 600, 2895, 315}, regular);
    dir1_.Create(hwnd(), id::Dir1, ui::ToPixels(Twips{120, 1140, 1935, 3180}), regular);
    Attach(&dir1_);
    if (dir1_.KeysError().number != 0)
        port_.LogStep("The directory list cannot take the Enter key" + SystemCause(dir1_.KeysError()));
    drive1_.Create(hwnd(), id::Drive1, ui::ToPixels(Twips{1185, 120, 2910, 315}), regular);
    Attach(&drive1_);
    AddControl("Button", id::btnOK, Res(session_, Str::Ok), WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0,
               Twips{2400, 1920, 1725, 495}, bold);
    AddControl("Button", id::btnCancel, Res(session_, Str::Cancel), WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
               Twips{2400, 2640, 1725, 495}, bold);
    AddAutoSizeLabel(id::lblDrive, Res(session_, Str::Drive), 135, 195, regular);
    AddAutoSizeLabel(id::lblDirectory, Res(session_, Str::Directory), 120, 660, regular);
    SetDefaultButton(id::btnOK);

    dir1_.onChange = [this] { SetItemText(id::CurrentDir, dir1_.Path()); };
    drive1_.onChange = [this] { DriveChanged(); };
    drive1_.onFocus = [this] { savedDrive_ = drive1_.Drive(); };

    // The directory list starts at the process's current directory, on its drive.
    char current[MAX_PATH * 2];
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    RunError error;
    if (length > 0 && length < sizeof current) PassOver(dir1_.SetPath(std::string(current, length), error));
    drive1_.SetDrive(dir1_.Path().substr(0, 2), false);
    SetItemText(id::CurrentDir, dir1_.Path());
    // Until the list is first focused or changed, a drive error returns to this drive.
    savedDrive_ = drive1_.Drive();
}

void DirSeek::OnActivate() { ui::SetBusy(false); }

bool DirSeek::OnCommand(int command, int /*code*/, HWND /*control*/) {
    switch (command) {
        case id::btnOK:
            session_.DirSeekOk = -1;
            Hide();
            return true;
        case id::btnCancel:  // also Esc and the close box
            session_.DirSeekOk = 0;
            Hide();
            return true;
        default:
            return false;
    }
}

void DirSeek::DriveChanged() {
    const std::string drive = drive1_.Drive();
    RunError error;
    if (!dir1_.SetPath(drive.substr(0, 2), error)) {
        port_.ShowMessage(
            {DriveErrorText(session_, drive, error.description), kAppTitle, Buttons::Ok, Icon::Exclamation, 1});
        // Back to the last good drive; when that one fails too, the list stays.
        if (restoring_ || savedDrive_.empty() || savedDrive_ == drive) return;
        restoring_ = true;
        drive1_.SetDrive(savedDrive_);
        restoring_ = false;
        return;
    }
    SetItemText(id::CurrentDir, dir1_.Path());
    savedDrive_ = drive;
}

bool DirSeek::SetDirPath(const std::string& path) {
    if (!Load()) return false;
    RunError error;
    return dir1_.SetPath(path, error);
}

bool DirSeek::SetDrive(char letter) {
    if (!Load() || letter == '\0') return false;
    return drive1_.SetDrive(std::string(1, letter));
}

std::string DirSeek::CurrentDir() const { return ItemText(id::CurrentDir); }

bool DirSeek::Choose(HWND owner, const std::string& caption, const std::string& startDir, char startDrive,
                     std::string& chosen) {
    if (!Load()) return false;
    SetCaption(caption);
    if (SetDirPath(startDir)) {
        // The drive list follows the directory without moving it again.
        drive1_.SetDrive(dir1_.Path().substr(0, 2), false);
        savedDrive_ = drive1_.Drive();
    } else {
        SetDrive(startDrive);
    }
    SetItemText(id::CurrentDir, dir1_.Path());
    session_.DirSeekOk = 0;
    ShowModal(owner);
    chosen = CurrentDir();
    return session_.DirSeekOk == -1;
}

}  // namespace qv

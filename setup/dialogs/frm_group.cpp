#include "setup/dialogs/frm_group.h"

#include "setup/dialogs/dialog_texts.h"
#include "setup/engine/install_completion.h"
#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"

namespace qv {

namespace id = ids::frm_group;
using ui::ControlFont;
using ui::ControlRow;
using ui::Twips;

namespace {

// The group frame's controls are placed relative to the frame.
constexpr int kFrameLeft = 300, kFrameTop = 240;

constexpr Twips InFrame(int left, int top, int width, int height) {
    return Twips{kFrameLeft + left, kFrameTop + top, width, height};
}

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT;
constexpr DWORD kTextBox = WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;

// The dialog's controls in tab order, in twips, so that the focus starts in the
// connectivity directory. The drives label comes just before its list, so that its
// mnemonic moves there. The two lists are controls of our own.
constexpr ControlRow kControls[] = {
    {id::lblDbDir, "Static", "", kLabel | SS_NOPREFIX, 0, {300, 2160, 2805, 585}, ControlFont::Bold},
    {id::txtDbdir, "Edit", "", kTextBox, WS_EX_CLIENTEDGE, {300, 2760, 2535, 315}, ControlFont::Regular},
    {id::Dir1, nullptr, "", 0, 0, {3195, 2130, 2595, 2055}, ControlFont::Regular},
    {id::lblDrives, "Static", "", kLabel, 0, {3195, 4350, 2595, 195}, ControlFont::Bold},
    {id::Drive1, nullptr, "", 0, 0, {3195, 4605, 2595, 315}, ControlFont::Regular},
    {id::btnOk, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, {690, 4215, 1215, 495},
     ControlFont::Bold},
    {id::Frame1, "Button", "", WS_VISIBLE | BS_GROUPBOX, 0, {kFrameLeft, kFrameTop, 5490, 1440}, ControlFont::Bold},
    {id::chkGroup, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, InFrame(255, 240, 4875, 420),
     ControlFont::Bold},
    {id::txtGroupTitle, "Edit", "", kTextBox, WS_EX_CLIENTEDGE, InFrame(2760, 870, 2610, 345), ControlFont::Regular},
    {id::lblGroup, "Static", "", kLabel, 0, InFrame(255, 825, 2385, 210), ControlFont::Bold},
    {id::lblMax, "Static", "", kLabel | SS_NOPREFIX, 0, InFrame(255, 1020, 2385, 210), ControlFont::Bold},
};

}  // namespace

FrmGroup::FrmGroup(Session& session, FrmWait& wait, InstallLog& log)
    : Form(ids::kFrmGroupClass, 6135, 5160), session_(session), wait_(wait), port_(window_, log) {}

void FrmGroup::OnLoad() {
    window_.SetOwner(hwnd());
    SetCaption(kAppTitle);
    AddControls(kControls, [this](const ControlRow& row) {
        const RECT place = ui::ToPixels(row.place);
        if (row.id == id::Dir1) {
            dir1_.Create(hwnd(), id::Dir1, place, ui::FontOf(row.font));
            Attach(&dir1_);
            if (dir1_.KeysError().number != 0)
                port_.LogStep("The directory list cannot take the Enter key" + SystemCause(dir1_.KeysError()));
        } else {
            drive1_.Create(hwnd(), id::Drive1, place, ui::FontOf(row.font));
            Attach(&drive1_);
        }
    });
    SetDefaultButton(id::btnOk);
    CheckDlgButton(hwnd(), id::chkGroup, BST_CHECKED);
    groupLabelsGrey_ = false;

    dir1_.onChange = [this] { SetItemText(id::txtDbdir, dir1_.Path()); };
    drive1_.onChange = [this] { DriveChanged(); };

    // Until the default directory is opened, the lists show the current directory.
    char current[MAX_PATH * 2];
    const DWORD length = GetCurrentDirectoryA(sizeof current, current);
    RunError error;
    if (length > 0 && length < sizeof current && dir1_.SetPath(std::string(current, length), error))
        drive1_.SetDrive(dir1_.Path().substr(0, 2), false);

    // The texts, in their order.
    SetItemText(id::Frame1, Res(session_, Str::ProgramManagerGroup));
    SetItemText(id::chkGroup, Res(session_, Str::CreateGroup));
    SetItemText(id::lblGroup, Res(session_, Str::GroupTitle));
    SetItemText(id::lblMax, Res(session_, Str::GroupTitleLimit));
    SetItemText(id::lblDbDir, session_.DbPlatformName + " " + Res(session_, Str::ConnectivityDir));
    SetItemText(id::lblDrives, Res(session_, Str::Drives));
    SetItemText(id::txtGroupTitle, Res(session_, Str::DefaultGroupTitle));
    SetItemText(id::btnOk, Res(session_, Str::Ok));
    SendMessageA(Item(id::txtGroupTitle), EM_LIMITTEXT, kMaxGroupTitle, 0);

    // The default directory: a drive or directory that cannot be opened leaves the lists
    // where they were, without a message; the text box shows it all the same.
    const std::string defaultDir = DefaultConnectivityDir(session_);
    if (!defaultDir.empty() && drive1_.SetDrive(defaultDir.substr(0, 1), false))
        PassOver(dir1_.SetPath(drive1_.Drive().substr(0, 2), error));  // the directory list follows the drive
    PassOver(dir1_.SetPath(defaultDir, error));
    SetItemText(id::txtDbdir, defaultDir);

    session_.CreateGroup = true;

    if (!ConnectivityControlsEnabled(session_)) {
        for (int control : {id::lblDbDir, id::txtDbdir, id::Dir1, id::Drive1, id::lblDrives})
            EnableWindow(Item(control), FALSE);
        SetItemText(id::txtDbdir, InitialConnectivityDir(session_));
    }
}

void FrmGroup::Run(HWND owner) {
    if (!Load()) return;
    ShowModal(owner);
}

void FrmGroup::OnActivate() { ui::SetBusy(false); }

bool FrmGroup::OnCommand(int command, int code, HWND /*control*/) {
    switch (command) {
        case id::btnOk:
            Ok();
            return true;
        case id::chkGroup:
            if (code == BN_CLICKED) GroupClicked();
            return true;
        case ids::kIdCancel:  // Esc: there is nothing to cancel
            return true;
        default:
            return false;
    }
}

bool FrmGroup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message != WM_CTLCOLORSTATIC) return false;
    const int control = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    if (control != id::lblGroup && control != id::lblMax) return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, groupLabelsGrey_ ? RGB(0x80, 0x80, 0x80) : RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}

void FrmGroup::GroupClicked() {
    const bool checked = CreateGroupChecked();
    groupLabelsGrey_ = !checked;
    for (int control : {id::lblGroup, id::lblMax}) InvalidateRect(Item(control), nullptr, TRUE);
    EnableWindow(Item(id::txtGroupTitle), checked ? TRUE : FALSE);
    session_.CreateGroup = checked;
}

void FrmGroup::DriveChanged() {
    // A drive that cannot be read is reported; the lists stay where they are.
    RunError error;
    if (dir1_.SetPath(drive1_.Drive().substr(0, 2), error)) return;
    port_.ShowMessage({DriveErrorText(session_, drive1_.Drive(), error.description), kAppTitle, Buttons::Ok,
                       Icon::Exclamation, 1});
}

void FrmGroup::Ok() {
    if (!CreateGroupChecked()) {
        Hide();
        return;
    }
    if (!ConnectivityDirFound(DbDir())) {
        port_.ShowMessage({Res(session_, Str::NoConnectivityDir), kAppTitle, Buttons::Ok, Icon::None, 1});
        HWND text = Item(id::txtDbdir);
        FocusControl(text);
        SendMessageA(text, EM_SETSEL, 0, -1);
        return;
    }
    ui::SetBusy(true);
    wait_.Load();
    wait_.SetCaption(Res(session_, Str::PleaseWait));
    wait_.SetMessage(Res(session_, Str::CreatingGroup));
    Hide();
    wait_.Show();
    ui::PumpPendingMessages();
}

std::string FrmGroup::GroupTitle() const { return ItemText(id::txtGroupTitle); }

std::string FrmGroup::DbDir() const { return ItemText(id::txtDbdir); }

bool FrmGroup::CreateGroupChecked() const {
    return IsLoaded() && IsDlgButtonChecked(hwnd(), id::chkGroup) == BST_CHECKED;
}

}  // namespace qv

#include "setup/mainwindow/qv_setup.h"

#include <windows.h>

#include <commctrl.h>

#include <iterator>
#include <utility>
#include <vector>

#include "setup/dialogs/common_controls_win.h"
#include "setup/dialogs/dialog_texts.h"
#include "setup/engine/install_check.h"
#include "setup/engine/install_driver.h"
#include "setup/engine/install_run.h"
#include "setup/resources/control_ids.h"
#include "setup/session/disk_utils.h"
#include "setup/session/platforms.h"
#include "setup/session/res_strings.h"
#include "setup/session/startup.h"

namespace qv {

namespace id = ids::qv_setup;
using ui::FontSize;
using ui::SansSerif;
using ui::Twips;

namespace {

// Posted messages of the main window.
constexpr UINT kInstallFromMouseUp = WM_APP + 1;  // wParam: button, lParam: shift
constexpr UINT kReload = WM_APP + 2;

// The panel that holds the controls, centred below the title, in twips.
constexpr int kPanelWidth = 9600;
constexpr int kPanelHeight = 6810;
constexpr int kTitleHeight = 1200;  // the band of the backdrop with the program's title

constexpr DWORD kLabel = WS_VISIBLE | SS_LEFT;
constexpr DWORD kFigure = WS_VISIBLE | SS_RIGHT | SS_CENTERIMAGE | SS_NOPREFIX;

// The controls on the panel in tab order (the product list is where the focus starts),
// each at its place on the panel in twips.
constexpr ui::ControlRow kControls[] = {
    {id::Image1, "Static", "", WS_VISIBLE | SS_BITMAP, 0, {360, 300, 960, 960}, ui::ControlFont::Regular},
    {id::Label3, "Static", "", kLabel, 0, {1560, 360, 2400, 255}, ui::ControlFont::Bold},
    {id::lblInstallSpec, "Static", "", kLabel | SS_NOPREFIX, 0, {1560, 660, 7680, 420}, ui::ControlFont::LargeBold},
    {id::ProductBox, "ListBox", "",
     WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_MULTIPLESEL | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE,
     {360, 1620, 5280, 3060}, ui::ControlFont::Regular},
    {id::lblFreeSpace, "Static", "", kLabel, 0, {5880, 1620, 3360, 255}, ui::ControlFont::Bold},
    {id::DiskSize, "Static", "", kFigure, WS_EX_STATICEDGE, {5880, 1890, 3360, 345}, ui::ControlFont::Regular},
    {id::lblProductSize, "Static", "", kLabel, 0, {5880, 2430, 3360, 255}, ui::ControlFont::Bold},
    {id::ProductSize, "Static", "", kFigure, WS_EX_STATICEDGE, {5880, 2700, 3360, 345}, ui::ControlFont::Regular},
    {id::lblSpaceRemaining, "Static", "", kLabel, 0, {5880, 3240, 3360, 255}, ui::ControlFont::Bold},
    {id::SpaceRemaining, "Static", "", kFigure, WS_EX_STATICEDGE, {5880, 3510, 3360, 345}, ui::ControlFont::Regular},
    {id::chkConfigure, "Button", "", WS_TABSTOP | BS_AUTOCHECKBOX, 0, {5880, 4080, 3360, 300}, ui::ControlFont::Bold},
    {id::lblInstall, "Static", "", kLabel, 0, {360, 4980, 1920, 255}, ui::ControlFont::Bold},
    {id::lblQvver, "Edit", "", WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, {2340, 4920, 6300, 345},
     ui::ControlFont::Regular},
    {id::btnDirBrowse, "Button", "...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, {8700, 4905, 540, 375},
     ui::ControlFont::Bold},
    {id::Label2, "Static", "", kLabel, 0, {360, 5460, 1920, 255}, ui::ControlFont::Bold},
    {id::lblInstallFromDir, "Static", "", kLabel | SS_NOTIFY | SS_NOPREFIX | SS_PATHELLIPSIS, 0,
     {2340, 5460, 6900, 255}, ui::ControlFont::Regular},
    {id::btnInstall, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, {6420, 6120, 1320, 450},
     ui::ControlFont::Bold},
    {id::btnExit, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, {7920, 6120, 1320, 450},
     ui::ControlFont::Bold},
};
// Etched lines across the panel, at these heights.
constexpr int kRules[] = {1410, 5940};

// The mouse buttons and shift state of a mouse message, in the classic codes.
int ShiftState(WPARAM keys) {
    return ((keys & MK_SHIFT) ? 1 : 0) | ((keys & MK_CONTROL) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
}

// lblInstallFromDir reports a released mouse button to the main window.
LRESULT CALLBACK InstallFromLabelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                      DWORD_PTR /*data*/) {
    try {
        int button = 0;
        switch (message) {
            case WM_LBUTTONUP: button = 1; break;
            case WM_RBUTTONUP: button = 2; break;
            case WM_MBUTTONUP: button = 4; break;
            default: break;
        }
        if (button)
            PostMessageA(GetParent(window), kInstallFromMouseUp, static_cast<WPARAM>(button), ShiftState(wParam));
        if (message == WM_CONTEXTMENU) return 0;  // the label has no menu and gives no cue
        return common_controls::DefSubclass(window, message, wParam, lParam);
    } catch (...) {
        ui::EndOnException();
    }
}

}  // namespace

QVSetup::QVSetup(Session& session, const StartupOptions& options, InstallLog& log, MainWindowDialogs dialogs,
                 std::function<void()> onExit)
    : Form(ids::kQVSetupClass, kPanelWidth, kPanelHeight + kTitleHeight),
      session_(session),
      options_(options),
      dialogs_(dialogs),
      onExit_(std::move(onExit)),
      window_(dialogs.getProdForm),
      port_(window_, log) {}

QVSetup::~QVSetup() {
    Unload();  // the picture control lets the bitmap go first
    if (redBrush_) DeleteObject(redBrush_);
    if (picture_) DeleteObject(picture_);
}

HICON QVSetup::ClassIcon() const {
    return LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(ids::kIconResource));
}

// ---- Load: the main start-up ----

void QVSetup::OnLoad() {
    MainView& view = *this;
    logic_ = std::make_unique<MainWindowLogic>(session_, port_, view);
    entryVisible_ = {};
    entryChecked_ = {};
    remainingExhausted_ = false;

    ui::SetBusy(true);
    ui::PumpPendingMessages();

    FillScreen();
    CreateControls();
    SetItemText(id::lblInstallFromDir, session_.SourceDir);
    SetCaptions();

    // chkConfigure stays hidden and cleared; the Install menu is offered.
    ShowWindow(Item(id::chkConfigure), SW_HIDE);
    SendMessageA(Item(id::chkConfigure), BM_SETCHECK, BST_UNCHECKED, 0);
    logic_->SetConfigure(false);
    BuildMenu();

    // The platform first: the caption shows it.
    const DbPlatform* platform = FindDbPlatform(options_.dbPlatformCode);
    SetDbPlatform(session_, platform ? *platform : *FindDbPlatform(kDefaultDbPlatform));
    SetCaption(MainWindowCaption(session_));

    ScanCatalogue();

    logic_->ProposeDefaultInstallDir();
    logic_->ShowInstallTypeMenus();
    logic_->FillProductList(kDefaultInstallType);
    LayoutPanel();
    logic_->ShowFreeSpace();
    logic_->SumProductSize();
    logic_->ShowSpaceRemaining();

    dialogs_.getProdForm.Hide();
    dialogs_.getProdForm.Unload();
    window_.SetOwner(hwnd());
}

void QVSetup::ScanCatalogue() {
    GetProdForm& scan = dialogs_.getProdForm;
    scan.Show();
    window_.SetOwner(scan.hwnd());
    dialogs_.dirSeek.Load();  // its drive list serves for the default install-to directory
    // Checking turned off by the Ctrl gesture stays off when another install-from
    // directory loads the window again; /CRC turns it on only for the first load.
    const bool turnedOff = session_.NoCrcCheck;
    PrepareCatalogue(session_, port_, session_.DbPlatformCode);
    window_.ShowScanCounters();
    if (options_.crcCheck && !turnedOff) session_.NoCrcCheck = false;
    window_.SetOwner(hwnd());
}

void QVSetup::CreateControls() {
    // Made at no place; LayoutPanel puts them on the panel.
    for (ui::ControlRow row : kControls) {
        row.place = {};
        AddControl(row.windowClass, row.id, row.text, row.style, row.exStyle, row.place, ui::FontOf(row.font));
    }
    for (int rule = 0; rule < static_cast<int>(std::size(kRules)); ++rule)
        AddControl("Static", 0, "", WS_VISIBLE | SS_ETCHEDHORZ, 0, Twips{}, nullptr);
    SetDefaultButton(id::btnInstall);

    if (!picture_)
        picture_ = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(nullptr),
                                                   MAKEINTRESOURCEA(ids::kMainBitmapResource), IMAGE_BITMAP, 0, 0,
                                                   LR_LOADMAP3DCOLORS));
    if (picture_) SendMessageA(Item(id::Image1), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_));
    // Without its subclass the label would not report the hidden gestures: the window
    // works on, and the log says why they do nothing.
    if (!common_controls::SetSubclass(Item(id::lblInstallFromDir), &InstallFromLabelProc, 1, 0))
        port_.LogStep("The install-from label cannot take mouse gestures" +
                      SystemCause(FromSystemError(GetLastError())));
    SendMessageA(Item(id::lblQvver), EM_LIMITTEXT, MAX_PATH, 0);
    LayoutPanel();
}

void QVSetup::SetCaptions() {
    const struct {
        int control;
        Str text;
    } captions[] = {
        {id::lblInstall, Str::InstallToDirectory}, {id::lblFreeSpace, Str::FreeSpace},
        {id::lblProductSize, Str::ProductSize},     {id::lblSpaceRemaining, Str::SpaceRemaining},
        {id::chkConfigure, Str::ConfigureSystem},   {id::Label3, Str::InstallLabel},
        {id::lblInstallSpec, Str::InstallSpec},     {id::btnInstall, Str::InstallButton},
        {id::btnExit, Str::ExitButton},         {id::Label2, Str::InstallingFrom},
    };
    for (const auto& caption : captions) SetItemText(caption.control, Res(session_, caption.text));
}

void QVSetup::BuildMenu() {
    // A menu bar that cannot be made leaves the window without one: the buttons and the
    // keyboard shortcuts still work, and the log says why the menu is missing.
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU install = CreatePopupMenu();
    HMENU help = CreatePopupMenu();
    const bool made =
        bar && file && install && help &&
        AppendMenuA(file, MF_STRING, id::mnuFileVerify, Res(session_, Str::MenuVerify).c_str()) &&
        AppendMenuA(file, MF_SEPARATOR, 0, nullptr) &&
        AppendMenuA(file, MF_STRING, id::mnuFileExit, (Res(session_, Str::MenuExit) + "\tCtrl+X").c_str()) &&
        AppendMenuA(help, MF_STRING, id::mnuHelpContents, Res(session_, Str::MenuContents).c_str()) &&
        AppendMenuA(help, MF_SEPARATOR, 0, nullptr) &&
        AppendMenuA(help, MF_STRING, id::mnuHelpAbout, Res(session_, Str::MenuAbout).c_str()) &&
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), Res(session_, Str::MenuFile).c_str()) &&
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(install), Res(session_, Str::MenuInstall).c_str()) &&
        AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), Res(session_, Str::MenuHelp).c_str());
    HMENU old = GetMenu(hwnd());
    if (!made || !SetMenu(hwnd(), bar)) {
        port_.LogStep("The main window's menu cannot be made" + SystemCause(FromSystemError(GetLastError())));
        for (HMENU menu : {bar, file, install, help})
            if (menu) DestroyMenu(menu);  // a popup already appended goes with the bar
        installMenu_ = nullptr;
    } else {
        installMenu_ = install;
        if (old) DestroyMenu(old);
    }

    // The design checks entries 0 and 1.
    entryChecked_[0] = entryChecked_[1] = true;
    RebuildInstallMenu();

    std::vector<ACCEL> keys = {{FVIRTKEY | FCONTROL, 'X', id::mnuFileExit}, {FVIRTKEY, VK_F1, id::mnuHelpContents}};
    for (int i = 0; i < kInstallTypeCount; ++i)
        keys.push_back({FVIRTKEY | FCONTROL, static_cast<WORD>(FindInstallType(i)->shortcutKey),
                        static_cast<WORD>(id::mnuInstall + i)});
    HACCEL table = CreateAcceleratorTableA(keys.data(), static_cast<int>(keys.size()));
    if (!table) port_.LogStep("The main window's keyboard shortcuts cannot be made" +
                              SystemCause(FromSystemError(GetLastError())));
    SetAccelerators(table);
}

void QVSetup::RebuildInstallMenu() {
    if (!installMenu_) return;
    while (GetMenuItemCount(installMenu_) > 0) DeleteMenu(installMenu_, 0, MF_BYPOSITION);
    for (int i = 0; i < kInstallTypeCount; ++i) {
        if (!entryVisible_[static_cast<size_t>(i)]) continue;
        const InstallType* type = FindInstallType(i);
        // Entry 1 takes its caption from the string table, the others keep their design.
        const std::string caption = i == kDefaultInstallType ? Res(session_, Str::MenuInstallType1) : type->menuCaption;
        const std::string text = caption + "\tCtrl+" + type->shortcutKey;
        AppendMenuA(installMenu_, MF_STRING | (entryChecked_[static_cast<size_t>(i)] ? MF_CHECKED : MF_UNCHECKED),
                    static_cast<UINT_PTR>(id::mnuInstall + i), text.c_str());
    }
    DrawMenuBar(hwnd());
}

// ---- Layout and drawing ----

RECT QVSetup::PanelRect() const {
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int width = ui::TwipsToPixelsX(kPanelWidth), height = ui::TwipsToPixelsY(kPanelHeight);
    const int title = ui::TwipsToPixelsY(kTitleHeight);
    int left = (client.right - width) / 2;
    int top = title + (client.bottom - title - height) / 2;
    if (left < 0) left = 0;
    if (top < title) top = client.bottom - height > 0 ? client.bottom - height : 0;
    return {left, top, left + width, top + height};
}

void QVSetup::LayoutPanel() {
    if (!hwnd()) return;
    const RECT panel = PanelRect();
    for (const ui::ControlRow& row : kControls) {
        HWND control = Item(row.id);
        if (!control) continue;
        RECT r = ui::ToPixels(row.place);
        if (row.id == id::Image1 && picture_) {
            BITMAP info{};
            if (GetObjectA(picture_, sizeof info, &info)) {
                r.right = r.left + info.bmWidth;
                r.bottom = r.top + info.bmHeight;
            }
        }
        SetWindowPos(control, nullptr, panel.left + r.left, panel.top + r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The etched rules are the controls with id 0, in the order they were made.
    int rule = 0;
    for (HWND child = GetWindow(hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) != 0 || rule >= static_cast<int>(std::size(kRules))) continue;
        const RECT r = ui::ToPixels(Twips{360, kRules[rule++], kPanelWidth - 720, 30});
        SetWindowPos(child, nullptr, panel.left + r.left, panel.top + r.top, r.right - r.left, 2,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(hwnd(), nullptr, TRUE);
}

bool QVSetup::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(hwnd(), &client);
            backdrop_.Paint(reinterpret_cast<HDC>(wParam), client, PanelRect(), Res(session_, Str::AppTitle));
            result = 1;
            return true;
        }
        case WM_SIZE:
            LayoutPanel();
            return false;
        case WM_CTLCOLORSTATIC: {
            const int control = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
            if (control != id::DiskSize && control != id::ProductSize && control != id::SpaceRemaining) return false;
            HDC dc = reinterpret_cast<HDC>(wParam);
            const bool red = control == id::SpaceRemaining && remainingExhausted_;
            if (red && !redBrush_) redBrush_ = CreateSolidBrush(RGB(255, 0, 0));
            SetTextColor(dc, red ? RGB(255, 255, 255) : RGB(0, 0, 0));
            SetBkColor(dc, red ? RGB(255, 0, 0) : RGB(255, 255, 255));
            result = reinterpret_cast<LRESULT>(red && redBrush_ ? redBrush_ : GetStockObject(WHITE_BRUSH));
            return true;
        }
        case kInstallFromMouseUp:
            logic_->InstallFromMouseUp(static_cast<int>(wParam), static_cast<int>(lParam));
            result = 0;
            return true;
        case kReload:
            // Another install-from directory: the window is made again against it.
            Unload();
            Show();
            ui::SetBusy(false);
            result = 0;
            return true;
        default:
            return false;
    }
}

// ---- Events ----

bool QVSetup::OnCommand(int command, int code, HWND /*control*/) {
    if (command >= id::mnuInstall && command < id::mnuInstall + kInstallTypeCount) {
        logic_->InstallTypeChosen(command - id::mnuInstall);
        return true;
    }
    switch (command) {
        case id::mnuFileExit:
        case id::btnExit:  // also Esc
            if (onExit_) onExit_();
            return true;
        case id::mnuHelpContents:
            OnHelp();
            return true;
        case id::mnuFileVerify:
            logic_->VerifyClick();
            return true;
        case id::mnuHelpAbout:
            dialogs_.about.ShowModal(hwnd());
            return true;
        case id::btnInstall:  // also Enter, which the dialog keys give only while it is enabled
            logic_->InstallClick();
            return true;
        case id::btnDirBrowse:
            logic_->BrowseInstallTo();
            return true;
        case id::ProductBox:
            if (code == LBN_SELCHANGE) logic_->ProductBoxClick();
            return true;
        case id::lblQvver:
            if (code == EN_CHANGE && !settingInstallTo_) logic_->InstallToChanged(InstallToText());
            if (code == EN_KILLFOCUS) logic_->InstallToLostFocus(InstallToText());
            return true;
        case id::chkConfigure:
            logic_->SetConfigure(SendMessageA(Item(id::chkConfigure), BM_GETCHECK, 0, 0) == BST_CHECKED);
            return true;
        default:
            return false;
    }
}

void QVSetup::OnCloseBox() {
    if (onExit_) onExit_();
}

void QVSetup::OnHelp() {
    ui::SetBusy(true);
    ShowHelpFile(hwnd(), session_);
    ui::SetBusy(false);
}

// ---- MainView ----

void QVSetup::ShowInstallTypeEntry(int index) {
    if (index < 0 || index >= kInstallTypeCount) return;
    entryVisible_[static_cast<size_t>(index)] = true;
    RebuildInstallMenu();
}

void QVSetup::CheckInstallTypeEntry(int index, bool checked) {
    if (index < 0 || index >= kInstallTypeCount) return;
    entryChecked_[static_cast<size_t>(index)] = checked;
    if (installMenu_)
        CheckMenuItem(installMenu_, static_cast<UINT>(id::mnuInstall + index),
                      MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void QVSetup::SetInstallSpec(const std::string& text) { SetItemText(id::lblInstallSpec, text); }

void QVSetup::ClearProductList() { SendMessageA(Item(id::ProductBox), LB_RESETCONTENT, 0, 0); }

bool QVSetup::AddProductListItem(const std::string& text) {
    const LRESULT added = SendMessageA(Item(id::ProductBox), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    return added != LB_ERR && added != LB_ERRSPACE;
}

void QVSetup::SetProductSelected(int entry, bool selected) {
    SendMessageA(Item(id::ProductBox), LB_SETSEL, selected ? TRUE : FALSE, entry);
}

void QVSetup::SetProductCursor(int entry) {
    SendMessageA(Item(id::ProductBox), LB_SETCARETINDEX, static_cast<WPARAM>(entry), FALSE);
}

int QVSetup::ProductEntryCount() {
    const LRESULT count = SendMessageA(Item(id::ProductBox), LB_GETCOUNT, 0, 0);
    return count > 0 ? static_cast<int>(count) : 0;
}

bool QVSetup::IsProductSelected(int entry) {
    return SendMessageA(Item(id::ProductBox), LB_GETSEL, static_cast<WPARAM>(entry), 0) > 0;
}

void QVSetup::SetInstallToText(const std::string& text) {
    settingInstallTo_ = true;
    SetItemText(id::lblQvver, text);
    settingInstallTo_ = false;
}

std::string QVSetup::InstallToText() { return ItemText(id::lblQvver); }

void QVSetup::FocusInstallToAtEnd() {
    HWND edit = Item(id::lblQvver);
    const int length = GetWindowTextLengthA(edit);
    FocusControl(edit);
    SendMessageA(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
}

std::string QVSetup::ChooserDrive() { return dialogs_.dirSeek.Drive1().Drive(); }

void QVSetup::SetChooserDrive(char letter) { dialogs_.dirSeek.SetDrive(letter); }

bool QVSetup::ChooseDirectory(const std::string& caption, const std::string& startDir, char startDrive,
                              std::string& chosen) {
    return dialogs_.dirSeek.Choose(hwnd(), caption, startDir, startDrive, chosen);
}

void QVSetup::ShowDiskSize(const std::string& text) { SetItemText(id::DiskSize, text); }

void QVSetup::ShowProductSize(const std::string& text) { SetItemText(id::ProductSize, text); }

void QVSetup::ShowSpaceRemaining(const std::string& text, bool exhausted) {
    remainingExhausted_ = exhausted;
    SetItemText(id::SpaceRemaining, text);
    InvalidateRect(Item(id::SpaceRemaining), nullptr, TRUE);
}

void QVSetup::EnableInstall(bool enabled) { EnableWindow(Item(id::btnInstall), enabled ? TRUE : FALSE); }

double QVSetup::FreeSpace(const std::string& root) { return qv::GetFreeSpace(root); }

bool QVSetup::TestWriteAccess(const std::string& dir) { return qv::TestWriteAccess(dir); }

void QVSetup::SetBusy(bool busy) { ui::SetBusy(busy); }

void QVSetup::DoEvents() { ui::PumpPendingMessages(); }

double QVSetup::Now() { return CurrentDateTime(); }

void QVSetup::ShowConfirmation(const std::string& installLine, const std::string& configureLine) {
    dialogs_.confirmation.Fill(installLine, configureLine);
    dialogs_.confirmation.ShowModal(hwnd());
}

void QVSetup::ShowInstallStatus() {
    dialogs_.installStatus.Load();
    ui::PumpPendingMessages();
    dialogs_.installStatus.Run(hwnd());
}

void QVSetup::VerifyInstallation(const std::string& installDir) {
    if (!logic_) return;
    if (!installDir.empty()) logic_->SetInstallTo(installDir);
    logic_->VerifyClick();
}

void QVSetup::ReloadMainWindow() { PostMessageA(hwnd(), kReload, 0, 0); }

void QVSetup::ShowVerify() {
    if (!dialogs_.verify.Run(hwnd())) return;
    // Repair: in the progress window, with the install's dialogs, Cancel and closing message.
    dialogs_.installStatus.RunRepair(hwnd(), [this](UserPort& port) {
        session_.InstallStartTime = port.Now();
        RunLock lock;
        if (!TakeDirectoryLock(session_, lock, InstallDirPath(session_), port)) {
            SetOutcomeFlags(session_, Cancelled());
            return;
        }
        SetOutcomeFlags(session_, RepairInstall(session_, port, dialogs_.verify.Result(), QvoleLibrary()));
    });
}

}  // namespace qv

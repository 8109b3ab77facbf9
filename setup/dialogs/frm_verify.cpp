#include "setup/dialogs/frm_verify.h"
#include "setup/session/disk_utils.h"

#include <commctrl.h>

#include "setup/engine/install_run.h"
#include "setup/resources/control_ids.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"
#include "setup/session/throttle.h"

namespace qv {

namespace id = ids::frm_verify;
using ui::ControlFont;
using ui::ControlRow;

namespace {

// Posted on the first activation: the check starts once the window is on the screen.
constexpr UINT kStartCheck = WM_APP + 1;

constexpr ControlRow kControls[] = {
    {id::lblStatus, "Static", "", WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_PATHELLIPSIS, 0, {240, 180, 8520, 255},
     ControlFont::Bold},
    {id::Progress, PROGRESS_CLASSA, "", WS_VISIBLE, 0, {240, 540, 8520, 300}, ControlFont::None},
    {id::lstDrift, WC_LISTVIEWA, "",
     WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER, WS_EX_CLIENTEDGE,
     {240, 960, 8520, 3900}, ControlFont::Regular},
    {id::btnRepair, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, {5400, 5040, 1560, 450},
     ControlFont::Bold},
    {id::btnClose, "Button", "", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, {7200, 5040, 1560, 450},
     ControlFont::Bold},
};

// The columns of the list: their captions and widths in twips.
const struct {
    Str caption;
    int width;
} kColumns[] = {
    {Str::VerifyColumnItem, 4020}, {Str::VerifyColumnState, 1500}, {Str::VerifyColumnExpected, 1380},
    {Str::VerifyColumnFound, 1380},
};

Str StateText(ItemState state) {
    switch (state) {
        case ItemState::Missing: return Str::StateMissing;
        case ItemState::SizeDiffers: return Str::StateSizeDiffers;
        case ItemState::ChecksumDiffers: return Str::StateChecksumDiffers;
        case ItemState::Unreadable: return Str::StateUnreadable;
        default: return Str::StateChanged;
    }
}

// What the list names an item by: a file's path, an entry's section and key with its file,
// a shortcut's group and name.
std::string DriftName(const CheckItem& item) {
    if (item.kind == ItemKind::File || item.kind == ItemKind::Shortcut) return item.name;
    return item.file + " " + item.section + " " + item.name;
}

// The first column takes what the others leave of the list's width, so that no column is
// cut by the vertical scroll bar a long list gets.
void FitFirstColumn(HWND list) {
    RECT client{};
    if (!GetClientRect(list, &client)) return;
    int others = 0;
    for (int i = 1; i < static_cast<int>(std::size(kColumns)); ++i)
        others += static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
    const int width = client.right - others;
    if (width > 0) SendMessageA(list, LVM_SETCOLUMNWIDTH, 0, width);
}

}  // namespace

// The port of the check: the file being checked in the status label and the share of the
// bytes in the bar, shown at most every kDisplayInterval milliseconds.
class FrmVerify::CheckPort final : public WinUserPort {
public:
    explicit CheckPort(FrmVerify& window) : window_(window) {}
    void ShowFileName(const std::string& path) override {
        file_ = path;
        Show();
    }
    void ShowTotalPercent(int bar, const std::string&) override {
        bar_ = bar;
        Show();
    }

private:
    static constexpr uint32_t kDisplayInterval = 100;
    void Show() {
        if (!display_.Due()) return;
        window_.SetItemText(id::lblStatus, Res(window_.session_, Str::VerifyChecking) + " " + file_);
        SendMessageA(window_.Item(id::Progress), PBM_SETPOS, static_cast<WPARAM>(bar_), 0);
    }

    FrmVerify& window_;
    Throttle display_{kDisplayInterval};
    std::string file_;
    int bar_ = 0;
};

FrmVerify::FrmVerify(Session& session, InstallLog& log, ShortcutLibrary& shortcuts)
    : Form(ids::kFrmVerifyClass, 9000, 5760),
      session_(session),
      shortcuts_(shortcuts),
      window_(std::make_unique<CheckPort>(*this)),
      port_(*window_, log) {}

FrmVerify::~FrmVerify() = default;

void FrmVerify::OnLoad() {
    checked_ = repair_ = false;
    window_->SetOwner(hwnd());
    AddControls(kControls);
    SendMessageA(Item(id::Progress), PBM_SETRANGE32, 0, 100);
    HWND list = Item(id::lstDrift);
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i) {
        std::string caption = Res(session_, kColumns[i].caption);
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = i >= 2 ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = ui::TwipsToPixelsX(kColumns[i].width);
        column.pszText = caption.data();
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    SetCaption(Res(session_, Str::VerifyTitle));
    SetItemText(id::btnRepair, Res(session_, Str::RepairButton));
    SetItemText(id::btnClose, Res(session_, Str::CloseButton));
    SetItemText(id::lblStatus, Res(session_, Str::VerifyChecking));
    EnableWindow(Item(id::btnRepair), FALSE);
}

bool FrmVerify::Run(HWND owner) {
    if (!Load()) return false;
    ShowModal(owner);
    const bool repair = repair_;
    Unload();
    return repair;
}

void FrmVerify::OnActivate() {
    // Where the start cannot be posted, the check runs now rather than never.
    if (!checked_ && !PostMessageA(hwnd(), kStartCheck, 0, 0)) Check();
}

bool FrmVerify::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != kStartCheck) return false;
    Check();
    result = 0;
    return true;
}

void FrmVerify::Check() {
    if (checked_) return;
    checked_ = true;
    ui::SetBusy(true);
    port_.LogStep("Verify of " + session_.InstallDir);
    RunLock lock;
    if (TakeDirectoryLock(session_, lock, InstallDirPath(session_), port_))
        survey_ = SurveyForVerify(session_, port_, GroupOnDisk(session_, shortcuts_), shortcuts_);
    else
        survey_.complete = false;
    SendMessageA(Item(id::Progress), PBM_SETPOS, 100, 0);
    if (survey_.complete) LogVerify(session_, survey_, port_);
    ui::SetBusy(false);
    ListDrift();
}

void FrmVerify::ListDrift() {
    std::vector<const CheckItem*> drifted = DriftedItems(survey_);
    const std::vector<const CheckItem*> unchecked = UncheckedItems(survey_);
    drifted.insert(drifted.end(), unchecked.begin(), unchecked.end());
    HWND list = Item(id::lstDrift);
    // A list of thousands of items is filled without a repaint per item and drawn once.
    SendMessageA(list, LVM_SETITEMCOUNT, static_cast<WPARAM>(drifted.size()), 0);
    SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int row = 0;
    for (const CheckItem* item : drifted) {
        const std::string texts[] = {
            DriftName(*item), Res(session_, StateText(item->state)),
            item->kind == ItemKind::File ? FormatThousands(static_cast<double>(item->expectedSize)) : "",
            item->kind != ItemKind::File ? "" : item->foundSize < 0 ? "-" : FormatThousands(static_cast<double>(item->foundSize))};
        LVITEMA entry{};
        entry.mask = LVIF_TEXT;
        entry.iItem = row;
        entry.pszText = const_cast<char*>(texts[0].c_str());
        if (SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&entry)) < 0) break;
        for (int column = 1; column < 4; ++column) {
            entry.iSubItem = column;
            entry.pszText = const_cast<char*>(texts[column].c_str());
            SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&entry));
        }
        ++row;
    }
    SendMessageA(list, WM_SETREDRAW, TRUE, 0);
    FitFirstColumn(list);
    InvalidateRect(list, nullptr, TRUE);
    const Str status = !survey_.complete ? Str::VerifyIncomplete : drifted.empty() ? Str::VerifyIntact : Str::VerifyDrifted;
    SetItemText(id::lblStatus, Res(session_, status));
    const bool repairable = survey_.complete && !drifted.empty();
    EnableWindow(Item(id::btnRepair), repairable ? TRUE : FALSE);
    SetDefaultButton(repairable ? id::btnRepair : id::btnClose);
    FocusControl(Item(repairable ? id::btnRepair : id::btnClose));
}

bool FrmVerify::OnCommand(int command, int /*code*/, HWND /*control*/) {
    switch (command) {
        case id::btnRepair:
            if (!IsWindowEnabled(Item(id::btnRepair))) return true;
            repair_ = true;
            Hide();
            return true;
        case id::btnClose:  // also Esc and the close box
            if (!checked_ || ui::IsBusy()) return true;
            Hide();
            return true;
        default:
            return false;
    }
}

}  // namespace qv

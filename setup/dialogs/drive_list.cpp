#include "setup/dialogs/drive_list.h"

#include <shellapi.h>
#include <winnetwk.h>

#include <cctype>

#include "setup/session/lazy_library_win.h"
#include "setup/session/wide_text_win.h"

namespace qv::ui {
namespace {

constexpr int kIconSize = 16;

// The network name of a mapped drive ("x:") from the system's network library, loaded
// when a network drive is first shown rather than when the program starts, so that a
// copy of it beside the program is never taken.
bool NetworkName(const std::string& drive, char* remote, DWORD& length) {
    using GetConnectionFn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
    static LazyLibrary mpr("mpr.dll", LazyLibrary::Folder::System);
    static GetConnectionFn getConnection = nullptr;
    return mpr.Bind(getConnection, "WNetGetConnectionA") && getConnection(drive.c_str(), remote, &length) == NO_ERROR;
}

char LowerLetter(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string RootOf(char letter) { return std::string(1, letter) + ":\\"; }

// The small shell icon of a drive; nullptr for removable drives, which are not touched
// (reading them could wait for a medium), and when the shell has none.
HICON DriveIcon(char letter) {
    const std::string root = RootOf(letter);
    if (GetDriveTypeA(root.c_str()) == DRIVE_REMOVABLE) return nullptr;
    SHFILEINFOA info{};
    if (!SHGetFileInfoA(root.c_str(), 0, &info, sizeof info, SHGFI_ICON | SHGFI_SMALLICON)) return nullptr;
    return info.hIcon;
}

}  // namespace

std::string DriveList::DriveText(char letter) {
    letter = LowerLetter(letter);
    const std::string root = RootOf(letter);
    std::string text = std::string(1, letter) + ":";
    switch (GetDriveTypeA(root.c_str())) {
        case DRIVE_REMOTE: {
            char remote[MAX_PATH] = {};
            DWORD length = sizeof remote;
            const std::string local = text;
            if (NetworkName(local, remote, length) && remote[0]) {
                text += " [";
                text += remote;
                text += "]";
            }
            break;
        }
        case DRIVE_FIXED:
        case DRIVE_RAMDISK: {
            char label[MAX_PATH + 1] = {};
            if (GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0) &&
                label[0]) {
                text += " [";
                text += label;
                text += "]";
            }
            break;
        }
        default:
            break;  // removable drives and CDs are shown by their letter alone
    }
    return text;
}

DriveList::~DriveList() { ClearIcons(); }

void DriveList::ClearIcons() {
    for (int i = 0; i < 26; ++i) {
        if (icons_[i]) DestroyIcon(icons_[i]);
        icons_[i] = nullptr;
        iconFetched_[i] = false;
    }
}

HWND DriveList::Create(HWND parent, int id, const RECT& place, HFONT font) {
    id_ = id;
    combo_ = CreateWindowExA(0, "ComboBox", "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                                 CBS_OWNERDRAWFIXED | CBS_HASSTRINGS,
                             place.left, place.top, place.right - place.left, 300, parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (!combo_) return nullptr;
    if (font) SendMessageA(combo_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // The selection field matches the height the caller gave; the entries fit the icon.
    const int fieldHeight = (place.bottom - place.top) - 6;
    SendMessageA(combo_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight > kIconSize ? fieldHeight : kIconSize);
    SendMessageA(combo_, CB_SETITEMHEIGHT, 0, kIconSize + 2);
    Fill();
    return combo_;
}

void DriveList::Fill() {
    items_.clear();
    ClearIcons();
    SendMessageA(combo_, CB_RESETCONTENT, 0, 0);
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        const char letter = static_cast<char>('a' + i);
        items_.push_back(DriveText(letter));
        SendMessageA(combo_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items_.back().c_str()));
    }
    const int shown = drive_.empty() ? -1 : IndexOfLetter(drive_[0]);
    SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(shown), 0);
    if (shown >= 0) drive_ = items_[static_cast<size_t>(shown)];
}

void DriveList::Refresh() {
    if (combo_) Fill();
}

int DriveList::IndexOfLetter(char letter) const {
    letter = LowerLetter(letter);
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i][0] == letter) return static_cast<int>(i);
    return -1;
}

bool DriveList::SetDrive(const std::string& drive, bool notify) {
    if (drive.empty() || !combo_) return false;
    int index = IndexOfLetter(drive[0]);
    if (index < 0) {
        Fill();  // a drive mapped since the list was filled
        index = IndexOfLetter(drive[0]);
        if (index < 0) return false;
    }
    Select(index, notify);
    return true;
}

void DriveList::Select(int index, bool notify) {
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    const std::string& text = items_[static_cast<size_t>(index)];
    if (text == drive_) return;
    drive_ = text;
    if (notify && onChange) onChange();
}

bool DriveList::OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_DRAWITEM && static_cast<int>(wParam) == id_) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message != WM_COMMAND || LOWORD(wParam) != id_ || reinterpret_cast<HWND>(lParam) != combo_) return false;
    switch (HIWORD(wParam)) {
        case CBN_SETFOCUS:
            if (onFocus) onFocus();
            break;
        case CBN_DROPDOWN:
            Fill();
            break;
        case CBN_SELCHANGE:
            // While the list is open the arrow keys only move through it; the drive
            // changes when the list closes on a choice.
            if (!SendMessageA(combo_, CB_GETDROPPEDSTATE, 0, 0))
                Select(static_cast<int>(SendMessageA(combo_, CB_GETCURSEL, 0, 0)), true);
            break;
        case CBN_SELENDOK:
            Select(static_cast<int>(SendMessageA(combo_, CB_GETCURSEL, 0, 0)), true);
            break;
        case CBN_SELENDCANCEL:
            SendMessageA(combo_, CB_SETCURSEL, static_cast<WPARAM>(drive_.empty() ? -1 : IndexOfLetter(drive_[0])), 0);
            break;
        default:
            break;
    }
    result = 0;
    return true;
}

void DriveList::DrawItem(const DRAWITEMSTRUCT& item) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= items_.size()) {
        if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
        return;
    }
    const std::string& text = items_[item.itemID];
    const int letter = text[0] - 'a';
    int x = r.left + 2;
    // The shell's icons are fetched when a drive is first drawn: start-up needs the list's
    // drives, not its pictures.
    if (letter >= 0 && letter < 26 && !iconFetched_[letter]) {
        iconFetched_[letter] = true;
        icons_[letter] = DriveIcon(text[0]);
    }
    if (letter >= 0 && letter < 26 && icons_[letter]) {
        DrawIconEx(dc, x, r.top + (r.bottom - r.top - kIconSize) / 2, icons_[letter], kIconSize, kIconSize, 0,
                   nullptr, DI_NORMAL);
    }
    x += kIconSize + 4;
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT textRect{x, r.top, r.right - 2, r.bottom};
    DrawProgramText(dc, text, &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
}

}  // namespace qv::ui

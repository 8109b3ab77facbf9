#include "setup/dialogs/dir_list.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cctype>

#include "setup/dialogs/common_controls_win.h"
#include "setup/session/file_system.h"
#include "setup/session/wide_text_win.h"

namespace qv::ui {
namespace {

constexpr int kIconSize = 16;
constexpr UINT_PTR kSubclassId = 1;

bool IsRoot(const std::string& path) { return path.size() == 3 && path[1] == ':' && path[2] == '\\'; }

// The full form of a directory path: "x:\" for a root, "x:\a\b" below it, drive letter in
// lower case. A drive alone ("x:") gives that drive's current directory.
bool NormalizeDirectory(const std::string& path, std::string& full, RunError& error) {
    error = err::PathNotFound();
    if (path.empty()) return false;
    char buffer[MAX_PATH * 2];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return false;
    full.assign(buffer, length);
    if (full.size() < 3 || full[1] != ':' || full[2] != '\\' || !std::isalpha(static_cast<unsigned char>(full[0])))
        return false;  // only drive paths are shown
    full[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(full[0])));
    while (full.size() > 3 && full.back() == '\\') full.pop_back();
    return fs::KindOf(full, error) == fs::EntryKind::Directory;
}

bool ListSubdirectories(const std::string& dir, std::vector<std::string>& names, RunError& error) {
    if (!fs::ListSubdirectories(dir, names, error)) return false;
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    return true;
}

HICON FolderIcon(bool open) {
    SHFILEINFOA info{};
    const UINT flags = SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | (open ? SHGFI_OPENICON : 0);
    if (!SHGetFileInfoA("folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info, flags)) return nullptr;
    return info.hIcon;
}

}  // namespace

DirList::~DirList() {
    if (list_) common_controls::RemoveSubclass(list_, &DirList::KeyProc, kSubclassId);
    if (openIcon_) DestroyIcon(openIcon_);
    if (closedIcon_) DestroyIcon(closedIcon_);
}

HWND DirList::Create(HWND parent, int id, const RECT& place, HFONT font) {
    id_ = id;
    list_ = CreateWindowExA(WS_EX_CLIENTEDGE, "ListBox", "",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED |
                                LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
                            place.left, place.top, place.right - place.left, place.bottom - place.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr), nullptr);
    if (!list_) return nullptr;
    if (font) SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageA(list_, LB_SETITEMHEIGHT, 0, kIconSize + 2);
    if (!common_controls::SetSubclass(list_, &DirList::KeyProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this)))
        keysError_ = FromSystemError(GetLastError());
    return list_;
}

bool DirList::SetPath(const std::string& path, RunError& error) {
    std::string full;
    if (!NormalizeDirectory(path, full, error)) return false;
    std::vector<std::string> children;
    if (!ListSubdirectories(full, children, error)) return false;
    const bool changed = full != path_;
    path_ = full;
    Fill(full, children);
    if (changed && onChange) onChange();
    return true;
}

void DirList::Fill(const std::string& path, const std::vector<std::string>& children) {
    entries_.clear();
    std::string walked = path.substr(0, 3);
    entries_.push_back({walked, walked, 0, true});
    size_t start = 3;
    int level = 1;
    while (start < path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        walked += (IsRoot(walked) ? "" : "\\") + part;
        entries_.push_back({part, walked, level++, true});
        start = end + 1;
    }
    currentEntry_ = static_cast<int>(entries_.size()) - 1;
    const std::string prefix = IsRoot(path) ? path : path + "\\";
    for (const std::string& child : children) entries_.push_back({child, prefix + child, level, false});

    if (!list_) return;
    SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
    SendMessageA(list_, LB_RESETCONTENT, 0, 0);
    for (const Entry& entry : entries_)
        SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.name.c_str()));
    SendMessageA(list_, LB_SETCURSEL, static_cast<WPARAM>(currentEntry_), 0);
    SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list_, nullptr, TRUE);
}

void DirList::Open(int index) {
    if (index < 0 || index >= static_cast<int>(entries_.size())) return;
    RunError error;
    const std::string target = entries_[static_cast<size_t>(index)].path;
    if (!SetPath(target, error)) MessageBeep(MB_ICONEXCLAMATION);
}

bool DirList::OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_DRAWITEM && static_cast<int>(wParam) == id_) {
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == id_ && reinterpret_cast<HWND>(lParam) == list_) {
        if (HIWORD(wParam) == LBN_DBLCLK) Open(static_cast<int>(SendMessageA(list_, LB_GETCURSEL, 0, 0)));
        result = 0;
        return true;
    }
    return false;
}

LRESULT CALLBACK DirList::KeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                  DWORD_PTR self) {
    try {
        auto* list = reinterpret_cast<DirList*>(self);
        const auto selectedOther = [&] {
            const int selected = static_cast<int>(SendMessageA(window, LB_GETCURSEL, 0, 0));
            return selected >= 0 && selected != list->currentEntry_;
        };
        switch (message) {
            case WM_GETDLGCODE: {
                // Enter opens an entry the user moved to; on the current directory it is left to
                // the dialog (its default button).
                const auto* msg = reinterpret_cast<const MSG*>(lParam);
                LRESULT code = common_controls::DefSubclass(window, message, wParam, lParam);
                if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) && msg->wParam == VK_RETURN &&
                    selectedOther())
                    code |= DLGC_WANTMESSAGE;
                return code;
            }
            case WM_KEYDOWN:
                if (wParam == VK_RETURN && selectedOther()) {
                    list->Open(static_cast<int>(SendMessageA(window, LB_GETCURSEL, 0, 0)));
                    return 0;
                }
                break;
            case WM_CHAR:
                if (wParam == VK_RETURN) return 0;
                break;
            default:
                break;
        }
        return common_controls::DefSubclass(window, message, wParam, lParam);
    } catch (...) {
        EndOnException();
    }
}

void DirList::DrawItem(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    if (item.itemID == static_cast<UINT>(-1) || item.itemID >= entries_.size()) {
        FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
        if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
        return;
    }
    const Entry& entry = entries_[item.itemID];
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));

    // The folder icons are fetched when the list is first drawn.
    if (!iconsFetched_) {
        iconsFetched_ = true;
        openIcon_ = FolderIcon(true);
        closedIcon_ = FolderIcon(false);
    }
    const int indent = TwipsToPixelsX(180);
    int x = r.left + 2 + entry.level * indent;
    HICON icon = entry.open ? openIcon_ : closedIcon_;
    if (icon)
        DrawIconEx(dc, x, r.top + (r.bottom - r.top - kIconSize) / 2, icon, kIconSize, kIconSize, 0, nullptr,
                   DI_NORMAL);
    x += kIconSize + 3;

    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(list_, WM_GETFONT, 0, 0)));
    RECT textRect{x, r.top, r.right, r.bottom};
    DrawProgramText(dc, entry.name, &textRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CALCRECT);
    textRect.top = r.top;
    textRect.bottom = r.bottom;
    textRect.right = std::min<LONG>(textRect.right + 4, r.right);
    textRect.left -= 1;
    // A disabled list shows its entries grey, the current one without the highlight.
    const bool enabled = IsWindowEnabled(list_) != FALSE;
    if (selected && enabled) FillRect(dc, &textRect, GetSysColorBrush(COLOR_HIGHLIGHT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(!enabled ? COLOR_GRAYTEXT : selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    RECT drawRect{textRect.left + 2, r.top, r.right, r.bottom};
    DrawProgramText(dc, entry.name, &drawRect,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &textRect);
    SelectObject(dc, oldFont);
}

}  // namespace qv::ui

// The driver's windows, controls and input: finding windows, reading and working controls,
// real mouse and key input.
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <functional>

#include "e2e/driver.h"
#include "e2e/driver_internal.h"

namespace qve2e {

using namespace detail;

namespace {

bool MatchesTopLevel(HWND window, const Match& match) {
    if (match.visibleOnly && !IsWindowVisible(window)) return false;
    if (!match.className.empty() && !SameNoCase(ClassName(window), match.className)) return false;
    if (!match.caption.empty() && Text(window) != match.caption) return false;
    return true;
}

bool MatchesControl(HWND control, const Match& match) {
    if (match.visibleOnly && !IsWindowVisible(control)) return false;
    if (!match.className.empty() && !SameNoCase(ClassName(control), match.className)) return false;
    if (!match.caption.empty() && StripMnemonic(Text(control)) != StripMnemonic(match.caption)) return false;
    return true;
}

struct TopLevelSearch {
    DWORD processId;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<TopLevelSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) return TRUE;
    if (search->visibleOnly && !IsWindowVisible(window)) return TRUE;
    try {
        search->found.push_back(window);
    } catch (...) {
        return FALSE;  // no exception crosses back into the system
    }
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM context) {
    try {
        reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

}  // namespace

// ---- Windows and controls ----

std::string ClassName(HWND window) {
    char buffer[256];
    const int length = GetClassNameA(window, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
}

std::string Text(HWND window) {
    LRESULT length = 0;
    if (!SendWide(window, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0) return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    if (!SendWide(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied) || copied < 0)
        return {};
    text.resize(std::min(static_cast<size_t>(copied), std::wcslen(text.c_str())));
    return ToAnsi(text);
}

int ControlId(HWND window) { return GetDlgCtrlID(window); }

bool IsVisible(HWND window) { return IsWindow(window) && IsWindowVisible(window); }

std::string StripMnemonic(const std::string& caption) {
    std::string plain;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            plain += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            plain += '&';
            ++i;
        }
    }
    return plain;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
    TopLevelSearch search{processId, visibleOnly, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindWindowOf(DWORD processId, const Match& match) {
    for (HWND window : TopLevelWindows(processId, match.visibleOnly))
        if (MatchesTopLevel(window, match)) return window;
    return nullptr;
}

HWND WaitForWindow(const Process& process, const Match& match, Millis limit) {
    return PollForWindow([&] { return FindWindowOf(process.Id(), match); }, limit, &process);
}

bool WaitForWindowGone(HWND window, Millis limit) {
    return WaitUntil([&] { return !IsVisible(window); }, limit);
}

bool WaitUntil(const std::function<bool()>& condition, Millis limit) {
    return PollForWindow([&] { return condition() ? HWND(1) : nullptr; }, limit, nullptr) != nullptr;
}

bool WaitForText(HWND window, const std::string& text, Millis limit) {
    return WaitUntil([&] { return Text(window) == text; }, limit);
}

std::vector<HWND> Controls(HWND parent, bool visibleOnly) {
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    if (visibleOnly)
        children.erase(std::remove_if(children.begin(), children.end(), [](HWND c) { return !IsWindowVisible(c); }),
                       children.end());
    return children;
}

HWND FindControl(HWND parent, const Match& match) {
    for (HWND control : Controls(parent))
        if (MatchesControl(control, match)) return control;
    return nullptr;
}

HWND FindControlById(HWND parent, int id) {
    for (HWND control : Controls(parent))
        if (ControlId(control) == id) return control;
    return nullptr;
}

std::string DescribeWindows(DWORD processId) {
    auto describe = [](HWND w) {
        return "[" + ClassName(w) + " #" + std::to_string(ControlId(w)) + "] \"" + Text(w).substr(0, 120) + "\"" +
               (IsWindowVisible(w) ? "" : " (hidden)") + (IsWindowEnabled(w) ? "" : " (disabled)");
    };
    std::string out;
    for (HWND window : TopLevelWindows(processId, false)) {
        out += describe(window) + "\n";
        for (HWND control : Controls(window)) out += "    " + describe(control) + "\n";
    }
    return out.empty() ? "(no windows)\n" : out;
}

// ---- Reading and working controls ----

std::optional<std::vector<std::string>> ListBoxItems(HWND listBox) {
    return ListItems(listBox, LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT);
}

std::optional<std::vector<std::vector<std::string>>> ListViewRows(HWND listView, int columns) {
    LRESULT count = 0;
    if (!Send(listView, LVM_GETITEMCOUNT, 0, 0, &count) || count < 0) return std::nullopt;
    DWORD processId = 0;
    GetWindowThreadProcessId(listView, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process) return std::nullopt;
    constexpr SIZE_T kText = 1024;
    void* remote = VirtualAllocEx(process, nullptr, sizeof(LVITEMA) + kText, MEM_COMMIT, PAGE_READWRITE);
    std::optional<std::vector<std::vector<std::string>>> rows;
    if (remote) {
        rows.emplace();
        char* remoteText = static_cast<char*>(remote) + sizeof(LVITEMA);
        for (LRESULT row = 0; row < count && rows; ++row) {
            std::vector<std::string> texts;
            for (int column = 0; column < columns; ++column) {
                LVITEMA item{};
                item.iSubItem = column;
                item.pszText = remoteText;
                item.cchTextMax = kText;
                char text[kText] = {};
                LRESULT length = 0;
                if (!WriteProcessMemory(process, remote, &item, sizeof item, nullptr) ||
                    !Send(listView, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote),
                          &length) ||
                    !ReadProcessMemory(process, remoteText, text, kText - 1, nullptr)) {
                    rows.reset();
                    break;
                }
                texts.emplace_back(text);
            }
            if (rows) rows->push_back(texts);
        }
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    CloseHandle(process);
    return rows;
}

std::optional<std::vector<std::string>> ComboBoxItems(HWND comboBox) {
    return ListItems(comboBox, CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT);
}

bool SelectComboBoxItem(HWND comboBox, int index) {
    LRESULT result = CB_ERR;
    if (!Send(comboBox, CB_SETCURSEL, index, 0, &result) || result != index) return false;
    return PostMessageA(GetParent(comboBox), WM_COMMAND, MAKEWPARAM(ControlId(comboBox), CBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(comboBox)) != 0;
}

int ListBoxSelection(HWND listBox) {
    LRESULT selected = LB_ERR;
    if (!Send(listBox, LB_GETCURSEL, 0, 0, &selected)) return -1;
    return selected == LB_ERR ? -1 : static_cast<int>(selected);
}

bool SelectListBoxItem(HWND listBox, int index) {
    LRESULT result = LB_ERR;
    if (!Send(listBox, LB_SETCURSEL, index, 0, &result) || result != index) return false;
    return PostMessageA(GetParent(listBox), WM_COMMAND, MAKEWPARAM(ControlId(listBox), LBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(listBox)) != 0;
}

bool DoubleClickListBoxItem(HWND listBox, int index) {
    if (!SelectListBoxItem(listBox, index)) return false;
    return PostMessageA(GetParent(listBox), WM_COMMAND, MAKEWPARAM(ControlId(listBox), LBN_DBLCLK),
                        reinterpret_cast<LPARAM>(listBox)) != 0;
}

bool SetText(HWND edit, const std::string& text) {
    LRESULT ok = FALSE;
    return Send(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), &ok) && ok;
}

bool TypeText(HWND edit, const std::string& text) {
    const LPARAM end = static_cast<LPARAM>(Text(edit).size());
    if (!Send(edit, EM_SETSEL, end, end)) return false;
    for (char c : text)
        if (!Send(edit, WM_CHAR, static_cast<unsigned char>(c), 1)) return false;
    return true;
}

bool IsChecked(HWND button) {
    LRESULT state = 0;
    return Send(button, BM_GETCHECK, 0, 0, &state) && state == BST_CHECKED;
}

bool Click(HWND button) {
    if (!IsVisible(button) || !IsWindowEnabled(button)) return false;
    return PostMessageA(button, BM_CLICK, 0, 0) != 0;
}

bool ClickButton(HWND parent, const std::string& caption) {
    HWND button = FindControl(parent, {"Button", caption});
    return button && Click(button);
}

bool ChooseMenuCommand(HWND window, int commandId) {
    return PostMessageA(window, WM_COMMAND, MAKEWPARAM(commandId, 0), 0) != 0;
}

bool ChooseMenuItem(HWND window, const std::vector<std::string>& path) {
    HMENU menu = GetMenu(window);
    for (size_t level = 0; menu && level < path.size(); ++level) {
        const int count = GetMenuItemCount(menu);
        if (count < 0) return false;  // the menu cannot be read from here
        int position = -1;
        for (int i = 0; i < count && position < 0; ++i) {
            char caption[256] = {};
            GetMenuStringA(menu, i, caption, sizeof caption, MF_BYPOSITION);
            if (StripMnemonic(caption) == StripMnemonic(path[level])) position = i;
        }
        if (position < 0) return false;
        if (GetMenuState(menu, position, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)) return false;
        if (level + 1 == path.size()) {
            const UINT id = GetMenuItemID(menu, position);
            return id != UINT(-1) && ChooseMenuCommand(window, static_cast<int>(id));
        }
        menu = GetSubMenu(menu, position);
    }
    return false;
}

// ---- More controls, input and processes ----

bool IsEnabled(HWND window) { return IsWindow(window) && IsWindowEnabled(window); }

bool ListBoxItemSelected(HWND listBox, int index) {
    LRESULT selected = 0;
    return Send(listBox, LB_GETSEL, static_cast<WPARAM>(index), 0, &selected) && selected > 0;
}

bool SetListBoxItemSelected(HWND listBox, int index, bool selected) {
    LRESULT result = LB_ERR;
    if (!Send(listBox, LB_SETSEL, selected ? TRUE : FALSE, index, &result) || result == LB_ERR) return false;
    return PostMessageA(GetParent(listBox), WM_COMMAND, MAKEWPARAM(ControlId(listBox), LBN_SELCHANGE),
                        reinterpret_cast<LPARAM>(listBox)) != 0;
}

std::optional<uint32_t> PixelOf(HWND window, int x, int y) {
    POINT point{x, y};
    if (!ClientToScreen(window, &point)) return std::nullopt;
    std::vector<uint32_t> pixels;
    if (!CaptureScreen(point.x, point.y, 1, 1, pixels, nullptr) || pixels.empty()) return std::nullopt;
    return pixels[0];
}

bool PostKey(HWND window, WORD virtualKey) {
    const UINT scan = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | (LPARAM(scan) << 16);
    const LPARAM up = down | (LPARAM(1) << 30) | (LPARAM(1) << 31);
    return PostMessageA(window, WM_KEYDOWN, virtualKey, down) && PostMessageA(window, WM_KEYUP, virtualKey, up);
}

bool ClickWithKeys(HWND control, MouseButton button, std::initializer_list<WORD> keys) {
    RECT place{};
    if (!IsVisible(control) || !GetWindowRect(control, &place)) return false;
    // Real input goes to the window under the pointer of the active program.
    HWND root = GetAncestor(control, GA_ROOT);
    SetForegroundWindow(root);
    if (!WaitUntil([&] { return GetForegroundWindow() == root; }, Millis(2000))) return false;
    const int x = (place.left + place.right) / 2, y = (place.top + place.bottom) / 2;
    if (!SetCursorPos(x, y)) return false;
    POINT at{};
    if (!WaitUntil([&] { return GetCursorPos(&at) && at.x == x && at.y == y; }, Millis(2000))) return false;
    // Under Wine the window system's own focus and pointer events, which also set the
    // program's key state, must have reached the program before the keys go down.
    DWORD processId = 0;
    GetWindowThreadProcessId(control, &processId);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId)) {
        WaitForInputIdle(process, 2000);
        CloseHandle(process);
    }

    std::vector<INPUT> inputs;
    auto key = [&](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    auto mouse = [&](DWORD flags) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
        inputs.push_back(input);
    };
    for (WORD vk : keys) key(vk, false);
    mouse(button == MouseButton::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN);
    mouse(button == MouseButton::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP);
    for (WORD vk : keys) key(vk, true);
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) == inputs.size();
}

}  // namespace qve2e

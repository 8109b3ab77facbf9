// e2e_fixture.exe: a small window with the kinds of controls the installer has (a list
// box, an edit control, buttons, a check box, a combo box as a drive list is, a label and
// a menu), on which the driver's own test works. What the user did shows in the label
// and in the exit code.
#include <windows.h>

#include <string>

namespace {

enum : int {
    kList = 101,
    kEdit = 102,
    kShow = 103,
    kRemember = 104,
    kLabel = 105,
    kDrives = 106,
    kMenuExit = 201,
    kMenuFirst = 202,
    kMenuSecond = 203,
};

HWND Item(HWND window, int id) { return GetDlgItem(window, id); }

std::string TextOf(HWND control) {
    char buffer[512] = {};
    GetWindowTextA(control, buffer, sizeof buffer);
    return buffer;
}

std::string SelectedItem(HWND window) {
    HWND list = Item(window, kList);
    const LRESULT index = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return "nothing";
    char buffer[256] = {};
    SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer));
    return buffer;
}

void SetLabel(HWND window, const std::string& text) { SetWindowTextA(Item(window, kLabel), text.c_str()); }

HMENU BuildMenu() {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU pick = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, kMenuExit, "E&xit");
    AppendMenuA(pick, MF_STRING, kMenuFirst, "&First");
    AppendMenuA(pick, MF_STRING, kMenuSecond, "&Second");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(pick), "&Pick");
    return bar;
}

void CreateControls(HWND window) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    auto make = [&](const char* kind, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        return CreateWindowExA(0, kind, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, window,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    };
    HWND list = make("LISTBOX", "", LBS_NOTIFY | LBS_HASSTRINGS | WS_BORDER | WS_VSCROLL, 10, 10, 150, 80, kList);
    for (const char* item : {"Alpha", "Beta", "Gamma"})
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    make("EDIT", "", ES_AUTOHSCROLL | WS_BORDER, 170, 10, 150, 22, kEdit);
    make("BUTTON", "&Show", BS_PUSHBUTTON, 170, 40, 70, 24, kShow);
    make("BUTTON", "&Remember", BS_AUTOCHECKBOX, 250, 40, 100, 24, kRemember);
    make("STATIC", "Ready", SS_LEFT, 10, 100, 200, 20, kLabel);
    HWND drives = make("COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 220, 100, 100, 80, kDrives);
    for (const char* item : {"c: [system]", "n: [server]"})
        SendMessageA(drives, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

void OnCommand(HWND window, int id, int code) {
    switch (id) {
        case kList:
            if (code == LBN_SELCHANGE) SetLabel(window, "Selected " + SelectedItem(window));
            if (code == LBN_DBLCLK) SetLabel(window, "Opened " + SelectedItem(window));
            break;
        case kDrives:
            if (code == CBN_SELCHANGE) SetLabel(window, "Drive " + TextOf(Item(window, kDrives)));
            break;
        case kShow: {
            const std::string text = "You chose " + SelectedItem(window) + "\r\nand typed " +
                                     TextOf(Item(window, kEdit)) + ".";
            const int answer = MessageBoxA(window, text.c_str(), "Fixture says", MB_OKCANCEL | MB_ICONQUESTION);
            SetLabel(window, answer == IDOK ? "Answered OK" : "Answered Cancel");
            break;
        }
        case kMenuFirst: SetLabel(window, "Picked First"); break;
        case kMenuSecond: SetLabel(window, "Picked Second"); break;
        case kMenuExit: DestroyWindow(window); break;
        default: break;
    }
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: CreateControls(window); return 0;
        case WM_COMMAND: OnCommand(window, LOWORD(wParam), HIWORD(wParam)); return 0;
        case WM_DESTROY: {
            // The exit code tells the test what the window held at the end: 3, plus 4
            // when the check box was checked.
            const bool remember = SendMessageA(Item(window, kRemember), BM_GETCHECK, 0, 0) == BST_CHECKED;
            PostQuitMessage(remember ? 7 : 3);
            return 0;
        }
        default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = "QvFixture";
    if (!RegisterClassA(&windowClass)) return 100;
    HWND window = CreateWindowExA(0, "QvFixture", "Driver fixture", WS_OVERLAPPEDWINDOW, 40, 40, 360, 180, nullptr,
                                  BuildMenu(), instance, nullptr);
    if (!window) return 101;
    ShowWindow(window, show);
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return 102;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

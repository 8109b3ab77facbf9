#include "e2e/driver.h"

#include <tlhelp32.h>
#include <winioctl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <functional>
#include <utility>

#include "e2e/png_writer.h"

namespace qve2e {
namespace {

using Clock = std::chrono::steady_clock;

// One step of every wait: short enough that a test is not slowed, long enough that
// polling costs nothing.
constexpr DWORD kPollMs = 20;
// The limit of one query sent to a window of the program.
constexpr UINT kSendLimitMs = 5000;
// A message box's text control; the same id on Windows and under Wine.
constexpr int kMessageBoxTextId = 0xFFFF;

std::string FormatError(DWORD code) {
    char* buffer = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = "error " + std::to_string(code);
    if (length > 0 && buffer) {
        std::string message(buffer, length);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
            message.pop_back();
        text += " (" + message + ")";
    }
    if (buffer) LocalFree(buffer);
    return text;
}

bool SameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// Sends a message with a time limit, so that a hung program cannot hang the test.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendLimitMs, &answer))
        return false;
    if (result) *result = static_cast<LRESULT>(answer);
    return true;
}

// UTF-16 text in the ANSI code page, as the program's own "A" calls see it.
std::string ToAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    const int length = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string ansi(length > 0 ? size_t(length) : 0, '\0');
    if (length > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), ansi.data(), length, nullptr, nullptr);
    return ansi;
}

// The strings of a list box or a combo box's list, by the three messages of that
// control (count, length of an item, text of an item; the error value is -1 for both).
// Asked for in UTF-16: Wine hands the ANSI form of these texts from another process
// back unconverted, as UTF-16.
std::optional<std::vector<std::string>> ListItems(HWND control, UINT countMessage, UINT lengthMessage,
                                                  UINT textMessage) {
    auto sendW = [&](UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(control, message, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, kSendLimitMs,
                                 &answer))
            return false;
        result = static_cast<LRESULT>(answer);
        return result != -1;
    };
    LRESULT count = 0;
    if (!sendW(countMessage, 0, 0, count)) return std::nullopt;
    std::vector<std::string> items;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = 0, copied = 0;
        if (!sendW(lengthMessage, i, 0, length)) return std::nullopt;
        std::wstring item(static_cast<size_t>(length) + 1, L'\0');
        if (!sendW(textMessage, i, reinterpret_cast<LPARAM>(item.data()), copied)) return std::nullopt;
        item.resize(std::wcslen(item.c_str()));
        items.push_back(ToAnsi(item));
    }
    return items;
}

// Polls find() until it gives a window, the limit passes, or (when given) the process
// ends.
HWND PollForWindow(const std::function<HWND()>& find, Millis limit, const Process* process) {
    const auto deadline = Clock::now() + limit;
    for (;;) {
        if (HWND found = find()) return found;
        if (process && !process->Running()) return nullptr;
        if (Clock::now() >= deadline) return nullptr;
        if (process)
            WaitForSingleObject(process->Handle(), kPollMs);  // wakes at once when it ends
        else
            Sleep(kPollMs);
    }
}

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

// ---- GDI helpers ----

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() {
        if (dc_) ReleaseDC(nullptr, dc_);
    }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A 32-bit top-down DIB section selected into a memory DC.
class Canvas {
public:
    Canvas(HDC reference, int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top row first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(reference);
        if (!dc_) return;
        bitmap_ = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (!bitmap_ || !bits_) return;
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        if (previous_) SelectObject(dc_, previous_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool ok() const { return previous_ != nullptr; }
    HDC dc() const { return dc_; }
    // Pixels as 0x00RRGGBB, width * height of them.
    const uint32_t* pixels() const {
        GdiFlush();
        return static_cast<const uint32_t*>(bits_);
    }
    size_t count() const { return size_t(width_) * size_t(height_); }

private:
    int width_, height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

// Copies a rectangle of the screen into pixels (0x00RRGGBB).
bool CaptureScreen(int left, int top, int width, int height, std::vector<uint32_t>& pixels, std::string* error) {
    ScreenDc screen;
    if (!screen.get()) {
        if (error) *error = "GetDC(NULL) failed: " + FormatError(GetLastError());
        return false;
    }
    Canvas canvas(screen.get(), width, height);
    if (!canvas.ok()) {
        if (error) *error = "CreateDIBSection failed: " + FormatError(GetLastError());
        return false;
    }
    if (!BitBlt(canvas.dc(), 0, 0, width, height, screen.get(), left, top, SRCCOPY | CAPTUREBLT)) {
        if (error) *error = "BitBlt from the screen failed: " + FormatError(GetLastError());
        return false;
    }
    const uint32_t* bits = canvas.pixels();
    pixels.assign(bits, bits + canvas.count());
    for (uint32_t& p : pixels) p &= 0x00FFFFFF;
    return true;
}

// The system icon drawn at this size on a background of this colour (0x00RRGGBB).
bool DrawSystemIcon(const char* iconId, int width, int height, uint32_t background, std::vector<uint32_t>& pixels) {
    HICON icon = LoadIconA(nullptr, iconId);  // shared: never destroyed
    if (!icon) return false;
    ScreenDc screen;
    Canvas canvas(screen.get(), width, height);
    if (!canvas.ok()) return false;
    uint32_t* bits = const_cast<uint32_t*>(canvas.pixels());
    std::fill(bits, bits + canvas.count(), background);
    if (!DrawIconEx(canvas.dc(), 0, 0, icon, width, height, 0, nullptr, DI_NORMAL)) return false;
    const uint32_t* drawn = canvas.pixels();
    pixels.assign(drawn, drawn + canvas.count());
    for (uint32_t& p : pixels) p &= 0x00FFFFFF;
    return true;
}

// Compares the icon control's pixels on the screen with each system icon.
BoxIcon MatchIconOnScreen(HWND iconControl) {
    RECT client{};
    if (!GetClientRect(iconControl, &client)) return BoxIcon::Unknown;
    POINT origin{0, 0};
    if (!ClientToScreen(iconControl, &origin)) return BoxIcon::Unknown;
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return BoxIcon::Unknown;

    std::vector<uint32_t> shown;
    if (!CaptureScreen(origin.x, origin.y, width, height, shown, nullptr)) return BoxIcon::Unknown;
    const uint32_t background = shown[0];  // an icon's corner is transparent

    const std::pair<BoxIcon, const char*> candidates[] = {{BoxIcon::Hand, IDI_HAND},
                                                          {BoxIcon::Question, IDI_QUESTION},
                                                          {BoxIcon::Exclamation, IDI_EXCLAMATION},
                                                          {BoxIcon::Asterisk, IDI_ASTERISK}};
    for (const auto& [icon, id] : candidates) {
        std::vector<uint32_t> drawn;
        if (!DrawSystemIcon(id, width, height, background, drawn)) continue;
        size_t same = 0;
        for (size_t i = 0; i < drawn.size(); ++i) same += drawn[i] == shown[i];
        if (same * 100 >= drawn.size() * 98) return icon;
    }
    return BoxIcon::Unknown;
}

std::string SafeFileName(std::string name) {
    for (char& c : name)
        if (std::strchr("\\/:*?\"<>| ", c)) c = '-';
    return name;
}

std::string GetEnvironmentValue(const char* name) {
    char buffer[32768];
    const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}

std::string FullPath(const std::string& path) {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetFullPathNameA(path.c_str(), sizeof buffer, buffer, nullptr);
    if (length == 0 || length >= sizeof buffer) return path;
    return std::string(buffer, length);
}

}  // namespace

// ---- Environment ----

Environment CurrentEnvironment() {
    Environment environment;
    char* block = GetEnvironmentStringsA();
    if (!block) return environment;
    for (const char* entry = block; *entry; entry += std::strlen(entry) + 1) environment.emplace_back(entry);
    FreeEnvironmentStringsA(block);
    return environment;
}

Environment WithoutVariables(Environment environment, std::initializer_list<const char*> names) {
    auto named = [&](const std::string& entry) {
        // "=C:=C:\..." entries hold the current directories of drives; their name
        // starts after the first "=".
        const size_t equals = entry.find('=', 1);
        const std::string name = entry.substr(0, equals);
        return std::any_of(names.begin(), names.end(), [&](const char* n) { return SameNoCase(name, n); });
    };
    environment.erase(std::remove_if(environment.begin(), environment.end(), named), environment.end());
    return environment;
}

// ---- Process ----

Process::~Process() {
    Kill();
    if (process_) CloseHandle(process_);
}

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(other.id_), error_(std::move(other.error_)) {}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Kill();
        if (process_) CloseHandle(process_);
        process_ = std::exchange(other.process_, nullptr);
        id_ = other.id_;
        error_ = std::move(other.error_);
    }
    return *this;
}

bool Process::Start(const std::string& exe, const std::string& arguments, const std::string& workDir,
                    const Environment* environment) {
    Kill();
    if (process_) CloseHandle(process_);
    process_ = nullptr;
    id_ = 0;
    error_.clear();

    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');

    std::string block;
    if (environment) {
        for (const std::string& entry : *environment) {
            block += entry;
            block += '\0';
        }
        if (block.empty()) block += '\0';
        block += '\0';
    }

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                        environment ? block.data() : nullptr, workDir.empty() ? nullptr : workDir.c_str(),
                        &startup, &info)) {
        error_ = "CreateProcessA(" + commandLine + ") failed: " + FormatError(GetLastError());
        return false;
    }
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    id_ = info.dwProcessId;
    return true;
}

bool Process::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> Process::WaitForExit(Millis limit) {
    if (!process_) return std::nullopt;
    if (WaitForSingleObject(process_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_, &code)) return std::nullopt;
    return code;
}

void Process::Kill() {
    if (!Running()) return;
    TerminateProcess(process_, kKilledExitCode);
    WaitForSingleObject(process_, 10000);
}

std::string Process::Describe() const {
    if (!process_) return "not started" + (error_.empty() ? std::string() : ": " + error_);
    if (Running()) return "running; its windows:\n" + DescribeWindows(id_);
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return "ended with exit code " + std::to_string(code);
}

// ---- Windows and controls ----

std::string ClassName(HWND window) {
    char buffer[256];
    const int length = GetClassNameA(window, buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, length) : std::string();
}

std::string Text(HWND window) {
    LRESULT length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length) || length < 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = 0;
    if (!Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), &copied) || copied < 0)
        return {};
    text.resize(std::min(static_cast<size_t>(copied), std::strlen(text.c_str())));
    return text;
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

// ---- Message boxes ----

const char* IconName(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::None: return "none";
        case BoxIcon::Hand: return "hand";
        case BoxIcon::Question: return "question";
        case BoxIcon::Exclamation: return "exclamation";
        case BoxIcon::Asterisk: return "asterisk";
        case BoxIcon::Unknown: return "unknown";
    }
    return "unknown";
}

std::optional<MessageBoxInfo> ReadMessageBox(HWND dialog) {
    if (!IsWindow(dialog) || ClassName(dialog) != "#32770") return std::nullopt;
    HWND textControl = FindControlById(dialog, kMessageBoxTextId);
    if (!textControl) return std::nullopt;

    MessageBoxInfo box;
    box.window = dialog;
    box.title = Text(dialog);
    box.text = Text(textControl);
    HWND iconControl = nullptr;
    std::vector<std::pair<RECT, std::string>> buttons;
    for (HWND control : Controls(dialog, true)) {
        const std::string kind = ClassName(control);
        RECT place{};
        if (SameNoCase(kind, "Button") && GetWindowRect(control, &place))
            buttons.emplace_back(place, StripMnemonic(Text(control)));
        const LONG style = GetWindowLongA(control, GWL_STYLE);
        if (SameNoCase(kind, "Static") && (style & SS_TYPEMASK) == SS_ICON) iconControl = control;
    }
    std::stable_sort(buttons.begin(), buttons.end(), [](const auto& a, const auto& b) {
        return a.first.top != b.first.top ? a.first.top < b.first.top : a.first.left < b.first.left;
    });
    for (const auto& button : buttons) box.buttons.push_back(button.second);

    LRESULT iconHandle = 0;
    if (!iconControl || !Send(iconControl, STM_GETICON, 0, 0, &iconHandle) || iconHandle == 0) {
        box.icon = BoxIcon::None;
        return box;
    }
    // The box may not be painted yet when it has just appeared: look again for a moment.
    PollForWindow(
        [&]() -> HWND {
            box.icon = MatchIconOnScreen(iconControl);
            return box.icon == BoxIcon::Unknown ? nullptr : dialog;
        },
        Millis(2000), nullptr);
    return box;
}

std::optional<MessageBoxInfo> WaitForMessageBox(const Process& process, Millis limit) {
    auto isBox = [](HWND w) { return ClassName(w) == "#32770" && FindControlById(w, kMessageBoxTextId); };
    HWND box = PollForWindow(
        [&]() -> HWND {
            for (HWND window : TopLevelWindows(process.Id(), true))
                if (isBox(window)) return window;
            return nullptr;
        },
        limit, &process);
    if (!box) return std::nullopt;
    return ReadMessageBox(box);
}

bool AnswerMessageBox(const MessageBoxInfo& box, const std::string& buttonCaption) {
    return ClickButton(box.window, buttonCaption);
}

// ---- Screenshots ----

bool WaitForStillScreen(Millis still, Millis limit) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    std::vector<uint32_t> previous, current;
    auto changed = Clock::now();
    const auto deadline = changed + limit;
    for (;;) {
        if (!CaptureScreen(left, top, width, height, current, nullptr)) return false;
        const auto now = Clock::now();
        if (current != previous) {
            previous.swap(current);
            changed = now;
        } else if (now - changed >= still) {
            return true;
        }
        if (now >= deadline) return false;
        Sleep(kPollMs);
    }
}

bool SaveScreenshot(const std::string& pngPath, std::string* error) {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN), top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    if (width <= 0 || height <= 0) {
        if (error) *error = "the screen has no size";
        return false;
    }
    std::vector<uint32_t> pixels;
    if (!CaptureScreen(left, top, width, height, pixels, error)) return false;

    std::vector<uint8_t> rgb;
    rgb.reserve(pixels.size() * 3);
    for (uint32_t p : pixels) {
        rgb.push_back(static_cast<uint8_t>(p >> 16));
        rgb.push_back(static_cast<uint8_t>(p >> 8));
        rgb.push_back(static_cast<uint8_t>(p));
    }
    const std::vector<uint8_t> png = EncodePng(uint32_t(width), uint32_t(height), rgb);

    std::ofstream file(std::filesystem::path(pngPath), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    file.close();
    if (!file) {
        if (error) *error = "cannot write " + pngPath;
        return false;
    }
    return true;
}

Screenshots::Screenshots(std::string folder) : folder_(std::move(folder)) {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) {
        error_ = "cannot create " + folder_ + ": " + ec.message();
        return;
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec))
        if (entry.path().extension() == ".png") std::filesystem::remove(entry.path(), ec);
}

std::string Screenshots::Take(const std::string& step) {
    char number[16];
    std::snprintf(number, sizeof number, "%02d-", next_++);
    const std::string path = folder_ + "\\" + number + SafeFileName(step) + ".png";
    std::string why;
    if (!SaveScreenshot(path, &why)) {
        error_ = why;
        return {};
    }
    return path;
}

// ---- Wine ----

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

bool UseUnmanagedWindows(const std::string& exeName) {
    if (!RunningUnderWine()) return true;
    const std::string keyName = "Software\\Wine\\AppDefaults\\" + exeName + "\\X11 Driver";
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const char value[] = "N";
    const LONG written = RegSetValueExA(key, "Managed", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    RegCloseKey(key);
    return written == ERROR_SUCCESS;
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

ProcessPause::ProcessPause(const Process& process) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != process.Id()) continue;
        HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID);
        if (!thread) continue;
        if (SuspendThread(thread) == DWORD(-1)) {
            CloseHandle(thread);
            continue;
        }
        threads_.push_back(thread);
    }
    CloseHandle(snapshot);
}

ProcessPause::~ProcessPause() {
    for (HANDLE thread : threads_) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
}

namespace {

// The mount manager's request that defines or removes a drive of a Wine prefix.
constexpr DWORD kDefineUnixDrive = CTL_CODE(0x6d, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};

bool DefineUnixDrive(char letter, UINT type, const std::string& unixPath) {
    if (!RunningUnderWine()) return false;
    std::vector<char> buffer(sizeof(UnixDriveRequest) + unixPath.size() + 1, '\0');
    auto* request = reinterpret_cast<UnixDriveRequest*>(buffer.data());
    request->size = static_cast<ULONG>(buffer.size());
    request->type = type;
    request->letter = static_cast<WCHAR>(std::tolower(static_cast<unsigned char>(letter)));
    if (!unixPath.empty()) {
        std::memcpy(buffer.data() + sizeof(UnixDriveRequest), unixPath.c_str(), unixPath.size() + 1);
        request->mountPointOffset = static_cast<USHORT>(sizeof(UnixDriveRequest));
    }
    HANDLE manager = CreateFileA("\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()),
                                    nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

// The Unix path of a Windows path, from Wine's own kernel32.
std::string UnixPathOf(const std::string& windowsPath) {
    using Convert = char*(CDECL*)(const WCHAR*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto convert = kernel ? reinterpret_cast<Convert>(GetProcAddress(kernel, "wine_get_unix_file_name")) : nullptr;
    if (!convert) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 1), L'\0');
    MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), length);
    char* unixPath = convert(wide.c_str());
    if (!unixPath) return {};
    std::string result = unixPath;
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

}  // namespace

bool MapWineDrive(char letter, const std::string& folder) {
    const std::string unixPath = UnixPathOf(folder);
    return !unixPath.empty() && DefineUnixDrive(letter, DRIVE_FIXED, unixPath);
}

bool UnmapWineDrive(char letter) { return DefineUnixDrive(letter, DRIVE_NO_ROOT_DIR, {}); }

// ---- Paths ----

std::string ProgramFolder() {
    char buffer[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    std::string path(buffer, length < sizeof buffer ? length : 0);
    const size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string ScreenshotFolder(const std::string& testName) {
    std::string root = GetEnvironmentValue("QV_E2E_SHOTS");
    if (root.empty()) root = ProgramFolder() + "\\..\\e2e-shots";
    return FullPath(root + "\\" + SafeFileName(testName));
}

}  // namespace qve2e

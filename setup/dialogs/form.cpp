#include "setup/dialogs/form.h"

#include <map>
#include <utility>

#include "setup/session/wide_text_win.h"

namespace qv::ui {
namespace {

constexpr const char* kFormProperty = "QvForm";

bool g_busy = false;

int ScreenDpi(int axis) {
    static int dpi[2] = {0, 0};
    int& value = dpi[axis == LOGPIXELSX ? 0 : 1];
    if (value == 0) {
        HDC screen = GetDC(nullptr);
        value = screen ? GetDeviceCaps(screen, axis) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        if (value <= 0) value = 96;
    }
    return value;
}

void ApplyPointer() { SetCursor(LoadCursorA(nullptr, g_busy ? IDC_WAIT : IDC_ARROW)); }

// The words of an empty dialog template: no controls, no menu, the form's own class,
// no title and no font (every control gets its font when it is made).
std::vector<WORD> EmptyTemplate(const std::string& className, DWORD style, DWORD exStyle) {
    std::vector<WORD> words;
    auto dword = [&](DWORD value) {
        words.push_back(LOWORD(value));
        words.push_back(HIWORD(value));
    };
    dword(style);
    dword(exStyle);
    words.push_back(0);                         // no controls
    for (int i = 0; i < 4; ++i) words.push_back(0);  // x, y, cx, cy: set in pixels later
    words.push_back(0);                         // no menu
    for (char c : className) words.push_back(static_cast<WORD>(static_cast<unsigned char>(c)));
    words.push_back(0);
    words.push_back(0);                         // no title
    return words;
}

}  // namespace

// ---- Measures ----

int TwipsToPixelsX(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSX), 1440); }
int TwipsToPixelsY(int twips) { return MulDiv(twips, ScreenDpi(LOGPIXELSY), 1440); }

RECT ToPixels(const Twips& t) {
    const int left = TwipsToPixelsX(t.left), top = TwipsToPixelsY(t.top);
    return {left, top, left + TwipsToPixelsX(t.width), top + TwipsToPixelsY(t.height)};
}

HFONT SansSerif(FontSize size, bool bold) {
    static std::map<std::pair<int, bool>, HFONT> fonts;
    const auto key = std::make_pair(static_cast<int>(size), bold);
    auto found = fonts.find(key);
    if (found != fonts.end()) return found->second;
    const int height = -MulDiv(static_cast<int>(size), ScreenDpi(LOGPIXELSY), 7200);
    HFONT font = CreateFontA(height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS,
                             "MS Sans Serif");
    if (!font) font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fonts.emplace(key, font);
    return font;
}

HFONT FontOf(ControlFont font) {
    switch (font) {
        case ControlFont::Regular: return SansSerif(FontSize::Small, false);
        case ControlFont::Bold: return SansSerif(FontSize::Small, true);
        case ControlFont::LargeBold: return SansSerif(FontSize::Large, true);
        case ControlFont::None: break;
    }
    return nullptr;
}

SIZE MeasureText(HWND window, HFONT font, const std::string& text) {
    SIZE size{0, 0};
    HDC dc = GetDC(window);
    if (!dc) return size;
    HGDIOBJ old = SelectObject(dc, font);
    RECT r{0, 0, 0, 0};
    DrawProgramText(dc, text, &r, DT_CALCRECT | DT_LEFT);
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    size.cx = r.right - r.left;
    size.cy = r.bottom - r.top;
    return size;
}

// ---- Exceptions ----

namespace {
ExceptionHandler g_exceptionHandler = nullptr;
}  // namespace

void SetExceptionHandler(ExceptionHandler handler) { g_exceptionHandler = handler; }

void EndOnException() {
    if (g_exceptionHandler) g_exceptionHandler(std::current_exception());
    ExitProcess(1);
}

// ---- The mouse pointer ----

void SetBusy(bool busy) {
    g_busy = busy;
    ApplyPointer();
}

bool IsBusy() { return g_busy; }

// ---- Messages ----

bool PreTranslate(MSG& msg) {
    if (!msg.hwnd) return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    Form* form = Form::FromHandle(root);
    if (!form) return false;
    if (form->accelerators_ && TranslateAcceleratorA(root, form->accelerators_, &msg)) return true;
    return IsDialogMessageA(root, &msg) != FALSE;
}

void PumpPendingMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(msg.wParam);
        if (got == -1) return 1;
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// ---- Forms ----

Form::Form(std::string className, int clientWidth, int clientHeight)
    : className_(std::move(className)), clientWidth_(clientWidth), clientHeight_(clientHeight) {}

Form::~Form() {
    if (hwnd_) {
        RemovePropA(hwnd_, kFormProperty);
        DestroyWindow(hwnd_);
    }
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
}

Form* Form::FromHandle(HWND window) {
    return window ? static_cast<Form*>(GetPropA(window, kFormProperty)) : nullptr;
}

bool Form::RegisterClassOnce() {
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    if (GetClassInfoExA(instance, className_.c_str(), &existing)) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefDlgProcA;
    wc.cbWndExtra = DLGWINDOWEXTRA;
    wc.hInstance = instance;
    wc.hIcon = ClassIcon();
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className_.c_str();
    return RegisterClassExA(&wc) != 0;
}

bool Form::Load() {
    if (hwnd_) return true;
    loadError_ = {};
    if (!RegisterClassOnce()) {
        loadError_ = FromSystemError(GetLastError());
        return false;
    }
    const std::vector<WORD> words = EmptyTemplate(className_, Style(), ExStyle());
    HWND window = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                             reinterpret_cast<const DLGTEMPLATE*>(words.data()), nullptr,
                                             &Form::DialogProc, reinterpret_cast<LPARAM>(this));
    if (!window || !hwnd_) {
        if (loadError_.number == 0) loadError_ = FromSystemError(GetLastError());
        if (loadError_.number == 0) loadError_ = err::OutOfMemory();
        if (window && IsWindow(window)) DestroyWindow(window);
        return false;
    }
    SetClientSizePixels(TwipsToPixelsX(clientWidth_), TwipsToPixelsY(clientHeight_));
    CenterOnScreen();
    try {
        OnLoad();
    } catch (...) {
        EndOnException();
    }
    return hwnd_ != nullptr;
}

void Form::Show() {
    if (!Load()) return;
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    HWND focus = GetFocus();
    if (!focus || (focus != hwnd_ && !IsChild(hwnd_, focus))) {
        if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) FocusControl(first);
    }
    UpdateWindow(hwnd_);
}

void Form::ShowModal(HWND owner) {
    if (!Load() || modal_) return;
    modal_ = true;
    modalOwner_ = owner;
    ownerDisabledByUs_ = false;
    if (owner && IsWindow(owner)) {
        // A form that cannot be owned could fall behind its disabled owner and leave the
        // user nothing to click: the owner then stays enabled.
        SetLastError(ERROR_SUCCESS);
        const bool owned = SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner)) != 0 ||
                           GetLastError() == ERROR_SUCCESS;
        if (owned && IsWindowEnabled(owner)) {
            EnableWindow(owner, FALSE);
            ownerDisabledByUs_ = true;
        }
    }
    Show();
    MSG msg;
    while (hwnd_ && IsWindowVisible(hwnd_)) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (PreTranslate(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    EndModal();
}

void Form::EndModal() {
    if (!modal_) return;
    modal_ = false;
    HWND owner = modalOwner_;
    modalOwner_ = nullptr;
    if (owner && IsWindow(owner)) {
        if (ownerDisabledByUs_) EnableWindow(owner, TRUE);
        if (IsWindowVisible(owner)) SetForegroundWindow(owner);
    }
    ownerDisabledByUs_ = false;
}

void Form::Hide() {
    if (!hwnd_) return;
    // The owner is enabled before the form goes, so that it, not another program,
    // becomes the active window.
    if (modal_ && ownerDisabledByUs_ && modalOwner_ && IsWindow(modalOwner_)) {
        EnableWindow(modalOwner_, TRUE);
        ownerDisabledByUs_ = false;
    }
    ShowWindow(hwnd_, SW_HIDE);
    if (modal_) EndModal();
}

void Form::Unload() {
    if (!hwnd_) return;
    if (modal_ && ownerDisabledByUs_ && modalOwner_ && IsWindow(modalOwner_)) {
        EnableWindow(modalOwner_, TRUE);
        ownerDisabledByUs_ = false;
    }
    DestroyWindow(hwnd_);
    if (modal_) EndModal();
}

void Form::SetCaption(const std::string& caption) {
    if (hwnd_) SetWindowTextA(hwnd_, caption.c_str());
}

std::string Form::Caption() const {
    if (!hwnd_) return {};
    char buffer[512];
    const int length = GetWindowTextA(hwnd_, buffer, static_cast<int>(sizeof buffer));
    return std::string(buffer, static_cast<size_t>(length > 0 ? length : 0));
}

void Form::OnCloseBox() { SendMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); }

void Form::SetAccelerators(HACCEL table) {
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    accelerators_ = table;
}

void Form::CenterOnScreen() {
    RECT r;
    if (!GetWindowRect(hwnd_, &r)) return;
    const int width = r.right - r.left, height = r.bottom - r.top;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(hwnd_, nullptr, (screenWidth - width) / 2, (screenHeight - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::FillScreen() {
    SetWindowPos(hwnd_, nullptr, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::SetClientSizePixels(int width, int height) {
    RECT r{0, 0, width, height};
    const DWORD style = static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_STYLE));
    const DWORD exStyle = static_cast<DWORD>(GetWindowLongA(hwnd_, GWL_EXSTYLE));
    AdjustWindowRectEx(&r, style, GetMenu(hwnd_) != nullptr, exStyle);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND Form::AddControl(const char* windowClass, int id, const std::string& text, DWORD style, DWORD exStyle,
                      const Twips& place, HFONT font) {
    return AddControlPx(windowClass, id, text, style, exStyle, ToPixels(place), font);
}

HWND Form::AddControlPx(const char* windowClass, int id, const std::string& text, DWORD style, DWORD exStyle,
                        const RECT& place, HFONT font) {
    HWND control = CreateWindowExA(exStyle, windowClass, text.c_str(), style | WS_CHILD, place.left, place.top,
                                   place.right - place.left, place.bottom - place.top, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                   nullptr);
    if (control && font) SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

HWND Form::AddAutoSizeLabel(int id, const std::string& text, int left, int top, HFONT font, DWORD style) {
    const SIZE size = MeasureText(hwnd_, font, text);
    const int x = TwipsToPixelsX(left), y = TwipsToPixelsY(top);
    return AddControlPx("Static", id, text, WS_VISIBLE | SS_LEFT | style, 0, RECT{x, y, x + size.cx, y + size.cy},
                        font);
}

void Form::AddRow(const ControlRow& row, const std::function<void(const ControlRow&)>& makeOwn) {
    if (!row.windowClass) {
        if (makeOwn) makeOwn(row);
        return;
    }
    if (row.place.width == 0) {
        AddAutoSizeLabel(row.id, row.text, row.place.left, row.place.top, FontOf(row.font), row.style);
        return;
    }
    AddControl(row.windowClass, row.id, row.text, row.style, row.exStyle, row.place, FontOf(row.font));
}

void Form::SetItemTextFitted(int id, const std::string& text) {
    HWND item = Item(id);
    if (!item) return;
    SetWindowTextA(item, text.c_str());
    const SIZE size = MeasureText(hwnd_, reinterpret_cast<HFONT>(SendMessageA(item, WM_GETFONT, 0, 0)), text);
    SetWindowPos(item, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::Attach(Control* control) { controls_.push_back(control); }

void Form::SetItemText(int id, const std::string& text) {
    if (HWND item = Item(id)) SetWindowTextA(item, text.c_str());
}

std::string Form::ItemText(int id) const {
    HWND item = Item(id);
    if (!item) return {};
    const int length = GetWindowTextLengthA(item);
    std::string text(static_cast<size_t>(length > 0 ? length : 0) + 1, '\0');
    const int got = GetWindowTextA(item, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void Form::SetDefaultButton(int id) { SendMessageA(hwnd_, DM_SETDEFID, static_cast<WPARAM>(id), 0); }

void Form::FocusControl(HWND control) {
    if (control) SendMessageA(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

INT_PTR CALLBACK Form::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* form = reinterpret_cast<Form*>(lParam);
        // Without its property the window could not find its form and would drop every
        // message: it goes at once, and Load reports the failure.
        if (!SetPropA(window, kFormProperty, form)) {
            form->loadError_ = FromSystemError(GetLastError());
            DestroyWindow(window);
            return FALSE;
        }
        form->hwnd_ = window;
        return FALSE;  // the focus is set when the form is shown
    }
    Form* form = FromHandle(window);
    if (!form) return FALSE;
    try {
        return form->Dispatch(window, message, wParam, lParam);
    } catch (...) {
        EndOnException();  // no exception crosses into the window system
    }
}

INT_PTR Form::Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const bool colour = message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
    auto handled = [&](LRESULT value) -> INT_PTR {
        if (colour) return static_cast<INT_PTR>(value);
        SetWindowLongPtrA(window, DWLP_MSGRESULT, value);
        return TRUE;
    };

    switch (message) {
        case WM_COMMAND:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            for (Control* control : controls_)
                if (control->OnParentMessage(message, wParam, lParam, result)) return handled(result);
            break;
        default:
            break;
    }

    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return TRUE;
        case WM_CLOSE:
            OnCloseBox();
            return TRUE;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) OnActivate();
            return FALSE;  // the dialog manager puts the focus back where it was
        case WM_HELP:
            OnHelp();
            return TRUE;
        case WM_SETCURSOR:
            if (g_busy) {
                ApplyPointer();
                return handled(TRUE);
            }
            break;
        case WM_DESTROY:
            OnUnload();
            break;
        case WM_NCDESTROY:
            RemovePropA(window, kFormProperty);
            if (hwnd_ == window) hwnd_ = nullptr;
            controls_.clear();
            return FALSE;
        default:
            break;
    }
    if (OnMessage(message, wParam, lParam, result)) return handled(result);
    return FALSE;
}

}  // namespace qv::ui

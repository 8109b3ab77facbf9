// The window framework of the installer: every window ("form") is a dialog of a window
// class of its own (named after the form, so that it can be found by class), created
// from an empty in-memory template on first use and filled with controls placed in
// twips. The dialog manager gives every form the keyboard interface of a dialog: Tab
// and the arrow keys, mnemonics, Enter for the default button and Esc for IDCANCEL.
//
// A form is shown modally by a nested message loop that disables its owner until the
// form is hidden or destroyed; all forms live on the one user-interface thread.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "setup/session/run_error.h"

namespace qv::ui {

// ---- Measures ----------------------------------------------------------------------

// A position in twips (1440 to the inch): left, top, width, height.
struct Twips {
    int left = 0, top = 0, width = 0, height = 0;
};

// Twips to pixels at the screen's DPI, horizontally and vertically.
int TwipsToPixelsX(int twips);
int TwipsToPixelsY(int twips);
RECT ToPixels(const Twips& t);

// The window font, MS Sans Serif at a size in hundredths of a point (8.25 pt, 9.75 pt, ...),
// regular or bold. Fonts live until the process ends.
enum class FontSize { Small = 825, Medium = 975, Large = 1200, Title = 2400 };
HFONT SansSerif(FontSize size, bool bold);

// ---- The mouse pointer ---------------------------------------------------------------

// The pointer of every form of the program: the hourglass while busy, the arrow otherwise.
void SetBusy(bool busy);
bool IsBusy();

// ---- Exceptions --------------------------------------------------------------------

// No C++ exception crosses into the window system: every entry point from it (a window
// or subclass procedure) catches and calls EndOnException, which hands the exception in
// flight to the program's handler. The handler tells the user and ends the program; it
// does not return. Without one, the program ends with exit code 1.
using ExceptionHandler = void (*)(std::exception_ptr exception);
void SetExceptionHandler(ExceptionHandler handler);
[[noreturn]] void EndOnException();

// ---- Messages ----------------------------------------------------------------------

// Gives the message to the form it belongs to first (its accelerators, then the dialog
// keyboard interface); true when it was handled there and must not be dispatched.
bool PreTranslate(MSG& msg);

// Lets every pending message of this thread run. A WM_QUIT met here is posted again so
// that the loop that owns it ends.
void PumpPendingMessages();

// The program's message loop: runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

// ---- Layout tables -----------------------------------------------------------------

// The font of a control in a layout table.
enum class ControlFont { None, Regular, Bold, LargeBold };
HFONT FontOf(ControlFont font);

// One control of a form's layout table. A form makes its controls in the order of its
// table, which is their tab order.
struct ControlRow {
    int id;
    const char* windowClass;  // nullptr: a control of the form's own, which it makes itself
    const char* text;
    DWORD style;  // WS_CHILD is added
    DWORD exStyle;
    Twips place;  // a width of 0 makes a label as wide and high as its text
    ControlFont font;
};

// The row of a control in a layout table; nullptr when it has none.
template <size_t N>
const ControlRow* FindRow(const ControlRow (&rows)[N], int id) {
    for (const ControlRow& row : rows)
        if (row.id == id) return &row;
    return nullptr;
}

// ---- Controls ----------------------------------------------------------------------

class Form;

// A control of our own made of a standard one, which needs to see the messages its
// parent form gets (notifications, owner drawing).
class Control {
public:
    virtual ~Control() = default;
    // A message the parent form received; true when handled, with its result.
    virtual bool OnParentMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
};

// ---- Forms -------------------------------------------------------------------------

class Form {
public:
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    virtual ~Form();

    HWND hwnd() const { return hwnd_; }
    bool IsLoaded() const { return hwnd_ != nullptr; }
    bool IsVisible() const { return hwnd_ && IsWindowVisible(hwnd_); }

    // Creates the window when it does not exist yet; its load handler runs then.
    // False when the window cannot be created; LoadError then says why.
    bool Load();
    const RunError& LoadError() const { return loadError_; }
    // Loads and shows the form, not modal, and gives it the focus.
    void Show();
    // Loads and shows the form modally: owner (when given) is disabled and a nested
    // message loop runs until the form is hidden or destroyed.
    void ShowModal(HWND owner);
    // Hides the form; a modal display ends with it.
    void Hide();
    // Destroys the window; the next Load creates it afresh.
    void Unload();

    void SetCaption(const std::string& caption);
    std::string Caption() const;

    // The form whose window this is; nullptr for other windows.
    static Form* FromHandle(HWND window);

protected:
    // className: the window class of this form; clientWidth and clientHeight in twips.
    Form(std::string className, int clientWidth, int clientHeight);

    // Window styles; the default is a dialog frame with a caption and a close box.
    virtual DWORD Style() const { return WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME; }
    virtual DWORD ExStyle() const { return WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME; }
    // The icon of the class (nullptr: none).
    virtual HICON ClassIcon() const { return nullptr; }

    // The load handler: creates the controls and fills them.
    virtual void OnLoad() = 0;
    // Every activation of the form.
    virtual void OnActivate() {}
    // A command from a control, a menu or an accelerator; true when handled.
    virtual bool OnCommand(int /*id*/, int /*code*/, HWND /*control*/) { return false; }
    // The window frame's close box (and Alt+F4). The default does what Esc does.
    virtual void OnCloseBox();
    // F1 and the help key.
    virtual void OnHelp() {}
    // Any other message; true when handled, with its result.
    virtual bool OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/, LRESULT& /*result*/) {
        return false;
    }
    // Just before the window is destroyed.
    virtual void OnUnload() {}

    // Keyboard shortcuts of the form (owned by the form from now on).
    void SetAccelerators(HACCEL table);

    // Centres the window on the screen.
    void CenterOnScreen();
    // Places the window at the screen's top left with the screen's size.
    void FillScreen();
    // Resizes the window so that its client area has this size in pixels.
    void SetClientSizePixels(int width, int height);

    // Creates a child control at a place in twips (or, with the *Px variant, in pixels).
    HWND AddControl(const char* windowClass, int id, const std::string& text, DWORD style, DWORD exStyle,
                    const Twips& place, HFONT font);
    HWND AddControlPx(const char* windowClass, int id, const std::string& text, DWORD style, DWORD exStyle,
                      const RECT& place, HFONT font);
    // A label sized to its text at (left, top) in twips.
    HWND AddAutoSizeLabel(int id, const std::string& text, int left, int top, HFONT font, DWORD style = 0);
    // Makes the controls of a layout table in its order; a row without a window class is
    // handed to makeOwn, which makes the form's own control there.
    template <size_t N>
    void AddControls(const ControlRow (&rows)[N], const std::function<void(const ControlRow&)>& makeOwn = {}) {
        for (const ControlRow& row : rows) AddRow(row, makeOwn);
    }
    // Sets a label's text and sizes the label to it.
    void SetItemTextFitted(int id, const std::string& text);

    // Registers a control of our own for the parent messages it needs.
    void Attach(Control* control);

    HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    // Makes the control the default button (Enter).
    void SetDefaultButton(int id);
    // Moves the focus to a control as the dialog manager would (default button kept right).
    void FocusControl(HWND control);

private:
    void AddRow(const ControlRow& row, const std::function<void(const ControlRow&)>& makeOwn);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool RegisterClassOnce();
    void EndModal();

    friend bool PreTranslate(MSG& msg);

    std::string className_;
    int clientWidth_ = 0, clientHeight_ = 0;  // twips
    HWND hwnd_ = nullptr;
    RunError loadError_;
    HACCEL accelerators_ = nullptr;
    std::vector<Control*> controls_;
    // The modal display: its owner and whether this form disabled it.
    bool modal_ = false;
    HWND modalOwner_ = nullptr;
    bool ownerDisabledByUs_ = false;
};

// The size in pixels of a text drawn with this font.
SIZE MeasureText(HWND window, HFONT font, const std::string& text);

}  // namespace qv::ui

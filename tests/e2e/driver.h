// The end-to-end driver: starts a Windows program, finds its windows and controls by
// class and caption, reads them, types, clicks, chooses menu entries, answers message
// boxes and waits for windows and for the process's end, always with a time limit.
//
// Every wait polls in short steps and gives up at its limit, so that a test that meets
// an unexpected window fails with a description of what is on the screen instead of
// hanging. Actions that can open a modal window (clicks, menu commands, list box
// notifications) are posted, so the driver never blocks inside the program's modal
// loop; queries are sent with a time limit of their own.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace qve2e {

using Millis = std::chrono::milliseconds;

// Long enough for a program's first window under Wine on a busy machine.
inline constexpr Millis kWindowWait{15000};

// ---- Environment of a started program -------------------------------------------

// "NAME=value" entries.
using Environment = std::vector<std::string>;

// This process's own environment.
Environment CurrentEnvironment();

// The environment without the variables of these names; names compare without regard
// to case, as Windows compares them.
Environment WithoutVariables(Environment environment, std::initializer_list<const char*> names);

// ---- Processes ------------------------------------------------------------------

// A started program. Owns its process handle; a program still running when the object
// goes (a test that failed half-way) is ended with TerminateProcess.
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Starts exe with the command line "\"exe\" arguments" (just "\"exe\"" when arguments
    // is empty), in workDir when given, with this environment when given. On failure it
    // returns false and error() says why.
    bool Start(const std::string& exe, const std::string& arguments, const std::string& workDir = {},
               const Environment* environment = nullptr);

    bool Started() const { return process_ != nullptr; }
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }
    bool Running() const;

    // Waits at most limit for the process to end; its exit code, or nothing when it still
    // runs at the limit.
    std::optional<DWORD> WaitForExit(Millis limit);

    // Ends the process at once (if it runs) and waits for it to be gone.
    void Kill();

    // The last failure of Start.
    const std::string& error() const { return error_; }

    // "running; windows: ..." or "ended with exit code N": for failure messages.
    std::string Describe() const;

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    std::string error_;
};

// The exit code the driver gives a process it ends.
inline constexpr DWORD kKilledExitCode = 0xE2E;

// ---- Windows and controls -------------------------------------------------------

std::string ClassName(HWND window);
// The text of a window or control (WM_GETTEXT, sent with a time limit).
std::string Text(HWND window);
int ControlId(HWND window);
bool IsVisible(HWND window);

// The caption without its mnemonic markers: "&Install" gives "Install", "&&" gives "&".
std::string StripMnemonic(const std::string& caption);

// What to look for. Empty fields match anything. The caption of a top-level window is
// compared as it stands; the caption of a control is compared after StripMnemonic on
// both sides, so "Install" finds the button "&Install".
struct Match {
    Match(std::string className_ = {}, std::string caption_ = {}, bool visibleOnly_ = true)
        : className(std::move(className_)), caption(std::move(caption_)), visibleOnly(visibleOnly_) {}
    std::string className;
    std::string caption;
    bool visibleOnly = true;
};

// The top-level windows of a process, in Z order.
std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly = true);
HWND FindWindowOf(DWORD processId, const Match& match);

// Waits for a top-level window of the process. Returns nullptr at the limit, or at once
// when the process has ended.
HWND WaitForWindow(const Process& process, const Match& match, Millis limit = kWindowWait);

// Waits until the window is destroyed or hidden; false at the limit.
bool WaitForWindowGone(HWND window, Millis limit = kWindowWait);

// Polls the condition until it holds; false at the limit.
bool WaitUntil(const std::function<bool()>& condition, Millis limit = kWindowWait);

// Waits until the window's text is this one (a label updated by the program); false at
// the limit.
bool WaitForText(HWND window, const std::string& text, Millis limit = kWindowWait);

// Every control below parent (children and their children), in Z order.
std::vector<HWND> Controls(HWND parent, bool visibleOnly = false);
HWND FindControl(HWND parent, const Match& match);
HWND FindControlById(HWND parent, int id);

// A description of the process's top-level windows and their controls, one per line.
std::string DescribeWindows(DWORD processId);

// ---- Reading and working controls ------------------------------------------------

// The items of a list box (LB_GETTEXT); nothing when it cannot be read.
std::optional<std::vector<std::string>> ListBoxItems(HWND listBox);
// The selected item's index, -1 for none.
int ListBoxSelection(HWND listBox);
// Selects an item as a click would: LB_SETCURSEL, then LBN_SELCHANGE to the owner.
bool SelectListBoxItem(HWND listBox, int index);
// Selects an item and double-clicks it (LBN_DBLCLK to the owner).
bool DoubleClickListBoxItem(HWND listBox, int index);

// The items of a combo box's list (CB_GETLBTEXT); nothing when it cannot be read.
std::optional<std::vector<std::string>> ComboBoxItems(HWND comboBox);
// The rows of a list view in report mode, each the texts of its first `columns` columns.
// The texts are read through memory lent in the list's own process, as a list view
// hands them only to its process.
std::optional<std::vector<std::vector<std::string>>> ListViewRows(HWND listView, int columns);
// Selects an item as a person would: CB_SETCURSEL, then CBN_SELCHANGE to the owner.
bool SelectComboBoxItem(HWND comboBox, int index);

// Replaces the text of an edit control (WM_SETTEXT; the control tells its owner).
bool SetText(HWND edit, const std::string& text);
// Types the text into the control character by character (WM_CHAR), as a person would,
// after the text it already holds (or over its selection).
bool TypeText(HWND edit, const std::string& text);

bool IsChecked(HWND button);

// Clicks a button, check box or option button (posts BM_CLICK). False when the control
// is disabled or hidden, as a person could not click it either.
bool Click(HWND button);
// Clicks the button of parent whose caption is this one (mnemonic markers ignored).
bool ClickButton(HWND parent, const std::string& caption);

// Chooses a menu entry as a click would: posts WM_COMMAND with the entry's command id.
bool ChooseMenuCommand(HWND window, int commandId);
// Finds a menu entry of the window by its captions ({"I&nstall", "Software to File
// Server"}, mnemonic markers ignored) and chooses it. Reads the menu with GetMenu and
// GetMenuStringA; false when the entry is not found or, as under Wine, the program's
// menu cannot be read from another process (then use ChooseMenuCommand).
bool ChooseMenuItem(HWND window, const std::vector<std::string>& path);

// ---- Message boxes ----------------------------------------------------------------

enum class BoxIcon { None, Hand, Question, Exclamation, Asterisk, Unknown };
const char* IconName(BoxIcon icon);

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string title;
    std::string text;  // as the box holds it: lines joined with CR LF
    std::vector<std::string> buttons;  // captions as shown, left to right, without mnemonic markers
    BoxIcon icon = BoxIcon::Unknown;
};

// Reads a message box: a dialog of class "#32770" whose text is the static control with
// the id 0xFFFF. The icon is told apart by comparing the pixels of the box's icon
// control on the screen with the system's icons drawn the same way; Unknown when none
// matches within a short wait (the box not yet painted, for instance).
std::optional<MessageBoxInfo> ReadMessageBox(HWND dialog);

// Waits for a message box of the process and reads it.
std::optional<MessageBoxInfo> WaitForMessageBox(const Process& process, Millis limit = kWindowWait);

// Presses the button of the box with this caption.
bool AnswerMessageBox(const MessageBoxInfo& box, const std::string& buttonCaption);

// ---- Screenshots ------------------------------------------------------------------

// Waits until the screen has not changed for `still` (what a program has drawn reaches
// the screen a moment after it has drawn it); false when it still changes at the limit.
bool WaitForStillScreen(Millis still = Millis(150), Millis limit = Millis(5000));

// Saves the whole screen as a PNG file. False with a reason on failure.
bool SaveScreenshot(const std::string& pngPath, std::string* error = nullptr);

// The numbered screenshots of one test: Take("box-shown") writes
// <folder>\01-box-shown.png, then 02-..., and returns the path (empty on failure).
class Screenshots {
public:
    // Empties folder (its .png files) or creates it.
    explicit Screenshots(std::string folder);
    std::string Take(const std::string& step);
    const std::string& folder() const { return folder_; }
    const std::string& error() const { return error_; }

private:
    std::string folder_;
    int next_ = 1;
    std::string error_;
};

// ---- Wine ------------------------------------------------------------------------

// True when this program runs under Wine.
bool RunningUnderWine();

// Under Wine, lets the windows of the program exeName ("qvsetup.exe") be unmanaged X
// windows (the "Managed" setting of the X11 driver, for that program alone). With no
// window manager on the display, hiding a managed window makes Wine wait two seconds
// for the manager that never answers; the program would stall at every window it
// closes. Does nothing on Windows. False when the setting cannot be written.
bool UseUnmanagedWindows(const std::string& exeName);

// ---- More controls, input and processes --------------------------------------------

bool IsEnabled(HWND window);
// Whether an item of a multi-selection list box is selected (LB_GETSEL).
bool ListBoxItemSelected(HWND listBox, int index);
// Selects or clears an item of a multi-selection list box as a click would: LB_SETSEL,
// then LBN_SELCHANGE to the owner.
bool SetListBoxItemSelected(HWND listBox, int index, bool selected);

// The colour (0x00RRGGBB) of the screen at a point of a window's client area.
std::optional<uint32_t> PixelOf(HWND window, int x, int y);

// Posts a key press (WM_KEYDOWN, WM_KEYUP) to a window, the way the keyboard delivers it
// to the control with the focus: the program's dialog keys (Enter, Esc, Tab) act on it.
bool PostKey(HWND window, WORD virtualKey);

enum class MouseButton { Left, Right };
// Clicks the middle of a control with real input (SendInput): holds the keys down
// (VK_MENU, VK_CONTROL, VK_SHIFT), presses and releases the button, lets the keys go.
// The control's window is brought to the front first.
bool ClickWithKeys(HWND control, MouseButton button, std::initializer_list<WORD> keys);

// Holds every thread of a process still while it lives, so that messages posted to the
// program meanwhile wait for it; the threads run on when it goes.
class ProcessPause {
public:
    explicit ProcessPause(const Process& process);
    ~ProcessPause();
    ProcessPause(const ProcessPause&) = delete;
    ProcessPause& operator=(const ProcessPause&) = delete;
    bool ok() const { return !threads_.empty(); }

private:
    std::vector<HANDLE> threads_;
};

// Under Wine, makes a drive letter of the prefix stand for a folder (given by its
// Windows path), as a fixed drive, through the mount manager; UnmapWineDrive takes it
// away again. The prefix keeps the drive until it is taken away. False on Windows and
// when the mount manager refuses.
bool MapWineDrive(char letter, const std::string& folder);
bool UnmapWineDrive(char letter);

// ---- Paths -------------------------------------------------------------------------

// The folder of the running test program, without a trailing "\" (build/<arch>/bin).
std::string ProgramFolder();

// Where the screenshots of a test go: %QV_E2E_SHOTS%\<test> when that variable is
// set, else <bin>\..\e2e-shots\<test>.
std::string ScreenshotFolder(const std::string& testName);

}  // namespace qve2e

// What the parts of the driver share: the polling and sending rules and small helpers.
// Not for the tests themselves (driver.h is theirs).
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "e2e/driver.h"

namespace qve2e::detail {

using Clock = std::chrono::steady_clock;

// One step of every wait: short enough that a test is not slowed, long enough that
// polling costs nothing.
constexpr DWORD kPollMs = 20;
// The limit of one query sent to a window of the program.
constexpr UINT kSendLimitMs = 5000;
// A message box's text control; the same id on Windows and under Wine.
constexpr int kMessageBoxTextId = 0xFFFF;


std::string FormatError(DWORD code);
bool SameNoCase(const std::string& a, const std::string& b);
// Sends a message with a time limit, so that a hung program cannot hang the test.
bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);
// The same as a Unicode message, for text: Wine's mapping of a narrow message between a
// program whose code page is UTF-8 and one whose code page is not cuts the text short.
bool SendWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr);
// UTF-16 text in the ANSI code page, as the program's own "A" calls see it.
std::string ToAnsi(const std::wstring& text);
// The strings of a list box or a combo box's list (count, length and text messages).
std::optional<std::vector<std::string>> ListItems(HWND control, UINT countMessage, UINT lengthMessage,
                                                  UINT textMessage);
// Polls find() until it gives a window, the limit passes, or (when given) the process ends.
HWND PollForWindow(const std::function<HWND()>& find, Millis limit, const Process* process);
// Copies a rectangle of the screen into pixels (0x00RRGGBB).
bool CaptureScreen(int left, int top, int width, int height, std::vector<uint32_t>& pixels, std::string* error);
// Compares the icon control's pixels on the screen with each system icon.
BoxIcon MatchIconOnScreen(HWND iconControl);
std::string SafeFileName(std::string name);
std::string GetEnvironmentValue(const char* name);
std::string FullPath(const std::string& path);

}  // namespace qve2e::detail

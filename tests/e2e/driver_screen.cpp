// The driver's view of the screen: message boxes with their icons, and screenshots.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "e2e/driver.h"
#include "e2e/driver_internal.h"
#include "e2e/png_writer.h"

namespace qve2e {
namespace detail {

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

}  // namespace detail

using namespace detail;

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

}  // namespace qve2e

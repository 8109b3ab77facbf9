// Text between the program's code page and the UTF-16 of the wide Win32 calls, for the few
// calls whose narrow form cannot be trusted with a multi-byte code page (UTF-8): Wine's
// GetEnvironmentVariableA cuts a value at its length in UTF-16 units, and GDI's narrow text
// calls read the text in the code page of the font's character set, not the program's.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace qv {

inline std::wstring Widen(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

inline std::string Narrow(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

// True when the font in the DC holds every letter of the text: a face of one character set,
// as the bitmap faces are, holds only the letters of that set's code page.
inline bool FontHolds(HDC dc, const std::wstring& text) {
    if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; })) return true;
    CHARSETINFO info{};
    const UINT_PTR charset = static_cast<UINT_PTR>(GetTextCharset(dc));
    if (!TranslateCharsetInfo(reinterpret_cast<DWORD*>(charset), &info, TCI_SRCCHARSET)) return true;
    BOOL missing = FALSE;
    WideCharToMultiByte(info.ciACP, WC_NO_BEST_FIT_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0,
                        nullptr, &missing);
    return !missing;
}

// DrawTextA for text in the program's code page. Text that the DC's font cannot show (a
// Greek folder name in a list drawn in a Western bitmap face) is drawn in a TrueType face
// of the same height and look that holds Greek, Cyrillic and the other scripts of Europe.
inline int DrawProgramText(HDC dc, const std::string& text, RECT* rect, UINT format) {
    const std::wstring wide = Widen(text);
    HFONT fallback = nullptr;
    HGDIOBJ old = nullptr;
    LOGFONTW face{};
    if (!FontHolds(dc, wide) && GetObjectW(GetCurrentObject(dc, OBJ_FONT), sizeof face, &face)) {
        face.lfCharSet = DEFAULT_CHARSET;
        lstrcpynW(face.lfFaceName, L"Microsoft Sans Serif", LF_FACESIZE);
        fallback = CreateFontIndirectW(&face);
        if (fallback) old = SelectObject(dc, fallback);
    }
    const int height = DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), rect, format);
    if (fallback) {
        SelectObject(dc, old);
        DeleteObject(fallback);
    }
    return height;
}

// TextOutA for text in the program's code page.
inline BOOL TextOutProgram(HDC dc, int x, int y, const std::string& text) {
    const std::wstring wide = Widen(text);
    return TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

}  // namespace qv

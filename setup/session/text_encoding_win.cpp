// The code pages with the Win32 calls: the active one (GetACP) and the legacy ANSI code
// page the system would use without the program's manifest.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "setup/session/text_encoding.h"

namespace qv {
namespace {

UINT LegacyCodePage() {
    static const UINT page = [] {
        char text[8] = {};
        if (!GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, text, sizeof text)) return 1252u;
        const UINT value = static_cast<UINT>(std::strtoul(text, nullptr, 10));
        return value == 0 || value == CP_UTF8 ? 1252u : value;
    }();
    return page;
}

std::wstring Wide(std::string_view text, UINT page) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

}  // namespace

bool ProgramUsesUtf8() { return GetACP() == CP_UTF8; }

std::string FromLegacyText(std::string_view legacy) {
    if (!ProgramUsesUtf8()) return std::string(legacy);
    const std::wstring wide = Wide(legacy, LegacyCodePage());
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n, nullptr, nullptr);
    return text;
}

bool ToLegacyText(std::string_view text, std::string& legacy) {
    legacy.clear();
    if (!ProgramUsesUtf8() || text.empty()) {
        legacy = std::string(text);
        return true;
    }
    const std::wstring wide = Wide(text, CP_UTF8);
    BOOL missing = FALSE;
    const int n = WideCharToMultiByte(LegacyCodePage(), WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, &missing);
    if (n <= 0 || missing) return false;
    legacy.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(LegacyCodePage(), WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), legacy.data(),
                        n, nullptr, &missing);
    if (!missing) return true;
    legacy.clear();
    return false;
}

void SetProgramUsesUtf8ForTests(bool) {}  // the system decides

}  // namespace qv

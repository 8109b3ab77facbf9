// The code pages on the build machine: a system whose legacy ANSI code page is
// Windows-1252, which by default does not honour the program's manifest (the bytes stay as
// they are), and honours it once a test says so.
#include <string>

#include "setup/session/text_encoding.h"

namespace qv {
namespace {

bool utf8 = false;

// Windows-1252's 0x80..0x9F; 0 where it has no character. The rest is Latin-1.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void PutUtf8(uint32_t code, std::string& out) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

}  // namespace

bool ProgramUsesUtf8() { return utf8; }

void SetProgramUsesUtf8ForTests(bool value) { utf8 = value; }

std::string FromLegacyText(std::string_view legacy) {
    if (!utf8) return std::string(legacy);
    std::string text;
    for (unsigned char c : legacy) {
        const uint32_t code = c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c;
        PutUtf8(code ? code : 0xFFFD, text);
    }
    return text;
}

bool ToLegacyText(std::string_view text, std::string& legacy) {
    legacy.clear();
    if (!utf8) {
        legacy = std::string(text);
        return true;
    }
    if (!IsValidUtf8(text)) return false;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) {
            legacy += static_cast<char>(code);
            continue;
        }
        int found = -1;
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] == code) found = k;
        if (found < 0) {
            legacy.clear();
            return false;
        }
        legacy += static_cast<char>(0x80 + found);
    }
    return true;
}

}  // namespace qv

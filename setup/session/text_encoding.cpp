#include "setup/session/text_encoding.h"

#include "setup/session/file_system.h"

namespace qv {

bool IsValidUtf8(std::string_view bytes) {
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > bytes.size()) return false;
        uint32_t code = length == 1 ? c : c & (0x7F >> length);
        for (size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and what lies past the last code point are no UTF-8.
        static constexpr uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kLeast[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

std::string FromCdText(std::string_view bytes) {
    if (!ProgramUsesUtf8() || IsValidUtf8(bytes)) return std::string(bytes);
    return FromLegacyText(bytes);
}

bool ToLegacyPath(const std::string& path, std::string& legacy) {
    if (ToLegacyText(path, legacy)) return true;
    // The short form of the longest part of the path that has one, and the rest as it is.
    for (size_t end = path.size(); end != std::string::npos && end > 2; end = path.rfind('\\', end - 1)) {
        const std::string shortForm = fs::ShortPath(path.substr(0, end));
        std::string rest;
        if (!shortForm.empty() && ToLegacyText(shortForm, legacy) && ToLegacyText(path.substr(end), rest)) {
            legacy += rest;
            return true;
        }
    }
    legacy.clear();
    return false;
}

}  // namespace qv

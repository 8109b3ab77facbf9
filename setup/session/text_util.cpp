#include "setup/session/text_util.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace qv {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the longest prefix of text that reads as a decimal number:
// [sign] digits [. digits] [e [sign] digits], with at least one digit.
size_t NumberPrefix(std::string_view text) {
    size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) ++j;
            i = j;
        }
    }
    return i;
}

double ToDouble(std::string_view text) { return std::strtod(std::string(text).c_str(), nullptr); }

}  // namespace

std::string Trim(std::string_view text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return std::string(text.substr(begin, end - begin));
}

std::string UpperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = Upper(c);
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i])) return false;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    return UpperAscii(text).find(UpperAscii(part)) != std::string::npos;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string JoinList(const std::vector<std::string>& items, std::string_view last) {
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? last : std::string_view(", ");
        text += items[i];
    }
    return text;
}

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    const std::string_view rest = text.substr(i);
    const size_t n = NumberPrefix(rest);
    return n == 0 ? 0.0 : ToDouble(rest.substr(0, n));
}

bool ParseNumber(std::string_view text, double& value) {
    const std::string t = Trim(text);
    const size_t n = NumberPrefix(t);
    if (n == 0 || n != t.size()) return false;
    value = ToDouble(t);
    return std::isfinite(value);
}

double RoundHalfEven(double value) { return std::nearbyint(value); }

bool ToInt16(double value, int16_t& result) {
    const double r = RoundHalfEven(value);
    if (!(r >= -32768.0 && r <= 32767.0)) return false;
    result = static_cast<int16_t>(r);
    return true;
}

bool ToInt32(double value, int32_t& result) {
    const double r = RoundHalfEven(value);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return false;
    result = static_cast<int32_t>(r);
    return true;
}

std::string FormatThousands(double value) {
    const double r = RoundHalfEven(value);
    const bool negative = r < 0;
    std::string digits = std::to_string(static_cast<long long>(std::fabs(r)));
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

}  // namespace qv

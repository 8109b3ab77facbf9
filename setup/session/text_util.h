// Small text operations shared by the parsers: trimming, case-insensitive comparison
// and the number conversions of the catalogue and list files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

// Removes leading and trailing blanks (spaces and tabs).
std::string Trim(std::string_view text);
std::string UpperAscii(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool ContainsNoCase(std::string_view text, std::string_view part);
bool EndsWith(std::string_view text, std::string_view suffix);
// The items separated by ", ", the last two by `last` instead: "A, B or C" with " or ".
std::string JoinList(const std::vector<std::string>& items, std::string_view last);

// The leading numeric part of the text (blanks before it skipped): "12abc" gives 12,
// "-3.5e2x" gives -350, "" and "abc" give 0.
double LeadingNumber(std::string_view text);

// The whole text as a decimal number, surrounding blanks allowed; false when the text
// is not a number.
bool ParseNumber(std::string_view text, double& value);

// Rounds to the nearest integer, halves to even, as the classic integer conversion does.
double RoundHalfEven(double value);

// Converts to a 16-bit or 32-bit integer with halves rounded to even; false on overflow.
bool ToInt16(double value, int16_t& result);
bool ToInt32(double value, int32_t& result);

// A whole number with thousands separators and at least one digit ("###,###,##0").
std::string FormatThousands(double value);

}  // namespace qv

// The one reader of profile files: "[section]" headers and "key=value" entries, in the
// text the CDs and the Windows profile calls use. The answer files, the native stand-in
// of the profile calls and the workstation configuration (whose entries are
// "key=type=value") all read their lines through it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qv {

// The lines of a profile file's content, as written (blanks kept, line ends removed). A
// line ends at CR LF, a lone CR or a lone LF; a UTF-8 byte-order mark at the start (or
// several) is not part of the first line.
struct ProfileText {
    bool byteOrderMark = false;
    std::vector<std::string> lines;
};
ProfileText SplitProfileText(std::string_view content);

// What one line of a profile file is.
struct ProfileLine {
    enum class Kind {
        Blank,
        Comment,  // begins with ";"
        Section,  // begins with "["
        Entry,    // anything else: a key, with or without "=" and a value
    };
    Kind kind = Kind::Blank;
    std::string text;        // the line without surrounding blanks
    std::string name;        // Section: between "[" and the first "]" (or the end); Entry: the key; trimmed
    std::string value;       // Entry: what follows the first "=", trimmed
    bool hasValue = false;   // Entry: an "=" follows the key
};
ProfileLine ReadProfileLine(std::string_view line);

// A value without one pair of surrounding quotes, double or single, as the Windows
// profile calls return it; any other value as it stands.
std::string Unquoted(std::string_view value);

}  // namespace qv

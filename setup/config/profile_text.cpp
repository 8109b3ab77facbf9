#include "setup/config/profile_text.h"

#include "setup/session/text_util.h"

namespace qv {

ProfileText SplitProfileText(std::string_view content) {
    ProfileText text;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    // A mark written again by a tool that took the first one for text goes too.
    while (content.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.byteOrderMark = true;
        content.remove_prefix(kByteOrderMark.size());
    }
    size_t begin = 0;
    while (begin < content.size()) {
        size_t end = content.find_first_of("\r\n", begin);
        if (end == std::string_view::npos) end = content.size();
        text.lines.emplace_back(content.substr(begin, end - begin));
        if (end + 1 < content.size() && content[end] == '\r' && content[end + 1] == '\n') ++end;
        begin = end + 1;
    }
    return text;
}

ProfileLine ReadProfileLine(std::string_view line) {
    ProfileLine result;
    result.text = Trim(line);
    const std::string_view text = result.text;
    if (text.empty()) return result;
    if (text[0] == ';') {
        result.kind = ProfileLine::Kind::Comment;
    } else if (text[0] == '[') {
        result.kind = ProfileLine::Kind::Section;
        const size_t close = text.find(']');
        result.name = Trim(text.substr(1, close == std::string_view::npos ? close : close - 1));
    } else {
        result.kind = ProfileLine::Kind::Entry;
        const size_t equals = text.find('=');
        result.name = Trim(text.substr(0, equals));
        result.hasValue = equals != std::string_view::npos;
        if (result.hasValue) result.value = Trim(text.substr(equals + 1));
    }
    return result;
}

std::string Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

}  // namespace qv

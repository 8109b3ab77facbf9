// A profile writer for the build machine with the behaviour of the Windows call: the
// file's lines are kept as they are except the one key written.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "setup/config/profile_file.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(begin, end - begin));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        begin = end + 1;
    }
    return lines;
}

// The section name of a "[name]" line, or false.
bool SectionOf(const std::string& line, std::string& name) {
    const std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(std::string_view(t).substr(1, close - 1));
    return true;
}

bool KeyOf(const std::string& line, std::string& key) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(std::string_view(line).substr(0, eq));
    return true;
}

}  // namespace

std::optional<std::string> ReadProfileString(const std::string& section, const std::string& key,
                                             const std::string& file) {
    std::string text;
    RunError error;
    if (!fs::ReadWholeFile(file, text, error)) return std::nullopt;
    bool inSection = false;
    for (const std::string& line : SplitLines(text)) {
        std::string name;
        if (SectionOf(line, name)) {
            inSection = EqualsNoCase(name, Trim(section));
            continue;
        }
        std::string k;
        if (inSection && KeyOf(line, k) && EqualsNoCase(k, Trim(key))) return Trim(line.substr(line.find('=') + 1));
    }
    return std::nullopt;
}

bool WriteProfileString(const std::string& section, const std::string& key, const std::string& value,
                        const std::string& file) {
    std::string text;
    RunError error;
    if (fs::Exists(file) && !fs::ReadWholeFile(file, text, error)) return false;
    std::vector<std::string> lines = SplitLines(text);
    const std::string entry = key + "=" + value;

    size_t sectionLine = lines.size();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionOf(lines[i], name) && EqualsNoCase(name, Trim(section))) {
            sectionLine = i;
            break;
        }
    }
    if (sectionLine == lines.size()) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
    } else {
        size_t lastKey = sectionLine;
        bool replaced = false;
        for (size_t i = sectionLine + 1; i < lines.size(); ++i) {
            std::string name, k;
            if (SectionOf(lines[i], name)) break;
            if (KeyOf(lines[i], k)) {
                if (EqualsNoCase(k, Trim(key))) {
                    lines[i] = entry;
                    replaced = true;
                    break;
                }
                lastKey = i;
            }
        }
        if (!replaced) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), entry);
    }

    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    std::FILE* f = fs::OpenFile(file, "wb", error);
    if (!f) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace qv

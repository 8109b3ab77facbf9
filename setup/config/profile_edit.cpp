// Profile files edited as text with the behaviour of the Windows calls: the file's lines are
// kept as they are but for the one key written.
#include "setup/config/profile_edit.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "setup/config/profile_text.h"
#include "setup/session/file_system.h"
#include "setup/session/text_encoding.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

bool IsSection(const ProfileLine& line, const std::string& section) {
    return line.kind == ProfileLine::Kind::Section && EqualsNoCase(line.name, Trim(section));
}

bool IsKey(const ProfileLine& line) { return line.kind == ProfileLine::Kind::Entry && line.hasValue; }

// Puts the entry in the place of the key in its section, or after the section's last
// key, or appends the section with it.
void PutEntry(std::vector<std::string>& lines, const std::string& section, const std::string& key,
              const std::string& entry) {
    const auto header = std::find_if(lines.begin(), lines.end(),
                                     [&](const std::string& l) { return IsSection(ReadProfileLine(l), section); });
    if (header == lines.end()) {
        if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
        lines.push_back("[" + section + "]");
        lines.push_back(entry);
        return;
    }
    size_t lastKey = static_cast<size_t>(header - lines.begin());
    for (size_t i = lastKey + 1; i < lines.size(); ++i) {
        const ProfileLine line = ReadProfileLine(lines[i]);
        if (line.kind == ProfileLine::Kind::Section) break;
        if (!IsKey(line)) continue;
        if (EqualsNoCase(line.name, Trim(key))) {
            lines[i] = entry;
            return;
        }
        lastKey = i;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), entry);
}

}  // namespace

std::optional<std::string> ReadProfileText(const std::string& section, const std::string& key,
                                           const std::string& file) {
    std::string text;
    RunError error;
    if (!fs::ReadWholeFile(file, text, error)) return std::nullopt;
    bool inSection = false;
    for (const std::string& l : SplitProfileText(text).lines) {
        const ProfileLine line = ReadProfileLine(l);
        if (line.kind == ProfileLine::Kind::Section) {
            inSection = IsSection(line, section);
            continue;
        }
        if (inSection && IsKey(line) && EqualsNoCase(line.name, Trim(key))) return Unquoted(line.value);
    }
    return std::nullopt;
}

namespace {

// Changes the lines of the file with `edit`, as the Windows call rewrites the file.
bool EditProfile(const Path& file, const std::function<void(std::vector<std::string>&)>& edit) {
    std::string text;
    RunError error;
    if (fs::Exists(file) && !fs::ReadWholeFile(file, text, error)) return false;
    ProfileText profile = SplitProfileText(text);
    edit(profile.lines);

    // A file that began with a byte-order mark keeps it, as the Windows call keeps it.
    std::string out = profile.byteOrderMark ? "\xEF\xBB\xBF" : "";
    for (const std::string& line : profile.lines) out += line + "\r\n";
    std::FILE* f = fs::CreateFileToWrite(file, error);
    if (!f) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace

bool WriteProfileText(const std::string& section, const std::string& key, const std::string& value, const Path& file) {
    return EditProfile(file, [&](std::vector<std::string>& lines) { PutEntry(lines, section, key, key + "=" + value); });
}

bool DeleteProfileText(const std::string& section, const std::string& key, const Path& file) {
    if (!fs::Exists(file)) return true;
    return EditProfile(file, [&](std::vector<std::string>& lines) {
        bool inSection = false;
        for (auto it = lines.begin(); it != lines.end();) {
            const ProfileLine line = ReadProfileLine(*it);
            if (line.kind == ProfileLine::Kind::Section) inSection = IsSection(line, section);
            if (inSection && IsKey(line) && EqualsNoCase(line.name, Trim(key)))
                it = lines.erase(it);
            else
                ++it;
        }
    });
}

std::optional<std::string> ReadLegacyProfileString(const std::string& section, const std::string& key,
                                                   const std::string& file) {
    const std::optional<std::string> value = ReadProfileText(section, key, file);
    if (!value) return std::nullopt;
    return FromLegacyText(*value);
}

bool WriteLegacyProfileString(const std::string& section, const std::string& key, const std::string& value,
                              const Path& file, bool& faithful) {
    std::string legacy;
    faithful = ToLegacyText(value, legacy);
    return WriteProfileText(section, key, faithful ? legacy : value, file);
}

}  // namespace qv

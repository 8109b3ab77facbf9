#include "setup/session/languages.h"

#include "setup/session/file_system.h"
#include "setup/session/text_encoding.h"
#include "setup/session/text_util.h"

namespace qv {

std::vector<std::string> SplitQuotedFields(const std::string& line) {
    std::vector<std::string> fields;
    size_t i = 0;
    const size_t n = line.size();
    while (i <= n) {
        while (i < n && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::string value;
        if (i < n && line[i] == '"') {
            const size_t close = line.find('"', i + 1);
            const size_t end = close == std::string::npos ? n : close;
            value = line.substr(i + 1, end - i - 1);
            i = close == std::string::npos ? n : close + 1;
            // Text after the closing quote up to the comma is not part of the value.
            const size_t comma = line.find(',', i);
            i = comma == std::string::npos ? n + 1 : comma + 1;
        } else {
            const size_t comma = line.find(',', i);
            const size_t end = comma == std::string::npos ? n : comma;
            value = Trim(line.substr(i, end - i));
            i = comma == std::string::npos ? n + 1 : comma + 1;
        }
        fields.push_back(value);
    }
    return fields;
}

bool ReadLanguageList(const std::string& sourceDir, std::vector<LanguageRec>& languages) {
    languages.clear();
    std::string content;
    RunError ignored;  // a list that cannot be read is as good as none
    if (!fs::ReadWholeFile(sourceDir + "\\" + kLanguageListName, content, ignored)) return false;

    // LangIndex is a 16-bit index: records past what it can reach are not read.
    constexpr size_t kMostLanguages = 32768;
    size_t start = 0;
    while (start < content.size() && languages.size() < kMostLanguages) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = FromCdText(std::string_view(content).substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (Trim(line).empty()) continue;

        const std::vector<std::string> fields = SplitQuotedFields(line);
        LanguageRec language;
        language.Name = fields.size() > 0 ? fields[0] : "";
        language.Code = fields.size() > 1 ? fields[1] : "";
        double offset = 0;
        if (fields.size() > 2 && ParseNumber(fields[2], offset)) ToInt16(offset, language.ResOffset);
        languages.push_back(language);
    }
    return true;
}

LanguageRec EnglishLanguage() { return {"English", "ENG", 0}; }

int FindLanguageByCode(const Session& session, const std::string& code) {
    const std::string wanted = Trim(code);
    if (wanted.empty()) return -1;
    for (size_t i = 0; i < session.Languages.size(); ++i)
        if (EqualsNoCase(Trim(session.Languages[i].Code), wanted)) return static_cast<int>(i);
    return -1;
}

void ApplyLanguage(Session& session, int index) {
    if (index < 0 || index >= static_cast<int>(session.Languages.size())) index = 0;
    if (session.Languages.empty()) session.Languages.push_back(EnglishLanguage());
    session.LangIndex = static_cast<int16_t>(index);
    session.LangOffset = session.Languages[index].ResOffset;
}

}  // namespace qv

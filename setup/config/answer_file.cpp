#include "setup/config/answer_file.h"

#include "setup/config/profile_file.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// The keys of an answer file, and whether each is a flag (1 or 0) or takes a value.
const struct {
    const char* key;
    bool flag;
} kKeys[] = {{"LANG", false}, {"DB", false},    {"TYPE", false},  {"PRODUCTS", false}, {"DIR", false},
             {"GROUP", false}, {"NOGROUP", true}, {"DBDIR", false}, {"CRC", true}};

std::string Joined(const std::vector<std::string>& codes) {
    std::string text;
    for (const std::string& code : codes) text += (text.empty() ? "" : ",") + code;
    return text;
}

}  // namespace

bool WriteAnswerFile(const std::string& path, const Answers& answers, RunError& error) {
    const std::string scratch = path + ".~new";
    RunError ignored;
    fs::RemoveFile(scratch, ignored);
    std::vector<std::pair<const char*, std::string>> keys = {
        {"LANG", answers.language}, {"DB", answers.platform}, {"TYPE", std::to_string(answers.installType)},
        {"PRODUCTS", Joined(answers.products)}, {"DIR", answers.installDir}, {"CRC", answers.crcCheck ? "1" : "0"}};
    if (answers.groupKnown) {
        keys.push_back({"NOGROUP", answers.noGroup ? "1" : "0"});
        if (!answers.noGroup) keys.push_back({"GROUP", answers.groupTitle});
        keys.push_back({"DBDIR", answers.connectivityDir});
    }
    for (const auto& [key, value] : keys) {
        if (value.empty() && std::string(key) != "GROUP") continue;  // nothing to answer
        if (!WriteProfileString(kAnswerSection, key, value, scratch)) {
            error = err::PathFileAccess();
            fs::RemoveFile(scratch, ignored);
            return false;
        }
    }
    if (fs::MoveReplacing(scratch, path, error)) return true;
    fs::RemoveFile(scratch, ignored);
    return false;
}

bool ReadAnswerFile(const std::string& path, std::vector<std::pair<std::string, std::string>>& words,
                    std::string& problem) {
    words.clear();
    std::string content;
    RunError error;
    if (!fs::ReadWholeFile(path, content, error)) {
        problem = "The answer file " + path + " cannot be read: " + error.description + ".";
        return false;
    }
    bool inSection = false, sectionSeen = false;
    size_t begin = 0;
    while (begin < content.size()) {
        size_t end = content.find_first_of("\r\n", begin);
        if (end == std::string::npos) end = content.size();
        const std::string line = Trim(std::string_view(content).substr(begin, end - begin));
        begin = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            inSection = EqualsNoCase(line, std::string("[") + kAnswerSection + "]");
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        const size_t eq = line.find('=');
        const std::string key = UpperAscii(Trim(line.substr(0, eq)));
        const std::string value = eq == std::string::npos ? std::string() : Trim(line.substr(eq + 1));
        const auto* known = std::find_if(std::begin(kKeys), std::end(kKeys),
                                         [&](const auto& k) { return key == k.key; });
        if (known == std::end(kKeys)) {
            problem = "Unknown key \"" + key + "\" in the answer file " + path + ".\r\nUse LANG, DB, TYPE, PRODUCTS, "
                      "DIR, GROUP, NOGROUP, DBDIR or CRC.";
            return false;
        }
        if (known->flag) {
            if (value != "0" && value != "1") {
                problem = "Bad value \"" + value + "\" of the key " + key + " in the answer file " + path +
                          ".\r\nUse 1 or 0.";
                return false;
            }
            if (value == "1") words.emplace_back(key, "/" + key);
            continue;
        }
        words.emplace_back(key, "\"/" + key + "=" + value + "\"");
    }
    if (!sectionSeen) {
        problem = "The answer file " + path + " has no [" + std::string(kAnswerSection) + "] section.";
        return false;
    }
    return true;
}

}  // namespace qv

#include "setup/config/answer_file.h"

#include "setup/config/profile_file.h"
#include "setup/config/profile_text.h"
#include "setup/session/disk_utils.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

// Blanks at either end would be dropped and a quote there stripped when the value is read
// back: such a value goes in double quotes, which the reading strips again.
std::string Quoted(const std::string& value) {
    const auto changes = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    if (value.empty() || (!changes(value.front()) && !changes(value.back()))) return value;
    return "\"" + value + "\"";
}

std::string AnswerKeys() {
    std::vector<std::string> keys;
    for (const Switch& sw : Switches())
        if (sw.inAnswerFile) keys.push_back(sw.name);
    return JoinList(keys, " or ");
}

struct FileAnswer {
    const Switch* sw;
    std::string value;  // as written, its quotes stripped
};

// The answers of the [Setup] section, checked for their keys and flags.
bool ReadAnswers(const std::string& path, std::vector<FileAnswer>& answers, std::string& problem) {
    std::string content;
    RunError error;
    if (!fs::ReadWholeFile(path, content, error)) {
        problem = "The answer file " + path + " cannot be read: " + error.description + ".";
        return false;
    }
    bool inSection = false, sectionSeen = false;
    for (const std::string& text : SplitProfileText(content).lines) {
        const ProfileLine line = ReadProfileLine(text);
        if (line.kind == ProfileLine::Kind::Section) {
            inSection = EqualsNoCase(line.name, kAnswerSection);
            sectionSeen = sectionSeen || inSection;
        }
        if (!inSection || line.kind != ProfileLine::Kind::Entry) continue;
        const std::string key = UpperAscii(line.name);
        const std::string value = Unquoted(line.value);
        const Switch* sw = FindSwitch(key);
        if (!sw || !sw->inAnswerFile) {
            problem = "Unknown key \"" + key + "\" in the answer file " + path + ".\r\nUse " + AnswerKeys() + ".";
            return false;
        }
        if (!sw->hint && value != "0" && value != "1") {
            problem = "Bad value \"" + value + "\" of the key " + key + " in the answer file " + path +
                      ".\r\nUse 1 or 0.";
            return false;
        }
        answers.push_back({sw, value});
    }
    if (!sectionSeen) {
        problem = "The answer file " + path + " has no [" + std::string(kAnswerSection) + "] section.";
        return false;
    }
    return true;
}

}  // namespace

bool WriteAnswerFile(const std::string& path, const StartupOptions& answers, RunError& error) {
    // The profile call puts a file named without a folder into the Windows folder.
    const std::optional<Path> file = FullPathOf(path);
    if (!file || file->IsRoot()) {
        error = err::BadFileNameOrNumber();
        return false;
    }
    const Path scratch = file->WithSuffix(".~new");
    RunError ignored;
    PassOver(fs::RemoveFile(scratch, ignored));
    for (const Switch& sw : Switches()) {
        const std::optional<std::string> value = AnswerOf(sw, answers);
        if (!value) continue;  // nothing to answer
        if (!WriteProfileString(kAnswerSection, sw.name, Quoted(*value), scratch)) {
            error = err::PathFileAccess();
            PassOver(fs::RemoveFile(scratch, ignored));
            return false;
        }
    }
    if (fs::MoveReplacing(scratch, *file, error)) return true;
    PassOver(fs::RemoveFile(scratch, ignored));
    return false;
}

bool ReadAnswerFile(const std::string& path, StartupOptions& options, std::string& problem) {
    std::vector<FileAnswer> answers;
    if (!ReadAnswers(path, answers, problem)) return false;
    // Each answer on its own, as if given alone: a later one wins over an earlier one.
    StartupOptions result = options;
    for (const FileAnswer& a : answers) {
        if (!a.sw->hint && a.value == "0") continue;
        const std::string word = "/" + std::string(a.sw->name);
        const GivenSwitch given =
            a.sw->hint ? GivenSwitch{a.sw, word + "=" + a.value, a.value} : GivenSwitch{a.sw, word, std::nullopt};
        if (!ApplySwitches({given}, result, problem)) {
            problem = "Key " + std::string(a.sw->name) + " of the answer file " + path + ": " + problem;
            return false;
        }
    }
    options = result;
    return true;
}

}  // namespace qv

#include "setup/config/config_profile.h"

#include <cstdio>

#include "setup/config/profile_text.h"
#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kDefaultType = "REG_SZ";

// A configuration entry's value: "type=value", or a value without a type.
struct TypedValue {
    std::optional<std::string> type;
    std::string value;
};

TypedValue TypedValueOf(const std::string& value) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos) return {std::nullopt, value};
    return {Trim(value.substr(0, equals)), value.substr(equals + 1)};
}

// Headers are whole lines, brackets included: "[Startup] ; note" is not "[Startup]".
bool IsHeaderOf(const ProfileLine& line, const std::string& section) {
    return line.kind == ProfileLine::Kind::Section && EqualsNoCase(line.text, section);
}

bool IsEntryOf(const ProfileLine& line, const std::string& key) {
    return line.kind == ProfileLine::Kind::Entry && line.hasValue && EqualsNoCase(line.name, key);
}

std::string Entry(const std::string& key, const std::string& type, const std::string& value) {
    return key + "=" + type + "=" + value;
}

void ReportSaveFailure(UserPort& port, const RunError& error, const std::string& path) {
    Message box{"File Access Error : " + std::to_string(error.number) + "\r" + error.description + "\rWriting " +
                    path + "\rChanges not saved.",
                kAppTitle, Buttons::Ok, Icon::Exclamation, 1};
    box.cause = error;
    port.ShowMessage(box);
}

// Writes every line with CR LF to a new file; false, with the error, on any failure (a
// write that fails without a system error counts as a device error).
bool WriteLines(const std::vector<std::string>& lines, const std::string& path, RunError& error) {
    std::FILE* f = fs::OpenFile(path, "wb", error);
    if (!f) return false;
    bool ok = true;
    for (const std::string& line : lines) {
        ok = ok && std::fwrite(line.data(), 1, line.size(), f) == line.size() && std::fwrite("\r\n", 1, 2, f) == 2;
    }
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (!ok) error = err::DeviceIo();
    return ok;
}

}  // namespace

bool ReadConfigLines(const std::string& path, std::vector<std::string>& lines, RunError& error) {
    std::string content;
    if (!fs::ReadWholeFile(path, content, error)) return false;
    lines.clear();
    for (const std::string& line : SplitProfileText(content).lines) lines.push_back(Trim(line));
    return true;
}

bool LoadFile(Session& session, UserPort& port, const std::string& path, bool showErrors) {
    RunError error;
    if (!ReadConfigLines(path, session.ConfigLines, error)) {
        const bool missing = !fs::Exists(path);
        if (!missing && showErrors) {
            Message box{"File Access Error : " + std::to_string(error.number) + "\r" + error.description +
                            "\rReading file " + path,
                        "LoadFile", Buttons::Ok, Icon::Exclamation, 1};
            box.cause = error;
            port.ShowMessage(box);
        }
        return false;
    }
    return true;
}

void SetREGParm(Session& session, const std::string& key, const std::string& value, const std::string& section) {
    std::vector<std::string>& lines = session.ConfigLines;
    bool sectionFound = false;
    std::optional<ProfileLine> entry;
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        ProfileLine line = ReadProfileLine(lines[i]);
        if (!sectionFound) {
            sectionFound = IsHeaderOf(line, section);
            continue;
        }
        if (IsEntryOf(line, key)) {
            entry = std::move(line);
            break;
        }
        if (line.kind == ProfileLine::Kind::Section) break;
    }

    if (entry) {
        lines[i] = Entry(key, TypedValueOf(entry->value).type.value_or(kDefaultType), value);
    } else if (sectionFound) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), Entry(key, kDefaultType, value));
    } else {
        lines.push_back(section);
        lines.push_back(Entry(key, kDefaultType, value));
    }
}

bool SaveFile(Session& session, UserPort& port, const std::string& path) {
    const std::string scratch = path + ".~new";
    RunError error, ignored;
    if (!WriteLines(session.ConfigLines, scratch, error) || !fs::MoveReplacing(scratch, path, error)) {
        fs::RemoveFile(scratch, ignored);
        ReportSaveFailure(port, error, path);
        return false;
    }
    session.ConfigLines.clear();
    return true;
}

std::vector<ConfigEntry> WorkstationConfigEntries(const Session& session, const std::string& connectivityDir) {
    const std::string& d = session.InstallDir;
    const std::string language =
        session.LangIndex >= 0 && session.LangIndex < static_cast<int>(session.Languages.size())
            ? session.Languages[static_cast<size_t>(session.LangIndex)].Code
            : std::string();
    const std::string drive = d.substr(0, 2);
    const std::string afterDrive = d.size() > 2 ? d.substr(2) : std::string();
    return {
        {"[Startup]", "DBType", session.DbConfigName},
        {"[QVTOOLS]", "Language", language},
        {"[Tabulon]", "TemplateDir", d + "\\excel"},
        {"[Tabulon]", "MacroDir", d + "\\excel"},
        {"[Tabulon]", "LayoutDir", d + "\\Tabulon\\layout"},
        {"[Tabulon]", "DrillDownDir", d + "\\Tabulon\\layout\\drilldn"},
        {"[Tabulon]", "StyleDir", d + "\\excel"},
        {"[Batchwell]", "CBLBIN", d + "\\cblbin"},
        {"[Batchwell]", "CRWRPTPATH", d + "\\crw"},
        {"[Batchwell]", "DBBIN", connectivityDir},
        {"[Batchwell]", "PRDDRIVE", drive},
        {"[Batchwell]", "PRDBIN", afterDrive + "\\cblbin"},
        {"[Batchwell]", "TOOLBIN", d + "\\bin\\client\\winx86"},
        {"[Batchwell]", "QV_HOME", d},
        {"[Batchwell]", "QVSQR1", d + "\\user\\sqr"},
        {"[Batchwell]", "QVSQR2", d + "\\sqr"},
        {"[Batchwell]", "QVSQR3", "c:\\user\\sqr"},
        {"[Batchwell]", "QVSQR4", d + "\\sqr"},
        {"[Batchwell]", "TEMP", session.TempDir},
        {"[Batchwell]", "QVSQRFLAGS", "-ZIF" + d + "\\sqr\\qvsqr.ini"},
        {"[Marrowbooks]", "BookPath", d + "\\qvbooks"},
        {"[Marrowbooks]", "Marrowbooks Viewer Path", d + "\\qvbooks\\folio\\views.exe"},
        {"[Marrowbooks]", "Help Viewer Path", d + "\\qvbooks\\folio\\qvhlp.exe"},
        {"[Marrowbooks]", "Opener", d + "\\qvbooks\\Folio Shared\\opener.dll"},
        {"[Data Ferry]", "InputDir", d + "\\data"},
        {"[Data Ferry]", "OutputDir", d + "\\data"},
        {"[Data Ferry]", "LastScriptDir", d + "\\scripts"},
        {"[Data Ferry]", "LogDir", session.TempDir},
        {"[QVIDE]", "ReportOutputDir", session.TempDir},
    };
}

std::optional<std::string> GetREGParm(const std::vector<std::string>& lines, const std::string& key,
                                      const std::string& section) {
    bool inSection = false;
    for (const std::string& text : lines) {
        const ProfileLine line = ReadProfileLine(text);
        if (line.kind == ProfileLine::Kind::Section) {
            inSection = IsHeaderOf(line, section);
            continue;
        }
        if (inSection && IsEntryOf(line, key)) return TypedValueOf(line.value).value;
    }
    return std::nullopt;
}

bool WriteWorkstationConfig(Session& session, UserPort& port, const std::string& path,
                            const std::string& connectivityDir) {
    if (!LoadFile(session, port, path)) return false;
    for (const ConfigEntry& e : WorkstationConfigEntries(session, connectivityDir))
        SetREGParm(session, e.key, e.value, e.section);
    return SaveFile(session, port, path);
}

}  // namespace qv

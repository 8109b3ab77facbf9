#include "setup/config/config_profile.h"

#include <cstdio>

#include "setup/session/file_system.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kDefaultType = "REG_SZ";

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

bool LoadFile(Session& session, UserPort& port, const std::string& path, bool showErrors) {
    std::string content;
    RunError error;
    if (!fs::ReadWholeFile(path, content, error)) {
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
    session.ConfigLines.clear();
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        session.ConfigLines.push_back(Trim(line));
        start = end + 1;
    }
    return true;
}

void SetREGParm(Session& session, const std::string& key, const std::string& value, const std::string& section) {
    std::vector<std::string>& lines = session.ConfigLines;
    bool sectionFound = false;
    bool entryFound = false;
    size_t i = 0;
    for (; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!sectionFound) {
            sectionFound = EqualsNoCase(line, section);
            continue;
        }
        const size_t eq = line.find('=');
        if (EqualsNoCase(Trim(line.substr(0, eq == std::string::npos ? 0 : eq)), key)) {
            entryFound = true;
            break;
        }
        if (!line.empty() && line[0] == '[') break;
    }

    if (entryFound) {
        const std::string& line = lines[i];
        const size_t first = line.find('=');
        const size_t second = line.find('=', first + 1);
        const std::string type = second == std::string::npos ? kDefaultType : Trim(line.substr(first + 1, second - first - 1));
        lines[i] = Entry(key, type, value);
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
    for (const std::string& line : lines) {
        if (!line.empty() && line[0] == '[') {
            inSection = EqualsNoCase(line, section);
            continue;
        }
        if (!inSection) continue;
        const size_t first = line.find('=');
        if (first == std::string::npos || !EqualsNoCase(Trim(line.substr(0, first)), key)) continue;
        const size_t second = line.find('=', first + 1);
        return second == std::string::npos ? Trim(line.substr(first + 1)) : line.substr(second + 1);
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

#include "setup/config/config_profile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "setup/config/profile_text.h"
#include "setup/session/file_system.h"
#include "setup/session/text_encoding.h"
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
bool WriteLines(const std::vector<std::string>& lines, const Path& path, RunError& error) {
    std::FILE* f = fs::CreateFileToWrite(path, error);
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

// Where the path in an entry's value begins: at its first "X:\", or at its start when it is a
// path on the install drive ("\..."), whose letter an entry of its own holds; npos when the
// value holds no path.
size_t PathIn(const std::string& value) {
    for (size_t i = 0; i + 2 < value.size(); ++i)
        if (std::isalpha(static_cast<unsigned char>(value[i])) && value[i + 1] == ':' && value[i + 2] == '\\') return i;
    return !value.empty() && value[0] == '\\' ? 0 : std::string::npos;
}

// The value in the legacy code page with its path in the short form; false where it holds
// no path, or the path has no short form that fits.
bool LegacyValue(const std::string& value, const std::string& drive, std::string& legacy) {
    const size_t at = PathIn(value);
    if (at == std::string::npos) return false;
    const bool onDrive = value[at] == '\\' && value.compare(at, 2, "\\\\") != 0;
    std::string before, shortPath;
    if (!ToLegacyText(value.substr(0, at), before) || !ToLegacyPath((onDrive ? drive : "") + value.substr(at), shortPath))
        return false;
    legacy = before + shortPath.substr(onDrive ? std::min(drive.size(), shortPath.size()) : 0);
    return true;
}

// The line in the legacy ANSI code page that the suite's programs read the file in. An
// entry whose value does not fit is written with the short form of its path where there is
// one; else as the program holds it, and the log names the entry. Never with a "?".
std::string LegacyLine(const std::string& line, const std::string& drive, UserPort& port, const std::string& file) {
    std::string legacy;
    if (ToLegacyText(line, legacy)) return legacy;
    const ProfileLine entry = ReadProfileLine(line);
    if (entry.kind == ProfileLine::Kind::Entry && entry.hasValue) {
        const std::string value = TypedValueOf(entry.value).value;
        const size_t start = line.size() - std::min(line.size(), value.size());
        std::string tail;
        if (line.compare(start, std::string::npos, value) == 0 && ToLegacyText(line.substr(0, start), legacy) &&
            LegacyValue(value, drive, tail))
            return legacy + tail;
    }
    port.LogStep("The entry \"" + line + "\" of " + file +
                 " could not be written faithfully: the code page of the programs that read it cannot hold it");
    return line;
}

}  // namespace

bool ReadConfigLines(const std::string& path, std::vector<std::string>& lines, RunError& error) {
    std::string content;
    if (!fs::ReadWholeFile(path, content, error)) return false;
    lines.clear();
    for (const std::string& line : SplitProfileText(content).lines) lines.push_back(Trim(FromCdText(line)));
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

bool SaveFile(Session& session, UserPort& port, const Path& path) {
    const Path scratch = path.WithSuffix(".~new");
    RunError error, ignored;
    std::vector<std::string> legacy;
    legacy.reserve(session.ConfigLines.size());
    const std::string drive = session.InstallDir.substr(0, 2);
    for (const std::string& line : session.ConfigLines) legacy.push_back(LegacyLine(line, drive, port, path));
    if (!WriteLines(legacy, scratch, error) || !fs::MoveReplacing(scratch, path, error)) {
        PassOver(fs::RemoveFile(scratch, ignored));
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

bool WriteWorkstationConfig(Session& session, UserPort& port, const Path& path, const std::vector<ConfigEntry>& entries) {
    if (!LoadFile(session, port, path)) return false;
    for (const ConfigEntry& e : entries)
        SetREGParm(session, e.key, e.value, e.section);
    return SaveFile(session, port, path);
}

}  // namespace qv

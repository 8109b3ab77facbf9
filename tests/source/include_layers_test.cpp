// The include direction of the sources. The installer is built in layers, from the bottom
// up: session (session record, platform services, text and path utilities), config
// (profile, transfer configuration, database codes), engine (file lists, copy, expansion,
// driver, progress, completion), the main window's logic, the windows (dialogs, the main
// window's Win32 side, the Win32 port) and the program. A file may include its own layer
// and the layers below it, never one above: so the logic keeps building without windows
// and the engine without the main window. This test reads every project include of the
// tree and names each one that runs the wrong way.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace stdfs = std::filesystem;

// The part of the tree a file belongs to, by the longest matching path prefix.
const std::vector<std::pair<std::string, std::string>> kParts = {
    {"setup/resources/", "resources"},
    {"setup/session/", "session"},
    {"setup/config/", "config"},
    {"setup/engine/", "engine"},
    {"setup/mainwindow/qv_setup", "windows"},  // the main window's Win32 side
    {"setup/mainwindow/", "mainwindow"},
    {"setup/dialogs/", "windows"},
    {"setup/", "app"},
    {"qvcrc/", "qvcrc"},
    {"qvole/", "qvole"},
    {"tools/", "tools"},
    {"tests/", "tests"},
    {"bench/", "tests"},
};

// What each part may include besides itself. The string-table and control ids of
// resources serve every layer; the two libraries stand alone.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"resources", {}},
    {"qvcrc", {}},
    {"qvole", {}},
    {"session", {"resources"}},
    {"config", {"session", "resources"}},
    {"engine", {"config", "session", "resources", "qvcrc"}},
    {"mainwindow", {"engine", "config", "session", "resources"}},
    {"windows", {"mainwindow", "engine", "config", "session", "resources"}},
    {"app", {"windows", "mainwindow", "engine", "config", "session", "resources"}},
    {"tools", {"engine", "config", "session", "resources", "qvcrc"}},
    {"tests", {"app", "windows", "mainwindow", "engine", "config", "session", "resources", "qvcrc", "qvole",
               "tools"}},
};

std::string PartOf(const std::string& path) {
    std::string part, matched;
    for (const auto& [prefix, name] : kParts)
        if (path.rfind(prefix, 0) == 0 && prefix.size() > matched.size()) {
            matched = prefix;
            part = name;
        }
    return part;
}

// The path of a project include on this line ("setup/...", "qvole/...", "qvcrc/...",
// "tools/..."); empty for any other line.
std::string ProjectInclude(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
    const size_t open = line.find('"', i + 7);
    const size_t close = open == std::string::npos ? open : line.find('"', open + 1);
    if (close == std::string::npos) return {};
    const std::string path = line.substr(open + 1, close - open - 1);
    for (const char* top : {"setup/", "qvole/", "qvcrc/", "tools/"})
        if (path.rfind(top, 0) == 0) return path;
    return {};
}

bool IsSource(const stdfs::path& file) {
    const std::string ext = file.extension().string();
    return ext == ".h" || ext == ".cpp" || ext == ".c" || ext == ".rc";
}

TEST(IncludeLayers, NoFileIncludesALayerAboveItsOwn) {
    const stdfs::path root = QV_SOURCE_DIR;
    std::vector<std::string> wrong;
    int includes = 0;
    for (const char* top : {"setup", "qvole", "qvcrc", "tools", "tests", "bench"}) {
        if (!stdfs::is_directory(root / top)) continue;
        for (const stdfs::directory_entry& entry : stdfs::recursive_directory_iterator(root / top)) {
            if (!entry.is_regular_file() || !IsSource(entry.path())) continue;
            const std::string file = entry.path().lexically_relative(root).generic_string();
            const std::string from = PartOf(file);
            ASSERT_FALSE(from.empty()) << file << " lies in no part of the layer table";
            std::ifstream in(entry.path());
            std::string line;
            for (int number = 1; std::getline(in, line); ++number) {
                const std::string included = ProjectInclude(line);
                if (included.empty()) continue;
                ++includes;
                const std::string to = PartOf(included);
                if (to == from || kMayInclude.at(from).count(to)) continue;
                wrong.push_back(file + ":" + std::to_string(number) + " includes " + included + " (" + from +
                                " may not include " + (to.empty() ? "an unknown part" : to) + ")");
            }
        }
    }
    EXPECT_GT(includes, 100) << "the sources were not found below " << root;
    std::string report;
    for (const std::string& w : wrong) report += "\n  " + w;
    EXPECT_TRUE(wrong.empty()) << wrong.size() << " include(s) against the layers:" << report;
}

}  // namespace

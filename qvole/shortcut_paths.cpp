#include "qvole/shortcut_paths.h"

namespace qvole {

bool ToAllUsersPath(std::string& path) {
    // path = E + third component + D + B, where B and D are the last two components with
    // their leading "\" and E ends in "\".
    const std::size_t b = path.rfind('\\');
    if (b == std::string::npos || b == 0) return false;
    const std::size_t d = path.rfind('\\', b - 1);
    if (d == std::string::npos || d == 0) return false;
    const std::size_t e = path.rfind('\\', d - 1);
    if (e == std::string::npos) return false;
    path = path.substr(0, e + 1) + "All users" + path.substr(d);
    return true;
}

bool GroupFolderPath(const std::string& programs, const std::string& group, std::string& folder) {
    folder = programs;
    if (group.empty()) return true;
    if (programs.size() >= kMaxGroupFolder) return false;
    folder += group.substr(0, kMaxGroupFolder - programs.size());
    return true;
}

bool LinkFilePath(const std::string& folder, const std::string& name, std::string& link) {
    link = folder;
    if (link.empty() || link.back() != '\\') link += '\\';
    if (!name.empty()) {
        if (link.size() >= kMaxLinkStem) return false;
        link += name.substr(0, kMaxLinkStem - link.size());
    }
    link += ".LNK";
    return link.size() < kMaxPath;
}

std::string LinkWorkingDirectory(const std::string& target, const std::string& workdir) {
    if (!workdir.empty()) return workdir;
    const std::size_t slash = target.rfind('\\');
    return slash == std::string::npos ? std::string() : target.substr(0, slash);
}

bool GetProgramsFolder(ShortcutShell& shell, int32_t common, std::string& path) {
    if (common != 1 || shell.IsWin9x())
        return shell.GetFolderPath(ProgramsFolderKind::CurrentUser, path);
    // The shell knows the all-users folder on every NT system that has one; deriving it
    // from the user's folder only fits the old profile layout, where the two are siblings.
    if (shell.GetFolderPath(ProgramsFolderKind::AllUsers, path)) return true;
    if (!shell.GetFolderPath(ProgramsFolderKind::CurrentUser, path)) return false;
    return ToAllUsersPath(path);
}

namespace {

// The directory exists, or was created now (one level).
bool EnsureDirectory(ShortcutShell& shell, const std::string& path) {
    return shell.IsDirectory(path) || shell.MakeDirectory(path);
}

}  // namespace

int32_t MakeShortCut(ShortcutShell& shell, const ShortcutRequest& request) {
    std::string programs;
    if (!GetProgramsFolder(shell, request.common, programs)) return 0;
    programs += '\\';
    if (programs.size() >= kMaxPath) return 0;
    if (!EnsureDirectory(shell, programs)) return 0;

    std::string folder;
    if (!GroupFolderPath(programs, request.group, folder)) return 0;
    if (!EnsureDirectory(shell, folder)) return 0;

    LinkSpec link;
    if (!LinkFilePath(folder, request.name, link.path)) return 0;
    link.target = request.target;
    link.description = request.name;
    link.workdir = LinkWorkingDirectory(request.target, request.workdir);
    link.args = request.args;
    return shell.CreateLink(link) ? 1 : 0;
}

const char* OleEntryName(OleEntry entry) {
    switch (entry) {
    case OleEntry::CoInitialize: return "CoInitialize";
    case OleEntry::CoUninitialize: return "CoUninitialize";
    case OleEntry::CoCreateInstance: return "CoCreateInstance";
    }
    return "";
}

int32_t InitOle(OleBinder& binder) {
    if (!binder.Load()) return binder.ShowError("Cannot load ole32.dll");
    struct Step {
        OleEntry entry;
        const char* message;
    };
    static constexpr Step kSteps[] = {
        {OleEntry::CoInitialize, "Cannot load CoInitialize Proc from ole32.dll"},
        {OleEntry::CoUninitialize, "Cannot load CoUnInitialize Proc from ole32.dll"},
        {OleEntry::CoCreateInstance, "Cannot load CoCreateInstance Proc from ole32.dll"},
    };
    for (const Step& step : kSteps) {
        if (binder.Resolve(step.entry)) continue;
        binder.Release();
        return binder.ShowError(step.message);
    }
    return binder.Initialize();
}

}  // namespace qvole

// The parts of the file layer that are the same on every platform, built on its calls.
#include "setup/session/file_system.h"

namespace qv::fs {

bool Exists(const std::string& path) {
    RunError ignored;
    return KindOf(path, ignored) != EntryKind::None;
}

bool IsDirectory(const std::string& path) {
    RunError ignored;
    return KindOf(path, ignored) == EntryKind::Directory;
}

bool IsFile(const std::string& path) {
    RunError ignored;
    return KindOf(path, ignored) == EntryKind::File;
}

bool PassesThroughLink(const Path& path, const Path& root) {
    if (!path.IsWithin(root)) return true;
    for (Path folder = path.Parent(); folder != root && folder.IsWithin(root); folder = folder.Parent())
        if (IsLink(folder)) return true;
    return false;
}

void WalkTree(const Path& root, const std::function<void(const Path&)>& visit) {
    std::vector<Path> folders = {root};
    while (!folders.empty()) {
        const Path folder = folders.back();
        folders.pop_back();
        RunError ignored;  // a folder that cannot be listed is passed over: the walk goes on
        PassOver(FindEntries(
            folder.Slashed() + "*",
            [&](const DirEntry& entry) {
                const std::optional<Path> path = folder.Join(entry.name);
                if (!path) return true;
                if (entry.directory && !entry.link) folders.push_back(*path);
                else visit(*path);
                return true;
            },
            ignored));
    }
}

bool ListSubdirectories(const std::string& dir, std::vector<std::string>& names, RunError& error) {
    names.clear();
    const std::string pattern = dir + (!dir.empty() && dir.back() == '\\' ? "*" : "\\*");
    return FindEntries(
        pattern,
        [&](const DirEntry& entry) {
            if (entry.directory) names.push_back(entry.name);
            return true;
        },
        error);
}

bool MatchesAnyEntry(const std::string& pattern) {
    if (pattern.empty()) return false;
    // A folder's own search finds its "." entry: an existing folder always matches.
    if (pattern.back() == '\\' && IsDirectory(pattern)) return true;
    bool found = false;
    RunError ignored;
    PassOver(FindEntries(
        pattern.back() == '\\' ? pattern + "*" : pattern,
        [&](const DirEntry&) {
            found = true;
            return false;
        },
        ignored));
    return found;
}

}  // namespace qv::fs

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

namespace {

constexpr std::string_view kSystemPrefix = "\\??\\";
constexpr std::string_view kSharePrefix = "UNC\\";

// The path a name of the system's list stands for; nothing for a name of another form.
std::optional<Path> PathOfSystemName(std::string_view name) {
    if (name.rfind(kSystemPrefix, 0) != 0) return std::nullopt;
    name.remove_prefix(kSystemPrefix.size());
    if (name.rfind(kSharePrefix, 0) == 0)
        return Path::Parse("\\\\" + std::string(name.substr(kSharePrefix.size())), nullptr, PathForms{true});
    return Path::Parse(name);
}

}  // namespace

std::string SystemName(const Path& path) {
    if (path.IsShare()) return std::string(kSystemPrefix) + std::string(kSharePrefix) + path.str().substr(2);
    return std::string(kSystemPrefix) + path.str();
}

std::string ReplacedName(const Path& path) { return "!" + SystemName(path); }

std::vector<PendingReplacement> ReplacementsIn(const std::vector<std::string>& names) {
    std::vector<PendingReplacement> found;
    for (size_t i = 0; i + 1 < names.size(); i += 2) {
        std::string_view to = names[i + 1];
        if (to.empty()) continue;  // a removal
        if (to.front() == '!') to.remove_prefix(1);
        const std::optional<Path> fromPath = PathOfSystemName(names[i]);
        const std::optional<Path> toPath = PathOfSystemName(to);
        if (fromPath && toPath) found.push_back({*fromPath, *toPath});
    }
    return found;
}

std::optional<size_t> FindReplacement(const std::vector<std::string>& names, const Path& from, const Path& to) {
    for (size_t i = 0; i + 1 < names.size(); i += 2) {
        const std::optional<Path> fromPath = PathOfSystemName(names[i]);
        const std::string_view target = names[i + 1];
        if (!fromPath || *fromPath != from || target.empty() || target.front() != '!') continue;
        const std::optional<Path> toPath = PathOfSystemName(target.substr(1));
        if (toPath && *toPath == to) return i;
    }
    return std::nullopt;
}

}  // namespace qv::fs

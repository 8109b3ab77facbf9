#include "setup/session/disk_utils.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "setup/resources/string_ids.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kProbeText = "This is a test.";

bool WriteProbe(const Path& file) {
    RunError ignored;
    std::FILE* f = fs::CreateFileToWrite(file, ignored);
    if (!f) return false;
    const bool written = std::fputs(kProbeText, f) >= 0 && std::fputs("\r\n", f) >= 0;
    return std::fclose(f) == 0 && written;
}

bool ProbeReadsBack(const std::string& file) {
    RunError ignored;
    std::FILE* f = fs::OpenFile(file, "rb", ignored);
    if (!f) return false;
    char line[64] = {};
    const bool read = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!read) return false;
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text == kProbeText;
}

// The characters of text from 1-based position `from`, at most `count`; empty beyond the end.
std::string Mid(const std::string& text, size_t from, size_t count) {
    return from - 1 < text.size() ? text.substr(from - 1, count) : std::string();
}

std::string TwoDigits(std::string part) {
    if (part.empty()) return "00";
    if (part.size() == 1) return "0" + part;
    return part;
}

}  // namespace

bool MakeDirPath(const Path& path, RunError& error) {
    std::vector<Path> missing;
    for (Path folder = path; !folder.IsRoot() && !fs::Exists(folder); folder = folder.Parent()) missing.push_back(folder);
    for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder)
        if (!fs::CreateDir(*folder, error)) return false;
    return true;
}

int32_t RoundToCluster(const Session& session, int64_t n) {
    const int64_t cluster = session.ClusterSize > 0 ? session.ClusterSize : kClusterSize;
    if (n <= 0) return 0;
    const int64_t clusters = n / cluster + (n % cluster != 0 ? 1 : 0);  // no sum that could overflow
    const int64_t limit = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(clusters > limit / cluster ? limit : clusters * cluster);
}

std::optional<Path> FullPathOf(const std::string& text) {
    const std::optional<Path> current = fs::CurrentDir();
    const std::optional<Path> path = Path::Parse(Trim(text), current ? &*current : nullptr, PathForms{true});
    if (!path) return std::nullopt;
    return fs::LongForm(*path);
}

std::string CanonicalDir(const std::string& text) {
    const std::string given = Trim(text);
    if (given.empty() || (given.size() == 2 && given[1] == ':')) return given;
    const std::optional<Path> path = FullPathOf(given);
    return path ? path->str() : given;
}

Path InstallDirPath(const Session& session) {
    return Path::Parse(session.InstallDir, nullptr, PathForms{true}).value_or(Path());
}

Path TempDirPath(const Session& session) { return Path::Parse(session.TempDir, nullptr, PathForms{true}).value_or(Path()); }

bool TestWriteAccess(const std::string& dir) {
    const std::optional<Path> folder = FullPathOf(dir);
    const std::optional<Path> probeDir = folder ? folder->Join("~qvtmp.tmp") : std::nullopt;
    if (!probeDir) return false;
    RunError ignored;
    if (!MakeDirPath(*probeDir, ignored)) return false;
    const Path probeFile = *probeDir->Join("~qvtmpf.tmp");
    const bool readsBack = WriteProbe(probeFile) && ProbeReadsBack(probeFile);
    // The probe goes whatever the test found; so does dir when it is left empty.
    PassOver(fs::RemoveFile(probeFile, ignored));
    PassOver(fs::RemoveDir(*probeDir, ignored));
    PassOver(fs::RemoveDir(*folder, ignored));
    return readsBack;
}

bool CanWriteBelow(const std::string& dir) {
    const std::optional<Path> start = FullPathOf(dir);
    if (!start) return false;
    for (Path path = *start;; path = path.Parent()) {
        RunError error;
        const fs::EntryKind kind = fs::KindOf(path, error);
        if (kind == fs::EntryKind::File) return false;
        if (kind == fs::EntryKind::Directory) return !fs::IsReadOnly(path);
        if (path.IsRoot()) return false;
    }
}

double GetFreeSpace(const std::string& root) {
    RunError ignored;
    const std::optional<fs::DiskSpace> space = fs::GetDiskSpace(root, ignored);
    if (!space) return -1;
    const uint32_t bytesPerCluster = space->bytesPerSector * space->sectorsPerCluster;
    return static_cast<double>(bytesPerCluster) * static_cast<double>(space->freeClusters);
}

ReleaseParts SplitReleaseText(const std::string& text) {
    const std::string t = Trim(text);
    return {Mid(t, 8, 1), TwoDigits(Mid(t, 9, 2)), TwoDigits(Mid(t, 11, 2))};
}

ReleaseParts GetReleaseParts() { return SplitReleaseText(LoadResString(static_cast<int>(Str::ReleaseText))); }

}  // namespace qv

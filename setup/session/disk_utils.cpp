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

bool WriteProbe(const std::string& file) {
    RunError ignored;
    std::FILE* f = fs::OpenFile(file, "wb", ignored);
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

bool MakeDirPath(const std::string& path, RunError& error) {
    size_t stop = path.find('\\');
    if (stop == std::string::npos) return true;
    for (;;) {
        stop = path.find('\\', stop + 1);
        const std::string prefix = path.substr(0, stop);
        if (!prefix.empty() && prefix.back() != '\\' && !fs::Exists(prefix) && !fs::CreateDir(prefix, error))
            return false;
        if (stop == std::string::npos) return true;
    }
}

int32_t RoundToCluster(const Session& session, int64_t n) {
    const int64_t cluster = session.ClusterSize > 0 ? session.ClusterSize : kClusterSize;
    if (n <= 0) return 0;
    const int64_t clusters = n / cluster + (n % cluster != 0 ? 1 : 0);  // no sum that could overflow
    const int64_t limit = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(clusters > limit / cluster ? limit : clusters * cluster);
}

std::string CanonicalDir(const std::string& text) {
    std::string path = Trim(text);
    if (path.empty() || (path.size() == 2 && path[1] == ':')) return path;
    std::replace(path.begin(), path.end(), '/', '\\');
    path = fs::FullPath(path);
    std::replace(path.begin(), path.end(), '/', '\\');
    // The root the path keeps: a drive ("c:"), a share ("\\\\server\\share") or nothing.
    size_t rootEnd = 0;
    if (path.size() >= 2 && path[1] == ':') {
        rootEnd = 2;
    } else if (path.rfind("\\\\", 0) == 0) {
        const size_t server = path.find('\\', 2);
        rootEnd = server == std::string::npos ? path.size() : std::min(path.find('\\', server + 1), path.size());
    }
    std::vector<std::string> parts;
    for (size_t at = rootEnd; at < path.size();) {
        const size_t slash = std::min(path.find('\\', at), path.size());
        const std::string part = path.substr(at, slash - at);
        if (part == ".." && !parts.empty()) parts.pop_back();
        else if (!part.empty() && part != "." && part != "..") parts.push_back(part);
        at = slash + 1;
    }
    std::string canonical = path.substr(0, rootEnd);
    for (const std::string& part : parts) canonical += "\\" + part;
    return parts.empty() ? canonical + "\\" : canonical;
}

bool TestWriteAccess(const std::string& dir) {
    const std::string probeDir = dir + (EndsWith(dir, "\\") ? "" : "\\") + "~qvtmp.tmp";
    RunError ignored;
    if (!MakeDirPath(probeDir, ignored)) return false;
    const std::string probeFile = probeDir + "\\~qvtmpf.tmp";
    const bool readsBack = WriteProbe(probeFile) && ProbeReadsBack(probeFile);
    // The probe goes whatever the test found; so does dir when it is left empty.
    fs::RemoveFile(probeFile, ignored);
    fs::RemoveDir(probeDir, ignored);
    fs::RemoveDir(dir, ignored);
    return readsBack;
}

bool CanWriteBelow(const std::string& dir) {
    std::string path = dir;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    while (!path.empty()) {
        RunError error;
        const fs::EntryKind kind = fs::KindOf(path.size() == 2 && path[1] == ':' ? path + "\\" : path, error);
        if (kind == fs::EntryKind::File) return false;
        if (kind == fs::EntryKind::Directory) return !fs::IsReadOnly(path);
        const size_t slash = path.rfind('\\');
        if (slash == std::string::npos) return false;
        path.resize(slash);
    }
    return false;
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

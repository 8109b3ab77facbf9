#include "setup/session/disk_utils.h"

#include <cstdio>
#include <memory>

#include "setup/engine/dir_path.h"
#include "setup/resources/string_ids.h"
#include "setup/session/file_system.h"
#include "setup/session/res_strings.h"
#include "setup/session/text_util.h"

namespace qv {
namespace {

constexpr const char* kProbeText = "This is a test.";

bool WriteProbe(const std::string& file) {
    std::FILE* f = fs::OpenFile(file, "wb");
    if (!f) return false;
    const bool written = std::fputs(kProbeText, f) >= 0 && std::fputs("\r\n", f) >= 0;
    return std::fclose(f) == 0 && written;
}

bool ProbeReadsBack(const std::string& file) {
    std::FILE* f = fs::OpenFile(file, "rb");
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

bool TestWriteAccess(const std::string& dir) {
    const std::string probeDir = dir + (EndsWith(dir, "\\") ? "" : "\\") + "~qvtmp.tmp";
    if (!MakeDirPath(probeDir)) return false;
    const std::string probeFile = probeDir + "\\~qvtmpf.tmp";
    if (!WriteProbe(probeFile) || !ProbeReadsBack(probeFile)) return false;
    fs::RemoveFile(probeFile);
    fs::RemoveDir(probeDir);
    fs::RemoveDir(dir);  // succeeds only when the directory is empty
    return true;
}

double GetFreeSpace(const std::string& root) {
    const std::optional<fs::DiskSpace> space = fs::GetDiskSpace(root);
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

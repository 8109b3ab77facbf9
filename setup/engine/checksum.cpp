#include <algorithm>
#include <memory>

#include "setup/engine/checksum.h"
#include "setup/engine/open_files.h"

namespace qv {

bool FileChecksum(const std::string& path, int64_t& size, int32_t& checksum, RunError& error) {
    // Large reads, so that the checksum runs at its full speed; no more than the file needs.
    constexpr int64_t kLargestRead = 1 << 20;
    OpenFile file;
    if (!file.OpenRead(path, error) || !file.Size(size, error)) return false;
    const uint32_t blockSize = static_cast<uint32_t>(std::clamp<int64_t>(size, 1, kLargestRead));
    const std::unique_ptr<char[]> block(new char[blockSize]);
    int32_t running = -1;
    for (;;) {
        uint32_t got = 0;
        if (!file.Read(block.get(), blockSize, got, error)) return false;
        if (got == 0) break;
        if (!GetCRC(block.get(), static_cast<int32_t>(got), running, error)) return false;
    }
    checksum = ~running;
    return true;
}

}  // namespace qv

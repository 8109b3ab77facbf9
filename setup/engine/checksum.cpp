#include <memory>

#include "setup/engine/checksum.h"
#include "setup/session/file_system.h"

namespace qv {

namespace {

// Reads the open file to its end into the checksum.
bool ChecksumOf(fs::Handle file, int64_t& size, int32_t& checksum, RunError& error) {
    // Large reads, so that the checksum runs at its full speed, into a block each thread
    // keeps: a block of its own for each file costs as much again in fresh pages as the
    // reading does.
    constexpr uint32_t kBlockSize = 1 << 20;
    thread_local const std::unique_ptr<char[]> block(new char[kBlockSize]);
    if (!fs::Size(file, size, error)) return false;
    int32_t running = -1;
    for (;;) {
        uint32_t got = 0;
        if (!fs::Read(file, block.get(), kBlockSize, got, error)) return false;
        if (got == 0) break;
        if (!GetCRC(block.get(), static_cast<int32_t>(got), running, error)) return false;
    }
    checksum = ~running;
    return true;
}

}  // namespace

bool BindChecksumLibrary(RunError& error) {
    int32_t running = -1;
    return GetCRC(&running, 0, running, error);
}

bool FileChecksum(const std::string& path, int64_t& size, int32_t& checksum, RunError& error) {
    // The handle is the read's alone (not one that Cancel closes), so that threads may
    // checksum files side by side.
    const fs::Handle file = fs::OpenForRead(path, error);
    if (file == fs::kNoHandle) return false;
    const bool read = ChecksumOf(file, size, checksum, error);
    RunError closing;
    if (fs::Close(file, closing) || !read) return read;
    error = closing;
    return false;
}

}  // namespace qv

// Natively the checksum is linked in; it is the same code that qvcrc.dll exports.
#include <string>

#include "qvcrc/crc32.h"
#include "setup/engine/checksum.h"

namespace qv {

std::string ChecksumLibraryPath() { return "(linked in)"; }

bool GetCRC(const void* block, int32_t length, int32_t& running, RunError& /*error*/) {
    if (block != nullptr && length > 0)
        running = static_cast<int32_t>(qvcrc::Update(static_cast<uint32_t>(running), block, static_cast<size_t>(length)));
    return true;
}

}  // namespace qv

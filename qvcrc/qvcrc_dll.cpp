// qvcrc.dll: the checksum library that the installer binds by name at its first
// checksum. One export, GetCRC, undecorated and stdcall (see qvcrc.def).
#include <cstdint>

#include "qvcrc/crc32.h"

// Advances the running CRC-32 over length bytes of block and returns the new running
// value. No inversion happens here: the caller starts with -1 and complements the
// result at the end. A length of 0 or less, or a null block, leaves the value unchanged.
extern "C" int32_t __stdcall GetCRC(const void* block, int32_t length, int32_t running) noexcept {
    if (block == nullptr || length <= 0) return running;
    return static_cast<int32_t>(qvcrc::Update(static_cast<uint32_t>(running), block, static_cast<size_t>(length)));
}

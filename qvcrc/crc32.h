// CRC-32 with the reflected polynomial 0xEDB88320, the checksum of the CD's file lists.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvcrc {

// Advances a running CRC-32 over the bytes. No inversion happens inside: start with
// 0xFFFFFFFF and complement the final value to get the usual CRC-32 (as zlib's crc32).
uint32_t Update(uint32_t running, const void* data, size_t length);

}  // namespace qvcrc

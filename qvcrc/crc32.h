// CRC-32 with the reflected polynomial 0xEDB88320, the checksum of the CD's file lists.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qvcrc {

// Advances a running CRC-32 over the bytes. No inversion happens inside: start with
// 0xFFFFFFFF and complement the final value to get the usual CRC-32 (as zlib's crc32).
// Uses carry-less multiplication when the processor has it, slicing-by-8 otherwise.
uint32_t Update(uint32_t running, const void* data, size_t length);

// The individual methods behind Update, for tests and benchmarks. All give the same
// result as Update for any input.
namespace detail {

// One table lookup per byte.
uint32_t UpdateByteTable(uint32_t running, const void* data, size_t length);

// Eight table lookups per 8 bytes; the method of processors without carry-less multiply.
uint32_t UpdateSlicing8(uint32_t running, const void* data, size_t length);

// True when the processor has PCLMULQDQ and SSE4.1 (decided once, by CPUID).
bool HasFolding();

// Carry-less-multiplication folding for the bulk, slicing-by-8 for the rest.
// Only valid when HasFolding() is true.
uint32_t UpdateFolding(uint32_t running, const void* data, size_t length);

}  // namespace detail
}  // namespace qvcrc

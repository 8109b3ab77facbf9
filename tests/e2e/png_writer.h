// A minimal PNG encoder for screenshots: 8-bit RGB, no filtering, and a zlib stream of
// "stored" (uncompressed) deflate blocks, so it needs no compression library. The
// files are large (about width * height * 3 bytes) but every viewer opens them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qve2e {

// rgb holds height rows of width pixels, top row first, 3 bytes (R, G, B) a pixel.
// Returns the bytes of the PNG file.
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

// CRC-32 of the bytes (reflected polynomial 0xEDB88320), the check value of a chunk.
uint32_t Crc32(const uint8_t* data, size_t length);

// Adler-32 of the bytes (the zlib stream's check value).
uint32_t Adler32(const uint8_t* data, size_t length);

}  // namespace qve2e

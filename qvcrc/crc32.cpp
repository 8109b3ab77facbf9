#include "qvcrc/crc32.h"

#include <array>

namespace qvcrc {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

uint32_t Update(uint32_t running, const void* data, size_t length) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < length; ++i) running = kTable[(running ^ p[i]) & 0xFF] ^ (running >> 8);
    return running;
}

}  // namespace qvcrc

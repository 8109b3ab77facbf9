#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "qvcrc/crc32.h"

namespace qvcrc {
namespace {

using Method = uint32_t (*)(uint32_t, const void*, size_t);

struct NamedMethod {
    const char* name;
    Method update;
};

// Every way of computing the CRC that this machine can run.
std::vector<NamedMethod> Methods() {
    std::vector<NamedMethod> methods = {{"Update", &Update},
                                        {"byte table", &detail::UpdateByteTable},
                                        {"slicing-by-8", &detail::UpdateSlicing8}};
    if (detail::HasFolding()) methods.push_back({"folding", &detail::UpdateFolding});
    return methods;
}

std::vector<unsigned char> RandomBytes(size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<unsigned char> bytes(n);
    for (auto& b : bytes) b = static_cast<unsigned char>(random());
    return bytes;
}

uint32_t Zlib(const unsigned char* p, size_t n, uint32_t start = 0) {
    uLong crc = start;
    // zlib takes at most uInt bytes per call.
    while (n > 0) {
        const size_t step = std::min<size_t>(n, 1u << 30);
        crc = crc32(crc, p, static_cast<uInt>(step));
        p += step;
        n -= step;
    }
    return static_cast<uint32_t>(crc);
}

TEST(Crc32, CheckValueOfTheStandardString) {
    const char* text = "123456789";
    for (const NamedMethod& m : Methods()) EXPECT_EQ(~m.update(0xFFFFFFFFu, text, 9), 0xCBF43926u) << m.name;
}

TEST(Crc32, MatchesZlibOverLengthsAndMisalignedStarts) {
    const std::vector<unsigned char> data = RandomBytes((1u << 20) + 64, 7);
    const size_t lengths[] = {0,   1,   2,   7,   8,    9,    15,   16,    17,    31,    32,      63,
                              64,  65,  79,  80,  127,  128,  129,  255,   256,   1000,  4095,    4096,
                              4097, 32767, 32768, 65535, 100003, 1u << 20};
    for (const NamedMethod& m : Methods()) {
        for (size_t length : lengths) {
            for (size_t offset : {0, 1, 3, 7, 8, 13, 15, 16, 33}) {
                const unsigned char* p = data.data() + offset;
                ASSERT_EQ(~m.update(0xFFFFFFFFu, p, length), Zlib(p, length))
                    << m.name << ", length " << length << ", offset " << offset;
            }
        }
    }
}

TEST(Crc32, ContinuesAnyRunningValue) {
    // zlib continues from a finished CRC; the running value is its complement.
    const std::vector<unsigned char> data = RandomBytes(5000, 11);
    std::mt19937 random(3);
    for (const NamedMethod& m : Methods()) {
        for (int i = 0; i < 20; ++i) {
            const uint32_t finished = static_cast<uint32_t>(random());
            const size_t length = random() % data.size();
            EXPECT_EQ(~m.update(~finished, data.data(), length), Zlib(data.data(), length, finished)) << m.name;
        }
    }
}

TEST(Crc32, SplitCallsGiveTheSameResultAsOneCall) {
    const std::vector<unsigned char> data = RandomBytes(300000, 5);
    const uint32_t whole = Zlib(data.data(), data.size());
    std::mt19937 random(9);
    const std::vector<NamedMethod> methods = Methods();
    for (int round = 0; round < 30; ++round) {
        uint32_t running = 0xFFFFFFFFu;
        size_t done = 0;
        while (done < data.size()) {
            // Pieces from 0 bytes to a little over 64 KiB, each by a method chosen at random,
            // so that one method continues where another stopped.
            const size_t piece = std::min<size_t>(data.size() - done, random() % 3 == 0 ? random() % 80 : random() % 70000);
            running = methods[random() % methods.size()].update(running, data.data() + done, piece);
            done += piece;
        }
        EXPECT_EQ(~running, whole) << "round " << round;
    }
}

TEST(Crc32, UniformBytesAndTheBlockSizeOfTheCopy) {
    // All-zero and all-one bytes exercise the reduction with sparse and dense values.
    for (unsigned char fill : {0x00, 0xFF, 0x80}) {
        const std::vector<unsigned char> data(32767 * 3 + 5, fill);
        for (const NamedMethod& m : Methods()) {
            uint32_t running = 0xFFFFFFFFu;
            for (size_t at = 0; at < data.size(); at += 32767)
                running = m.update(running, data.data() + at, std::min<size_t>(32767, data.size() - at));
            EXPECT_EQ(~running, Zlib(data.data(), data.size())) << m.name << ", fill " << int{fill};
        }
    }
}

TEST(Crc32, ZeroLengthLeavesTheValueAlone) {
    for (const NamedMethod& m : Methods()) {
        EXPECT_EQ(m.update(0x12345678u, nullptr, 0), 0x12345678u) << m.name;
        EXPECT_EQ(m.update(0u, "x", 0), 0u) << m.name;
    }
}

TEST(Crc32, FoldingPathIsTestedWhereTheProcessorHasIt) {
    if (!detail::HasFolding()) GTEST_SKIP() << "no PCLMULQDQ/SSE4.1 on this processor: only the fallback ran";
    const std::vector<unsigned char> data = RandomBytes(4096 + 15, 21);
    for (size_t length = 64; length <= 4096; length += 1)
        ASSERT_EQ(~detail::UpdateFolding(0xFFFFFFFFu, data.data() + length % 16, length),
                  Zlib(data.data() + length % 16, length))
            << "length " << length;
}

}  // namespace
}  // namespace qvcrc

#include "qvcrc/crc32.h"

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#define QVCRC_HAVE_X86 1
#include <cpuid.h>
#include <immintrin.h>
#else
#define QVCRC_HAVE_X86 0
#endif

namespace qvcrc {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320u;  // x^32 + x^26 + ... + 1, bit-reflected

// kTables[0] is the classic byte table; kTables[k][i] advances the table entry i by k
// further zero bytes, so that eight bytes can be looked up independently.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

constexpr Tables MakeTables() {
    Tables t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? kPolynomial ^ (c >> 1) : c >> 1;
        t[0][i] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (size_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
    return t;
}

constexpr Tables kTables = MakeTables();
static_assert(kTables[0][1] == 0x77073096u && kTables[0][255] == 0x2D02EF8Du);

// Little-endian 32-bit load from any address; the compiler turns it into one move.
inline uint32_t Load32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

inline uint32_t ByteLoop(uint32_t crc, const unsigned char* p, size_t length) {
    for (size_t i = 0; i < length; ++i) crc = kTables[0][(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

inline uint32_t Slicing8(uint32_t crc, const unsigned char* p, size_t length) {
    while (length >= 8) {
        const uint32_t one = crc ^ Load32(p);
        const uint32_t two = Load32(p + 4);
        crc = kTables[7][one & 0xFF] ^ kTables[6][(one >> 8) & 0xFF] ^ kTables[5][(one >> 16) & 0xFF] ^
              kTables[4][one >> 24] ^ kTables[3][two & 0xFF] ^ kTables[2][(two >> 8) & 0xFF] ^
              kTables[1][(two >> 16) & 0xFF] ^ kTables[0][two >> 24];
        p += 8;
        length -= 8;
    }
    return ByteLoop(crc, p, length);
}

#if QVCRC_HAVE_X86

// Constants of the folding, in the bit-reflected domain where the CRC lives:
// FoldConstant(n) is x^n mod P, reflected, shifted left by one so that a carry-less
// product of two reflected values lines up with bit 0; the pair for 4 x 128 bits folds
// four lanes 512 bits forward, the pair for 128 bits folds one lane 128 bits forward.
constexpr uint64_t kFullPolynomial = 0x104C11DB7ull;  // P(x), normal bit order, 33 bits

constexpr uint64_t Reflect(uint64_t value, int bits) {
    uint64_t out = 0;
    for (int i = 0; i < bits; ++i)
        if ((value >> i) & 1) out |= uint64_t{1} << (bits - 1 - i);
    return out;
}

constexpr uint64_t XPowModP(int n) {
    uint64_t r = 1;
    for (int i = 0; i < n; ++i) {
        r <<= 1;
        if (r & (uint64_t{1} << 32)) r ^= kFullPolynomial;
    }
    return r;
}

constexpr uint64_t FoldConstant(int n) { return Reflect(XPowModP(n), 32) << 1; }

// floor(x^64 / P(x)), the Barrett constant of the last reduction: long division,
// bringing down one bit of x^64 at a time.
constexpr uint64_t XPow64DivP() {
    uint64_t remainder = 0, quotient = 0;
    for (int i = 64; i >= 0; --i) {
        remainder = (remainder << 1) | (i == 64 ? 1 : 0);
        if (remainder & (uint64_t{1} << 32)) {
            remainder ^= kFullPolynomial;
            quotient |= uint64_t{1} << i;
        }
    }
    return quotient;
}

constexpr uint64_t kK1 = FoldConstant(4 * 128 + 32);
constexpr uint64_t kK2 = FoldConstant(4 * 128 - 32);
constexpr uint64_t kK3 = FoldConstant(128 + 32);
constexpr uint64_t kK4 = FoldConstant(128 - 32);
constexpr uint64_t kK5 = FoldConstant(64);
constexpr uint64_t kPolyReflected = Reflect(kFullPolynomial, 33);
constexpr uint64_t kMuReflected = Reflect(XPow64DivP(), 33);
static_assert(kK1 == 0x154442BD4ull && kK2 == 0x1C6E41596ull);
static_assert(kK3 == 0x1751997D0ull && kK4 == 0x0CCAA009Eull && kK5 == 0x163CD6124ull);
static_assert(kPolyReflected == 0x1DB710641ull && kMuReflected == 0x1F7011641ull);

#define QVCRC_CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

// Folds a 128-bit accumulator forward over the next 16 bytes of data.
QVCRC_CLMUL_TARGET __attribute__((always_inline)) inline __m128i Fold16(__m128i acc, __m128i data,
                                                                         __m128i k) {
    const __m128i lo = _mm_clmulepi64_si128(acc, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(acc, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(lo, hi), data);
}

QVCRC_CLMUL_TARGET __attribute__((always_inline)) inline __m128i Load128(const unsigned char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The running CRC over length bytes, length at least 64 and a multiple of 16. The
// 32-bit Windows stack is only 4-byte aligned, so the function realigns its own.
QVCRC_CLMUL_TARGET
#if defined(__i386__)
__attribute__((force_align_arg_pointer))
#endif
uint32_t FoldBlocks(uint32_t crc, const unsigned char* p, size_t length) {
    const __m128i k1k2 = _mm_set_epi64x(static_cast<long long>(kK2), static_cast<long long>(kK1));
    const __m128i k3k4 = _mm_set_epi64x(static_cast<long long>(kK4), static_cast<long long>(kK3));

    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x1 = Load128(p + 16);
    __m128i x2 = Load128(p + 32);
    __m128i x3 = Load128(p + 48);
    p += 64;
    length -= 64;

    // Four independent lanes, 64 bytes per round.
    while (length >= 64) {
        x0 = Fold16(x0, Load128(p), k1k2);
        x1 = Fold16(x1, Load128(p + 16), k1k2);
        x2 = Fold16(x2, Load128(p + 32), k1k2);
        x3 = Fold16(x3, Load128(p + 48), k1k2);
        p += 64;
        length -= 64;
    }

    // The four lanes into one, then the remaining 16-byte pieces.
    x0 = Fold16(x0, x1, k3k4);
    x0 = Fold16(x0, x2, k3k4);
    x0 = Fold16(x0, x3, k3k4);
    while (length >= 16) {
        x0 = Fold16(x0, Load128(p), k3k4);
        p += 16;
        length -= 16;
    }

    // 128 bits to 64, appending the 32 zero bits of the CRC definition.
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), _mm_clmulepi64_si128(k3k4, x0, 0x01));
    const __m128i k5 = _mm_set_epi64x(0, static_cast<long long>(kK5));
    x0 = _mm_xor_si128(_mm_srli_si128(x0, 4), _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), k5, 0x00));

    // Barrett reduction of the 64-bit remainder to the 32-bit CRC.
    const __m128i polyMu = _mm_set_epi64x(static_cast<long long>(kMuReflected), static_cast<long long>(kPolyReflected));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, mask32), polyMu, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, mask32), polyMu, 0x00);
    x0 = _mm_xor_si128(x0, t);
    return static_cast<uint32_t>(_mm_extract_epi32(x0, 1));
}

bool DetectFolding() {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
    return (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1) && (edx & bit_SSE2);
}

#else

bool DetectFolding() { return false; }

#endif

// Below this length the set-up of the folding costs more than it saves.
constexpr size_t kFoldingMinimum = 64;

}  // namespace

namespace detail {

uint32_t UpdateByteTable(uint32_t running, const void* data, size_t length) {
    return ByteLoop(running, static_cast<const unsigned char*>(data), length);
}

uint32_t UpdateSlicing8(uint32_t running, const void* data, size_t length) {
    return Slicing8(running, static_cast<const unsigned char*>(data), length);
}

bool HasFolding() {
    static const bool has = DetectFolding();
    return has;
}

uint32_t UpdateFolding(uint32_t running, const void* data, size_t length) {
    const auto* p = static_cast<const unsigned char*>(data);
#if QVCRC_HAVE_X86
    if (length >= kFoldingMinimum) {
        const size_t bulk = length & ~size_t{15};
        running = FoldBlocks(running, p, bulk);
        p += bulk;
        length -= bulk;
    }
#endif
    return Slicing8(running, p, length);
}

}  // namespace detail

uint32_t Update(uint32_t running, const void* data, size_t length) {
    if (length == 0) return running;
    if (length >= kFoldingMinimum && detail::HasFolding()) return detail::UpdateFolding(running, data, length);
    return detail::UpdateSlicing8(running, data, length);
}

}  // namespace qvcrc

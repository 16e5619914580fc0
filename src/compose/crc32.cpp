#include "compose/crc32.h"

#include "compose/cpu_features.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <array>
#include <cstring>

namespace {

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// Eight tables: table k advances the register over a byte followed by k zero bytes, so eight
// bytes cost eight loads and no loop over bits.
using SliceTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr SliceTables makeTables() {
    SliceTables t{};
    for (std::uint32_t b = 0; b < 256; ++b) {
        std::uint32_t c = b;
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ ((c & 1) ? kPolynomial : 0);
        t[0][b] = c;
    }
    for (std::size_t k = 1; k < 8; ++k)
        for (std::size_t b = 0; b < 256; ++b)
            t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
    return t;
}

constexpr SliceTables kTables = makeTables();

// The register (not inverted) over n bytes.
std::uint32_t crcTables(std::uint32_t c, const unsigned char* p, std::size_t n) {
    for (; n >= 8; n -= 8, p += 8) {
        std::uint32_t lo, hi;
        std::memcpy(&lo, p, 4);
        std::memcpy(&hi, p + 4, 4);
        lo ^= c;
        c = kTables[7][lo & 0xFF] ^ kTables[6][(lo >> 8) & 0xFF] ^ kTables[5][(lo >> 16) & 0xFF] ^
            kTables[4][lo >> 24] ^ kTables[3][hi & 0xFF] ^ kTables[2][(hi >> 8) & 0xFF] ^
            kTables[1][(hi >> 16) & 0xFF] ^ kTables[0][hi >> 24];
    }
    for (; n > 0; --n, ++p)
        c = (c >> 8) ^ kTables[0][(c ^ *p) & 0xFF];
    return c;
}

// a times b modulo the polynomial, both bit-reflected (x^0 is the top bit).
constexpr std::uint32_t multiplyModP(std::uint32_t a, std::uint32_t b) {
    std::uint32_t product = 0;
    for (std::uint32_t m = 1u << 31; m != 0; m >>= 1) {
        if (a & m)
            product ^= b;
        b = (b >> 1) ^ ((b & 1) ? kPolynomial : 0);
    }
    return product;
}

// x^n modulo the polynomial, bit-reflected.
constexpr std::uint32_t powerOfX(unsigned n) {
    std::uint32_t result = 1u << 31, x = 1u << 30;
    for (; n != 0; n >>= 1) {
        if (n & 1)
            result = multiplyModP(x, result);
        x = multiplyModP(x, x);
    }
    return result;
}

// The folding constant for carrying a 128-bit lane d bits ahead: x^(d+32) for its low half and
// x^(d-32) for its high half, in the form the folding takes them.
constexpr std::uint64_t foldLow(unsigned d) {
    return std::uint64_t{powerOfX(d + 32)} << 1;
}
constexpr std::uint64_t foldHigh(unsigned d) {
    return std::uint64_t{powerOfX(d - 32)} << 1;
}
static_assert(foldLow(512) == 0x154442bd4 && foldHigh(512) == 0x1c6e41596);
static_assert(foldLow(128) == 0x1751997d0 && foldHigh(128) == 0x0ccaa009e);

#if defined(__x86_64__)
// Folding with carry-less multiplication (Gopal et al., "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ Instruction", Intel 2009): four 128-bit lanes are carried 512 bits
// ahead per step, folded into one lane, brought to 64 bits and reduced to 32 with Barrett's
// method. The constants are the bit-reflected powers of x modulo the polynomial for those fold
// distances, then the polynomial itself and its Barrett quotient.
#define KAVRIN32_CLMUL __attribute__((target("pclmul,sse4.1")))

KAVRIN32_CLMUL inline __m128i load(const unsigned char* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// One lane carried ahead over the distance k stands for, and added to what is there.
KAVRIN32_CLMUL inline __m128i fold(__m128i lane, __m128i k, __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(lane, k, 0x00);
    const __m128i high = _mm_clmulepi64_si128(lane, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Four 512-bit lanes carried 2048 bits ahead per step, then folded into the four 128-bit lanes
// the narrow code goes on with. Consumes the whole multiple of 256 bytes it can, at least 256.
using WideFold = void (*)(std::uint32_t c, const unsigned char*& p, std::size_t& n, __m128i& x1,
                          __m128i& x2, __m128i& x3, __m128i& x4);

#define KAVRIN32_WIDE_CLMUL __attribute__((target("vpclmulqdq,avx512f,pclmul,sse4.1")))

KAVRIN32_WIDE_CLMUL inline __m512i wideConstant(unsigned d) {
    const auto low = static_cast<long long>(foldLow(d)), high = static_cast<long long>(foldHigh(d));
    return _mm512_set_epi64(high, low, high, low, high, low, high, low);
}

KAVRIN32_WIDE_CLMUL inline __m512i wideFoldStep(__m512i lane, __m512i k, __m512i next) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(lane, k, 0x00),
                                     _mm512_clmulepi64_epi128(lane, k, 0x11), next, 0x96);
}

KAVRIN32_WIDE_CLMUL void wideFold(std::uint32_t c, const unsigned char*& p, std::size_t& n,
                                  __m128i& x1, __m128i& x2, __m128i& x3, __m128i& x4) {
    const __m512i k2048 = wideConstant(2048), k512 = wideConstant(512);
    __m512i a = _mm512_xor_si512(_mm512_loadu_si512(p), _mm512_maskz_loadu_epi32(1, &c));
    __m512i b = _mm512_loadu_si512(p + 64), d = _mm512_loadu_si512(p + 128),
            e = _mm512_loadu_si512(p + 192);
    p += 256;
    n -= 256;
    for (; n >= 256; n -= 256, p += 256) {
        a = wideFoldStep(a, k2048, _mm512_loadu_si512(p));
        b = wideFoldStep(b, k2048, _mm512_loadu_si512(p + 64));
        d = wideFoldStep(d, k2048, _mm512_loadu_si512(p + 128));
        e = wideFoldStep(e, k2048, _mm512_loadu_si512(p + 192));
    }
    b = wideFoldStep(a, k512, b);
    d = wideFoldStep(b, k512, d);
    e = wideFoldStep(d, k512, e);
    x1 = _mm512_maskz_extracti32x4_epi32(0xF, e, 0);
    x2 = _mm512_maskz_extracti32x4_epi32(0xF, e, 1);
    x3 = _mm512_maskz_extracti32x4_epi32(0xF, e, 2);
    x4 = _mm512_maskz_extracti32x4_epi32(0xF, e, 3);
}

// Takes and gives the register; n is a multiple of 16, at least 64 (256 with wide).
KAVRIN32_CLMUL std::uint32_t crcFold(std::uint32_t c, const unsigned char* p, std::size_t n,
                                     WideFold wide) {
    const __m128i k1k2 = _mm_set_epi64x(foldHigh(512), foldLow(512));
    const __m128i k3k4 = _mm_set_epi64x(foldHigh(128), foldLow(128));
    const __m128i k5 = _mm_set_epi64x(0, 0x163cd6124);
    const __m128i poly = _mm_set_epi64x(0x1f7011641, 0x1db710641);
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);

    __m128i x1, x2, x3, x4;
    if (wide != nullptr) {
        wide(c, p, n, x1, x2, x3, x4);
    } else {
        x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(c)));
        x2 = load(p + 16), x3 = load(p + 32), x4 = load(p + 48);
        p += 64;
        n -= 64;
        for (; n >= 64; n -= 64, p += 64) {
            x1 = fold(x1, k1k2, load(p));
            x2 = fold(x2, k1k2, load(p + 16));
            x3 = fold(x3, k1k2, load(p + 32));
            x4 = fold(x4, k1k2, load(p + 48));
        }
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    for (; n >= 16; n -= 16, p += 16)
        x1 = fold(x1, k3k4, load(p));

    // 128 bits to 64: the low half carried 64 bits ahead onto the high half.
    __m128i x = _mm_xor_si128(_mm_clmulepi64_si128(x1, k3k4, 0x10), _mm_srli_si128(x1, 8));
    // 64 bits to 32 bits plus a 32-bit remainder to reduce.
    x = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x, low32), k5, 0x00),
                      _mm_srli_si128(x, 4));
    // Barrett reduction.
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    x = _mm_xor_si128(x, t);
    return static_cast<std::uint32_t>(_mm_extract_epi32(x, 1));
}
#endif

// x^(8 * 2^k) modulo the polynomial, for k = 0..63.
const std::array<std::uint32_t, 64> kZeroBytePowers = [] {
    std::array<std::uint32_t, 64> t{};
    t[0] = 1u << 23;  // x^8
    for (std::size_t k = 1; k < t.size(); ++k)
        t[k] = multiplyModP(t[k - 1], t[k - 1]);
    return t;
}();

// x^(8n) modulo the polynomial: the effect of n zero bytes on a register.
std::uint32_t zeroBytesOperator(std::uint64_t n) {
    std::uint32_t result = 1u << 31;  // x^0
    for (std::size_t k = 0; n != 0; n >>= 1, ++k)
        if (n & 1)
            result = multiplyModP(kZeroBytePowers[k], result);
    return result;
}

}  // namespace

std::uint32_t Crc32(std::uint32_t crc, const unsigned char* data, std::size_t n) {
    std::uint32_t c = ~crc;
#if defined(__x86_64__)
    if (n >= 64 && UseClmul()) {
        const std::size_t bulk = n & ~std::size_t{15};
        c = crcFold(c, data, bulk, bulk >= 256 && UseWideClmul() ? wideFold : nullptr);
        data += bulk;
        n -= bulk;
    }
#endif
    return ~crcTables(c, data, n);
}

std::uint32_t Crc32Combine(std::uint32_t crcA, std::uint32_t crcB, std::uint64_t lengthB) {
    return multiplyModP(zeroBytesOperator(lengthB), crcA) ^ crcB;
}

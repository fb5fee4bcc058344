// CRC-32 by folding 16-byte blocks with carry-less multiplication (PCLMULQDQ): the
// message is shortened to 16 bytes that leave the same remainder, which the table code
// then finishes. Bits are reflected as the CRC reads them: bit 0 of a byte is its
// highest power of x.
#include "payload/crc32_clmul.h"

#include <cpuid.h>
#include <immintrin.h>

#include <cstdint>

#include "payload/crc32.h"

namespace {

constexpr uint64_t polynomial_normal = 0x104C11DB7ull;

// x^n mod P, bit j standing for x^j.
constexpr uint32_t x_power_mod(int n) {
  uint64_t r = 1;
  for (int i = 0; i < n; ++i) {
    r <<= 1;
    if (r & (1ull << 32)) r ^= polynomial_normal;
  }
  return static_cast<uint32_t>(r);
}

constexpr uint32_t reflect32(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}

// A multiplier for a reflected 64-bit lane: carry-less multiplication of reflected
// values adds one power of x, which the exponent takes back.
constexpr uint64_t lane_constant(int power) {
  return static_cast<uint64_t>(reflect32(x_power_mod(power - 1))) << 32;
}

// Moving 16 bytes ahead by d bits: their first 8 bytes stand d + 64 bits before the
// end, their last 8 bytes d bits.
struct FoldConstants {
  uint64_t low, high;
};
constexpr FoldConstants fold_by(int bits) {
  return {lane_constant(bits + 64), lane_constant(bits)};
}

constexpr FoldConstants fold_128 = fold_by(128);
constexpr FoldConstants fold_512 = fold_by(512);

__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i x, __m128i k, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(x, k, 0x00);
  __m128i high = _mm_clmulepi64_si128(x, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse2"))) inline __m128i load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

__attribute__((target("pclmul,sse2"))) inline __m128i constants(FoldConstants k) {
  return _mm_set_epi64x(static_cast<long long>(k.high), static_cast<long long>(k.low));
}

// The processor's answer, asked once: 0 unknown, 1 absent, 2 present. Threads that ask at
// the same time store the same answer.
int clmul_state = 0;

}  // namespace

bool crc32_clmul_available() {
  if (clmul_state == 0) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool present = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) != 0;
    clmul_state = present ? 2 : 1;
  }
  return clmul_state == 2;
}

__attribute__((target("pclmul,sse2"))) uint32_t crc32_update_clmul(uint32_t crc, const void* data,
                                                                   uint64_t length) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  if (data == nullptr || length < 64) return crc32_update_table(crc, data, length);
  // The running register joins the first four bytes; from there it counts as data.
  __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(~crc)));
  __m128i x1 = load(p + 16), x2 = load(p + 32), x3 = load(p + 48);
  p += 64;
  length -= 64;
  // Four independent lanes hide the multiplier's latency.
  const __m128i k512 = constants(fold_512);
  for (; length >= 64; p += 64, length -= 64) {
    x0 = fold(x0, k512, load(p));
    x1 = fold(x1, k512, load(p + 16));
    x2 = fold(x2, k512, load(p + 32));
    x3 = fold(x3, k512, load(p + 48));
  }
  const __m128i k128 = constants(fold_128);
  __m128i x = fold(fold(fold(x0, k128, x1), k128, x2), k128, x3);
  for (; length >= 16; p += 16, length -= 16) x = fold(x, k128, load(p));
  alignas(16) unsigned char folded[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(folded), x);
  // A register of 0 is the complement of a CRC of ~0.
  return crc32_update_table(crc32_update_table(0xFFFFFFFFu, folded, 16), p, length);
}

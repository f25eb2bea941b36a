#include "core/sha256.h"

#include <algorithm>
#include <cstring>

#if defined(__i386__) || defined(__x86_64__)
#define DT_SHA256_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace dt {
namespace {

// The first 32 bits of the fractional parts of the cube roots of the first 64 primes.
alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// The first 32 bits of the fractional parts of the square roots of the first 8 primes.
constexpr std::array<std::uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                                   0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t Rotr(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

std::uint32_t LoadBigEndian(const std::uint8_t* p) {
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

void CompressPortable(std::uint32_t* state, const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) w[t] = LoadBigEndian(data + 4 * t);
    for (int t = 16; t < 64; ++t) {
      const std::uint32_t s0 = Rotr(w[t - 15], 7) ^ Rotr(w[t - 15], 18) ^ (w[t - 15] >> 3);
      const std::uint32_t s1 = Rotr(w[t - 2], 17) ^ Rotr(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
      const std::uint32_t sum1 = Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25);
      const std::uint32_t choice = (e & f) ^ (~e & g);
      const std::uint32_t t1 = h + sum1 + choice + kRound[t] + w[t];
      const std::uint32_t sum0 = Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22);
      const std::uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
      const std::uint32_t t2 = sum0 + majority;
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#ifdef DT_SHA256_X86

// The SHA instructions keep the eight state words in two registers, lanes from high to low:
// "ABEF" = (A, B, E, F) and "CDGH" = (C, D, G, H). sha256rnds2 does two rounds with the
// message-plus-constant words in the low two lanes of its third operand and returns the new ABEF;
// the old ABEF is then the new CDGH, so the two registers swap roles every two rounds.
//
// 32-bit Windows only promises a stack aligned to 4 bytes, and this code may spill 16-byte
// registers: there the function realigns its own frame.
#if defined(__i386__)
#define DT_SHA_FUNCTION __attribute__((target("sha,sse4.1"), force_align_arg_pointer))
#else
#define DT_SHA_FUNCTION __attribute__((target("sha,sse4.1")))
#endif
#define DT_SHA_INLINE __attribute__((target("sha,sse4.1"), always_inline)) inline

// Four big-endian message words.
DT_SHA_INLINE __m128i LoadWords(const std::uint8_t* data, __m128i byteSwap) {
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data)), byteSwap);
}

// Four rounds: message words `w` (lane 0 the first) with their round constants.
DT_SHA_INLINE void FourRounds(__m128i& abef, __m128i& cdgh, __m128i w, int group) {
  __m128i wk =
      _mm_add_epi32(w, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * group)));
  cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);  // cdgh now holds the new ABEF
  wk = _mm_shuffle_epi32(wk, 0x0E);              // the upper two words to the bottom
  abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
}

// The next four message words from the last sixteen, in groups of four from the oldest:
// W[t] = W[t-16] + s0(W[t-15]) + W[t-7] + s1(W[t-2]).
DT_SHA_INLINE __m128i NextWords(__m128i w16, __m128i w12, __m128i w8, __m128i w4) {
  const __m128i partial = _mm_add_epi32(_mm_sha256msg1_epu32(w16, w12),  // W[t-16] + s0
                                        _mm_alignr_epi8(w4, w8, 4));     // + W[t-7]
  return _mm_sha256msg2_epu32(partial, w4);                              // + s1(W[t-2])
}

DT_SHA_FUNCTION void CompressSha(std::uint32_t* state, const std::uint8_t* data,
                                 std::size_t blocks) {
  // Each 32-bit word of the message is big-endian.
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);

  // state[0..7] = A..H, lane 0 lowest: (D C B A) and (H G F E) to (A B E F) and (C D G H).
  const __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  const __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    __m128i w0 = LoadWords(data, byteSwap), w1 = LoadWords(data + 16, byteSwap);
    __m128i w2 = LoadWords(data + 32, byteSwap), w3 = LoadWords(data + 48, byteSwap);
    FourRounds(abef, cdgh, w0, 0);
    FourRounds(abef, cdgh, w1, 1);
    FourRounds(abef, cdgh, w2, 2);
    FourRounds(abef, cdgh, w3, 3);
    for (int group = 4; group < 16; group += 4) {
      w0 = NextWords(w0, w1, w2, w3);
      FourRounds(abef, cdgh, w0, group);
      w1 = NextWords(w1, w2, w3, w0);
      FourRounds(abef, cdgh, w1, group + 1);
      w2 = NextWords(w2, w3, w0, w1);
      FourRounds(abef, cdgh, w2, group + 2);
      w3 = NextWords(w3, w0, w1, w2);
      FourRounds(abef, cdgh, w3, group + 3);
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }

  // And back: (A B E F), (C D G H) to (D C B A), (H G F E).
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i hgdc = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, hgdc, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(hgdc, feba, 8));
}

// CPUID leaf 7 (subleaf 0) EBX bit 29: the SHA extensions; leaf 1 ECX bit 19: SSE4.1, which the
// code above needs for its shuffles and blends (bit 9, SSSE3, comes with it).
bool ProcessorHasShaInstructions() {
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return false;
  const bool sse41 = (ecx & (1u << 19)) != 0 && (ecx & (1u << 9)) != 0;
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return false;
  return sse41 && (ebx & (1u << 29)) != 0;
}

Sha256::BlockFunction PickFastest() {
  return ProcessorHasShaInstructions() ? CompressSha : CompressPortable;
}

#else

Sha256::BlockFunction PickFastest() {
  return CompressPortable;
}

#endif

// Asked once per process.
Sha256::BlockFunction Fastest() {
  static const Sha256::BlockFunction picked = PickFastest();
  return picked;
}

}  // namespace

Sha256::Sha256(Sha256Engine engine)
    : compress_(engine == Sha256Engine::kPortable ? CompressPortable : Fastest()) {
  Restart();
}

void Sha256::Restart() {
  state_ = kInitial;
  pendingSize_ = 0;
  length_ = 0;
}

void Sha256::Add(const void* data, std::size_t size) {
  if (size == 0) return;
  auto bytes = static_cast<const std::uint8_t*>(data);
  length_ += size;
  if (pendingSize_ > 0) {
    const std::size_t take = std::min(size, pending_.size() - pendingSize_);
    std::memcpy(pending_.data() + pendingSize_, bytes, take);
    pendingSize_ += take;
    bytes += take;
    size -= take;
    if (pendingSize_ < pending_.size()) return;
    compress_(state_.data(), pending_.data(), 1);
    pendingSize_ = 0;
  }
  const std::size_t whole = size / 64;
  if (whole > 0) {
    compress_(state_.data(), bytes, whole);
    bytes += whole * 64;
    size -= whole * 64;
  }
  if (size > 0) {
    std::memcpy(pending_.data(), bytes, size);
    pendingSize_ = size;
  }
}

Sha256Digest Sha256::Finish() {
  // The message, a 1 bit, zeros up to 8 bytes short of a block's end, the length in bits
  // (big-endian): one more block, or two when fewer than 9 bytes are left in this one.
  std::array<std::uint8_t, 128> tail{};
  std::memcpy(tail.data(), pending_.data(), pendingSize_);
  tail[pendingSize_] = 0x80;
  const std::size_t blocks = pendingSize_ + 1 + 8 <= 64 ? 1 : 2;
  const std::uint64_t bits = length_ * 8;
  for (int i = 0; i < 8; ++i) {
    tail[blocks * 64 - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
  }
  compress_(state_.data(), tail.data(), blocks);

  Sha256Digest digest;
  for (std::size_t i = 0; i < state_.size(); ++i) {
    for (int j = 0; j < 4; ++j) {
      digest[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
    }
  }
  Restart();
  return digest;
}

Sha256Digest Sha256Of(std::string_view bytes, Sha256Engine engine) {
  Sha256 hash(engine);
  hash.Add(bytes);
  return hash.Finish();
}

bool Sha256UsesShaInstructions() {
  return Fastest() != CompressPortable;
}

}  // namespace dt

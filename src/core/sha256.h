// SHA-256 (FIPS 180-4) of bytes given piece by piece: the seal's check values, in the packaging
// tool and the installer alike. Portable code, with the processor's SHA instructions where x86
// processors have them (picked once, at run time).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace dt {

using Sha256Digest = std::array<std::uint8_t, 32>;

// Which code compresses the blocks: the fastest this processor has (its SHA instructions where it
// has them and SSE4.1 with them, else the portable code), or the portable code whatever the
// processor (so that tests and benchmarks can hold the two against each other).
enum class Sha256Engine { kFastest, kPortable };

class Sha256 {
 public:
  explicit Sha256(Sha256Engine engine = Sha256Engine::kFastest);
  void Add(const void* data, std::size_t size);
  void Add(std::string_view bytes) { Add(bytes.data(), bytes.size()); }
  // The digest of everything added; the object starts over afterwards.
  Sha256Digest Finish();

  // Compresses `blocks` whole blocks of 64 bytes into the eight state words.
  using BlockFunction = void (*)(std::uint32_t* state, const std::uint8_t* data,
                                 std::size_t blocks);

 private:
  void Restart();

  BlockFunction compress_;
  std::array<std::uint32_t, 8> state_;
  std::array<std::uint8_t, 64> pending_{};
  std::size_t pendingSize_ = 0;
  std::uint64_t length_ = 0;  // bytes added
};

// The SHA-256 of bytes.
Sha256Digest Sha256Of(std::string_view bytes, Sha256Engine engine = Sha256Engine::kFastest);

// Whether this processor's SHA instructions do the work (for benchmarks and tests).
bool Sha256UsesShaInstructions();

}  // namespace dt

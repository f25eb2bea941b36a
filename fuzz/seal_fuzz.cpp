// libFuzzer target: the seal's block reader, on arbitrary bytes. It must never crash or read
// outside its input, and a block it accepts must be exactly the block its seal encodes to (so that
// no two blocks mean the same seal, and the packaging tool writes what the installer reads).
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "core/seal_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto seal = dt::DecodeSeal(std::span(data, size));
  if (!seal) return 0;
  const dt::SealBlock block = dt::EncodeSeal(*seal);
  if (size != block.size() || !std::equal(block.begin(), block.end(), data)) __builtin_trap();
  if (!seal->sealed && (seal->archives[0] || seal->archives[1])) __builtin_trap();
  return 0;
}

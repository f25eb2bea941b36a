// libFuzzer target: the archive reader on arbitrary bytes. It must never crash, hang or allocate
// beyond what the input itself accounts for.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/archive_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dt::MemorySource source(std::span(reinterpret_cast<const std::byte*>(data), size));
  const dt::Directory dir = dt::ReadDirectory(source);
  std::vector<std::byte> buffer(4096);
  for (const auto& item : dir.items) {
    const auto payloadSize = dt::ReadPayloadSize(source, item);
    if (!payloadSize) continue;
    auto content = dt::ContentReader::Open(source, item, *payloadSize);
    if (!content) continue;
    std::optional<std::size_t> n;
    while ((n = content->Next(buffer)) && *n > 0) {
    }
  }
  return 0;
}

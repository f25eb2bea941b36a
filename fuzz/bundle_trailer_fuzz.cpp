// libFuzzer target: the one-file installer's layout reader (PE headers, certificate table,
// trailer) and the archive reader behind each window it yields, on arbitrary bytes. It must never
// crash, hang, read outside a window or allocate beyond what the input accounts for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/bundle_format.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  dt::MemorySource file(std::span(reinterpret_cast<const std::byte*>(data), size));
  std::string problem;
  const auto layout = dt::ReadBundleLayout(file, problem);
  if (!layout || layout->kind != dt::BundleLayout::Kind::kBundle) return 0;
  std::vector<std::byte> buffer(4096);
  for (const auto& window : layout->archives) {
    if (!window) continue;
    if (window->offset < layout->image.imageEnd || window->offset + window->length > size) {
      __builtin_trap();  // a window outside the appended data
    }
    dt::WindowSource archive(file, *window);
    const dt::Directory dir = dt::ReadDirectory(archive);
    for (const auto& item : dir.items) {
      const auto payloadSize = dt::ReadPayloadSize(archive, item);
      if (!payloadSize) continue;
      auto content = dt::ContentReader::Open(archive, item, *payloadSize);
      if (!content) continue;
      std::optional<std::size_t> n;
      while ((n = content->Next(buffer)) && *n > 0) {
      }
    }
  }
  return 0;
}

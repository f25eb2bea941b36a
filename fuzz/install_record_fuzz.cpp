// libFuzzer target: the installation record reader and the anchor parser, on arbitrary bytes.
// Besides never crashing, the reader must account for exactly the prefix it accepts: writing the
// accepted lines again gives back those bytes, and the rest is a torn tail or damage.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "core/install_record.h"

namespace {

void CheckRead(std::string_view bytes) {
  const dt::RecordRead read = dt::ReadRecord(bytes);
  if (read.acceptedBytes > bytes.size()) __builtin_trap();
  if (read.tornTail && read.damaged) __builtin_trap();
  if (read.acceptedBytes < bytes.size() ? !(read.tornTail || read.damaged)
                                        : (read.tornTail || read.damaged)) {
    __builtin_trap();  // a rest that is neither torn nor damaged, or a verdict about nothing
  }
  if (read.damaged && read.damagedAt != read.acceptedBytes) __builtin_trap();

  std::string again;
  for (const auto& line : read.lines) {
    if (line.offset != again.size()) __builtin_trap();
    again += dt::FormatRecordLine(line.kind, line.fields);
  }
  if (again != bytes.substr(0, read.acceptedBytes)) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckRead(bytes);

  // The same bytes taken as bodies, one per CR LF, each given its right check value: random bytes
  // seldom pass the check, and this way the bodies' own rules (kinds, escapes) are explored too.
  std::string checked;
  for (std::size_t pos = 0; pos <= size;) {
    std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string_view::npos) end = size;
    const std::string_view body = bytes.substr(pos, end - pos);
    char check[9];
    std::snprintf(check, sizeof check, "%08x", static_cast<unsigned>(dt::Crc32(body)));
    checked.append(check).append(" ").append(body).append("\r\n");
    pos = end + 2;
  }
  CheckRead(checked);

  if (const auto anchor = dt::ParseRecordAnchor(bytes)) {
    if (dt::FormatRecordAnchor(anchor->length, anchor->sha256Hex) != bytes) __builtin_trap();
  }
  return 0;
}

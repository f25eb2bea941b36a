// Lays out and writes package archives: the packaging tool's side of the format.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace dt {

struct PlannedEntry {
  std::string name;     // stored path, code page 1251 bytes
  std::size_t payload;  // index into ArchivePlan::payloadSizes; entries may share one
};

struct ArchivePlan {
  std::vector<PlannedEntry> entries;        // in unpacking order
  std::vector<std::uint32_t> payloadSizes;  // unique payloads, stored in this order
};

struct ArchiveLayout {
  std::string header;                         // EntryCount and the whole directory
  std::vector<std::uint64_t> payloadOffsets;  // where each payload record starts
  std::uint64_t totalSize = 0;                // the archive's size in bytes
};

// Places the directory at the start and the payload records after it, back to back. Offsets are
// computed in 64 bits; whether the result fits the format (totalSize < kMaxArchiveSize) is the
// caller's to check before writing.
ArchiveLayout LayOut(const ArchivePlan& plan);

// The four bytes that open a payload record.
std::string PayloadRecordHeader(std::uint32_t size);

// A whole archive in memory from (stored path, content) pairs; identical contents are stored
// once. For tests and small tools: no rules are checked, so anything the format can express
// (empty contents, odd names) can be built.
std::string BuildArchive(const std::vector<std::pair<std::string, std::string>>& files);

}  // namespace dt

#include "core/archive_writer.h"

#include <map>

#include "core/archive_format.h"

namespace dt {

ArchiveLayout LayOut(const ArchivePlan& plan) {
  ArchiveLayout layout;
  AppendInt32(layout.header, static_cast<std::int32_t>(plan.entries.size()));
  std::uint64_t directorySize = 4;
  for (const auto& entry : plan.entries) directorySize += 4 + entry.name.size() + 1 + 4;

  std::uint64_t at = directorySize;
  layout.payloadOffsets.reserve(plan.payloadSizes.size());
  for (const std::uint32_t size : plan.payloadSizes) {
    layout.payloadOffsets.push_back(at);
    at += 4 + static_cast<std::uint64_t>(size);
  }
  layout.totalSize = at;

  layout.header.reserve(directorySize);
  for (const auto& entry : plan.entries) {
    AppendInt32(layout.header, 0);  // the field readers ignore
    layout.header.append(entry.name).push_back('\0');
    AppendInt32(layout.header, static_cast<std::int32_t>(layout.payloadOffsets.at(entry.payload)));
  }
  return layout;
}

std::string PayloadRecordHeader(std::uint32_t size) {
  std::string out;
  AppendInt32(out, static_cast<std::int32_t>(size));
  return out;
}

std::string BuildArchive(const std::vector<std::pair<std::string, std::string>>& files) {
  ArchivePlan plan;
  std::vector<const std::string*> contents;
  std::map<std::string_view, std::size_t> seen;
  for (const auto& [name, content] : files) {
    auto [it, added] = seen.try_emplace(content, contents.size());
    if (added) {
      contents.push_back(&content);
      plan.payloadSizes.push_back(static_cast<std::uint32_t>(content.size()));
    }
    plan.entries.push_back({name, it->second});
  }
  ArchiveLayout layout = LayOut(plan);
  std::string out = std::move(layout.header);
  for (const std::string* content : contents) {
    out += PayloadRecordHeader(static_cast<std::uint32_t>(content->size()));
    out += *content;
  }
  return out;
}

}  // namespace dt

// Installation records for the tests of their validation and of the removal plan, built as the
// installer writes them: each change announced, then confirmed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "core/install_record.h"

namespace record_tests {

inline const std::string kFolder = "C:\\Program Files\\Ostelan\\Korvu";

struct Record {
  std::string bytes;

  Record& Line(std::string_view kind, std::initializer_list<std::string_view> fields) {
    bytes += dt::FormatRecordLine(kind, fields);
    return *this;
  }
  // A run as earlier versions began it, without the anchored length it appended after.
  Record& Run(const std::string& folder = kFolder) {
    return Line(dt::kRecordRun, {folder, "2024-05-01 10:00:00", "5.02"});
  }
  Record& Run(std::uint64_t anchoredBefore, const std::string& folder = kFolder) {
    const std::string length = std::to_string(anchoredBefore);
    return Line(dt::kRecordRun, {folder, "2024-05-01 10:00:00", "5.02", length});
  }
  Record& File(const std::string& path, const char* how, const char* size) {
    return Line(dt::kRecordFilePending, {path})
        .Line(dt::kRecordFile, {path, how, size, "01da9b8e3c4f5a00"});
  }
  Record& Shared(const std::string& path, const char* before) {
    return Line(dt::kRecordSharedPending, {path}).Line(dt::kRecordShared, {path, before});
  }
  std::uint64_t End() const { return bytes.size(); }
};

}  // namespace record_tests

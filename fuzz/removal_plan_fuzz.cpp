// libFuzzer target: the removal plan and the path classification, on records of arbitrary lines.
// Anyone who can write the installation folder can append to the record, so the plan must take
// any sequence of lines without crashing, refuse exactly what PlanError names, and keep its own
// promises: nothing anchored without an anchor, folders and keys deepest first, one item per
// file, and no path that Classify puts inside a folder that does not hold it.
//
// Input: the first byte chooses the anchor (0: none; otherwise the end of line (byte - 1) modulo
// the number of lines + 1); the rest are line bodies separated by CR LF, each given its check
// value, so that the lines pass the reader and the plan's own rules are explored.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/install_record.h"
#include "core/path_places.h"
#include "core/removal_plan.h"

namespace {

const std::string kFolder = "C:\\Korvu";

std::size_t Depth(const std::string& path) {
  const std::string key = dt::PathKey(path);
  std::size_t depth = 0;
  for (char c : key) depth += c == '\\';
  return depth;
}

void CheckPlan(const dt::RemovalPlan& plan, bool anchor) {
  std::set<std::string> files;
  for (const auto& file : plan.files) {
    if (file.path.empty() || !files.insert(dt::PathKey(file.path)).second) __builtin_trap();
    if (!anchor && file.anchored) __builtin_trap();
    if (file.createdByProduct && file.replacedOnly) __builtin_trap();
    if (file.shared && file.shared->anchoredIncrements > file.shared->increments) __builtin_trap();
  }
  for (std::size_t i = 0; i < plan.folders.size(); ++i) {
    if (plan.folders[i].path.empty() || (!anchor && plan.folders[i].anchored)) __builtin_trap();
    if (i > 0 && Depth(plan.folders[i - 1].path) < Depth(plan.folders[i].path)) __builtin_trap();
  }
  for (std::size_t i = 1; i < plan.keys.size(); ++i) {
    if (Depth(plan.keys[i - 1].key) < Depth(plan.keys[i].key)) __builtin_trap();
  }
}

void CheckClassify(std::string_view path) {
  const std::string key = dt::PathKey(path);
  if (dt::PathKey(key) != key) __builtin_trap();
  const dt::KnownFolders known{kFolder, "C:\\Windows", "C:\\Windows\\System32",
                               "C:\\Windows\\Fonts"};
  const auto within = [&](std::string_view folder) {
    return key.rfind(folder, 0) == 0 && (key.size() == folder.size() || key[folder.size()] == '\\');
  };
  switch (dt::Classify(path, known)) {
    case dt::Place::kInstallFolder:
      if (!within("c:\\korvu")) __builtin_trap();
      break;
    case dt::Place::kSystem:
      if (!within("c:\\windows\\system32")) __builtin_trap();
      break;
    case dt::Place::kFonts:
      if (!within("c:\\windows\\fonts")) __builtin_trap();
      break;
    case dt::Place::kWindows:
      if (!within("c:\\windows") || within("c:\\windows\\system32")) __builtin_trap();
      break;
    case dt::Place::kOutside:
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

  std::string record;
  for (std::size_t pos = 0; pos <= bytes.size();) {
    std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string_view::npos) end = bytes.size();
    const std::string_view body = bytes.substr(pos, end - pos);
    char check[9];
    std::snprintf(check, sizeof check, "%08x", static_cast<unsigned>(dt::Crc32(body)));
    record.append(check).append(" ").append(body).append("\r\n");
    pos = end + 2;
  }
  const dt::RecordRead read = dt::ReadRecord(record);

  std::optional<std::uint64_t> anchor;
  if (data[0] != 0) {
    const std::size_t line = (data[0] - 1u) % (read.lines.size() + 1);
    anchor = line < read.lines.size() ? read.lines[line].offset : read.acceptedBytes;
  }
  const dt::RemovalInput input{read, anchor, kFolder};
  const auto error = dt::PlanError(input);
  try {
    const dt::RemovalPlan plan = dt::MakeRemovalPlan(input);
    if (error) __builtin_trap();
    CheckPlan(plan, anchor && *anchor > 0);
  } catch (const std::invalid_argument& e) {
    if (!error || *error != e.what()) __builtin_trap();
  }

  for (const auto& line : read.lines) {
    for (const auto& field : line.fields) CheckClassify(field);
  }
  CheckClassify(bytes);
  return 0;
}

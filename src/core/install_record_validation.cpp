#include "core/install_record_validation.h"

#include <algorithm>
#include <initializer_list>
#include <set>
#include <vector>

#include "core/path_places.h"

namespace dt {
namespace {

// A field in a message, between quotes, its control bytes written as the record writes them.
std::string Quoted(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

enum class Field {
  kPath, kText, kAny, kView, kHow, kSize, kTime, kFlag, kMadeBy, kBefore, kHex, kLength
};

struct Shape {
  std::string_view kind;
  std::vector<Field> fields;
  std::size_t optional = 0;  // how many of the last fields older records may lack
};

const std::vector<Shape>& Shapes() {
  using F = Field;
  static const std::vector<Shape> shapes = {
      {kRecordRun, {F::kPath, F::kAny, F::kAny, F::kLength}, 1},
      {kRecordLink, {F::kPath, F::kFlag}},
      {kRecordMadeFolder, {F::kPath, F::kMadeBy}},
      {kRecordFolderPending, {F::kPath}},
      {kRecordFolder, {F::kPath}},
      {kRecordFilePending, {F::kPath}},
      {kRecordFile, {F::kPath, F::kHow, F::kSize, F::kTime}},
      {kRecordKept, {F::kPath}},
      {kRecordKeyPending, {F::kView, F::kPath}},
      {kRecordKey, {F::kView, F::kPath}},
      {kRecordValuePending, {F::kView, F::kPath, F::kAny}},
      {kRecordValue, {F::kView, F::kPath, F::kAny, F::kHow}},
      {kRecordIniPending, {F::kPath, F::kText, F::kText}},
      {kRecordIni, {F::kPath, F::kText, F::kText, F::kHow, F::kFlag}},
      {kRecordSharedPending, {F::kPath}},
      {kRecordShared, {F::kPath, F::kBefore}},
      {kRecordToolPending, {F::kText}},
      {kRecordTool, {F::kText}},
      {kRecordSha256, {F::kPath, F::kHex}},
      {kRecordTempPending, {F::kPath}},
      {kRecordCountLowered, {F::kPath}},
  };
  return shapes;
}

bool IsDecimal(std::string_view text) {
  if (text.empty() || text.size() > 19 || (text[0] == '0' && text.size() > 1)) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsLowerHex(std::string_view text, std::size_t digits) {
  return text.size() == digits && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

// How many fields name an item of a category ("file", "folder", "key", "value", "ini") in the
// uninstaller's progress lines; 0 for another word.
std::size_t IdFieldCount(std::string_view what) {
  if (what == "file" || what == "folder") return 1;
  if (what == "key") return 2;
  if (what == "value" || what == "ini") return 3;
  return 0;
}

// What is wrong with one field; nothing when it is sound.
std::optional<std::string> CheckField(Field rule, const std::string& value) {
  const auto oneOf =
      [&](std::initializer_list<std::string_view> allowed) -> std::optional<std::string> {
    for (std::string_view a : allowed) {
      if (value == a) return std::nullopt;
    }
    std::string names;
    for (std::string_view a : allowed) names += (names.empty() ? "" : " or ") + std::string(a);
    return Quoted(value) + " is not " + names;
  };
  switch (rule) {
    case Field::kPath:
    case Field::kText:
      if (value.empty())
        return std::string(rule == Field::kPath ? "an empty path" : "an empty text");
      return std::nullopt;
    case Field::kAny:
      return std::nullopt;
    case Field::kView:
      return oneOf({"32", "64"});
    case Field::kHow:
      return oneOf({"created", "replaced"});
    case Field::kFlag:
      return oneOf({"0", "1"});
    case Field::kMadeBy:
      return oneOf({"step", "browser"});
    case Field::kSize:
      if (value.empty() || IsDecimal(value)) return std::nullopt;
      return Quoted(value) + " is not a size";
    case Field::kLength:
      if (IsDecimal(value)) return std::nullopt;
      return Quoted(value) + " is not a length";
    case Field::kTime:
      if (value.empty() || IsLowerHex(value, 16)) return std::nullopt;
      return Quoted(value) + " is not a time of 16 hex digits";
    case Field::kHex:
      if (IsLowerHex(value, 64)) return std::nullopt;
      return Quoted(value) + " is not a SHA-256";
    case Field::kBefore: {
      if (value == "none" || value == "other") return std::nullopt;
      const std::size_t colon = value.find(':');
      const std::string_view type = std::string_view(value).substr(0, colon);
      if (colon != std::string::npos && (type == "dword" || type == "sz" || type == "binary") &&
          IsDecimal(std::string_view(value).substr(colon + 1))) {
        return std::nullopt;
      }
      return Quoted(value) + " is not a count before";
    }
  }
  return std::nullopt;
}

// What is wrong with a line on its own: its kind, its number of fields, each field.
std::optional<std::string> CheckLine(const RecordLine& line) {
  const auto& f = line.fields;
  const auto wrongCount = [&] {
    return "\"" + line.kind + "\" with " + std::to_string(f.size()) + " fields";
  };
  if (line.kind == kRecordRemoved || line.kind == kRecordKeptByRule) {
    const std::size_t reason = line.kind == kRecordKeptByRule ? 1 : 0;
    const std::size_t id = f.empty() ? 0 : IdFieldCount(f[0]);
    if (f.empty() || id == 0) {
      return "\"" + line.kind + "\" of an unknown item " + Quoted(f.empty() ? "" : f[0]);
    }
    if (f.size() != 1 + id + reason) return wrongCount();
    // The item's name, as its own line has it.
    const std::string& what = f[0];
    if (what == "key" || what == "value") {
      if (auto problem = CheckField(Field::kView, f[1])) return "field 2: " + *problem;
      if (f[2].empty()) return std::string("field 3: an empty key");
    } else if (f[1].empty()) {
      return std::string("field 2: an empty path");
    } else if (what == "ini" && (f[2].empty() || f[3].empty())) {
      return std::string("an empty INI section or key");
    }
    return std::nullopt;
  }
  for (const Shape& shape : Shapes()) {
    if (shape.kind != line.kind) continue;
    if (f.size() > shape.fields.size() || f.size() + shape.optional < shape.fields.size()) {
      return wrongCount();
    }
    for (std::size_t i = 0; i < f.size(); ++i) {
      if (auto problem = CheckField(shape.fields[i], f[i])) {
        return "\"" + line.kind + "\" field " + std::to_string(i + 1) + ": " + *problem;
      }
    }
    return std::nullopt;
  }
  return "unknown kind \"" + line.kind + "\"";
}

}  // namespace

bool IsKnownRecordKind(std::string_view kind) {
  if (IsOwnProgressLine(kind)) return true;
  const auto& shapes = Shapes();
  return std::any_of(shapes.begin(), shapes.end(),
                     [&](const Shape& shape) { return shape.kind == kind; });
}

bool IsOwnProgressLine(std::string_view kind) {
  return kind == kRecordRemoved || kind == kRecordKeptByRule || kind == kRecordCountLowered;
}

std::optional<std::string> PlanError(const RemovalInput& input) {
  const RecordRead& record = input.record;
  if (input.installFolder.empty()) return std::string("no installation folder given");
  if (const auto anchored = input.anchoredLength) {
    if (*anchored > record.acceptedBytes) {
      return "the anchored length " + std::to_string(*anchored) + " lies beyond the record's " +
             std::to_string(record.acceptedBytes) + " readable bytes";
    }
    const bool onBoundary =
        *anchored == record.acceptedBytes ||
        std::any_of(record.lines.begin(), record.lines.end(),
                    [&](const RecordLine& line) { return line.offset == *anchored; });
    if (!onBoundary) {
      return "the anchored length " + std::to_string(*anchored) + " does not end a line";
    }
  }
  const std::string folder = PathKey(input.installFolder);
  bool inRun = false;
  std::set<std::string> announcedFiles;  // of the run at hand
  for (std::size_t i = 0; i < record.lines.size(); ++i) {
    const RecordLine& line = record.lines[i];
    const auto at = [&](const std::string& problem) {
      return "line " + std::to_string(i + 1) + " (byte " + std::to_string(line.offset) +
             "): " + problem;
    };
    if (auto problem = CheckLine(line)) return at(*problem);
    if (line.kind == kRecordRun) {
      inRun = true;
      announcedFiles.clear();
      if (PathKey(line.fields[0]) != folder) {
        return at("a run in " + Quoted(line.fields[0]) + ", not in " + Quoted(input.installFolder));
      }
      if (line.fields.size() > 3) {
        // The anchored length the run appended after: a line's end before the run, or 0.
        const std::uint64_t earlier = std::stoull(line.fields[3]);
        if (earlier > line.offset) {
          return at("the run's earlier anchored length " + line.fields[3] + " lies after the run");
        }
        const auto end = record.lines.begin() + static_cast<std::ptrdiff_t>(i);
        if (earlier != 0 && !std::any_of(record.lines.begin(), end + 1, [&](const RecordLine& l) {
              return l.offset == earlier;
            })) {
          return at("the run's earlier anchored length " + line.fields[3] +
                    " does not end a line");
        }
      }
    } else if (!inRun) {
      return at("\"" + line.kind + "\" before the first run");
    } else if (line.kind == kRecordFilePending) {
      announcedFiles.insert(PathKey(line.fields[0]));
    } else if (line.kind == kRecordTempPending) {
      const auto target = TemporaryTarget(line.fields[0]);
      if (!target || !announcedFiles.count(PathKey(*target))) {
        return at(Quoted(line.fields[0]) + " is not the temporary file of a file announced before");
      }
    }
  }
  return std::nullopt;
}

}  // namespace dt

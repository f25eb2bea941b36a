#include "core/removal_plan.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace dt {
namespace {

// --- Names ---------------------------------------------------------------------------------------

// ASCII and Cyrillic letters (UTF-8) in lower case, as Windows compares file and key names; other
// bytes as they are.
std::string Fold(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto& c = reinterpret_cast<unsigned char&>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<unsigned char>(c + 32);
    } else if ((c == 0xD0 || c == 0xD2) && i + 1 < out.size() &&
               (static_cast<unsigned char>(out[i + 1]) & 0xC0) == 0x80) {
      auto& next = reinterpret_cast<unsigned char&>(out[i + 1]);
      if (c == 0xD0 && next >= 0x80 && next <= 0x8F) {  // U+0400..040F -> U+0450..045F
        c = 0xD1;
        next = static_cast<unsigned char>(next + 0x10);
      } else if (c == 0xD0 && next >= 0x90 && next <= 0x9F) {  // U+0410..041F -> U+0430..043F
        next = static_cast<unsigned char>(next + 0x20);
      } else if (c == 0xD0 && next >= 0xA0 && next <= 0xAF) {  // U+0420..042F -> U+0440..044F
        c = 0xD1;
        next = static_cast<unsigned char>(next - 0x20);
      } else if (c == 0xD2 && next == 0x90) {  // U+0490 -> U+0491
        next = 0x91;
      }
      ++i;
    }
  }
  return out;
}

std::size_t Depth(std::string_view key) {
  return static_cast<std::size_t>(std::count(key.begin(), key.end(), '\\'));
}

// The name of a planned item within its category ("file", "folder", "key", "value", "ini"): the
// fields that name it, each in the form under which spellings compare equal.
using Id = std::vector<std::string>;

std::size_t IdFieldCount(std::string_view what) {
  if (what == "file" || what == "folder") return 1;
  if (what == "key") return 2;
  if (what == "value" || what == "ini") return 3;
  return 0;
}

Id MakeId(std::string_view what, const std::vector<std::string>& fields, std::size_t at) {
  if (what == "file" || what == "folder") return {PathKey(fields[at])};
  if (what == "key") return {fields[at], PathKey(fields[at + 1])};
  if (what == "value") return {fields[at], PathKey(fields[at + 1]), Fold(fields[at + 2])};
  return {PathKey(fields[at]), Fold(fields[at + 1]), Fold(fields[at + 2])};  // ini
}

// The category of the items an installer line names; empty for lines that name none.
std::string_view WhatOf(std::string_view kind) {
  if (kind == kRecordFilePending || kind == kRecordFile || kind == kRecordKept ||
      kind == kRecordShared || kind == kRecordTempPending || kind == kRecordCountLowered) {
    return "file";
  }
  if (kind == kRecordFolderPending || kind == kRecordFolder || kind == kRecordMadeFolder) {
    return "folder";
  }
  if (kind == kRecordKeyPending || kind == kRecordKey) return "key";
  if (kind == kRecordValuePending || kind == kRecordValue) return "value";
  if (kind == kRecordIniPending || kind == kRecordIni) return "ini";
  return {};
}

bool IsCheckedAnnouncement(std::string_view kind) {
  return kind == kRecordFilePending || kind == kRecordFolderPending || kind == kRecordKeyPending ||
         kind == kRecordValuePending || kind == kRecordIniPending;
}

// --- Validation ----------------------------------------------------------------------------------

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

enum class Field { kPath, kText, kAny, kView, kHow, kSize, kTime, kFlag, kMadeBy, kBefore, kHex };

struct Shape {
  std::string_view kind;
  std::vector<Field> fields;
};

const std::vector<Shape>& Shapes() {
  using F = Field;
  static const std::vector<Shape> shapes = {
      {kRecordRun, {F::kPath, F::kAny, F::kAny}},
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

std::uint64_t ParseDecimal(std::string_view text) {
  std::uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  return value;
}

std::uint64_t ParseHex(std::string_view text) {
  std::uint64_t value = 0;
  for (char c : text)
    value = value << 4 | static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'a' + 10);
  return value;
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
    if (f.size() != shape.fields.size()) return wrongCount();
    for (std::size_t i = 0; i < f.size(); ++i) {
      if (auto problem = CheckField(shape.fields[i], f[i])) {
        return "\"" + line.kind + "\" field " + std::to_string(i + 1) + ": " + *problem;
      }
    }
    return std::nullopt;
  }
  return "unknown kind \"" + line.kind + "\"";
}

// A temporary file's target: the path without ".~" and 8 hex digits; nothing for another name.
std::optional<std::string_view> TemporaryTarget(std::string_view path) {
  if (path.size() <= 10 || path.substr(path.size() - 10, 2) != ".~" ||
      !IsLowerHex(path.substr(path.size() - 8), 8)) {
    return std::nullopt;
  }
  return path.substr(0, path.size() - 10);
}

std::optional<std::string> Validate(const RemovalInput& input) {
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

// --- Planning ------------------------------------------------------------------------------------

enum class FirstFact { kNone, kCreated, kExisted };

struct FileFacts {
  FirstFact first = FirstFact::kNone;
  bool written = false;
  bool sawCreated = false;
};

struct ValueFacts {
  bool created = false;  // the first confirmed line says "created"
};

struct NoFacts {};

// An item's name from the fields of a line about it.
void Name(PlannedFile& item, const std::vector<std::string>& f) {
  item.path = f[0];
}
void Name(PlannedFolder& item, const std::vector<std::string>& f) {
  item.path = f[0];
}
void Name(PlannedKey& item, const std::vector<std::string>& f) {
  item.view = f[0];
  item.key = f[1];
}
void Name(PlannedValue& item, const std::vector<std::string>& f) {
  item.view = f[0];
  item.key = f[1];
  item.name = f[2];
}
void Name(PlannedIniKey& item, const std::vector<std::string>& f) {
  item.path = f[0];
  item.section = f[1];
  item.key = f[2];
}

template <typename Item, typename Facts = NoFacts>
struct Tracked {
  Item item;
  Facts facts;
  std::size_t first = 0;   // the line that opened it: its place in the plan's order
  bool confirmed = false;  // a confirmed line names it
  bool fresh = false;      // "removed": the next installer line starts it anew
};

// The item an installer line names, opened when there is none, when it was removed, or when a
// confirmed line meets one that only announcements named (confirmed facts decide then). An
// installer line after the uninstaller's progress lines opens a settled item again. Its name and
// its place in the order come from the line that opened it; *openedHere says whether this one did.
template <typename T>
T& Touch(std::map<Id, T>& items, std::string_view what, const RecordLine& line, std::size_t index,
         bool confirming, bool* openedHere = nullptr) {
  auto [it, opened] = items.try_emplace(MakeId(what, line.fields, 0));
  T& tracked = it->second;
  if (!opened && (tracked.fresh || (confirming && !tracked.confirmed))) {
    tracked = T{};
    opened = true;
  }
  if (opened) {
    tracked.first = index;
    tracked.item.anchored = true;
    Name(tracked.item, line.fields);
  }
  if (openedHere) *openedHere = opened;
  if (confirming) {
    tracked.confirmed = true;
    tracked.item.announcedOnly = false;
  } else if (!tracked.confirmed) {
    tracked.item.announcedOnly = true;
  }
  tracked.item.done = false;
  return tracked;
}

// Items in reverse order of their first line.
template <typename Item, typename T, typename Keep>
std::vector<Item> InReverse(const std::map<Id, T>& items, Keep keep) {
  std::vector<const T*> chosen;
  for (const auto& [id, tracked] : items) {
    if (keep(tracked)) chosen.push_back(&tracked);
  }
  std::sort(chosen.begin(), chosen.end(),
            [](const T* a, const T* b) { return a->first > b->first; });
  std::vector<Item> out;
  for (const T* tracked : chosen) out.push_back(tracked->item);
  return out;
}

class Planner {
 public:
  explicit Planner(const RemovalInput& input) : input_(input) {}

  RemovalPlan Make() {
    const auto& lines = input_.record.lines;
    const std::vector<bool> confirmed = Confirmations();
    int run = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const RecordLine& line = lines[i];
      const bool anchored = input_.anchoredLength && line.offset < *input_.anchoredLength;
      if (line.kind == kRecordRun) ++run;
      if (IsCheckedAnnouncement(line.kind)) {
        // Confirmed: its confirmation says it all. In the anchored part, unconfirmed: it never
        // happened.
        if (!confirmed[i] && !anchored) Unconfirmed(line, i);
      } else if (IsOwnProgressLine(line.kind)) {
        Progress(line);
      } else {
        Fact(line, i, anchored, run);
      }
    }
    return Result();
  }

 private:
  using FileItem = Tracked<PlannedFile, FileFacts>;

  // For each announcement, whether its confirmation follows in the same run.
  std::vector<bool> Confirmations() const {
    const auto& lines = input_.record.lines;
    std::vector<bool> confirmed(lines.size());
    std::set<std::pair<std::string, Id>> later;  // confirmations after the line at hand, this run
    for (std::size_t i = lines.size(); i-- > 0;) {
      const RecordLine& line = lines[i];
      const std::string_view what = WhatOf(line.kind);
      if (IsCheckedAnnouncement(line.kind)) {
        confirmed[i] = later.count({std::string(what), MakeId(what, line.fields, 0)}) > 0;
      } else if (line.kind == kRecordFile || line.kind == kRecordFolder ||
                 line.kind == kRecordKey || line.kind == kRecordValue || line.kind == kRecordIni) {
        later.insert({std::string(what), MakeId(what, line.fields, 0)});
      } else if (line.kind == kRecordRun) {
        later.clear();
      }
    }
    return confirmed;
  }

  // An announcement of a run that did not end, never confirmed.
  void Unconfirmed(const RecordLine& line, std::size_t i) {
    const std::string_view what = WhatOf(line.kind);
    const auto open = [&](auto& items) {
      Touch(items, what, line, i, false).item.anchored = false;
    };
    if (what == "file") {
      PlannedFile& file = Touch(files_, what, line, i, false).item;
      file.anchored = false;
      file.size.reset();  // the killed run may have written it
      file.lastWrite.reset();
    } else if (what == "folder") {
      open(folders_);
    } else if (what == "key") {
      open(keys_);
    } else if (what == "value") {
      open(values_);
    } else {
      open(iniKeys_);
    }
  }

  // A confirmed installer line (or one that needs no confirmation).
  void Fact(const RecordLine& line, std::size_t i, bool anchored, int run) {
    const auto& f = line.fields;
    const std::string_view kind = line.kind;
    bool opened = false;
    const auto open = [&](auto& items, std::string_view what) -> auto& {
      auto& tracked = Touch(items, what, line, i, true, &opened);
      tracked.item.anchored = tracked.item.anchored && anchored;
      return tracked;
    };
    if (kind == kRecordLink) {
      if (run == 1) linkLevels_[PathKey(f[0])] = {f[0], f[1] == "1", anchored};
    } else if (kind == kRecordSha256) {
      RecordedHash& hash = sha256_[PathKey(f[0])];
      if (anchored || !hash.anchored) hash = {f[0], f[1], anchored};
    } else if (kind == kRecordFolder || kind == kRecordMadeFolder) {
      open(folders_, "folder");
      if (PathKey(f[0]) == PathKey(input_.installFolder)) installFolderCreated_ = true;
    } else if (kind == kRecordFile || kind == kRecordKept || kind == kRecordShared ||
               kind == kRecordTempPending) {
      FileItem& file = open(files_, "file");
      FileFacts& facts = file.facts;
      if (kind == kRecordFile) {
        const bool created = f[1] == "created";
        if (facts.first == FirstFact::kNone) {
          facts.first = created ? FirstFact::kCreated : FirstFact::kExisted;
        }
        facts.written = true;
        facts.sawCreated = facts.sawCreated || created;
        file.item.size = f[2].empty() ? std::nullopt : std::optional(ParseDecimal(f[2]));
        file.item.lastWrite = f[3].empty() ? std::nullopt : std::optional(ParseHex(f[3]));
      } else if (kind == kRecordKept) {
        if (facts.first == FirstFact::kNone) facts.first = FirstFact::kExisted;
      } else if (kind == kRecordShared) {
        SharedUse& shared = file.item.shared ? *file.item.shared : file.item.shared.emplace();
        if (shared.countBefore.empty()) shared.countBefore = f[1];
        ++shared.increments;
        if (anchored) ++shared.anchoredIncrements;
        shared.countLowered = false;
      } else {
        file.item.temporary = true;
      }
    } else if (kind == kRecordKey) {
      open(keys_, "key");
    } else if (kind == kRecordValue) {
      auto& value = open(values_, "value");
      if (opened) value.facts.created = f[3] == "created";
    } else if (kind == kRecordIni) {
      auto& ini = open(iniKeys_, "ini");
      if (opened) ini.facts.created = f[3] == "created";
      iniFileCreated_.try_emplace(PathKey(f[0]), f[4] == "1");
    }
  }

  void Progress(const RecordLine& line) {
    const auto& f = line.fields;
    if (line.kind == kRecordCountLowered) {
      const auto it = files_.find(MakeId("file", f, 0));
      if (it != files_.end() && it->second.item.shared) {
        SharedUse& shared = *it->second.item.shared;
        shared.increments = shared.anchoredIncrements = 0;
        shared.countLowered = true;
      }
      return;
    }
    const bool removed = line.kind == kRecordRemoved;
    const Id id = MakeId(f[0], f, 1);
    const auto settle = [&](auto& items) {
      const auto it = items.find(id);
      if (it == items.end()) return;
      it->second.item.done = true;
      it->second.fresh = it->second.fresh || removed;
    };
    if (f[0] == "file") settle(files_);
    if (f[0] == "folder") settle(folders_);
    if (f[0] == "key") settle(keys_);
    if (f[0] == "value") settle(values_);
    if (f[0] == "ini") settle(iniKeys_);
  }

  RemovalPlan Result() {
    RemovalPlan plan;
    for (auto& [id, file] : files_) {
      FileFacts& facts = file.facts;
      file.item.createdByProduct = facts.first == FirstFact::kCreated;
      file.item.replacedOnly =
          facts.written && facts.first == FirstFact::kExisted && !facts.sawCreated;
      if (file.item.shared) {
        file.item.shared->existedBefore =
            facts.first == FirstFact::kExisted || file.item.shared->countBefore != "none";
      }
    }
    plan.files = InReverse<PlannedFile>(files_, [](const FileItem& file) {
      return file.facts.written || file.item.shared || file.item.announcedOnly ||
             file.item.temporary;
    });
    plan.folders = InReverse<PlannedFolder>(folders_, [](const auto&) { return true; });
    std::stable_sort(plan.folders.begin(), plan.folders.end(), [](const auto& a, const auto& b) {
      return Depth(PathKey(a.path)) > Depth(PathKey(b.path));
    });
    plan.keys = InReverse<PlannedKey>(keys_, [](const auto&) { return true; });
    std::stable_sort(plan.keys.begin(), plan.keys.end(), [](const auto& a, const auto& b) {
      return Depth(PathKey(a.key)) > Depth(PathKey(b.key));
    });
    plan.values = InReverse<PlannedValue>(
        values_, [](const auto& value) { return value.facts.created || value.item.announcedOnly; });
    for (auto& [id, ini] : iniKeys_) {
      const auto file = iniFileCreated_.find(PathKey(ini.item.path));
      ini.item.fileCreated = file != iniFileCreated_.end() && file->second;
    }
    plan.iniKeys = InReverse<PlannedIniKey>(
        iniKeys_, [](const auto& ini) { return ini.facts.created || ini.item.announcedOnly; });
    plan.sha256 = std::move(sha256_);
    plan.installFolderCreated = installFolderCreated_;
    plan.linkLevels = std::move(linkLevels_);
    return plan;
  }

  const RemovalInput& input_;
  std::map<Id, FileItem> files_;
  std::map<Id, Tracked<PlannedFolder>> folders_;
  std::map<Id, Tracked<PlannedKey>> keys_;
  std::map<Id, Tracked<PlannedValue, ValueFacts>> values_;
  std::map<Id, Tracked<PlannedIniKey, ValueFacts>> iniKeys_;
  std::map<std::string, bool> iniFileCreated_;  // by PathKey: the first "ini" line's flag
  std::map<std::string, RecordedHash> sha256_;
  std::map<std::string, LinkLevel> linkLevels_;
  bool installFolderCreated_ = false;
};

// --- Places --------------------------------------------------------------------------------------

// Whether a PathKey is one plain full path: a drive or UNC root, then components that Windows
// would take as they are.
bool IsPlainFullPath(std::string_view key) {
  std::size_t rest = 0;  // where the components after the root begin
  const auto component = [](std::string_view c) {
    return !c.empty() && c != "." && c != ".." && c.back() != '.' && c.back() != ' ' &&
           c.find(':') == std::string_view::npos;
  };
  if (key.size() >= 2 && key[0] >= 'a' && key[0] <= 'z' && key[1] == ':') {
    if (key.size() > 2 && key[2] != '\\') return false;
    rest = 2;
  } else if (key.substr(0, 2) == "\\\\") {
    const std::size_t server = key.find('\\', 2);
    if (server == std::string_view::npos) return false;
    const std::size_t share = key.find('\\', server + 1);
    rest = share == std::string_view::npos ? key.size() : share;
    const std::string_view serverName = key.substr(2, server - 2);
    if (serverName == "?" || !component(serverName) ||
        !component(key.substr(server + 1, rest - server - 1))) {
      return false;
    }
  } else {
    return false;
  }
  while (rest < key.size()) {  // key[rest] is a backslash
    const std::size_t next = std::min(key.find('\\', rest + 1), key.size());
    if (!component(key.substr(rest + 1, next - rest - 1))) return false;
    rest = next;
  }
  return true;
}

bool IsWithin(std::string_view key, std::string_view folder) {
  return key.substr(0, folder.size()) == folder &&
         (key.size() == folder.size() || key[folder.size()] == '\\');
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
  return Validate(input);
}

RemovalPlan MakeRemovalPlan(const RemovalInput& input) {
  if (auto error = Validate(input)) throw std::invalid_argument(*error);
  return Planner(input).Make();
}

std::string PathKey(std::string_view path) {
  const std::string folded = Fold(path);
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  std::string key;
  std::size_t i = 0;
  std::size_t root = 0;  // leading backslashes that stay
  if (folded.size() >= 2 && separator(folded[0]) && separator(folded[1])) {
    key = "\\\\";
    root = 2;
    while (i < folded.size() && separator(folded[i])) ++i;
  } else if (!folded.empty() && separator(folded[0])) {
    root = 1;
  }
  for (; i < folded.size(); ++i) {
    if (!separator(folded[i])) {
      key += folded[i];
    } else if (key.empty() || key.back() != '\\') {
      key += '\\';
    }
  }
  while (key.size() > root && key.back() == '\\') key.pop_back();
  return key;
}

Place Classify(std::string_view path, const KnownFolders& known) {
  const std::string key = PathKey(path);
  if (!IsPlainFullPath(key)) return Place::kOutside;
  const std::pair<Place, const std::string*> places[] = {{Place::kInstallFolder, &known.install},
                                                         {Place::kSystem, &known.system},
                                                         {Place::kFonts, &known.fonts},
                                                         {Place::kWindows, &known.windows}};
  Place best = Place::kOutside;
  std::size_t bestLength = 0;
  for (const auto& [place, folder] : places) {
    if (folder->empty()) continue;
    const std::string folderKey = PathKey(*folder);
    if (IsPlainFullPath(folderKey) && IsWithin(key, folderKey) && folderKey.size() > bestLength) {
      best = place;
      bestLength = folderKey.size();
    }
  }
  return best;
}

}  // namespace dt

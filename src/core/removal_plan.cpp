#include "core/removal_plan.h"

#include <algorithm>
#include <set>
#include <stdexcept>

namespace dt {
namespace {

// --- Names ---------------------------------------------------------------------------------------

std::size_t Depth(std::string_view key) {
  return static_cast<std::size_t>(std::count(key.begin(), key.end(), '\\'));
}

// The name of a planned item within its category ("file", "folder", "key", "value", "ini"): the
// fields that name it, each in the form under which spellings compare equal.
using Id = std::vector<std::string>;

Id MakeId(std::string_view what, const std::vector<std::string>& fields, std::size_t at) {
  if (what == "file" || what == "folder") return {PathKey(fields[at])};
  if (what == "key") return {fields[at], PathKey(fields[at + 1])};
  if (what == "value") return {fields[at], PathKey(fields[at + 1]), FoldCase(fields[at + 2])};
  return {PathKey(fields[at]), FoldCase(fields[at + 1]), FoldCase(fields[at + 2])};  // ini
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

// The size and time fields, of lines that PlanError has passed.
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
    const std::vector<Gap> gaps = Gaps();
    int run = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const RecordLine& line = lines[i];
      const bool anchored =
          input_.anchoredLength && line.offset < *input_.anchoredLength &&
          std::none_of(gaps.begin(), gaps.end(), [&](const Gap& gap) {
            return gap.begin <= line.offset && line.offset < gap.end;
          });
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

  // Bytes that a run appended after without finding them anchored: from the anchored length its
  // "run" line names up to that line. A later anchor does not vouch for them.
  struct Gap {
    std::uint64_t begin;
    std::uint64_t end;
  };
  std::vector<Gap> Gaps() const {
    std::vector<Gap> gaps;
    for (const RecordLine& line : input_.record.lines) {
      if (line.kind != kRecordRun || line.fields.size() < 4) continue;
      const std::uint64_t begin = ParseDecimal(line.fields[3]);
      if (begin < line.offset) gaps.push_back({begin, line.offset});
    }
    return gaps;
  }

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
      if (anchored && PathKey(f[0]) == PathKey(input_.installFolder)) installFolderCreated_ = true;
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

}  // namespace

RemovalPlan MakeRemovalPlan(const RemovalInput& input) {
  if (auto error = PlanError(input)) throw std::invalid_argument(*error);
  return Planner(input).Make();
}

}  // namespace dt

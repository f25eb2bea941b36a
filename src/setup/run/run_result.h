// What one installation run gathers as it goes: the files it wrote, its installation record, the
// restart operations it found, and the error that ended it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "core/earlier_runs.h"
#include "setup/run/run_record.h"
#include "base/pending_renames.h"
#include "base/held_folders.h"

namespace setup {

// The files a run wrote, each with its final size, so that the uninstall entry can say how much
// the product takes. A file written more than once (two entries with one target, or one file
// reached through two spellings of its path) counts once, with its last size.
class WrittenFiles {
 public:
  // `identity` names the file whatever the spelling of its path.
  void Add(const std::string& identity, std::uint64_t size) { sizes_[identity] = size; }

  std::size_t Count() const { return sizes_.size(); }
  std::uint64_t TotalBytes() const {
    std::uint64_t total = 0;
    for (const auto& entry : sizes_) total += entry.second;
    return total;
  }
  // The SHA-256 (hex) of the content the run wrote into a file that its registration starts or
  // hands to a tool, taken as it was written: a tool starts only from that content. Empty for a
  // file written without it.
  void SetContent(const std::string& identity, std::string sha256) {
    content_[identity] = std::move(sha256);
  }
  std::optional<std::string> ContentOf(const std::string& identity) const {
    const auto found = content_.find(identity);
    if (found == content_.end() || found->second.empty()) return std::nullopt;
    return found->second;
  }

  // The total in KiB, rounded up, at most the largest 32-bit value.
  std::uint32_t TotalKiB() const {
    const std::uint64_t kib = (TotalBytes() + 1023) / 1024;
    return kib > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(kib);
  }

 private:
  std::map<std::string, std::uint64_t> sizes_;
  std::map<std::string, std::string> content_;
};

// What names a written file whatever the letter case of its path: its full path in upper case.
// (Asking the file system for the file's volume and index would cost as much as writing a small
// file again under Wine.)
std::string FileIdentity(const std::string& path);

struct TMessages {
  // The error that ended an archive run, as shown to the user; empty while all goes well. Set by
  // the extraction (each new error replaces the former text), shown once at the end of the run.
  std::wstring Error;
  // What the extraction wrote so far.
  WrittenFiles Written;
  // The installation record the run writes as it goes (by default none). A run that records also
  // counts its shared files and clears pending deletes of what it writes.
  base::RecordWriter Record;
  // The deletes and renames pending at the next restart, read once at the run's start.
  base::PendingRenames Pending;
  // The folders below the installation folder that the run writes into, held for its length.
  base::HeldFolders Folders;
  // What the run takes over from the record it found in the installation folder.
  dt::EarlierRuns Earlier;
};

}  // namespace setup

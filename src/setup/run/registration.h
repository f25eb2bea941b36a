// The registration stage: the uninstall entry and the product's settings key, the two
// registration tools, and "Uninstaller.ini".
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/program_log.h"
#include "base/record_writer.h"
#include "base/started_programs.h"
#include "setup/run/run_result.h"
#include "setup/run/run_state.h"
#include "win32/handles.h"

namespace setup {

// The registration's window on the registry, so that tests can make a write fail.
class ProductRegistry {
 public:
  class Key {
   public:
    virtual ~Key() = default;
    // Writes a text value; throws std::runtime_error "Failed to set data for '<name>'".
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
    // Writes a 32-bit number value; throws as WriteString does.
    virtual void WriteDword(const std::string& name, std::uint32_t value) = 0;
    // Whether the key holds a value of that name (a write then replaces it).
    virtual bool HasValue(const std::string&) const { return false; }
  };
  virtual ~ProductRegistry() = default;
  // Opens a key with full access, creating it and its missing parents; null when that fails.
  virtual std::unique_ptr<Key> CreateKey(HKEY root, const std::string& path) = 0;
  // The levels of path that do not exist yet, from the first missing one down (CreateKey would
  // create them).
  virtual std::vector<std::string> MissingLevels(HKEY, const std::string&) { return {}; }
};

// The system's registry.
ProductRegistry& SystemRegistry();

// Records the product, starts its registration tools and writes "Uninstaller.ini", in that order.
// A tool starts only from the file this run wrote (`written` has the SHA-256 of what it wrote
// into each), held unchangeable from its check until the program ends, and only on a file the
// run wrote, held alike; otherwise it is not started, and the log says why.
// Keys, tools and INI values that fail are skipped silently (and logged); a value that cannot be
// written into an opened key raises, and what follows is skipped. estimatedSizeKiB is what the
// run wrote (the uninstall entry's "EstimatedSize"). Returns the tools it started, which are not
// waited for here.
// Each key level created, each value written, the INI keys and the tools started go to the
// record, as do the SHA-256 of the files the uninstaller will run, load or read, when the run
// wrote them; the record is
// anchored in the uninstall entry ("InstallRecord") as the last registry write. A record that
// cannot be written raises the write error about it, before the change it announces.
base::StartedTools RegisterProduct(ProductRegistry& registry, const RunState& state,
                                   std::uint32_t estimatedSizeKiB, const WrittenFiles& written,
                                   base::ProgramLog& log = base::NoLog(),
                                   base::RecordWriter& record = base::NoRecord());

// Today's local date as YYYYMMDD (the uninstall entry's "InstallDate").
std::string LocalDateText();

// Sets key=value in [section] of an INI file, creating the file when it is missing; everything
// else in the file stays. False when the value could not be written.
bool WriteIniValue(const std::string& iniPath, const std::string& section, const std::string& key,
                   const std::string& value);

}  // namespace setup

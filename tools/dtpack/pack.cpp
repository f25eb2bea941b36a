#include "pack.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <set>

#include "console.h"
#include "core/archive_format.h"
#include "core/archive_rules.h"
#include "core/archive_writer.h"
#include "core/cp1251.h"
#include "core/text.h"

namespace dtpack {
namespace fs = std::filesystem;

namespace {

std::string ToStored(const std::string& utf8, const std::string& what) {
  auto bytes = dt::Utf8ToCp1251(utf8);
  if (!bytes) {
    throw InputError(what + " \"" + utf8 + "\" holds a character that code page 1251 cannot hold");
  }
  return *bytes;
}

// Streams a file through a fixed buffer.
template <typename Sink>
void ForEachChunk(const fs::path& file, Sink&& sink) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw InputError("cannot read \"" + ShowPath(file) + "\"");
  std::array<char, 1 << 16> buffer;
  while (in) {
    in.read(buffer.data(), buffer.size());
    if (in.gcount() > 0) sink(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  if (!in.eof()) throw InputError("cannot read \"" + ShowPath(file) + "\"");
}

std::uint64_t Fingerprint(const fs::path& file) {
  std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
  ForEachChunk(file, [&](const char* data, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
      hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
    }
  });
  return hash;
}

bool SameContent(const fs::path& a, const fs::path& b) {
  std::ifstream fa(a, std::ios::binary), fb(b, std::ios::binary);
  std::array<char, 1 << 16> ba, bb;
  while (fa && fb) {
    fa.read(ba.data(), ba.size());
    fb.read(bb.data(), bb.size());
    if (fa.gcount() != fb.gcount() ||
        !std::equal(ba.begin(), ba.begin() + fa.gcount(), bb.begin())) {
      return false;
    }
  }
  return fa.eof() && fb.eof();
}

}  // namespace

Mapping ParseMapping(const std::string& argument) {
  const std::size_t eq = argument.find('=');
  if (eq == std::string::npos || eq == 0 || eq + 1 == argument.size()) {
    throw InputError("expected STORED=LOCAL, got \"" + argument + "\"");
  }
  return {argument.substr(0, eq), fs::u8path(argument.substr(eq + 1))};
}

std::vector<PackInput> CollectInputs(const std::vector<Mapping>& mappings) {
  std::vector<PackInput> inputs;
  for (const auto& m : mappings) {
    std::error_code ec;
    const auto status = fs::status(m.local, ec);
    if (fs::is_regular_file(status)) {
      inputs.push_back({ToStored(m.stored, "stored path"), m.local});
    } else if (fs::is_directory(status)) {
      const std::string folder = dt::TrimTrailingBackslashes(m.stored);
      std::vector<std::pair<std::string, fs::path>> found;  // (relative UTF-8 path, file)
      for (auto it = fs::recursive_directory_iterator(m.local, ec);
           !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file()) {
          found.emplace_back(ShowPath(fs::relative(it->path(), m.local)), it->path());
        }
      }
      if (ec) throw InputError("cannot list \"" + ShowPath(m.local) + "\": " + ec.message());
      std::sort(found.begin(), found.end());
      for (auto& [relative, file] : found) {
        std::string stored = folder + "\\" + relative;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        inputs.push_back({ToStored(stored, "stored path"), file});
      }
    } else {
      throw InputError("\"" + ShowPath(m.local) + "\" is neither a file nor a folder");
    }
  }
  return inputs;
}

PackReport Pack(const std::vector<PackInput>& inputs, const fs::path& out,
                const Progress& progress) {
  PackReport report;
  if (inputs.empty()) throw InputError("nothing to pack");
  if (inputs.size() > static_cast<std::size_t>(dt::kMaxEntryCount)) {
    throw InputError(std::to_string(inputs.size()) + " entries; an archive holds at most " +
                     std::to_string(dt::kMaxEntryCount));
  }

  // Rules for the stored paths, and one payload per distinct content.
  dt::ArchivePlan plan;
  std::vector<fs::path> payloadFiles;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<std::size_t>> bySizeAndHash;
  std::set<std::string> storedPaths;
  for (const auto& input : inputs) {
    const std::string shown = ShowStored(input.storedPath);
    for (const auto& finding : dt::CheckStoredPath(input.storedPath)) {
      if (finding.fatal) throw InputError(shown + ": " + finding.message);
      report.warnings.push_back(shown + ": " + finding.message);
    }
    if (!storedPaths.insert(input.storedPath).second) {
      report.warnings.push_back(shown + ": stored more than once; the last one wins");
    }
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(input.source, ec);
    if (ec) throw InputError("cannot read \"" + ShowPath(input.source) + "\": " + ec.message());
    if (size == 0) {
      throw InputError(shown + ": the file \"" + ShowPath(input.source) +
                       "\" is empty, and the installer cannot unpack an empty payload");
    }
    if (size >= dt::kMaxArchiveSize) {
      throw InputError(shown + ": the file is too large for an archive (2 GiB at most)");
    }
    auto& candidates = bySizeAndHash[{size, Fingerprint(input.source)}];
    const auto same = std::find_if(candidates.begin(), candidates.end(), [&](std::size_t p) {
      return SameContent(payloadFiles[p], input.source);
    });
    std::size_t payload;
    if (same != candidates.end()) {
      payload = *same;
    } else {
      payload = payloadFiles.size();
      payloadFiles.push_back(input.source);
      plan.payloadSizes.push_back(static_cast<std::uint32_t>(size));
      candidates.push_back(payload);
    }
    plan.entries.push_back({input.storedPath, payload});
  }

  const dt::ArchiveLayout layout = dt::LayOut(plan);
  if (layout.totalSize >= dt::kMaxArchiveSize) {
    throw InputError("the archive would be " + std::to_string(layout.totalSize) +
                     " bytes; offsets and sizes are 32-bit signed, so it must stay below 2 GiB");
  }

  fs::path temp = out;
  temp += ".partial";
  try {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    if (!file) throw InputError("cannot create \"" + ShowPath(temp) + "\"");
    file.write(layout.header.data(), static_cast<std::streamsize>(layout.header.size()));
    std::uint64_t done = layout.header.size();
    for (std::size_t p = 0; p < payloadFiles.size(); ++p) {
      const std::string record = dt::PayloadRecordHeader(plan.payloadSizes[p]);
      file.write(record.data(), static_cast<std::streamsize>(record.size()));
      std::uint64_t copied = 0;
      ForEachChunk(payloadFiles[p], [&](const char* data, std::size_t n) {
        file.write(data, static_cast<std::streamsize>(n));
        copied += n;
        if (progress) progress(done + 4 + copied, layout.totalSize);
      });
      if (copied != plan.payloadSizes[p]) {
        throw InputError("\"" + ShowPath(payloadFiles[p]) + "\" changed while it was packed");
      }
      done += 4 + copied;
    }
    file.close();
    if (!file) throw InputError("cannot write \"" + ShowPath(temp) + "\"");
    fs::rename(temp, out);
  } catch (...) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    throw;
  }
  report.entries = plan.entries.size();
  report.payloads = plan.payloadSizes.size();
  report.bytes = layout.totalSize;
  return report;
}

}  // namespace dtpack

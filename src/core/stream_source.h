// An archive read from a file through the standard library (the packaging tool, tests).
#pragma once

#include <filesystem>
#include <fstream>

#include "core/archive_format.h"

namespace dt {

class StreamSource final : public ByteSource {
 public:
  explicit StreamSource(const std::filesystem::path& path) : in_(path, std::ios::binary) {}
  bool is_open() const { return in_.is_open(); }

  std::size_t Read(std::span<std::byte> dst) override {
    in_.read(reinterpret_cast<char*>(dst.data()), static_cast<std::streamsize>(dst.size()));
    const auto n = static_cast<std::size_t>(in_.gcount());
    if (!in_) in_.clear();  // a short read is reported by its count, not by a stuck stream
    return n;
  }
  bool Seek(std::uint64_t offset) override {
    in_.clear();
    return static_cast<bool>(in_.seekg(static_cast<std::streamoff>(offset)));
  }
  std::optional<std::uint64_t> Size() override {
    in_.clear();
    const auto here = in_.tellg();
    if (!in_.seekg(0, std::ios::end)) return std::nullopt;
    const auto end = in_.tellg();
    in_.seekg(here);
    if (end < 0) return std::nullopt;
    return static_cast<std::uint64_t>(end);
  }

 private:
  std::ifstream in_;
};

}  // namespace dt

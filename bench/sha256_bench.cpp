// SHA-256 throughput: the portable code, the processor's SHA instructions (when it has them) and
// the system's CNG, each over the same bytes in pieces of 1 MiB, best of ROUNDS runs.
//   sha256_bench [MIB [ROUNDS]]      (default 256 MiB, 3 rounds)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "core/install_record.h"
#include "core/sha256.h"
#include "win32/sha256.h"

namespace {

constexpr std::size_t kPiece = 1 << 20;

// Seconds of the fastest of `rounds` runs of `hash`; the digest of the last goes to `digest`.
double Best(int rounds, const std::function<std::string()>& hash, std::string& digest) {
  double best = 1e300;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    digest = hash();
    best = std::min(
        best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  if (mib == 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: sha256_bench [MIB [ROUNDS]]\n");
    return 2;
  }
  std::string piece(kPiece, '\0');
  for (std::size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>(i * 131 + i / 977);

  const auto ours = [&](dt::Sha256Engine engine) {
    return [&, engine] {
      dt::Sha256 hash(engine);
      for (std::size_t i = 0; i < mib; ++i) hash.Add(piece);
      return dt::Sha256Hex(hash.Finish());
    };
  };
  const auto cng = [&]() -> std::string {
    win::Sha256Hasher hash;
    if (!hash.Open()) return "(CNG failed)";
    for (std::size_t i = 0; i < mib; ++i) hash.Add(piece.data(), piece.size());
    const auto digest = hash.Finish();
    return digest ? dt::Sha256Hex(*digest) : "(CNG failed)";
  };

  std::printf("SHA-256 of %zu MiB, best of %d\n", mib, rounds);
  const double bytes = static_cast<double>(mib) * kPiece;
  std::string reference;
  const auto report = [&](const char* name, const std::function<std::string()>& hash) {
    std::string digest;
    const double seconds = Best(rounds, hash, digest);
    if (reference.empty()) reference = digest;
    std::printf("  %-22s %8.0f MB/s%s\n", name, bytes / seconds / 1e6,
                digest == reference ? "" : "  (a different digest!)");
    return digest == reference;
  };
  bool same = report("portable", ours(dt::Sha256Engine::kPortable));
  if (dt::Sha256UsesShaInstructions()) {
    same = report("SHA instructions", ours(dt::Sha256Engine::kFastest)) && same;
  } else {
    std::printf("  %-22s not on this processor\n", "SHA instructions");
  }
  same = report("CNG (bcrypt.dll)", cng) && same;
  return same ? 0 : 1;
}

#include "core/sha256.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "core/install_record.h"

namespace {

using dt::Sha256Engine;

constexpr Sha256Engine kEngines[] = {Sha256Engine::kFastest, Sha256Engine::kPortable};

const char* Name(Sha256Engine engine) {
  return engine == Sha256Engine::kPortable ? "portable" : "fastest";
}

std::string Hex(const dt::Sha256Digest& digest) {
  return dt::Sha256Hex(digest);
}

std::string RandomBytes(std::mt19937& random, std::size_t size) {
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(Sha256, KnownDigestsThroughEitherEngine) {
  for (const Sha256Engine engine : kEngines) {
    SCOPED_TRACE(Name(engine));
    EXPECT_EQ(Hex(dt::Sha256Of("", engine)),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex(dt::Sha256Of("abc", engine)),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 448 bits: the padding needs a second block.
    EXPECT_EQ(Hex(dt::Sha256Of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", engine)),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex(dt::Sha256Of("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmn"
                               "hijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
                               engine)),
              "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1");
    EXPECT_EQ(Hex(dt::Sha256Of(std::string(1000000, 'a'), engine)),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // The same million, added a thousand bytes at a time.
    dt::Sha256 hash(engine);
    const std::string thousand(1000, 'a');
    for (int i = 0; i < 1000; ++i) hash.Add(thousand);
    EXPECT_EQ(Hex(hash.Finish()),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
  }
}

TEST(Sha256, PiecesGiveTheDigestOfTheWholeWhereverTheySplit) {
  std::mt19937 random(20261210);
  const std::string message = RandomBytes(random, 200);  // a little over three blocks
  for (const Sha256Engine engine : kEngines) {
    SCOPED_TRACE(Name(engine));
    const auto whole = dt::Sha256Of(message, engine);
    dt::Sha256 hash(engine);
    for (std::size_t i = 0; i <= message.size(); ++i) {
      hash.Add(message.data(), i);
      hash.Add(nullptr, 0);
      hash.Add(message.data() + i, message.size() - i);
      ASSERT_EQ(Hex(hash.Finish()), Hex(whole)) << "split at " << i;
    }
    // Two splits, every pair of points 7 apart or more.
    for (std::size_t i = 0; i <= message.size(); i += 7) {
      for (std::size_t j = i; j <= message.size(); j += 7) {
        hash.Add(message.substr(0, i));
        hash.Add(message.substr(i, j - i));
        hash.Add(message.substr(j));
        ASSERT_EQ(Hex(hash.Finish()), Hex(whole)) << "split at " << i << " and " << j;
      }
    }
    for (const char c : message) hash.Add(&c, 1);
    EXPECT_EQ(Hex(hash.Finish()), Hex(whole)) << "byte by byte";
  }
}

TEST(Sha256, FinishStartsOver) {
  dt::Sha256 hash;
  hash.Add("abc");
  hash.Finish();
  EXPECT_EQ(Hex(hash.Finish()), Hex(dt::Sha256Of("")));
  hash.Add("ab");
  hash.Add("c");
  EXPECT_EQ(Hex(hash.Finish()), Hex(dt::Sha256Of("abc")));
}

TEST(Sha256, BothEnginesAgreeOnRandomBytesOfManyLengths) {
  RecordProperty("sha_instructions", dt::Sha256UsesShaInstructions() ? "yes" : "no");
  std::mt19937 random(5);
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 300; ++n) lengths.push_back(n);  // every padding case, 4 blocks
  for (std::size_t n : {511, 512, 513, 4095, 4096, 65536 + 55, 1000003}) lengths.push_back(n);
  for (int i = 0; i < 20; ++i) lengths.push_back(random() % 100000);
  for (const std::size_t n : lengths) {
    const std::string bytes = RandomBytes(random, n);
    ASSERT_EQ(Hex(dt::Sha256Of(bytes, Sha256Engine::kFastest)),
              Hex(dt::Sha256Of(bytes, Sha256Engine::kPortable)))
        << n << " bytes";
    // Pieces of odd lengths through the fastest engine against the whole through the portable.
    dt::Sha256 hash;
    for (std::size_t at = 0; at < n; at += 97) hash.Add(bytes.substr(at, 97));
    ASSERT_EQ(Hex(hash.Finish()), Hex(dt::Sha256Of(bytes, Sha256Engine::kPortable)))
        << n << " bytes in pieces";
  }
}

#if defined(__linux__) && (defined(__x86_64__) || defined(__i386__))
TEST(Sha256, UsesTheShaInstructionsWhereTheSystemReportsThem) {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line) && line.rfind("flags", 0) != 0) {
  }
  std::istringstream words(line);
  bool sha = false, sse41 = false;
  for (std::string word; words >> word;) {
    sha = sha || word == "sha_ni";
    sse41 = sse41 || word == "sse4_1";
  }
  EXPECT_EQ(dt::Sha256UsesShaInstructions(), sha && sse41) << line;
}
#endif

}  // namespace

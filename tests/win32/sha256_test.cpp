#include "win32/sha256.h"

#include <gtest/gtest.h>

#include <random>

#include "core/install_record.h"
#include "core/sha256.h"
#include "support/temp_folder.h"
#include "win32/handles.h"

namespace {

std::string Hex(const std::optional<win::Sha256Digest>& digest) {
  return digest ? dt::Sha256Hex(*digest) : "(failed)";
}

TEST(Sha256, KnownDigests) {
  EXPECT_EQ(Hex(win::Sha256("abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(Hex(win::Sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
  EXPECT_EQ(Hex(win::Sha256("")),
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  EXPECT_EQ(win::CngHash::Live(), 0);
  EXPECT_EQ(win::CngAlgorithm::Live(), 0);
}

TEST(Sha256, AFileThroughItsHandleHashesAsItsBytesAndKeepsItsPosition) {
  testing_support::TempFolder temp;
  std::string bytes(3 * 65536 + 17, '\0');  // more than one piece, the last one short
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  testing_support::WriteFileBytes(temp / "record.dat", bytes);
  win::FileHandle file(CreateFileA((temp / "record.dat").c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  // Positioned at the end, as a writer that appends would be.
  LARGE_INTEGER end{};
  ASSERT_TRUE(SetFilePointerEx(file.get(), LARGE_INTEGER{}, &end, FILE_END));

  EXPECT_EQ(Hex(win::Sha256OfFile(file.get(), bytes.size())), Hex(win::Sha256(bytes)));
  EXPECT_EQ(Hex(win::Sha256OfFile(file.get(), 100)), Hex(win::Sha256(bytes.substr(0, 100))));
  EXPECT_EQ(Hex(win::Sha256OfFile(file.get(), 0)), Hex(win::Sha256("")));
  EXPECT_FALSE(win::Sha256OfFile(file.get(), bytes.size() + 1));  // the file is too short

  LARGE_INTEGER now{};
  ASSERT_TRUE(SetFilePointerEx(file.get(), LARGE_INTEGER{}, &now, FILE_CURRENT));
  EXPECT_EQ(now.QuadPart, end.QuadPart);
  EXPECT_FALSE(win::Sha256OfFile(INVALID_HANDLE_VALUE, 1));
  EXPECT_EQ(win::CngHash::Live(), 0);
  EXPECT_EQ(win::CngAlgorithm::Live(), 0);
}

// The installer's own SHA-256 (the processor's SHA instructions where it has them, else the
// portable code) against the system's, on the same bytes.
TEST(Sha256, OurOwnAgreesWithTheSystemsOnRandomBytesOfManySizes) {
  RecordProperty("sha_instructions", dt::Sha256UsesShaInstructions() ? "yes" : "no");
  std::mt19937 random(1251);
  std::vector<std::size_t> sizes;
  for (std::size_t n = 0; n <= 192; ++n) sizes.push_back(n);
  for (std::size_t n : {255, 256, 1000, 4096, 65535, 65536, 65537, 1 << 20, (1 << 20) + 9}) {
    sizes.push_back(n);
  }
  for (int i = 0; i < 16; ++i) sizes.push_back(random() % 300000);
  for (const std::size_t n : sizes) {
    std::string bytes(n, '\0');
    for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
    const auto system = win::Sha256(bytes);
    ASSERT_TRUE(system) << n << " bytes";
    ASSERT_EQ(dt::Sha256Hex(dt::Sha256Of(bytes)), dt::Sha256Hex(*system)) << n << " bytes";
    ASSERT_EQ(dt::Sha256Hex(dt::Sha256Of(bytes, dt::Sha256Engine::kPortable)),
              dt::Sha256Hex(*system))
        << n << " bytes, portable";
  }
  EXPECT_EQ(win::CngHash::Live(), 0);
  EXPECT_EQ(win::CngAlgorithm::Live(), 0);
}

}  // namespace

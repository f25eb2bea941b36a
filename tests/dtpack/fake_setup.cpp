// Writes a stand-in Setup.exe for the command-line tests of dtpack (tests/support/fake_pe.h):
//   fake_setup [--plain | --signed] OUT
// a 32-bit program with an unsealed seal block and its CheckSum field set; --plain without a
// .dtseal section (not this project's Setup.exe); --signed with a certificate table behind it.
#include <fstream>
#include <string>

#include "support/fake_pe.h"

int main(int argc, char** argv) {
  const std::string kind = argc == 3 ? argv[1] : "";
  if (argc < 2 || argc > 3 || (argc == 3 && kind != "--plain" && kind != "--signed")) return 2;
  const std::string bytes =
      kind == "--plain"    ? testing_support::FakePe(false)
      : kind == "--signed" ? testing_support::FakeSign(testing_support::FakeSetup(false), false)
                           : testing_support::FakeSetup(false);
  std::ofstream out(argv[argc - 1], std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return out ? 0 : 1;
}

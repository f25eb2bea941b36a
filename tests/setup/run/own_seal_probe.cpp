// Stands in for a sealed Setup.exe in the tests of setup::OwnSeal(): writes the seal its own image
// holds, as one line of text, into the file its argument names.
//   none | unsealed | sealed <archive> <archive>, each archive "-" or "<size>:<sha256 hex>"
#include <fstream>
#include <string>

#include "core/install_record.h"
#include "setup/run/own_seal.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const auto seal = setup::OwnSeal();
  std::string text = !seal ? "none" : seal->sealed ? "sealed" : "unsealed";
  if (seal && seal->sealed) {
    for (const auto& archive : seal->archives) {
      text += archive ? " " + std::to_string(archive->size) + ":" + dt::Sha256Hex(archive->sha256)
                      : std::string(" -");
    }
  }
  std::ofstream(argv[1]) << text;
  return 0;
}

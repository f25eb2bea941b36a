#include "setup/run/own_seal.h"

#include <string_view>

// The block in a section of its own, so that the packaging tool finds it through the section
// table, at the start of the section's raw data. Not const, so that the compiler can never take
// its bytes as known and fold them into the code that reads them; `used`, so that it is emitted
// even where nothing refers to it. Setup.exe's link requires the symbol, which keeps the section
// in the program whether or not the run refers to OwnSeal().
extern "C" {
__attribute__((used, section(".dtseal"))) std::array<std::uint8_t, dt::kSealSize> dtSealBlock =
    dt::UnsealedBlock();
}

// The attribute takes a literal only: it must be the name the packaging tool looks for.
static_assert(std::string_view(dt::kSealSectionName) == ".dtseal");

namespace setup {

std::optional<dt::Seal> OwnSeal() {
  // Read byte by byte through a volatile view: the bytes are those in memory, whatever the
  // compiler could tell of the variable's initial value.
  const volatile std::uint8_t* block = dtSealBlock.data();
  dt::SealBlock copy;
  for (std::size_t i = 0; i < copy.size(); ++i) copy[i] = block[i];
  return dt::DecodeSeal(copy);
}

}  // namespace setup

// The seal this Setup.exe carries: a block of its own section (.dtseal) that the packaging tool
// fills in on a copy of the program (dtpack seal, dtpack bundle), naming the archives of its
// distribution with their sizes and SHA-256 (see core/seal_format.h).
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "core/seal_format.h"

// The block itself, in the section kSealSectionName, as the program is built: UnsealedBlock().
// Only the packaging tool changes it, in the file; the program reads it through OwnSeal().
extern "C" std::array<std::uint8_t, dt::kSealSize> dtSealBlock;

namespace setup {

// The seal as the program's image in memory holds it (the loader mapped the block from the file
// when the process started; the file on disk is never read for it, so a file changed since does
// not matter):
//  - an unsealed Seal (`sealed` false, no archive named): the program as built, which takes the
//    archives it finds, as it always did;
//  - a sealed Seal: only the archives it names belong to the distribution, each with the size
//    and SHA-256 it gives;
//  - nothing: the block is no seal at all (bytes the packaging tool never writes). The program
//    was changed after it was built, and can vouch for no archive.
std::optional<dt::Seal> OwnSeal();

}  // namespace setup

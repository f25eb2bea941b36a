// The record of one installation run.
#pragma once

#include <string>

namespace setup {

struct TMessages {
  // The error that ended an archive run, as shown to the user; empty while all goes well. Set by
  // the extraction (each new error replaces the former text), shown once at the end of the run.
  std::wstring Error;
};

}  // namespace setup

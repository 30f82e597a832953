// What the fuzz targets share: invariant checks that abort with their text, and one temporary
// folder per process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "support/TempFolder.h"

// The entry point each target defines, declared once for all of them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace tessaly::fuzzing {

inline void Require(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "invariant broken: %s\n", invariant);
  std::abort();
}

inline const tessaly::testing::TempFolder& ScratchFolder() {
  static const tessaly::testing::TempFolder folder;
  return folder;
}

}  // namespace tessaly::fuzzing

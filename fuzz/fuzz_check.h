#pragma once
// Fuzz targets state the properties they check with Check: a false one aborts the run, and
// libFuzzer keeps the input that broke it.

#include <cstdlib>

inline void Check(bool condition) {
  if (!condition) {
    std::abort();
  }
}

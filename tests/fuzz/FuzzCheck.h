#pragma once
#include <cstdio>
#include <cstdlib>

// A property every input must keep. A broken one ends the run the way a sanitizer's finding does,
// so that libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                       \
  do {                                                                              \
    if (!(condition)) {                                                             \
      fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      abort();                                                                      \
    }                                                                               \
  } while (0)

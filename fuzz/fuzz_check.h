// The fuzz targets' assertion: a broken property stops the run with a message, so libFuzzer
// saves the input that broke it as a reproducer.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, message)                                                      \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: check failed: %s\n  expected: %s\n", __FILE__, __LINE__, \
                   #condition, message);                                                    \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

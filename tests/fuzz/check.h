// A failed check in a fuzz target: say which one, then abort, which libFuzzer
// reports as a crash and saves the input for.
#pragma once
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition) \
  ((condition) ? void(0) : (std::fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition), std::abort()))

// The harnesses' invariant check: a broken invariant is a finding, reported
// like a crash so that libFuzzer keeps the input that caused it.
#ifndef VORT64_FUZZ_CHECK_H_
#define VORT64_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

// Aborts with the failed condition and its place when `condition` is false.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (false)

#endif  // VORT64_FUZZ_CHECK_H_

// random_fill_cases.h - seeded random fills on small pictures, the same on every platform: the
// model comparison test holds the plug-in to the reference model on them, and the bench's floor
// test holds the protocol floor to the plug-in.
//
// A case is a picture of 1-64 x 1-64 pixels (often 1-4 on a side) of few-colour blocks, a noisy
// gradient or noise; bits 24-31 none, random or all set; some pixels pre-flagged drawn and the
// host's other flag bits set at random; a seed inside the picture, or now and then just outside;
// tolerance texts from -5 to 300 in assorted spellings, a few without digits; a random paint
// colour.
#ifndef TESTS_RANDOM_FILL_CASES_H
#define TESTS_RANDOM_FILL_CASES_H

#include <stdint.h>

#include "fill_comparison.h"

namespace plugin_checks {

// splitmix64: the same cases on every platform and standard library.
class CaseRandom {
  public:
    explicit CaseRandom(uint64_t seed) : state(seed) {}

    uint64_t Next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    int32_t Between(int32_t low, int32_t high) {
        return low + int32_t(Next() % uint64_t(int64_t(high) - low + 1));
    }
    bool Chance(int percent) { return Between(0, 99) < percent; }
    template <typename T, size_t N> const T& Pick(const T (&choices)[N]) {
        return choices[Next() % N];
    }

  private:
    uint64_t state;
};

// Case number `caseNumber`: the same case for the same number, always.
FillCase RandomFillCase(uint64_t caseNumber);

} // namespace plugin_checks

#endif

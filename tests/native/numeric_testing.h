// Helpers of the numeric tests: bit patterns, distances, seeded arguments.
#pragma once
#include <gtest/gtest.h>
#include <fenv.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <cmath>
#include <random>
#include <string>
#include "runtime/numeric.h"
#include "double_bits.h"

inline std::string Show(double d)
{
    char text[64];
    snprintf(text, sizeof text, "%.17g (0x%016llX)", d, (unsigned long long)Bits(d));
    return text;
}

// Equal bit for bit, so -0.0 and +0.0 differ; any NaN matches any NaN, as
// no routine fixes a NaN's sign or payload.
inline testing::AssertionResult SameBits(const char *expectedText, const char *actualText,
                                         double expected, double actual)
{
    if (Bits(expected) == Bits(actual) || (std::isnan(expected) && std::isnan(actual)))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << actualText << " is " << Show(actual)
                                       << ", expected " << expectedText << " = " << Show(expected);
}
#define EXPECT_BITS(expected, actual) EXPECT_PRED_FORMAT2(SameBits, expected, actual)
#define ASSERT_BITS(expected, actual) ASSERT_PRED_FORMAT2(SameBits, expected, actual)

// Distance in units in the last place between two finite doubles.
inline uint64_t UlpDistance(double a, double b)
{
    auto ordered = [](double d) {
        uint64_t u = Bits(d);
        return u >> 63 ? (int64_t)(0 - (u & ~(1ull << 63))) : (int64_t)u;
    };
    int64_t x = ordered(a), y = ordered(b);
    return x > y ? (uint64_t)(x - y) : (uint64_t)(y - x);
}

// The seed of a random property; NUMERIC_SEED in the environment replaces it.
inline uint64_t PropertySeed(uint64_t fallback)
{
    const char *text = getenv("NUMERIC_SEED");
    return text ? strtoull(text, nullptr, 0) : fallback;
}
#define TRACE_SEED(seed) SCOPED_TRACE("seed " + std::to_string(seed) + " (set NUMERIC_SEED to rerun)")

// A normal double, of either sign if asked, with a uniform fraction and a
// binary exponent drawn uniformly from [low, high] (-1022 to 1023): made
// from the generator's bits alone, so a seed gives the same values in every
// build.
inline double RandomDouble(std::mt19937_64 &rng, int low, int high, bool eitherSign = false)
{
    uint64_t r = rng();
    uint64_t exponent = (uint64_t)(low + (int)((r & 0xFFFFFFFF) % (uint64_t)(high - low + 1)) + 1023);
    uint64_t sign = eitherSign ? (r >> 63) << 63 : 0;
    return FromBits(sign | exponent << 52 | (rng() & ((1ull << 52) - 1)));
}

const int RoundingModes[] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};

// A rounding mode for one scope; rounding to nearest again when it ends,
// also when an assertion returns early.
struct RoundingScope {
    explicit RoundingScope(int mode) { fesetround(mode); }
    ~RoundingScope() { fesetround(FE_TONEAREST); }
};
inline const char *ModeName(int mode)
{
    return mode == FE_TONEAREST ? "to nearest" : mode == FE_UPWARD ? "upward"
         : mode == FE_DOWNWARD ? "downward" : "toward zero";
}

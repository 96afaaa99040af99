// Properties of the numeric routines over seeded random arguments; each
// failure names the seed that rebuilds its arguments.
#include "numeric_testing.h"
#include <cfloat>
#include <vector>

// Where the search has its powers of two, the split is exact; beyond them the
// routine splits a scaled copy, so it is exact for every finite x.
TEST(NumericProperties, NumFrexpRebuildsItsArgumentExactly)
{
    uint64_t seed = PropertySeed(1);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int i = 0; i < 60000; i++) {
        double x = RandomDouble(rng, -64, 64, true);
        if (i % 8 == 0)
            x = RandomDouble(rng, -1022, 1023, true);
        else if (i % 32 == 1)
            x = FromBits(rng() % (1ull << 52)) * (i & 2 ? -1.0 : 1.0);  // subnormal
        if (x == 0)
            continue;
        int32_t e = 0, libraryE = 0;
        double m = NumFrexp(x, &e);
        double libraryM = std::frexp(x, &libraryE);
        ASSERT_TRUE(std::fabs(m) >= 0.5 && std::fabs(m) < 1.0) << Show(x) << " gives " << Show(m);
        ASSERT_EQ(std::signbit(m), std::signbit(x)) << Show(x);
        ASSERT_EQ(Bits(std::ldexp(m, e)), Bits(x)) << Show(x) << " gives " << Show(m) << ", " << e;
        ASSERT_EQ(Bits(m), Bits(libraryM)) << Show(x);
        ASSERT_EQ(e, libraryE) << Show(x);
    }
}

// Where the result is a normal double every product is exact, in every
// rounding mode. Rounding to nearest, k >= 1024 always meets 2^1024 = +inf
// and k <= -2048 meets 2^-2048 = 0.
TEST(NumericProperties, NumLdexpScalesExactlyWhereNoProductOverflows)
{
    uint64_t seed = PropertySeed(2);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int mode : RoundingModes) {
        SCOPED_TRACE(ModeName(mode));
        RoundingScope scope(mode);
        for (int i = 0; i < 25000; i++) {
            double x = RandomDouble(rng, -1022, 1023, true);
            int32_t k = (int32_t)(rng() % 4601) - 2300;
            double exact = std::ldexp(x, k);
            double r = NumLdexp(x, k);
            double expected = exact;
            if (k >= 1024 && mode == FE_TONEAREST)
                expected = std::copysign(INFINITY, x);
            else if (k <= -2048 && mode == FE_TONEAREST)
                expected = std::copysign(0.0, x);
            else if (k >= 1024 || k <= -2048 || std::fabs(exact) < DBL_MIN || std::fabs(exact) > DBL_MAX)
                continue;
            ASSERT_BITS(expected, r) << Show(x) << ", " << k;
        }
    }
}

// The factors x, x^2, x^4, ... enter the product from the lowest bit of the
// count upward, each rounded in the caller's mode; a negative exponent
// inverts the whole product once.
static double RepeatedProduct(double x, int32_t e)
{
    uint64_t n = e < 0 ? 0 - (int64_t)e : e;
    double squares[32];
    squares[0] = x;
    for (int j = 1; j < 32; j++)
        squares[j] = squares[j - 1] * squares[j - 1];
    double p = 1.0;
    for (int j = 0; j < 32; j++)
        if (n >> j & 1)
            p = p * squares[j];
    return e < 0 ? 1.0 / p : p;
}

TEST(NumericProperties, NumIntPowMultipliesInTheSameOrderUnderEveryMode)
{
    uint64_t seed = PropertySeed(3);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int mode : RoundingModes) {
        SCOPED_TRACE(ModeName(mode));
        RoundingScope scope(mode);
        for (int i = 0; i < 25000; i++) {
            double x = i % 5 == 0 ? (double)(int)(rng() % 21) - 10.0 : RandomDouble(rng, -12, 12, true);
            int32_t e = i % 7 == 0 ? (int32_t)(uint32_t)rng() : (int32_t)(rng() % 2401) - 1200;
            double expected = RepeatedProduct(x, e);
            double r = NumIntPow(x, e);
            ASSERT_BITS(expected, r) << Show(x) << " ^ " << e;
        }
    }
}

// Within `units` of the correctly rounded value of `exact`. The long double
// reference is good to a few of its own units; where that leaves the
// rounding to double open, either neighbour counts as correctly rounded.
static testing::AssertionResult Within(double r, long double exact, uint64_t units)
{
    long double slack = std::fabs(exact) * 0x1p-60L;
    double low = (double)(exact - slack), high = (double)(exact + slack);
    if (UlpDistance(r, low) <= units || UlpDistance(r, high) <= units)
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << Show(r) << " is " << UlpDistance(r, low)
                                       << " units from " << Show(low);
}

// Within one unit from 1e-300 to 1e300, except from 1/8 to 8: there the
// two terms of the last step are of one size and partly cancel, and the
// algorithm itself is two units off for about one argument in 5000 (at
// 0x1.468c283e9b7d5p-1, for one).
TEST(NumericProperties, NumLogIsWithinOneUnitAwayFromOneAndTwoNearIt)
{
    uint64_t seed = PropertySeed(4);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int i = 0; i < 40000; i++) {
        double x = i % 4 == 0 ? RandomDouble(rng, -3, 2) : RandomDouble(rng, -996, 996);
        if (x < 1e-300 || x > 1e300)
            continue;
        uint64_t units = x >= 0.125 && x < 8 ? 2 : 1;
        ASSERT_TRUE(Within(NumLog(x), std::log((long double)x), units)) << "log " << Show(x);
    }
}

TEST(NumericProperties, NumExpIsWithinTwoUnitsOnZeroToOne)
{
    uint64_t seed = PropertySeed(5);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int i = 0; i < 100000; i++) {
        double x = (double)(rng() >> 11) * 0x1p-53;
        if (i % 4 == 0)
            x = RandomDouble(rng, -60, -1);
        ASSERT_TRUE(Within(NumExp(x), std::exp((long double)x), 2)) << "exp " << Show(x);
    }
}

TEST(NumericProperties, NumPowTakesIntegralExponentsThroughNumIntPow)
{
    uint64_t seed = PropertySeed(6);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int i = 0; i < 20000; i++) {
        double x = RandomDouble(rng, -40, 40, true);
        double whole = i % 2 ? (double)(int32_t)(rng() % 4001) - 2000.0
                             : (double)((int32_t)(uint32_t)rng() | 1);
        ASSERT_BITS(NumIntPow(x, (int32_t)whole), NumPow(x, whole)) << Show(x) << " ^ " << whole;

        // Non-integral, or integral beyond the range: the logarithm's way,
        // for a positive base only.
        double y = i % 3 ? RandomDouble(rng, -4, 8, true)
                         : std::ldexp(i % 2 ? -1.0 - i % 5 : 1.0 + i % 5, 31 + i % 40);
        if (y == std::floor(y) && std::fabs(y) < 2147483648.0)
            continue;
        double expected = x > 0 ? NumExp(y * NumLog(x)) : 0.0;
        ASSERT_BITS(expected, NumPow(x, y)) << Show(x) << " ^ " << Show(y);
    }
}

TEST(NumericProperties, NumFloorMatchesTheFloorUnderEveryMode)
{
    uint64_t seed = PropertySeed(7);
    TRACE_SEED(seed);
    std::mt19937_64 rng(seed);
    for (int mode : RoundingModes) {
        SCOPED_TRACE(ModeName(mode));
        RoundingScope scope(mode);
        for (int i = 0; i < 25000; i++) {
            double x = i % 2 ? RandomDouble(rng, -4, 30, true)
                             : (double)(int32_t)(uint32_t)rng() + (double)(rng() % 8) / 8;
            ASSERT_EQ(NumFloor(x), (int32_t)std::floor(x)) << Show(x);
        }
    }
}

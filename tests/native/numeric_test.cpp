// Fixed values of the numeric routines, bit for bit, under the default
// rounding mode; then the values chosen where the routines' domain ends.
#include "numeric_testing.h"
#include <cfloat>

static const double Inf = INFINITY;
static const double NaN = NAN;
static const double Sqrt2 = FromBits(0x3FF6A09E667F3BCD);

struct Split { double m; int32_t e; };
static Split Frexp(double x)
{
    Split s = {0.0, -12345};
    s.m = NumFrexp(x, &s.e);
    return s;
}

TEST(NumFloor, RoundsDownWithinTheIntegerRange)
{
    EXPECT_EQ(NumFloor(2147483647.5), 2147483647);
    EXPECT_EQ(NumFloor(-2147483648.0), INT32_MIN);
    EXPECT_EQ(NumFloor(2.5), 2);
    EXPECT_EQ(NumFloor(-2.5), -3);
    EXPECT_EQ(NumFloor(-2.0), -2);
    EXPECT_EQ(NumFloor(-0.5), -1);
    EXPECT_EQ(NumFloor(-0.0), 0);
    EXPECT_EQ(NumFloor(0.9999999999999999), 0);
    EXPECT_EQ(NumFloor(-2147483647.5), INT32_MIN);
}

TEST(NumFloor, SaturatesBeyondTheRangeAndGivesMinusOneForNaN)
{
    EXPECT_EQ(NumFloor(2147483648.0), INT32_MAX);
    EXPECT_EQ(NumFloor(1e300), INT32_MAX);
    EXPECT_EQ(NumFloor(Inf), INT32_MAX);
    EXPECT_EQ(NumFloor(-2147483648.5), INT32_MIN);
    EXPECT_EQ(NumFloor(-2147483649.0), INT32_MIN);
    EXPECT_EQ(NumFloor(-Inf), INT32_MIN);
    EXPECT_EQ(NumFloor(NaN), -1);
}

TEST(NumAbsAndNumToReal, KeepTheSignOfZeroAndNaNs)
{
    EXPECT_BITS(3.0, NumAbs(-3.0));
    EXPECT_BITS(3.0, NumAbs(3.0));
    EXPECT_BITS(-0.0, NumAbs(-0.0));
    EXPECT_BITS(Inf, NumAbs(-Inf));
    EXPECT_TRUE(std::isnan(NumAbs(NaN)));
    // A quiet NaN with a payload: a double result on i686 passes through
    // the x87 stack, which would quieten a signalling one.
    for (uint64_t bits : {0xFFF0000000000001ull | 1ull << 51, 0x7FF8000000000123ull,
                          0x8000000000000000ull, 0x0000000000000001ull, 0x7FEFFFFFFFFFFFFFull})
        EXPECT_EQ(Bits(NumToReal(FromBits(bits))), bits);
}

TEST(NumIntPow, PowersBySquaringInvertedOnceAtTheEnd)
{
    for (double x : {3.5, 0.0, -0.0, Inf, -Inf, NaN})
        EXPECT_BITS(1.0, NumIntPow(x, 0));
    EXPECT_BITS(1024.0, NumIntPow(2.0, 10));
    EXPECT_BITS(0.25, NumIntPow(2.0, -2));
    EXPECT_BITS(Inf, NumIntPow(0.0, -1));
    EXPECT_BITS(-Inf, NumIntPow(-0.0, -1));
    EXPECT_BITS(1.0, NumIntPow(-1.0, INT32_MIN));
    EXPECT_BITS(-1.0, NumIntPow(-1.0, INT32_MAX));
    EXPECT_BITS(0.0, NumIntPow(2.0, -1074));
    EXPECT_BITS(0.0, NumIntPow(2.0, INT32_MIN));
    EXPECT_BITS(Inf, NumIntPow(0.5, INT32_MIN));
}

TEST(NumLdexp, ScalesByTheSquaredFactor)
{
    for (double x : {1.5, -0.0, 5e-324, -Inf})
        EXPECT_BITS(x, NumLdexp(x, 0));
    EXPECT_BITS(1.348269851146737e+308, NumLdexp(1.5, 1023));
    EXPECT_BITS(Inf, NumLdexp(0.75, 1024));
    EXPECT_BITS(-Inf, NumLdexp(-0.75, 1024));
    EXPECT_TRUE(std::isnan(NumLdexp(0.0, 1024)));
    EXPECT_BITS(FromBits(1), NumLdexp(1.0, -1074));
    EXPECT_BITS(0.0, NumLdexp(1.0, -1075));
    EXPECT_BITS(-0.0, NumLdexp(-1e300, -2048));
    // -2^31 counts as the magnitude 2^31.
    EXPECT_BITS(0.0, NumLdexp(1e308, INT32_MIN));
    EXPECT_BITS(-0.0, NumLdexp(-1e308, INT32_MIN));
    EXPECT_TRUE(std::isnan(NumLdexp(Inf, INT32_MIN)));
}

TEST(NumFrexp, SplitsIntoFractionAndExponent)
{
    struct { double x, m; int32_t e; } cases[] = {
        {8.0, 0.5, 4},   {0.3, 0.6, -1},   {-8.0, -0.5, 4},   {1.0, 0.5, 1},
        {0.5, 0.5, 0},   {-0.1, -0.8, -3}, {0x1p-1024, 0.5, -1023},
        {0x1.fffffffffffffp1022, 0x1.fffffffffffffp-1, 1023},
        {0.0, 0.0, 0},   {-0.0, 0.0, 0},   {NaN, 0.0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(Show(c.x));
        Split s = Frexp(c.x);
        EXPECT_BITS(c.m, s.m);
        EXPECT_EQ(s.e, c.e);
    }
    Split inf = Frexp(Inf);
    EXPECT_TRUE(std::isnan(inf.m));
    EXPECT_EQ(inf.e, 1024);
}

TEST(NumFrexp, SplitsExactlyWherePowersOfTwoRunOut)
{
    // Below 2^-1024 and from 2^1023 the search alone would never end.
    struct { double x, m; int32_t e; } cases[] = {
        {FromBits(1), 0.5, -1073},
        {-0x1.8p-1040, -0.75, -1039},
        {0x1.8p-1030, 0.75, -1029},
        {0x1p1023, 0.5, 1024},
        {-0x1.fffffffffffffp1023, -0x1.fffffffffffffp-1, 1024},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(Show(c.x));
        Split s = Frexp(c.x);
        EXPECT_BITS(c.m, s.m);
        EXPECT_EQ(s.e, c.e);
    }
}

TEST(NumLog, FixedValues)
{
    EXPECT_BITS(0.0, NumLog(1.0));
    EXPECT_BITS(0.6931471805599453, NumLog(2.0));
    EXPECT_BITS(-0.6931471805599453, NumLog(0.5));
    EXPECT_BITS(2.3025850929940455, NumLog(10.0));
    for (double x : {0.0, -0.0, -1.0, -Inf, NaN})
        EXPECT_BITS(0.0, NumLog(x));
    EXPECT_TRUE(std::isnan(NumLog(Inf)));
}

TEST(NumLog, WhereTheSplitHasNoPowerOfTwoAsC)
{
    // Below sqrt2 * 2^-1024 and from sqrt2 * 2^1023 up, and next to both.
    for (double x : {FromBits(1), 1e-310, 7e-309, Sqrt2 * 0x1p-1024, 1.27e308, Sqrt2 * 0x1p1023, 1.5e308,
                     DBL_MAX})
        EXPECT_LE(UlpDistance(NumLog(x), std::log(x)), 2u) << Show(x) << " gives " << Show(NumLog(x));
}

TEST(NumExp, FixedValues)
{
    EXPECT_BITS(1.0, NumExp(0.0));
    EXPECT_BITS(1.0, NumExp(-0.0));
    EXPECT_BITS(2.718281828459045, NumExp(1.0));
    EXPECT_BITS(0.6065306597126111, NumExp(-0.5));
    EXPECT_BITS(0.9999999999999986, NumExp(-1e-300));
    EXPECT_BITS(Inf, NumExp(709.5));
    EXPECT_BITS(Inf, NumExp(800.0));
    EXPECT_BITS(0.0, NumExp(-800.0));
}

TEST(NumExp, BeyondTheReducibleRangeAsC)
{
    for (double x : {2e9, -2e9, 1e150, -1e150, 1e300, -1e300, DBL_MAX, Inf, -Inf, NaN})
        EXPECT_BITS(std::exp(x), NumExp(x)) << x;
    // Overflow and underflow round as they do just inside the range.
    for (int mode : RoundingModes) {
        RoundingScope scope(mode);
        EXPECT_BITS(NumExp(1.4e9), NumExp(1e300)) << ModeName(mode);
        EXPECT_BITS(NumExp(-1.4e9), NumExp(-1e300)) << ModeName(mode);
    }
}

TEST(NumPow, FixedValues)
{
    EXPECT_BITS(1024.0, NumPow(2.0, 10.0));
    for (double x : {2.0, -3.0, 0.0, -0.0, Inf, NaN})
        EXPECT_BITS(1.0, NumPow(x, 0.0));
    EXPECT_BITS(-8.0, NumPow(-2.0, 3.0));
    EXPECT_BITS(0.25, NumPow(2.0, -2.0));
    EXPECT_BITS(Inf, NumPow(0.0, -2.0));
    EXPECT_BITS(2.0, NumPow(4.0, 0.5));
    EXPECT_BITS(1.414213562373095, NumPow(2.0, 0.5));
    EXPECT_EQ(Bits(NumPow(2.0, 0.5)), Bits(Sqrt2) - 1);
    EXPECT_BITS(316.22776601683773, NumPow(10.0, 2.5));
    EXPECT_BITS(0.0, NumPow(-8.0, 1.0 / 3.0));
    EXPECT_BITS(0.0, NumPow(-2.0, 0.5));
    EXPECT_BITS(0.0, NumPow(0.0, 2.5));
    EXPECT_BITS(0.0, NumPow(0.0, -0.5));
    EXPECT_BITS(0.0, NumPow(NaN, 0.5));
    EXPECT_BITS(-1.0, NumPow(-1.0, 2147483647.0));
    EXPECT_BITS(0.0, NumPow(-1.0, -2147483648.0));
    EXPECT_BITS(1.0, NumPow(1.0, -2147483648.0));
    EXPECT_BITS(Inf, NumPow(2.0, 2147483647.0));
}

TEST(NumPow, NaNAndInfiniteArgumentsAndHugeOrTinyBasesAsC)
{
    struct { double x, y; } exact[] = {
        {2.0, NaN}, {-2.0, NaN}, {0.0, NaN}, {Inf, NaN}, {NaN, NaN}, {1.0, NaN}, {0.5, Inf}, {3.0, -Inf},
        {1.0, Inf}, {1.0, -Inf}, {2.0, Inf}, {0.5, -Inf}, {Inf, 0.5}, {Inf, -0.5}, {Inf, Inf}, {1.5, 1e300}};
    for (const auto &c : exact)
        EXPECT_BITS(std::pow(c.x, c.y), NumPow(c.x, c.y)) << c.x << " ^ " << c.y;
    // As close as e^(y ln x) comes elsewhere: NumExp's error, a few thousand units at most.
    struct { double x, y; } near[] = {
        {DBL_MAX, 0.5}, {1.5e308, 0.5}, {DBL_MAX, -0.5}, {FromBits(1), 0.5}, {1e-310, 0.25}};
    for (const auto &c : near)
        EXPECT_NEAR(NumPow(c.x, c.y) / std::pow(c.x, c.y), 1.0, 1e-12) << c.x << " ^ " << c.y;
}

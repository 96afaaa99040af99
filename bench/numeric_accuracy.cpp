// Measures how far the numeric routines are from the correctly rounded
// result, over seeded random arguments on a few ranges of each routine's
// domain, and prints one Markdown table for bench/README.md.
//
//   numeric_accuracy [COUNT]    COUNT arguments per range, 1000000 unless given
//
// The reference is MPFR's result at 53 bits, rounded to nearest within the
// exponent range of a double with subnormals, so it is the correctly rounded
// double (+inf where the value overflows, 0 where it underflows). The error of
// a result is its distance from that reference in units in the last place:
// the number of doubles between them, subnormals included. Where one of the
// two is +-inf, 0 or NaN and the other is not, or the infinities' signs
// differ, the result is counted apart ("no number"), since a distance in
// units would say nothing there. The routines run in the default rounding
// mode.
#include <mpfr.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <cmath>
#include <functional>
#include <random>
#include "runtime/numeric.h"
#include "tests/native/double_bits.h"

// Units in the last place between a and b, both finite and nonzero or both
// the same kind of special value; UINT64_MAX where they differ in kind.
static uint64_t Ulps(double a, double b)
{
    auto kind = [](double d) { return std::isnan(d) ? 3 : std::isinf(d) ? (d > 0 ? 2 : -2) : d == 0 ? 1 : 0; };
    if (kind(a) != kind(b))
        return UINT64_MAX;
    if (kind(a) != 0)
        return 0;
    auto ordered = [](double d) {
        uint64_t u = Bits(d);
        return u >> 63 ? -(int64_t)(u & ~(1ull << 63)) : (int64_t)u;
    };
    int64_t x = ordered(a), y = ordered(b);
    return x > y ? (uint64_t)x - (uint64_t)y : (uint64_t)y - (uint64_t)x;
}

static mpfr_t A, B, R;

// The correctly rounded double of an MPFR operation whose result went to R
// with ternary value t.
static double Rounded(int t)
{
    t = mpfr_subnormalize(R, t, MPFR_RNDN);
    return mpfr_get_d(R, MPFR_RNDN);
}

static double RefLog(double x) { mpfr_set_d(A, x, MPFR_RNDN); return Rounded(mpfr_log(R, A, MPFR_RNDN)); }
static double RefExp(double x) { mpfr_set_d(A, x, MPFR_RNDN); return Rounded(mpfr_exp(R, A, MPFR_RNDN)); }
static double RefPow(double x, double y)
{
    mpfr_set_d(A, x, MPFR_RNDN);
    mpfr_set_d(B, y, MPFR_RNDN);
    return Rounded(mpfr_pow(R, A, B, MPFR_RNDN));
}
static double RefIntPow(double x, int32_t e)
{
    mpfr_set_d(A, x, MPFR_RNDN);
    return Rounded(mpfr_pow_si(R, A, e, MPFR_RNDN));
}
static double RefLdexp(double x, int32_t k)
{
    mpfr_set_d(A, x, MPFR_RNDN);
    return Rounded(mpfr_mul_2si(R, A, k, MPFR_RNDN));
}

typedef std::mt19937_64 Rng;

// A random double: uniform on [low, high); or from random bits, with the
// exponent field drawn from [lowField, highField] (0 gives a subnormal), so
// uniform in the logarithm; or an integer from [low, high].
static double Uniform(Rng &rng, double low, double high)
{
    return low + (high - low) * ((double)(rng() >> 11) * 0x1p-53);
}
static double Pattern(Rng &rng, uint64_t lowField, uint64_t highField, bool eitherSign = false)
{
    uint64_t field = lowField + rng() % (highField - lowField + 1);
    uint64_t sign = eitherSign ? rng() >> 63 << 63 : 0;
    return FromBits(sign | field << 52 | (rng() & ((1ull << 52) - 1)));
}
static int32_t Integer(Rng &rng, int32_t low, int32_t high)
{
    return low + (int32_t)(rng() % (uint64_t)(high - low + 1));
}
static const uint64_t Finite = 2046;  // the highest exponent field of a finite double
// Half subnormal, half from sqrt2 * 2^1023 to the largest double.
static double Ends(Rng &rng)
{
    return rng() & 1 ? Pattern(rng, 0, 0) : Uniform(rng, 0x1.6A09E667F3BCDp+1023, 0x1.fffffffffffffp+1023);
}

struct Sample {
    double ours, reference;
    double x, y;  // the arguments, for the largest error; y NaN for one argument
};

static long Count = 1000000;

// One row: the error distribution of `draw` over Count arguments of range
// `index` (its seed).
static void Row(const char *routine, const char *range, int index, const std::function<Sample(Rng &)> &draw)
{
    Rng rng(20261209 + index);
    long counts[5] = {0, 0, 0, 0, 0};  // 0, 1, 2, more units; no number
    uint64_t worst = 0;
    Sample worstSample = {0, 0, 0, 0};
    for (long i = 0; i < Count; i++) {
        Sample s = draw(rng);
        uint64_t u = Ulps(s.ours, s.reference);
        counts[u == UINT64_MAX ? 4 : u < 3 ? u : 3]++;
        if (u != UINT64_MAX && u > worst) {
            worst = u;
            worstSample = s;
        }
    }
    char at[96] = "";
    if (worst != 0 && !std::isnan(worstSample.y))
        snprintf(at, sizeof at, "%.17g, %.17g", worstSample.x, worstSample.y);
    else if (worst != 0)
        snprintf(at, sizeof at, "%.17g", worstSample.x);
    printf("| %s | %s | %llu |", routine, range, (unsigned long long)worst);
    for (long c : counts)
        printf(" %.4f |", 100.0 * (double)c / (double)Count);
    printf(" %s |\n", at);
    fflush(stdout);
}

int main(int argc, char **argv)
{
    if (argc > 1)
        Count = atol(argv[1]);
    mpfr_set_emin(-1073);  // MPFR's exponent of 2^-1074, its mantissa being in [0.5, 1)
    mpfr_set_emax(1024);
    mpfr_inits2(53, A, B, R, (mpfr_ptr)0);

    puts("| Routine | Arguments | Largest error (ulp) | 0 ulp % | 1 ulp % | 2 ulp % | more % "
         "| no number % | Largest error at |");
    puts("|---|---|---:|---:|---:|---:|---:|---:|---|");

    auto log = [](double x) { return Sample{NumLog(x), RefLog(x), x, NAN}; };
    Row("NumLog", "near 1: [0.5, 2)", 1, [&](Rng &g) { return log(Uniform(g, 0.5, 2.0)); });
    Row("NumLog", "next to 1: 1 ± 2^-20", 2,
        [&](Rng &g) { return log(Uniform(g, 1 - 0x1p-20, 1 + 0x1p-20)); });
    Row("NumLog", "near 0: (0, 2^-999), 1 in 24 subnormal", 3, [&](Rng &g) { return log(Pattern(g, 0, 23)); });
    Row("NumLog", "whole range: positive finite, uniform in the exponent", 4,
        [&](Rng &g) { return log(Pattern(g, 0, Finite)); });
    Row("NumLog", "the ends: subnormal, or from √2 · 2^1023 up", 5, [&](Rng &g) { return log(Ends(g)); });

    auto exp = [](double x) { return Sample{NumExp(x), RefExp(x), x, NAN}; };
    Row("NumExp", "near 0: ±[2^-60, 1), uniform in the exponent", 6,
        [&](Rng &g) { return exp(Pattern(g, 1023 - 60, 1022, true)); });
    Row("NumExp", "near 1: [0.5, 2)", 7, [&](Rng &g) { return exp(Uniform(g, 0.5, 2.0)); });
    Row("NumExp", "[-1, 1)", 8, [&](Rng &g) { return exp(Uniform(g, -1.0, 1.0)); });
    Row("NumExp", "[0, 709)", 9, [&](Rng &g) { return exp(Uniform(g, 0.0, 709.0)); });
    Row("NumExp", "[-745, 0)", 10, [&](Rng &g) { return exp(Uniform(g, -745.0, 0.0)); });
    Row("NumExp", "whole range: finite, either sign, uniform in the exponent", 11,
        [&](Rng &g) { return exp(Pattern(g, 0, Finite, true)); });

    // The arguments drawn in order, x first.
    auto pow = [](double x, double y) { return Sample{NumPow(x, y), RefPow(x, y), x, y}; };
    Row("NumPow", "x in [0.5, 2), y in [-8, 8)", 12, [&](Rng &g) {
        double x = Uniform(g, 0.5, 2.0);
        return pow(x, Uniform(g, -8.0, 8.0));
    });
    Row("NumPow", "x in [2, 1000), y in [-64, 64)", 13, [&](Rng &g) {
        double x = Uniform(g, 2.0, 1000.0);
        return pow(x, Uniform(g, -64.0, 64.0));
    });
    Row("NumPow", "x positive finite, uniform in the exponent; y in [-1, 1)", 14, [&](Rng &g) {
        double x = Pattern(g, 0, Finite);
        return pow(x, Uniform(g, -1.0, 1.0));
    });
    Row("NumPow", "x subnormal or from √2 · 2^1023 up; y in [-1, 1)", 15, [&](Rng &g) {
        double x = Ends(g);
        return pow(x, Uniform(g, -1.0, 1.0));
    });
    Row("NumPow", "x in [0.5, 2), y an integer in [-1000, 1000]", 16, [&](Rng &g) {
        double x = Uniform(g, 0.5, 2.0);
        return pow(x, (double)Integer(g, -1000, 1000));
    });

    auto intPow = [](double x, int32_t e) { return Sample{NumIntPow(x, e), RefIntPow(x, e), x, (double)e}; };
    Row("NumIntPow", "x in [0.5, 2), e in [-1000, 1000]", 17, [&](Rng &g) {
        double x = Uniform(g, 0.5, 2.0);
        return intPow(x, Integer(g, -1000, 1000));
    });
    Row("NumIntPow", "x finite, either sign, uniform in the exponent; e in [-40, 40]", 18, [&](Rng &g) {
        double x = Pattern(g, 0, Finite, true);
        return intPow(x, Integer(g, -40, 40));
    });

    auto ldexp = [](double x, int32_t k) { return Sample{NumLdexp(x, k), RefLdexp(x, k), x, (double)k}; };
    Row("NumLdexp", "x in [1, 2), k in [-1074, 1023]", 19, [&](Rng &g) {
        double x = Uniform(g, 1.0, 2.0);
        return ldexp(x, Integer(g, -1074, 1023));
    });
    Row("NumLdexp", "x finite, either sign, uniform in the exponent; k in [-2200, 2200]", 20, [&](Rng &g) {
        double x = Pattern(g, 0, Finite, true);
        return ldexp(x, Integer(g, -2200, 2200));
    });

    // The fraction against MPFR's; a wrong exponent counts as no number.
    Row("NumFrexp", "x finite, either sign, uniform in the exponent", 21, [&](Rng &g) {
        double x = Pattern(g, 0, Finite, true);
        int32_t e = 0;
        long referenceE = 0;
        mpfr_set_d(A, x, MPFR_RNDN);
        double referenceM = mpfr_get_d_2exp(&referenceE, A, MPFR_RNDN);
        double m = NumFrexp(x, &e);
        return Sample{e == referenceE ? m : NAN, referenceM, x, NAN};
    });
    Row("NumAbs", "x finite, either sign, uniform in the exponent", 22, [&](Rng &g) {
        double x = Pattern(g, 0, Finite, true);
        mpfr_set_d(A, x, MPFR_RNDN);
        return Sample{NumAbs(x), Rounded(mpfr_abs(R, A, MPFR_RNDN)), x, NAN};
    });
    Row("NumToReal", "x finite, either sign, uniform in the exponent", 23, [&](Rng &g) {
        double x = Pattern(g, 0, Finite, true);
        return Sample{NumToReal(x), x, x, NAN};
    });
    // Integers, moved to [2^52, 2^53), where consecutive doubles are
    // consecutive integers: the error is the difference from MPFR's floor.
    Row("NumFloor", "x in [-2^31, 2^31)", 24, [&](Rng &g) {
        double x = Uniform(g, -2147483648.0, 2147483648.0);
        mpfr_set_d(A, x, MPFR_RNDN);
        long referenceFloor = mpfr_get_si(A, MPFR_RNDD);
        double shift = 0x1p52 + 0x1p31;
        return Sample{shift + (double)NumFloor(x), shift + (double)referenceFloor, x, NAN};
    });

    mpfr_clears(A, B, R, (mpfr_ptr)0);
    mpfr_free_cache();
    return 0;
}

// The numeric routines. Each step below is rounded to double in the caller's
// rounding mode, in exactly this order and grouping: a different grouping
// gives different last bits. Built with -frounding-math, so the compiler
// folds nothing that the mode could change.
#include "runtime/numeric.h"
#include <xmmintrin.h>
#include <cmath>

// The two constants, by their bits: the doubles nearest ln 2 and sqrt 2.
static const double Ln2 = 0x1.62E42FEFA39EFp-1;    // 0x3FE62E42FEFA39EF
static const double Sqrt2 = 0x1.6A09E667F3BCDp+0;  // 0x3FF6A09E667F3BCD

// Comparisons where a NaN operand makes <, <= and = hold and >, >= fail, the
// opposite of C++ for the first three. Quiet: a NaN raises no flag here.
static bool Lt(double a, double b) { return !std::isgreaterequal(a, b); }
static bool Le(double a, double b) { return !std::isgreater(a, b); }
static bool Eq(double a, double b) { return !std::islessgreater(a, b); }
static bool Gt(double a, double b) { return std::isgreater(a, b); }
static bool Ge(double a, double b) { return std::isgreaterequal(a, b); }

// x truncated toward zero. Both x86 units round toward zero for the
// conversion alone; then the SSE control and status register and the x87
// control word are loaded back as they were, which also drops the
// conversion's own flags. Read and loaded directly: MinGW's fegetenv and
// fesetenv leave the SSE unit out, and take microseconds. Out of line, so no
// arithmetic of a caller can be scheduled into that window; the volatiles pin
// the conversion itself. Converting NaN or a value beyond the 32-bit range
// would be undefined, so NaN gives 0 and the others saturate at the nearer
// end of the range.
__attribute__((noinline)) static int32_t Truncate(double x)
{
    if (std::isnan(x))
        return 0;
    if (!(x < 2147483648.0))
        return INT32_MAX;
    if (!(x > -2147483649.0))
        return INT32_MIN;
    unsigned int sse = _mm_getcsr();
    unsigned short x87 = 0;
    __asm__ volatile("fnstcw %0" : "=m"(x87));
    unsigned short x87TowardZero = x87 | 0x0C00;
    __asm__ volatile("fldcw %0" : : "m"(x87TowardZero));
    _mm_setcsr(sse | 0x6000);
    volatile double in = x;
    volatile int32_t out = (int32_t)in;
    _mm_setcsr(sse);
    __asm__ volatile("fldcw %0" : : "m"(x87));
    return out;
}

double NumToReal(double x)
{
    return x;
}

double NumAbs(double x)
{
    if (Lt(x, 0.0))
        return x * -1.0;
    return x;
}

// Saturates outside the 32-bit range (the least integer for a floor below
// it). NaN converts to 0 and, by the NaN rule, is below both 0 and v: -1.
int32_t NumFloor(double x)
{
    int32_t v = Truncate(x);
    if (Lt(x, 0.0) && Lt(x, (double)v) && v != INT32_MIN)
        v = v - 1;
    return v;
}

double NumIntPow(double x, int32_t e)
{
    // The count reaches 2^31 (for e = -2^31), one past the integer range:
    // convert the magnitude less 2^31, which is exact and in range, and add
    // the 2^31 back in unsigned arithmetic.
    uint32_t n = (uint32_t)Truncate(NumAbs((double)e) - 2147483648.0) + 2147483648u;
    double p = 1.0;
    while (n != 0) {
        if (n & 1)
            p = p * x;
        x = x * x;
        n = n / 2;
    }
    return e >= 0 ? p : 1.0 / p;
}

// k = -2^31 counts as the magnitude 2^31: ±0 for finite x, NaN for ±inf.
double NumLdexp(double x, int32_t k)
{
    double b = 2.0;
    uint32_t n = (uint32_t)k;
    if (k < 0) {
        b = 0.5;
        n = 0u - n;
    }
    while (n != 0) {
        if (n & 1)
            x = x * b;
        b = b * b;
        n = n >> 1;
    }
    return x;
}

double NumFrexp(double x, int32_t *e)
{
    *e = 0;
    if (Eq(x, 0.0))
        return 0.0;
    bool up = Ge(NumAbs(x), 1.0);
    int32_t k = 0;
    for (;;) {
        double m = x / NumIntPow(2.0, k);
        if (Le(0.5, NumAbs(m)) && Lt(NumAbs(m), 1.0)) {
            *e = k;
            return m;
        }
        if (k == (up ? 1024 : -1023))
            break;
        k = up ? k + 1 : k - 1;
    }
    // The search has run out of powers of two: 2^1024 is +inf (or, rounding
    // toward zero or downward, the largest double) and the inverse of a
    // larger power is 0, so it would never end. Finite x is below 2^-1023 or
    // at least 2^1023: split it exactly scaled into range and count the
    // scaling back. An infinity only gets here when 2^1024 rounded down to a
    // finite value; it gives NaN and 1024, as when the power is +inf.
    if (std::isinf(x)) {
        *e = 1024;
        return x - x;
    }
    int32_t s = 0;
    double m = up ? NumFrexp(x * 0.5, &s) : NumFrexp(x * 0x1p64, &s);
    *e = up ? s + 1 : s - 64;
    return m;
}

// Where x / sqrt2 has no power of two to split by (below 2^-1024 and from
// 2^1023 on: x below about 7.87e-309, or from about 1.27e308), the split runs
// on x scaled exactly by 2^64 or 2^-64, and e takes the scaling back: the same
// steps on the same reduced argument as everywhere else, so the same accuracy,
// and a subnormal x loses no bits to x / sqrt2. +inf still gives NaN.
double NumLog(double x)
{
    if (Le(x, 0.0))
        return 0.0;
    double v = x / Sqrt2;
    int32_t scale = 0;
    if (Lt(v, 0x1p-1024))
        scale = 64;
    else if (Ge(v, 0x1p1023) && !std::isinf(x))
        scale = -64;
    if (scale != 0) {
        x = NumLdexp(x, scale);
        v = x / Sqrt2;
    }
    int32_t e = 0;
    NumFrexp(v, &e);
    double a = x / NumLdexp(1.0, e);
    double z = a - 1.0;
    double g = 0.0;
    for (int32_t n = 9; n >= 1; n--) {
        double t = (double)n * z;
        double s = g + (double)(2 * n + 1);
        g = t / ((t / s) + 2.0);
    }
    double eLn2 = (double)(e - scale) * Ln2;
    return z / (1.0 + g) + eLn2;
}

// From |x| of about 1.49e9 on, the step count leaves the integer range (and
// NaN has none), so the remainder cannot be reduced. There the result is
// e^x's own: NaN for NaN, +inf and +0 for the infinities, and for the rest an
// overflow or underflow made by one product, so that it rounds in the
// caller's mode and raises its flag as the last step does just inside the
// range (the largest double rounding down or toward zero, the least
// subnormal rounding up).
double NumExp(double x)
{
    double t = x / Ln2;
    double nearest = Ge(x, 0.0) ? t + 0.5 : t - 0.5;
    if (!(nearest >= -2147483647.0 && nearest < 2147483648.0)) {
        if (std::isnan(x))
            return x;
        if (std::isinf(x))
            return x > 0 ? x : 0.0;
        return x > 0 ? 0x1p1023 * 2.0 : 0x1p-1074 * 0.5;
    }
    int32_t k = NumFloor(nearest);
    double kLn2 = (double)k * Ln2;
    double r = x - kLn2;
    double s = r * r;
    double g = s / 22.0;
    for (int32_t n = 18; n >= 6; n -= 4)
        g = s / ((double)n + g);
    double f = 2.0 + g;
    double q = (f + r) / (f - r);
    return NumLdexp(q, k);
}

// A NaN exponent would pass all three tests by the NaN rule and then rest on
// the conversion of NaN; the infinite base has a NaN logarithm, and 1 to an
// infinite power makes the product inf * 0. These take the limits of
// e^(y ln x) instead: NaN for a NaN exponent but 1 for every power of 1, and
// +inf or +0 for the infinite base. A base that is not positive with any
// other exponent gives +0.0 and is not reported: no routine reports errors.
double NumPow(double x, double y)
{
    if (std::isnan(y))
        return x == 1.0 ? 1.0 : y;
    bool low = Le(-2147483647.0, y);
    bool high = Le(y, 2147483647.0);
    bool whole = Eq(y, NumToReal((double)NumFloor(y)));
    if (low && high && whole)
        return NumIntPow(x, Truncate(y));
    if (Gt(x, 0.0)) {
        if (std::isinf(x))
            return y > 0 ? x : 0.0;
        if (std::isinf(y) && x == 1.0)
            return 1.0;
        return NumExp(y * NumLog(x));
    }
    return 0.0;
}

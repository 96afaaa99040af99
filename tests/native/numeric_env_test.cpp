// The numeric routines and the caller's floating-point environment: rounding
// modes and exception flags of both x86 units, threads, and the same bits in
// every build under every mode.
#include "numeric_testing.h"
#include <xmmintrin.h>
#include <atomic>
#include <cfloat>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

static const double Inf = INFINITY;
static const double NaN = NAN;

// Invalid, divide-by-zero, overflow, underflow and inexact, at the same bits
// in the SSE MXCSR and the x87 status word; denormal-operand is left out, as
// an i686 double result passing the x87 stack may raise it.
static const uint32_t IeeeFlags = 0x3D;

// Both units read directly: on some runtimes fegetround and fetestexcept
// look at only one of them.
struct FpState {
    uint32_t mxcsr;
    uint16_t x87Control;
    uint16_t x87Status;
};

static FpState ReadFp()
{
    FpState s;
    s.mxcsr = _mm_getcsr();
    __asm__ volatile("fnstcw %0" : "=m"(s.x87Control));
    __asm__ volatile("fnstsw %0" : "=m"(s.x87Status));
    return s;
}

// Raises every IEEE flag on both units, or clears them all.
static void SetFlags(bool raised)
{
    _mm_setcsr(raised ? _mm_getcsr() | IeeeFlags : _mm_getcsr() & ~0x3Fu);
    struct { uint16_t control, pad0, status, pad1; uint32_t rest[5]; } env;
    __asm__ volatile("fnstenv %0" : "=m"(env));
    env.status = raised ? (uint16_t)(env.status | IeeeFlags) : (uint16_t)(env.status & ~0xFFu);
    __asm__ volatile("fldenv %0" : : "m"(env));
}

struct Call {
    std::string name;
    std::function<double()> run;
    bool exact;  // its arithmetic raises no flag, so neither may the call
};

static std::string Text(const char *name, double a)
{
    return std::string(name) + "(" + Show(a) + ")";
}

static std::string Text(const char *name, double a, double b)
{
    return std::string(name) + "(" + Show(a) + ", " + Show(b) + ")";
}

static std::string Text(const char *name, double a, int32_t n)
{
    return std::string(name) + "(" + Show(a) + ", " + std::to_string(n) + ")";
}

static std::vector<Call> Calls()
{
    std::vector<Call> calls;
    auto add = [&](std::string text, std::function<double()> run, bool exact) {
        calls.push_back({text, run, exact});
    };
    for (double x : {2.5, -2.5, 2147483647.5, -2147483648.5, 1e300, -Inf, -0.0, NaN})
        add(Text("NumFloor", x), [=] { return (double)NumFloor(x); }, true);
    for (double x : {-3.0, -0.0, NaN}) {
        add(Text("NumAbs", x), [=] { return NumAbs(x); }, true);
        add(Text("NumToReal", x), [=] { return NumToReal(x); }, true);
    }
    struct { double x; int32_t n; bool exact; } integers[] = {
        {2.0, 10, true}, {-1.0, INT32_MIN, true}, {3.0, 40, false}, {0.0, -1, false},
        {2.0, -1074, false}, {1.5, 1023, false}, {1.0, -1075, false}, {0.75, 1024, false},
        {NaN, 3, true}};
    for (const auto &c : integers) {
        double x = c.x;
        int32_t n = c.n;
        add(Text("NumIntPow", x, n), [=] { return NumIntPow(x, n); }, c.exact);
        add(Text("NumLdexp", x, n), [=] { return NumLdexp(x, n); }, c.exact && n >= -1 && n <= 10);
    }
    for (double x : {8.0, -0.1, 0x1p-1024, 0.0, NaN, Inf, 5e-324, -1e308})
        add(Text("NumFrexp", x), [=] { int32_t e; return NumFrexp(x, &e); },
            std::isnan(x) || x == 0 || std::fabs(x) == 8.0 || x == -0.1);
    for (double x : {1.0, 2.0, 10.0, 1e-310, 1e300, DBL_MAX, Inf, -1.0, NaN})
        add(Text("NumLog", x), [=] { return NumLog(x); }, x == -1.0 || std::isnan(x));
    for (double x : {0.0, 1.0, -0.5, -1e-300, 709.5, -800.0, 2e9, NaN, -Inf})
        add(Text("NumExp", x), [=] { return NumExp(x); }, x == 0.0);
    struct { double x, y; bool exact; } powers[] = {
        {2.0, 10.0, true}, {-2.0, 3.0, true}, {-2.0, 0.5, true}, {0.0, -2.0, false},
        {2.0, 0.5, false}, {10.0, 2.5, false}, {1.0, -2147483648.0, false},
        {2.0, 2147483647.0, false}, {2.0, NaN, true}, {NaN, 0.5, true}};
    for (const auto &c : powers) {
        double x = c.x, y = c.y;
        add(Text("NumPow", x, y), [=] { return NumPow(x, y); }, c.exact);
    }
    return calls;
}

TEST(NumericEnvironment, EveryRoutineKeepsTheModeAndTheFlagsOfBothUnits)
{
    std::vector<Call> calls = Calls();
    for (int mode : RoundingModes) {
        RoundingScope scope(mode);
        for (bool raised : {false, true}) {
            SetFlags(raised);
            FpState before = ReadFp();
            ASSERT_EQ((before.mxcsr >> 13 & 3), (uint32_t)(before.x87Control >> 10 & 3))
                << "the two units disagree on the mode before the call";
            for (const Call &call : calls) {
                SCOPED_TRACE(call.name + ", " + ModeName(mode) + (raised ? ", flags raised" : ", flags clear"));
                SetFlags(raised);
                call.run();
                FpState after = ReadFp();
                EXPECT_EQ(fegetround(), mode);
                EXPECT_EQ(after.mxcsr & ~0x3Fu, before.mxcsr & ~0x3Fu) << "MXCSR mode or masks";
                EXPECT_EQ(after.x87Control, before.x87Control) << "x87 control word";
                EXPECT_EQ(after.mxcsr & before.mxcsr & IeeeFlags, before.mxcsr & IeeeFlags)
                    << "MXCSR flags lost";
                EXPECT_EQ(after.x87Status & before.x87Status & IeeeFlags, before.x87Status & IeeeFlags)
                    << "x87 flags lost";
                if (call.exact) {
                    EXPECT_EQ(after.mxcsr & IeeeFlags, before.mxcsr & IeeeFlags) << "MXCSR flags raised";
                    EXPECT_EQ(after.x87Status & IeeeFlags, before.x87Status & IeeeFlags) << "x87 flags raised";
                }
            }
        }
    }
    feclearexcept(FE_ALL_EXCEPT);
}

TEST(NumericEnvironment, TheArithmeticsOwnFlagsReachTheCaller)
{
    // NumLog's underflow comes from its first division, before every
    // conversion: the environments put back after them still carry it.
    struct { const char *name; std::function<double()> run; int flag; } cases[] = {
        {"NumLog(1e-310)", [] { return NumLog(1e-310); }, FE_UNDERFLOW},
        {"NumIntPow(0, -1)", [] { return NumIntPow(0.0, -1); }, FE_DIVBYZERO},
        {"NumExp(800)", [] { return NumExp(800.0); }, FE_OVERFLOW},
        {"NumPow(2, 0.5)", [] { return NumPow(2.0, 0.5); }, FE_INEXACT},
        {"NumLdexp(0, 1024)", [] { return NumLdexp(0.0, 1024); }, FE_INVALID},
    };
    for (const auto &c : cases) {
        feclearexcept(FE_ALL_EXCEPT);
        c.run();
        EXPECT_TRUE(fetestexcept(c.flag)) << c.name;
    }
    feclearexcept(FE_ALL_EXCEPT);
}

TEST(NumericEnvironment, NumFloorRoundsDownUnderEveryMode)
{
    struct { double x; int32_t floor; } cases[] = {
        {2.5, 2}, {-2.5, -3}, {-2.0, -2}, {-0.5, -1}, {0.9999999999999999, 0},
        {-0.0, 0}, {2147483647.5, 2147483647}, {-2147483648.0, INT32_MIN},
        {-2147483647.25, INT32_MIN}, {1e10, INT32_MAX}, {NaN, -1}};
    for (int mode : RoundingModes) {
        RoundingScope scope(mode);
        for (const auto &c : cases)
            EXPECT_EQ(NumFloor(c.x), c.floor) << c.x << ", " << ModeName(mode);
        EXPECT_EQ(fegetround(), mode);
    }
}

TEST(NumericEnvironment, ArithmeticRoundsInTheCallersMode)
{
    // Each conversion puts the caller's mode back before the products that
    // follow it: 2^1024 is +inf only when rounding to nearest or upward.
    fesetround(FE_TOWARDZERO);
    double towardZero = NumLdexp(0.75, 1024);
    double intTowardZero = NumIntPow(3.0, 41);
    fesetround(FE_DOWNWARD);
    double downward = NumLdexp(0.75, 1024);
    fesetround(FE_UPWARD);
    double upward = NumLdexp(0.75, 1024);
    double intUpward = NumIntPow(3.0, 41);
    fesetround(FE_TONEAREST);
    // This product rounds down to nearest as well.
    EXPECT_BITS(0.75 * DBL_MAX, towardZero);
    EXPECT_BITS(0.75 * DBL_MAX, downward);
    EXPECT_BITS(Inf, upward);
    EXPECT_BITS(Inf, NumLdexp(0.75, 1024));
    // 3^41 needs 66 bits.
    EXPECT_EQ(Bits(intUpward), Bits(intTowardZero) + 1);
}

// Every routine over the arguments, as bit patterns (NaNs made alike).
static std::vector<uint64_t> AllResults(const std::vector<double> &args)
{
    std::vector<uint64_t> out;
    auto put = [&](double r) { out.push_back(std::isnan(r) ? 0x7FF8000000000000ull : Bits(r)); };
    for (size_t i = 0; i < args.size(); i++) {
        double x = args[i], y = args[(i * 7 + 3) % args.size()];
        int32_t n = (int32_t)(Bits(y) % 2400) - 1200;
        int32_t e = 0;
        put(NumFloor(x * 1e3));
        put(NumAbs(x));
        put(NumToReal(x));
        put(NumIntPow(x, n % 70));
        put(NumLdexp(x, n));
        put(NumFrexp(x, &e));
        put(e);
        put(NumLog(x));
        put(NumExp(x));
        put(NumExp(y / 64));
        put(NumPow(x, y));
        put(NumPow(NumAbs(x), y));
        put(NumPow(x, (double)(n % 40)));
    }
    return out;
}

// Seeded values from every range the routines treat apart, and specials.
static std::vector<double> Arguments(uint64_t seed, size_t count)
{
    std::mt19937_64 rng(seed);
    std::vector<double> args = {0.0, -0.0, 1.0, -1.0, 0.5, 2.0, 10.0, Inf, -Inf, NaN,
                                5e-324, 1e-310, DBL_MAX, -DBL_MAX, 709.5, -745.0, 2147483647.0};
    while (args.size() < count) {
        switch (rng() % 4) {
        case 0: args.push_back(RandomDouble(rng, -8, 8, true)); break;
        case 1: args.push_back(RandomDouble(rng, -60, 60, true)); break;
        case 2: args.push_back(RandomDouble(rng, -1022, 1023, true)); break;
        default: args.push_back((double)(int32_t)(rng() % 4001) - 2000.0); break;
        }
    }
    return args;
}

static uint64_t Digest(const std::vector<uint64_t> &results)
{
    uint64_t h = 0xCBF29CE484222325ull;  // FNV-1a
    for (uint64_t r : results)
        for (int i = 0; i < 8; i++)
            h = (h ^ (r >> (8 * i) & 0xFF)) * 0x100000001B3ull;
    return h;
}

static std::vector<uint64_t> ResultsUnder(int mode, const std::vector<double> &args)
{
    RoundingScope scope(mode);
    return AllResults(args);
}

TEST(NumericEnvironment, SameBitsInEveryBuildUnderEveryMode)
{
    // Taken from the native build; the i686 and x86_64 builds must give the
    // same bits. The fixed values elsewhere check the routines themselves.
    const uint64_t expected[4] = {0xEDF95D94D4B19408ull, 0xA0AF453203C84F4Cull,
                                  0x2C50E896E8036485ull, 0x8B96D8E78CF92220ull};
    std::vector<double> args = Arguments(20240601, 1500);
    for (int i = 0; i < 4; i++)
        EXPECT_EQ(Digest(ResultsUnder(RoundingModes[i], args)), expected[i])
            << ModeName(RoundingModes[i]);
}

TEST(NumericEnvironment, ThreadsUnderDifferentModesMatchOneThread)
{
    std::vector<double> args = Arguments(7, 300);
    std::vector<uint64_t> alone[4];
    for (int i = 0; i < 4; i++)
        alone[i] = ResultsUnder(RoundingModes[i], args);

    const int threadCount = 8, rounds = 3;
    std::atomic<int> waiting(threadCount);
    std::atomic<int> mismatches(0);
    std::vector<std::thread> threads;
    for (int t = 0; t < threadCount; t++) {
        threads.emplace_back([&, t] {
            // Start together, as far as a deadline allows.
            waiting--;
            auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (waiting > 0 && std::chrono::steady_clock::now() < deadline)
                std::this_thread::yield();
            for (int r = 0; r < rounds; r++)
                if (ResultsUnder(RoundingModes[t % 4], args) != alone[t % 4])
                    mismatches++;
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
}

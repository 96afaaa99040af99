// A double's bit pattern and back, for the numeric tests and the accuracy bench.
#pragma once
#include <stdint.h>
#include <string.h>

inline uint64_t Bits(double d)
{
    uint64_t u;
    memcpy(&u, &d, sizeof u);
    return u;
}

inline double FromBits(uint64_t u)
{
    double d;
    memcpy(&d, &u, sizeof d);
    return d;
}

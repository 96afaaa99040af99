// Numeric routines on IEEE binary64 doubles, exact to the last bit. Pure
// functions: no state, no errors, no library maths.
#pragma once
#include <stdint.h>

double NumPow(double x, double y);
double NumExp(double x);
double NumLog(double x);
double NumLdexp(double x, int32_t k);
double NumIntPow(double x, int32_t e);
double NumFrexp(double x, int32_t *e);
double NumAbs(double x);
int32_t NumFloor(double x);
double NumToReal(double x);

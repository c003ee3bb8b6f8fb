// Elementary kernels: exponential, logarithm, powers, factorial, square root,
// floor, tangent, arctangent and hyperbolic tangent. Fixed-depth continued
// fractions and truncated series whose every operation order is part of the
// values they return.
#pragma once

#include <cstdint>

#include "kernels/precision.hpp"

namespace zorvana {

double math_floor(double x);
ext math_floor_ext(ext x);
double math_pow_int(double x, std::int64_t n);
ext math_pow_int_ext(ext x, std::int64_t n);
// e^n as the exponential's split forms it: the extended powering of the
// extended constant e (math_pow_int_ext(e, n)).
ext math_e_power(std::int64_t n);
std::int64_t math_factorial(std::uint64_t n);
double math_exp(double x);
ext math_exp_ext(ext x);
double math_log(double x);
// math_log(x), remembered per thread for the last few x: for parameters.
double math_log_param(double x);
double math_sqrt(double x);
ext math_tan(ext x);
double math_atan(double x);
double math_tanh(double x);

}  // namespace zorvana

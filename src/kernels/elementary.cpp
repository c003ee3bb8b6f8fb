// PLACEHOLDER: not yet implemented; every kernel returns NaN.
#include "kernels/elementary.hpp"
#include "kernels/precision.hpp"

namespace zorvana {

double math_floor(double /*x*/) { return kNaN; }
ext math_floor_ext(ext /*x*/) { return kNaN; }
double math_pow_int(double /*x*/, std::int64_t /*n*/) { return kNaN; }
ext math_pow_int_ext(ext /*x*/, std::int64_t /*n*/) { return kNaN; }
std::int64_t math_factorial(std::uint64_t /*n*/) { return 0; }
double math_exp(double /*x*/) { return kNaN; }
ext math_exp_ext(ext /*x*/) { return kNaN; }
double math_log(double /*x*/) { return kNaN; }
double math_sqrt(double /*x*/) { return kNaN; }
ext math_tan(ext /*x*/) { return kNaN; }
double math_atan(double /*x*/) { return kNaN; }
double math_tanh(double /*x*/) { return kNaN; }

}  // namespace zorvana

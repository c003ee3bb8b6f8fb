// Error function (double and extended) and its inverse.
#pragma once

#include "kernels/precision.hpp"

namespace zorvana {

double math_erf(double x);
ext math_erf_ext(ext x);
double math_erf_inv(double p);

}  // namespace zorvana

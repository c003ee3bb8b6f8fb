// PLACEHOLDER so that the tree links while the accurate kernels are written:
// these forward to the platform library, which the finished kernels must not do.
#include "accurate/elementary.hpp"

#include <cmath>

namespace zorvana {
namespace accurate {

double exp(double x) { return std::exp(x); }
double expm1(double x) { return std::expm1(x); }
double log(double x) { return std::log(x); }
double log1p(double x) { return std::log1p(x); }
double log1pmx(double x) { return std::log1p(x) - x; }
double pow(double x, double y) { return std::pow(x, y); }
double lgamma(double x) { return std::lgamma(x); }
double lgamma_correction(double x) {
    return std::lgamma(x) - ((x - 0.5) * std::log(x) - x + 0.91893853320467274178);
}
double deviance(double x, double m) { return x * std::log(x / m) + m - x; }
double erfc(double x) { return std::erfc(x); }
double erfcx(double x) { return std::exp(x * x) * std::erfc(x); }
double atan(double x) { return std::atan(x); }

}  // namespace accurate
}  // namespace zorvana

// Pieces shared by the inverse kernels (error function, incomplete gamma and
// incomplete beta): the start value's normal-quantile approximation and the
// bound on Halley's correction factor.
#pragma once

namespace zorvana {

// Rational approximation of the upper normal quantile from t = sqrt(-2 log q)
// (Abramowitz and Stegun 26.2.23): numerator c0 + c1 t + c2 t^2, denominator
// 1 + d1 t + d2 t^2 + d3 t^3. Each kernel writes out its own operation order.
constexpr double kNormQuantileC0 = 2.515517;
constexpr double kNormQuantileC1 = 0.802853;
constexpr double kNormQuantileC2 = 0.010328;
constexpr double kNormQuantileD1 = 1.432788;
constexpr double kNormQuantileD2 = 0.189269;
constexpr double kNormQuantileD3 = 0.001308;

// Halley's correction factor h is held within [0.8, 1.2]: first the smaller of
// 1.2 and h, then the larger of 0.8 and that. Plain comparisons, so that a NaN
// h stays NaN (std::min and std::max would turn it into a bound).
constexpr double kHalleyFactorLow = 0.8;
constexpr double kHalleyFactorHigh = 1.2;

inline double clamp_halley_factor(double h) {
    if (h > kHalleyFactorHigh) h = kHalleyFactorHigh;
    if (h < kHalleyFactorLow) h = kHalleyFactorLow;
    return h;
}

}  // namespace zorvana

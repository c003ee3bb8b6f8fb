// The studentized range: Q = R / S, R the largest of n_ranges independent
// ranges of n_means standard normals, S = sqrt(V / dof) as for t. With W(w)
// the distribution function of one range,
//
//   W(w)     = n int phi(z) D(z)^(n-1) dz,            D(z) = Phi(z) - Phi(z - w),
//   1 - W(w) = n int phi(z) Phi(z)^(n-1) (1 - (D(z) / Phi(z))^(n-1)) dz,
//
// both integrals of positive functions (the second because n int phi
// Phi^(n-1) = 1), and P(Q <= q) = E W(q S)^r, P(Q > q) = E (1 - W(q S)^r) over
// u = ln S; all in log, by the quadrature of accurate/mixtures.hpp.
#include "accurate/elementary.hpp"
#include "accurate/mixtures.hpp"
#include "kernels/precision.hpp"
#include "tails/noncentral.hpp"
#include "tails/tails.hpp"

namespace zorvana {

namespace {

constexpr double kLogSqrt2Pi = 0.9189385332046728;
// Panels are halved until their rule agrees with their halves' to this
// (relative): the target is 1e-10 for both tails, and the integrands are
// smooth.
constexpr double kAccuracy = 1e-11;

double log_phi(double z) { return -0.5 * z * z - kLogSqrt2Pi; }
double log_Phi(double z, bool lower) { return pnorm_accurate(z, 0.0, 1.0, true, lower); }

// ln(1 - (1 - e^L)^m) for L <= 0, m >= 1: m e^L (to a relative e^-40)
// where m e^L < e^-40.
double log_one_minus_power(double L, double m) {
    const double ln_m = accurate::log(m);
    if (L + ln_m < -40.0) return ln_m + L;
    return accurate::log1mexp(m * accurate::log1mexp(L));
}

// ln D(z) = ln P(z - w < Z <= z), w > 0.
double log_band(double z, double w) {
    if (w < 1.0) {
        // 20-point Gauss-Legendre over the band, phi relative to its middle
        const double half = 0.5 * w, mid = z - half;
        double sum = 0.0;
        for (int i = 0; i < accurate::kQuadratureHalf; ++i) {
            const double d = half * accurate::kQuadratureNodes[i];
            const double e = -0.5 * d * d;
            sum += accurate::kQuadratureWeights[i] * (accurate::exp(e - mid * d) + accurate::exp(e + mid * d));
        }
        return log_phi(mid) + accurate::log(half * sum);
    }
    if (z - 0.5 * w <= 0) {
        const double top = log_Phi(z, true);
        return top + accurate::log1mexp(log_Phi(z - w, true) - top);
    }
    const double top = log_Phi(z - w, false);
    return top + accurate::log1mexp(log_Phi(z, false) - top);
}

// ln W(w) (lower) or ln(1 - W(w)) for one range of n normals, 0 < w < inf.
double log_range(double w, double n, bool lower) {
    const double ln_n = accurate::log(n);
    return accurate::log_integral(
        [&](double z) {
            if (lower) return ln_n + log_phi(z) + (n - 1.0) * log_band(z, w);
            const double lz = log_Phi(z, true);
            // 1 - (1 - R)^(n-1) with R = Phi(z - w) / Phi(z)
            const double part = log_one_minus_power(log_Phi(z - w, true) - lz, n - 1.0);
            return ln_n + log_phi(z) + (n - 1.0) * lz + part;
        },
        0.5 * w, 1.0, kAccuracy);
}

// ln P(max of r ranges <= w) or its complement.
double log_ranges(double w, double n, double r, bool lower) {
    if (!(w > 0)) return lower ? -kInf : 0.0;
    if (w >= kInf) return lower ? 0.0 : -kInf;
    if (lower) return r * log_range(w, n, true);
    const double lu = log_range(w, n, false);
    if (lu < -0.6931471805599453) return log_one_minus_power(lu, r);  // 1 - (1 - U)^r
    return accurate::log1mexp(r * log_range(w, n, true));
}

bool tukey_bad(double n, double dof, double r) { return !(n >= 2 && n < kInf && dof > 0 && r >= 1 && r < kInf); }

double log_ptukey(double q, double n, double dof, double r, bool lower) {
    if (dof >= kInf) return log_ranges(q, n, r, lower);
    const double a = 0.5 * dof, c = accurate::log_scale_constant(a);
    return accurate::log_integral(
        [&](double u) { return accurate::log_scale_density(u, a, c) + log_ranges(q * accurate::exp(u), n, r, lower); },
        0.0, accurate::log_scale_step(dof), kAccuracy);
}

}  // namespace

double ptukey(double q, double n_means, double dof, double n_ranges, bool log_p, bool lower_tail) {
    if (is_nan(q) || tukey_bad(n_means, dof, n_ranges)) return kNaN;
    double lp;
    if (q <= 0) {
        lp = lower_tail ? -kInf : 0.0;
    } else if (q >= kInf) {
        lp = lower_tail ? 0.0 : -kInf;
    } else {
        return accurate::either_tail([&](bool lower) { return log_ptukey(q, n_means, dof, n_ranges, lower); },
                                     lower_tail, log_p);
    }
    return log_p ? lp : accurate::exp(lp);
}

double qtukey(double p, double n_means, double dof, double n_ranges, bool lower_tail, bool log_p) {
    const double target = accurate::log_target(p, log_p);
    if (is_nan(target) || tukey_bad(n_means, dof, n_ranges)) return kNaN;
    if (!(target > -kInf)) return lower_tail ? 0.0 : kInf;
    if (target == 0) return lower_tail ? kInf : 0.0;
    return accurate::solve_log([&](double x) { return log_ptukey(x, n_means, dof, n_ranges, lower_tail); }, target,
                               lower_tail, 0.0, kInf, 3.0, 1.0, true);
}

}  // namespace zorvana

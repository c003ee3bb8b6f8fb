// Noncentral t: T = (Z + ncp) / S with S = sqrt(V / dof), so that
//
//   P(T <= t) = E Phi(t S - ncp),   P(T > t) = E Phi^c(t S - ncp),
//   density   = E S phi(t S - ncp),
//
// each an integral of a positive function over u = ln S (the scale's density
// times the normal tail or density, both in log), by the quadrature of
// accurate/mixtures.hpp. dof = inf is the normal with mean ncp.
#include "accurate/elementary.hpp"
#include "accurate/mixtures.hpp"
#include "kernels/precision.hpp"
#include "tails/noncentral.hpp"
#include "tails/tails.hpp"

namespace zorvana {

namespace {

bool t_bad(double dof, double ncp) { return !(dof > 0) || !(ncp > -kInf && ncp < kInf); }

double log_pnt(double t, double dof, bool lower, double ncp) {
    if (dof >= kInf || t == 0) return pnorm_accurate(t, ncp, 1.0, true, lower);
    const double a = 0.5 * dof, c = accurate::log_scale_constant(a);
    return accurate::log_integral(
        [&](double u) {
            return accurate::log_scale_density(u, a, c) + pnorm_accurate(t * accurate::exp(u), ncp, 1.0, true, lower);
        },
        0.0, accurate::log_scale_step(dof));
}

}  // namespace

double dnt(double x, double dof, bool log, double ncp) {
    if (is_nan(x) || t_bad(dof, ncp)) return kNaN;
    if (x >= kInf || x <= -kInf) return log ? -kInf : 0.0;
    double lp;
    if (dof >= kInf) {
        lp = dnorm_accurate(x, ncp, 1.0, true);
    } else {
        const double a = 0.5 * dof, c = accurate::log_scale_constant(a);
        lp = accurate::log_integral(
            [&](double u) {
                const double s = accurate::exp(u);
                return accurate::log_scale_density(u, a, c) + u + dnorm_accurate(x * s, ncp, 1.0, true);
            },
            0.0, accurate::log_scale_step(dof));
    }
    return log ? lp : accurate::exp(lp);
}

double pnt(double x, double dof, bool log_p, bool lower_tail, double ncp) {
    if (is_nan(x) || t_bad(dof, ncp)) return kNaN;
    if (x >= kInf) return log_p ? (lower_tail ? 0.0 : -kInf) : (lower_tail ? 1.0 : 0.0);
    if (x <= -kInf) return log_p ? (lower_tail ? -kInf : 0.0) : (lower_tail ? 0.0 : 1.0);
    return accurate::either_tail([&](bool lower) { return log_pnt(x, dof, lower, ncp); }, lower_tail, log_p);
}

double qnt(double p, double dof, bool lower_tail, bool log_p, double ncp) {
    const double target = accurate::log_target(p, log_p);
    if (is_nan(target) || t_bad(dof, ncp)) return kNaN;
    if (!(target > -kInf)) return lower_tail ? -kInf : kInf;
    if (target == 0) return lower_tail ? kInf : -kInf;
    return accurate::solve_log([&](double x) { return log_pnt(x, dof, lower_tail, ncp); }, target, lower_tail,
                               -kInf, kInf, ncp, 1.0, false);
}

}  // namespace zorvana

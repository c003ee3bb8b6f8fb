// The accurate density, distribution and quantile functions of the beta
// distribution, through the incomplete beta function of the accurate
// kernels; the upper tails are the same functions.
#include <cstdint>

#include "accurate/beta_inc.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/beta_family.hpp"
#include "tails/tails.hpp"

namespace zorvana {

using namespace beta_family;

namespace {

constexpr double kHalf = 0.5;

bool beta_invalid(double a, double b) { return b < 0 || a < 0 || is_nan(a) || is_nan(b); }
bool beta_degenerate(double a, double b) { return a == 0 || b == 0 || is_pinf(a) || is_pinf(b); }

// Where the mass of degenerate shapes sits (both 0: half at 0, half at 1).
double degenerate_location(double a, double b) {
    if (a == 0) return 0;
    if (is_pinf(b)) return is_pinf(a) ? kHalf : 0.0;
    return 1;
}

}  // namespace

double dbeta_accurate(double x, double a, double b, bool log) {
    if (is_nan(x) || beta_invalid(a, b)) return kNaN;
    if (x < 0 || x > 1) return zero_or_ninf(log);
    if (beta_degenerate(a, b)) {
        const bool at_mass = (a == 0 && b == 0) ? (x == 0 || x == 1) : x == degenerate_location(a, b);
        return at_mass ? kInf : zero_or_ninf(log);
    }
    if (x == 0 || x == 1) {
        const double s = x == 0 ? a : b;  // the shape of the end
        if (s < 1) return kInf;
        if (s > 1) return zero_or_ninf(log);
        // x^0 y^(c - 1)/B(1, c) = c at the end
        return value_or_log(x == 0 ? b : a, log);
    }
    // x^(a-1) y^(b-1)/B(a, b): the prefactor x^a y^b/B over x y, y = 1 - x
    // formed from the smaller side.
    const double y = 1 - x;
    accurate::DD l = accurate::log_beta_prefactor(a, b, x, y);
    l = accurate::dd_sub(l, x <= kHalf ? accurate::log1p_dd(-x) : accurate::log_dd(y));
    l = accurate::dd_sub(l, accurate::log_dd(x));
    return log ? l.hi + l.lo : accurate::exp_dd(l);
}

double pbeta_accurate(double x, double a, double b, bool log_p, bool lower_tail) {
    if (is_nan(x) || beta_invalid(a, b)) return kNaN;
    if (x <= 0) return lower_tail ? zero_or_ninf(log_p) : one_or_zero(log_p);
    if (x >= 1) return lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    if (beta_degenerate(a, b)) {
        // Point masses: at 0 (a = 0 or b = inf), at 1 (b = 0 or a = inf),
        // half at each end (both 0), at 1/2 (both inf).
        double v;  // the lower tail
        if (a == 0) {
            v = b == 0 ? kHalf : 1.0;
        } else if (is_pinf(b)) {
            v = is_pinf(a) ? (x < kHalf ? 0.0 : 1.0) : 1.0;
        } else {
            v = 0;
        }
        if (!lower_tail) v = 1 - v;
        return v == 0 ? zero_or_ninf(log_p) : value_or_log(v, log_p);
    }
    return accurate::beta_inc(a, b, x, 1 - x, !lower_tail, log_p);
}

double qbeta_accurate(double p, double a, double b, bool lower_tail, bool log_p) {
    if (beta_invalid(a, b) || probability_invalid(p, log_p)) return kNaN;
    if (probability_zero(p, log_p)) return lower_tail ? 0.0 : 1.0;
    if (probability_one(p, log_p)) return lower_tail ? 1.0 : 0.0;
    if (beta_degenerate(a, b)) {
        if (a == 0 && b == 0) {
            const double pl = lower_tail ? probability(p, log_p) : 1 - probability(p, log_p);
            return pl < kHalf ? 0.0 : (pl == kHalf ? kHalf : 1.0);
        }
        return degenerate_location(a, b);
    }
    const Target t = smaller_side(p, lower_tail, log_p);
    return accurate::beta_inc_inv_log(a, b, t.lq, t.upper).x;
}

double pbeta_upper(double x, double a, double b, bool log_p) { return pbeta_accurate(x, a, b, log_p, false); }
double qbeta_upper(double p, double a, double b) { return qbeta_accurate(p, a, b, false, false); }

}  // namespace zorvana

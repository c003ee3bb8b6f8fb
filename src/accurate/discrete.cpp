#include "accurate/discrete.hpp"

#include "accurate/elementary.hpp"

namespace zorvana {
namespace accurate {

DD deviance_dd(double x, DD m) {
    if (x == 0) return m;
    const DD d = dd_add(DD{x, 0.0}, dd_neg(m));  // x - m
    const DD s = dd_add(m, x);                   // x + m
    const DD v = dd_div(d, s);
    if (fabs_(v.hi) < 0.1) {
        // (x - m) v + 2x (v^3/3 + v^5/5 + ...): the first term carries all
        // but a fifteenth of the value.
        const double w = v.hi * v.hi;
        double pw = v.hi * w;
        double sum = 0;
        for (int k = 3; k < 60; k += 2) {
            const double t = pw / k;
            const double next = sum + t;
            if (next == sum) break;
            sum = next;
            pw *= w;
        }
        return dd_add(dd_mul(d, v), (2 * x) * sum);
    }
    // x (ln x - ln m) + (m - x), without a cancellation worse than a factor 10.
    const DD lm = dd_add(log_dd(m.hi), m.lo / m.hi);
    const DD l = dd_sub(log_dd(x), lm);
    return dd_add(dd_mul(l, x), dd_neg(d));
}

DD ratio_dd(double a, double b, double c) { return dd_div(two_prod(a, b), c); }

DD log1m_dd(double p) {
    if (p < 0.5) return log1p_dd(-p);
    return log_dd(1.0 - p);  // exact
}

}  // namespace accurate
}  // namespace zorvana

// The hypergeometric distribution: good items among n_drawn drawn without
// replacement from n_good good and n_bad bad ones.
//
// The mass is C(r, x) C(b, n - x) / C(N, n) in Stirling form: each
// coefficient's Stirling remainders and half logarithm, and the four
// deviances of x, r - x, n - x, b - n + x from their means r n/N, r (N-n)/N,
// b n/N, b (N-n)/N (double-double, adding up to N as the identity needs).
// A tail is the mass at its inner end times the sum of the ratios of the
// masses beyond it, summed in double-double outward until they no longer
// count; the tail on the far side of the mean is summed, its complement
// taken where that is at least 1/2, else the other tail summed too.
#include <cmath>
#include <cstdint>

#include "accurate/discrete.hpp"
#include "accurate/elementary.hpp"
#include "kernels/precision.hpp"
#include "tails/discrete_quantile.hpp"
#include "tails/discrete.hpp"

namespace zorvana {

namespace {

using accurate::DD;

constexpr double kLn2Pi = 1.8378770664093454836;
constexpr std::int64_t kMaxTotal = std::int64_t{1} << 53;

double zero_or_ninf(bool log) { return log ? -kInf : 0.0; }
double one_or_zero(bool log) { return log ? 0.0 : 1.0; }

struct Hyper {
    double r, b, n, N;
    std::int64_t lo, hi;  // the support
};

bool hyper_params(std::int64_t r, std::int64_t b, std::int64_t n, Hyper& h) {
    if (r < 0 || b < 0 || n < 0 || r >= kMaxTotal || b >= kMaxTotal || r + b >= kMaxTotal || n > r + b) return false;
    h.r = static_cast<double>(r);
    h.b = static_cast<double>(b);
    h.n = static_cast<double>(n);
    h.N = static_cast<double>(r + b);
    h.lo = n - b > 0 ? n - b : 0;
    h.hi = n < r ? n : r;
    return true;
}

// ln C(a, k) less its deviance part: the Stirling remainders and the half
// logarithm (0 at k = 0 and k = a).
double stirling_part(double a, double k) {
    if (k == 0 || k == a) return 0;
    using accurate::lgamma_correction;
    using accurate::log;
    return (lgamma_correction(a) - lgamma_correction(k) - lgamma_correction(a - k)) +
           0.5 * (((log(a) - log(k)) - log(a - k)) - kLn2Pi);
}

// ln P(X = x), x in the support.
DD log_mass(const Hyper& h, double x) {
    using namespace accurate;
    const double nn = h.N - h.n;
    DD dev = deviance_dd(x, ratio_dd(h.r, h.n, h.N));
    dev = dd_add(dev, deviance_dd(h.r - x, ratio_dd(h.r, nn, h.N)));
    dev = dd_add(dev, deviance_dd(h.n - x, ratio_dd(h.b, h.n, h.N)));
    dev = dd_add(dev, deviance_dd(h.b - h.n + x, ratio_dd(h.b, nn, h.N)));
    const double rest = (stirling_part(h.r, x) + stirling_part(h.b, h.n - x)) - stirling_part(h.N, h.n);
    return dd_add(dd_neg(dev), rest);
}

// ln of the sum of P(X = k) / P(X = x) over k <= x (down) or k >= x (up).
DD log_ratio_sum(const Hyper& h, std::int64_t x, bool down) {
    using namespace accurate;
    DD term{1.0, 0.0};
    DD sum{1.0, 0.0};
    const double bn = h.b - h.n;
    double k = static_cast<double>(x);
    const double end = static_cast<double>(down ? h.lo : h.hi);
    while (down ? k > end : k < end) {
        DD ratio;
        if (down) {
            ratio = dd_div(two_prod(k, bn + k), two_prod((h.n - k) + 1, (h.r - k) + 1));
            k -= 1;
        } else {
            ratio = dd_div(two_prod(h.n - k, h.r - k), two_prod(k + 1, (bn + k) + 1));
            k += 1;
        }
        term = dd_mul(term, ratio);
        sum = dd_add(sum, term);
        if (term.hi < 0x1p-60 * sum.hi) break;
    }
    return dd_add(log_dd(sum.hi), sum.lo / sum.hi);
}

// ln P(X <= x) (down) or ln P(X > x) (up), lo <= x < hi.
DD log_tail(const Hyper& h, std::int64_t x, bool down) {
    const std::int64_t inner = down ? x : x + 1;
    return accurate::dd_add(log_mass(h, static_cast<double>(inner)), log_ratio_sum(h, inner, down));
}

}  // namespace

double dhyper_accurate(std::int64_t x, std::int64_t n_good, std::int64_t n_bad, std::int64_t n_drawn, bool log) {
    Hyper h;
    if (!hyper_params(n_good, n_bad, n_drawn, h)) return kNaN;
    if (x < h.lo || x > h.hi) return zero_or_ninf(log);
    const DD l = log_mass(h, static_cast<double>(x));
    return log ? l.hi + l.lo : accurate::exp_dd(l);
}

double phyper_accurate(std::int64_t x, std::int64_t n_good, std::int64_t n_bad, std::int64_t n_drawn, bool log_p,
                       bool lower_tail) {
    Hyper h;
    if (!hyper_params(n_good, n_bad, n_drawn, h)) return kNaN;
    if (x < h.lo) return lower_tail ? zero_or_ninf(log_p) : one_or_zero(log_p);
    if (x >= h.hi) return lower_tail ? one_or_zero(log_p) : zero_or_ninf(log_p);
    // The tail on x's side of the mean n r / N first.
    const DD xn = accurate::two_prod(static_cast<double>(x), h.N);
    const DD nr = accurate::two_prod(h.n, h.r);
    const bool down = xn.hi < nr.hi || (xn.hi == nr.hi && xn.lo <= nr.lo);
    const DD l = log_tail(h, x, down);
    DD result;
    if (down == lower_tail) {
        result = l;
    } else {
        const double v = accurate::exp_dd(l);
        if (v <= 0.5) {
            const double c = accurate::log1p(-v);
            return log_p ? c : -accurate::expm1(l.hi + l.lo) ;
        }
        result = log_tail(h, x, !down);
    }
    return log_p ? result.hi + result.lo : accurate::exp_dd(result);
}

double qhyper_accurate(double p, std::int64_t n_good, std::int64_t n_bad, std::int64_t n_drawn, bool lower_tail,
                       bool log_p) {
    Hyper h;
    if (!hyper_params(n_good, n_bad, n_drawn, h)) return kNaN;
    SmallTail t;
    if (!small_tail(p, lower_tail, log_p, t)) return kNaN;
    double start = static_cast<double>(h.lo);
    if (!t.zero && h.N > 1) {
        const double f = h.r / h.N;
        const double sd = std::sqrt((((h.n * f) * (1 - f)) * (h.N - h.n)) / (h.N - 1));
        start = (h.n * f + sd * rough_normal_quantile(t)) - 0.5;
    }
    return discrete_quantile(p, lower_tail, log_p, h.lo, h.hi, start, [&](std::int64_t x) {
        return phyper_accurate(x, n_good, n_bad, n_drawn, log_p, lower_tail);
    });
}

}  // namespace zorvana

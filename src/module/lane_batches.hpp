// Batch functions of the families whose kernels run in lanes (see
// kernels/lanes.hpp). Each computes the kernel values of a run ahead, in
// lanes, and then calls the row's scalar function F per element, which finds
// each value in its prefetch slot (kernels/prefetch.hpp): F returns what it
// always returns, whatever path it takes, and an argument that was not
// foreseen is simply computed. F is the family's scalar function or a
// wrapper that passes its arguments on. Runs whose parameters vary per
// element, or whose parameters keep the kernels out, take the plain loop.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "distributions/distributions.hpp"
#include "distributions/log_densities.hpp"
#include "distributions/quantile_search.hpp"
#include "distributions/sound.hpp"
#include "kernels/elementary.hpp"
#include "kernels/lanes.hpp"
#include "kernels/precision.hpp"
#include "kernels/prefetch.hpp"
#include "module/batch.hpp"

namespace zorvana {
namespace lane_batch {

// Elements whose kernel values are computed ahead at once.
constexpr std::size_t kChunk = 256;

inline bool constant(const Column& c) { return c.stride == 0; }
inline bool positive_finite(double v) { return v > 0 && v < kInf; }
inline bool valid_scale(double v) { return v >= kEps && v < kInf; }

// Kernel values for up to kChunk elements: up to two kernels per element.
struct Ahead {
    int kernels = 0;
    Prefetch kernel[2];
    double a[2][kChunk], x[2][kChunk], value[2][kChunk];
    // P at the quantiles of the inverse of P as kernel 0, where its iteration
    // evaluated P there (known[i]).
    double p_at[kChunk];
    unsigned char known[kChunk];

    void arm(std::size_t i) const {
        for (int k = 0; k < kernels; ++k) {
            prefetch_slots[static_cast<int>(kernel[k])] = PrefetchSlot{a[k][i], x[k][i], value[k][i], true};
        }
    }
    ~Ahead() {
        for (int k = 0; k < kernels; ++k) prefetch_slots[static_cast<int>(kernel[k])].armed = false;
    }

    // Kernel k = math_erf_inv(x[k][i]), math_gamma_p(a, x[k][i]) or
    // math_gamma_p_inv(a, x[k][i]) for i < m.
    void erf_inv(int k, std::size_t m) {
        for (std::size_t i = 0; i < m; ++i) a[k][i] = 0.0;
        erf_inv_given(k, m);
    }
    // The same with a[k][i] already 0.
    void erf_inv_given(int k, std::size_t m) {
        kernel[k] = Prefetch::erf_inv;
        math_erf_inv_n(x[k], value[k], m);
    }
    void gamma_p(int k, double shape, std::size_t m) {
        kernel[k] = Prefetch::gamma_p;
        for (std::size_t i = 0; i < m; ++i) a[k][i] = shape;
        math_gamma_p_n(shape, x[k], value[k], m);
    }
    void gamma_p_inv(int k, double shape, std::size_t m) {
        kernel[k] = Prefetch::gamma_p_inv;
        for (std::size_t i = 0; i < m; ++i) a[k][i] = shape;
        math_gamma_p_inv_n(shape, x[k], value[k], m, p_at, known);
    }
    // The same with the shapes a[k][i], one an element (NaN where F will
    // not ask: the kernels settle NaN at once).
    void gamma_p_each(int k, std::size_t m) {
        kernel[k] = Prefetch::gamma_p;
        math_gamma_p_each_n(a[k], x[k], value[k], m);
    }
    void gamma_p_inv_each(int k, std::size_t m) {
        kernel[k] = Prefetch::gamma_p_inv;
        math_gamma_p_inv_each_n(a[k], x[k], value[k], m, p_at, known);
    }

    // Kernel 1 = math_gamma_p(a[1][i], x[1][i]) after the inverse as kernel
    // 0: where x[1][i] is the quantile itself and the shapes agree (bit for
    // bit), P as the iteration computed it there, elsewhere evaluated (a
    // shape for all: gamma_p_after(shape, m)).
    void gamma_p_after(double shape, std::size_t m) {
        for (std::size_t i = 0; i < m; ++i) a[1][i] = shape;
        p_after(m, [shape](const double* xs, double* vs, std::size_t c) { math_gamma_p_n(shape, xs, vs, c); });
    }
    void gamma_p_each_after(std::size_t m) {
        double as[kChunk];
        p_after(m, [&as](const double* xs, double* vs, std::size_t c) { math_gamma_p_each_n(as, xs, vs, c); }, as);
    }

  private:
    static bool same_bits(double u, double v) { return std::memcmp(&u, &v, sizeof u) == 0; }

    // The elements P is not known at go to evaluate(xs, vs, c), their shapes
    // gathered into shapes if it is not null.
    template <class Evaluate>
    void p_after(std::size_t m, Evaluate evaluate, double* shapes = nullptr) {
        kernel[1] = Prefetch::gamma_p;
        std::size_t pos[kChunk];
        double xs[kChunk], vs[kChunk];
        std::size_t c = 0;
        for (std::size_t i = 0; i < m; ++i) {
            if (known[i] && same_bits(x[1][i], value[0][i]) && same_bits(a[1][i], a[0][i])) {
                value[1][i] = p_at[i];
                continue;
            }
            if (shapes != nullptr) shapes[c] = a[1][i];
            pos[c] = i;
            xs[c++] = x[1][i];
        }
        evaluate(xs, vs, c);
        for (std::size_t j = 0; j < c; ++j) value[1][pos[j]] = vs[j];
    }
};

// A parameter as F's adapter passes it on (-0 as +0).
inline double param(const Column& c, std::size_t i) { return sound_detail::unsigned_zero(read_real(c, i)); }

// F at element i of the columns.
template <auto F, std::size_t Cols>
void call_one(const Column* cols, std::size_t i, double* out) {
    Column one[Cols];
    for (std::size_t c = 0; c < Cols; ++c) one[c] = Column{element(cols[c], i), cols[c].stride, cols[c].kind};
    per_element<F>(1, one, out);
}

// The run in chunks: fill(ahead, at, m) computes the kernel values of
// elements at ... at + m - 1, then F runs on each with its values armed. A
// fill that returns false has computed nothing: F runs on the chunk plainly.
template <auto F, std::size_t Cols, class Fill>
void in_chunks(std::size_t n, const Column* cols, double* out, Fill fill) {
    for (std::size_t at = 0; at < n; at += kChunk) {
        const std::size_t m = n - at < kChunk ? n - at : kChunk;
        Ahead ahead;
        if constexpr (std::is_same_v<decltype(fill(ahead, at, m)), bool>) {
            if (!fill(ahead, at, m)) {
                Column chunk[Cols];
                for (std::size_t c = 0; c < Cols; ++c) chunk[c] = Column{element(cols[c], at), cols[c].stride, cols[c].kind};
                per_element<F>(m, chunk, out + at);
                continue;
            }
        } else {
            fill(ahead, at, m);
        }
        for (std::size_t i = 0; i < m; ++i) {
            ahead.arm(i);
            call_one<F, Cols>(cols, at + i, out + at + i);
        }
    }
}

// math_erf_inv((p + p) - 1) for the probabilities of the first column.
template <auto F, std::size_t Cols>
void erf_inv_ahead(std::size_t n, const Column* cols, double* out) {
    in_chunks<F, Cols>(n, cols, out, [cols](Ahead& ahead, std::size_t at, std::size_t m) {
        ahead.kernels = 1;
        for (std::size_t i = 0; i < m; ++i) {
            const double p = read_real(cols[0], at + i);
            ahead.x[0][i] = (p + p) - 1;
        }
        ahead.erf_inv(0, m);
    });
}

// An iterated quantile whose safeguard rejects the iterate ends in a
// bisection over the doubles with up to 64 evaluations of the distribution
// function. F (qgamma, qchisq, qinvgamma, which return the safeguard's value
// as it is) runs with the bisections deferred; they then run side by side,
// each round's evaluations of the distribution function computed ahead in
// lanes. cdf_ahead(ahead, v, pos, m) fills kernel 0 for the points v[i] of
// the elements at pos[i] of the run; cdf(v, pos) is the distribution function
// the quantile's safeguard uses at element pos.
template <class CdfAhead, class Cdf>
void bisect_deferred(const DeferredBisection* todo, const std::size_t* at, std::size_t count, double* out,
                     CdfAhead cdf_ahead, Cdf cdf) {
    std::size_t live[kChunk], pos[kChunk];
    double v[kChunk];
    DoubleBisection b[kChunk];
    // least_double_reaching: cdf(lo) first, then the bisection.
    std::size_t m = 0;
    for (std::size_t j = 0; j < count; ++j) {
        live[m] = j;
        pos[m] = at[j];
        v[m++] = todo[j].lo;
    }
    bool first = true;
    while (m > 0) {
        Ahead ahead;
        ahead.kernels = 1;
        cdf_ahead(ahead, v, pos, m);
        std::size_t kept = 0;
        for (std::size_t i = 0; i < m; ++i) {
            const std::size_t j = live[i];
            ahead.arm(i);
            const bool reached = cdf(v[i], pos[i]) >= todo[j].p;
            if (first) {
                if (reached) {
                    out[at[j]] = todo[j].lo;
                    continue;
                }
                b[j] = DoubleBisection(todo[j].lo, todo[j].hi);
            } else {
                b[j].step(reached);
            }
            if (b[j].done()) {
                out[at[j]] = b[j].result();
                continue;
            }
            live[kept] = j;
            pos[kept] = at[j];
            v[kept++] = b[j].mid();
        }
        m = kept;
        first = false;
    }
}

// The inverse of the incomplete gamma function ahead; fill2 adds the
// distribution function at the quantile it gives, which the safeguard
// evaluates first; deferred bisections run side by side.
template <auto F, std::size_t Cols, class Fill, class CdfAhead, class Cdf>
void gamma_quantile(std::size_t n, const Column* cols, double* out, Fill fill, CdfAhead cdf_ahead, Cdf cdf) {
    DeferredBisection todo[kChunk];
    std::size_t at[kChunk];
    for (std::size_t from = 0; from < n; from += kChunk) {
        const std::size_t m = n - from < kChunk ? n - from : kChunk;
        std::size_t count = 0;
        {
            Ahead ahead;
            fill(ahead, from, m);
            for (std::size_t i = 0; i < m; ++i) {
                DeferredBisection d{false, 0, 0, 0};
                ahead.arm(i);
                deferred_bisection = &d;
                struct Reset {
                    ~Reset() { deferred_bisection = nullptr; }
                } reset;
                call_one<F, Cols>(cols, from + i, out + from + i);
                if (d.pending) {
                    todo[count] = d;
                    at[count++] = from + i;
                }
            }
        }
        bisect_deferred(todo, at, count, out, cdf_ahead, cdf);
    }
}

}  // namespace lane_batch

namespace lane_batch {

// The run of log_density_lanes, its parameters and flag read once when
// Constant.
template <auto F, class Form, std::size_t kCols, bool Constant>
void log_density_run(std::size_t n, const Column* cols, double* out) {
    const bool scale_constant = constant(cols[Form::kScaleColumn]);
    const double p0 = sound_detail::unsigned_zero(read_real(cols[1], 0));
    const double q0 = kCols == 4 ? sound_detail::unsigned_zero(read_real(cols[2], 0)) : 0.0;
    const bool flag0 = read_flag(cols[kCols - 1], 0);
    std::size_t at[kChunk], exp_at[kChunk];
    double x[kChunk], p[kChunk], q[kChunk], ls[kChunk], lx[kChunk], y[kChunk];
    bool flag[kChunk];
    double scale_log = 0;
    bool have_scale_log = false;
    if constexpr (Constant && !Form::kLogX) {
        // One pass: the log-density of each regular element at once (the
        // scale's logarithm is taken even if no element turns out regular).
        scale_log = math_log_param(Form::log_arg(p0, q0));
        for (std::size_t from = 0; from < n; from += kChunk) {
            const std::size_t m = n - from < kChunk ? n - from : kChunk;
            std::size_t exps = 0;
            for (std::size_t i = 0; i < m; ++i) {
                const std::size_t e = from + i;
                const double xi = read_real(cols[0], e);
                if (!Form::regular(xi, p0, q0)) {
                    call_one<F, kCols>(cols, e, out + e);
                    continue;
                }
                const double v = Form::y(xi, p0, q0, scale_log, 0.0);
                if (flag0) {
                    out[e] = sound_detail::density_value(Form::logged(v, 0.0), true);
                } else {
                    at[exps] = e;
                    y[exps++] = v;
                }
            }
            math_exp_n(y, y, exps);
            for (std::size_t k = 0; k < exps; ++k) {
                out[at[k]] = sound_detail::density_value(Form::plain(0.0, y[k], 0.0), false);
            }
        }
        return;
    }
    for (std::size_t from = 0; from < n; from += kChunk) {
        const std::size_t m = n - from < kChunk ? n - from : kChunk;
        std::size_t count = 0;
        for (std::size_t i = 0; i < m; ++i) {
            const std::size_t e = from + i;
            const double xi = read_real(cols[0], e);
            const double pi = Constant ? p0 : sound_detail::unsigned_zero(read_real(cols[1], e));
            const double qi = Constant || kCols != 4 ? q0 : sound_detail::unsigned_zero(read_real(cols[2], e));
            if (!Form::regular(xi, pi, qi)) {
                call_one<F, kCols>(cols, e, out + e);
                continue;
            }
            at[count] = e;
            x[count] = xi;
            if (!Constant) {
                p[count] = pi;
                q[count] = qi;
                flag[count] = read_flag(cols[kCols - 1], e);
            }
            if (!scale_constant) ls[count] = Form::log_arg(pi, qi);
            ++count;
        }
        if (count == 0) continue;
        if (scale_constant) {
            // The scale of the first regular element is every element's.
            if (!have_scale_log) {
                scale_log = math_log_param(Form::log_arg(Constant ? p0 : p[0], Constant ? q0 : q[0]));
                have_scale_log = true;
            }
        } else {
            math_log_n(ls, ls, count);
        }
        if (Form::kLogX) math_log_n(x, lx, count);
        std::size_t exps = 0;
        for (std::size_t j = 0; j < count; ++j) {
            const double v = Form::y(x[j], Constant ? p0 : p[j], Constant ? q0 : q[j],
                                     scale_constant ? scale_log : ls[j], Form::kLogX ? lx[j] : 0.0);
            if (Constant ? flag0 : flag[j]) {
                out[at[j]] = sound_detail::density_value(Form::logged(v, Form::kLogX ? lx[j] : 0.0), true);
            } else {
                exp_at[exps] = j;
                y[exps++] = v;
            }
        }
        math_exp_n(y, y, exps);
        for (std::size_t k = 0; k < exps; ++k) {
            const std::size_t j = exp_at[k];
            out[at[j]] = sound_detail::density_value(Form::plain(x[j], y[k], Form::kLogX ? lx[j] : 0.0), false);
        }
    }
}

}  // namespace lane_batch

// The normal, log-normal, exponential and Laplace densities
// (distributions/log_densities.hpp), parameters constant or per element: of a
// run's regular elements the logarithms of the scales (once for a constant
// scale) and of x (log-normal) in lanes, then the log-densities, then the
// exponentials of those whose flag is off in lanes. The parameters are read
// as F's adapter passes them on (-0 as +0) and each density goes through its
// rule; F computes every other element.
template <auto F, class Form, std::size_t kCols>
void log_density_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    bool all_constant = true;
    for (std::size_t c = 1; c < kCols; ++c) all_constant = all_constant && constant(cols[c]);
    if (all_constant) return log_density_run<F, Form, kCols, true>(n, cols, out);
    log_density_run<F, Form, kCols, false>(n, cols, out);
}

// The normal quantiles (every mean and scale) and the normal start of the
// Poisson quantile's search where it takes the inverse error function itself
// (beyond the rates whose starts it estimates).
template <auto F>
void qnorm_lanes(std::size_t n, const Column* cols, double* out) {
    lane_batch::erf_inv_ahead<F, 3>(n, cols, out);
}
template <auto F>
void qlnorm_lanes(std::size_t n, const Column* cols, double* out) {
    lane_batch::erf_inv_ahead<F, 3>(n, cols, out);
}
template <auto F>
void qpois_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    if (!constant(cols[1])) {
        // A rate per element: the start's inverse error function for the largest rates.
        return in_chunks<F, 2>(n, cols, out, [cols](Ahead& ahead, std::size_t at, std::size_t m) {
            bool any = false;
            for (std::size_t i = 0; i < m; ++i) {
                const double p = read_real(cols[0], at + i), rate = param(cols[1], at + i);
                const bool normal_start = rate > kQpoisDecidedRateMax && rate < kInf && p > 0 && p < 1;
                ahead.x[0][i] = normal_start ? (p + p) - 1 : kNaN;
                any = any || normal_start;
            }
            if (!any) return false;
            ahead.kernels = 1;
            ahead.erf_inv(0, m);
            return true;
        });
    }
    if (!(read_real(cols[1], 0) > kQpoisDecidedRateMax)) return per_element<F>(n, cols, out);
    erf_inv_ahead<F, 2>(n, cols, out);
}

// The Student t quantiles, dof constant or per element: the inverse error
// function of Hill's normal-based branch, computed ahead for the elements that
// will take it (the branch test itself, a logarithm and an exponential, in
// lanes), and the normal quantile's for an infinite dof.
template <auto F>
void qt_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    double last_dof = kNaN, a = 0, d = 0;
    in_chunks<F, 2>(n, cols, out, [&](Ahead& ahead, std::size_t at, std::size_t m) {
        // Kernel 0: the branch test's terms first, then the arguments.
        std::size_t hill[kChunk];
        double q[kChunk], bound[kChunk], power[kChunk], y[kChunk];
        std::size_t count = 0;
        bool any = false;
        for (std::size_t i = 0; i < m; ++i) {
            const double p = read_real(cols[0], at + i), dof = param(cols[1], at + i);
            ahead.a[0][i] = 0.0;
            ahead.x[0][i] = kNaN;
            if (!(dof >= kEps) || !(p > 0 && p < 1) || dof == 1 || dof == 2) continue;
            if (dof >= kInf) {
                ahead.x[0][i] = (p + p) - 1;
                any = true;
                continue;
            }
            if (!(dof == last_dof)) {
                hill_branch_terms(dof, a, d);
                last_dof = dof;
            }
            const double pp = p > 0.5 ? 1 - p : p;
            const double X = (pp + pp) * d;
            if (!(X >= 0)) continue;
            hill[count] = i;
            q[count] = pp;
            bound[count] = 0.05 + a;
            power[count] = 2 / dof;
            y[count++] = X;
        }
        math_log_n(y, y, count);
        for (std::size_t j = 0; j < count; ++j) y[j] = y[j] * power[j];
        math_exp_n(y, y, count);
        for (std::size_t j = 0; j < count; ++j) {
            if (y[j] > bound[j]) {
                ahead.x[0][hill[j]] = (q[j] + q[j]) - 1;
                any = true;
            }
        }
        if (!any) return false;
        ahead.kernels = 1;
        ahead.erf_inv_given(0, m);
        return true;
    });
}

// P(shape, x / scale) and P(dof / 2, x / 2) for one shape.
template <auto F>
void pgamma_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    if (!constant(cols[1]) || !constant(cols[2])) {
        return in_chunks<F, 4>(n, cols, out, [cols](Ahead& ahead, std::size_t at, std::size_t m) {
            ahead.kernels = 1;
            for (std::size_t i = 0; i < m; ++i) {
                const double shape = param(cols[1], at + i), scale = param(cols[2], at + i);
                ahead.a[0][i] = positive_finite(shape) && valid_scale(scale) ? shape : kNaN;
                ahead.x[0][i] = read_real(cols[0], at + i) / scale;
            }
            ahead.gamma_p_each(0, m);
        });
    }
    const double shape = read_real(cols[1], 0), scale = read_real(cols[2], 0);
    if (!positive_finite(shape) || !valid_scale(scale)) return per_element<F>(n, cols, out);
    in_chunks<F, 4>(n, cols, out, [cols, shape, scale](Ahead& ahead, std::size_t at, std::size_t m) {
        ahead.kernels = 1;
        for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = read_real(cols[0], at + i) / scale;
        ahead.gamma_p(0, shape, m);
    });
}
template <auto F>
void pchisq_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    if (!constant(cols[1])) {
        return in_chunks<F, 3>(n, cols, out, [cols](Ahead& ahead, std::size_t at, std::size_t m) {
            ahead.kernels = 1;
            for (std::size_t i = 0; i < m; ++i) {
                const double dof = param(cols[1], at + i);
                ahead.a[0][i] = positive_finite(dof) ? dof * 0.5 : kNaN;
                ahead.x[0][i] = read_real(cols[0], at + i) * 0.5;
            }
            ahead.gamma_p_each(0, m);
        });
    }
    if (!positive_finite(read_real(cols[1], 0))) return per_element<F>(n, cols, out);
    const double dof = read_real(cols[1], 0);
    in_chunks<F, 3>(n, cols, out, [cols, dof](Ahead& ahead, std::size_t at, std::size_t m) {
        ahead.kernels = 1;
        for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = read_real(cols[0], at + i) * 0.5;
        ahead.gamma_p(0, dof * 0.5, m);
    });
}

// The Poisson distribution function, rate constant or per element: above
// count 15 or rate 10 it is 1 - P(count + 1, rate), a shape per element
// (chunks without such an element run plainly).
template <auto F>
void ppois_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    in_chunks<F, 3>(n, cols, out, [cols](Ahead& ahead, std::size_t at, std::size_t m) {
        ahead.kernels = 1;
        bool any = false;
        for (std::size_t i = 0; i < m; ++i) {
            const double rate = param(cols[1], at + i);
            std::int64_t count = 0;
            const bool summed_or_none = !read_count(cols[0], at + i, count) || count < 0 || !(rate >= 0) ||
                                        rate >= kInf || (count <= 15 && rate <= 10);
            ahead.a[0][i] = summed_or_none ? kNaN : static_cast<double>(static_cast<std::uint64_t>(count) + 1u);
            ahead.x[0][i] = rate;
            any = any || !summed_or_none;
        }
        if (!any) {
            ahead.kernels = 0;
            return false;
        }
        ahead.gamma_p_each(0, m);
        return true;
    });
}

// The gamma quantile (Inverse: the inverse-gamma one) with a shape and a
// scale per element: the inverse of P at p (Inverse: at 1 - p), then P at the
// point the distribution function takes for the quantile it gives, x / scale
// (Inverse: 1 / x over 1 / scale). The shape is NaN where the parameters keep
// the kernels out: the scale must be at least eps (Inverse: positive), both
// finite.
template <auto F, bool Inverse>
void scaled_gamma_quantile_each(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    const auto shape_at = [cols](std::size_t e) {
        const double shape = param(cols[1], e), scale = param(cols[2], e);
        return positive_finite(shape) && (Inverse ? positive_finite(scale) : valid_scale(scale)) ? shape : kNaN;
    };
    // The point P is evaluated at for the kernel's quantile x and for a value
    // v of the distribution's own.
    const auto point = [cols](double x, std::size_t e) {
        const double scale = param(cols[2], e);
        return Inverse ? (1 / (scale / x)) / (1 / scale) : (x * scale) / scale;
    };
    const auto at_value = [cols](double v, std::size_t e) {
        const double scale = param(cols[2], e);
        return Inverse ? (1 / v) / (1 / scale) : v / scale;
    };
    gamma_quantile<F, 3>(
        n, cols, out,
        [cols, shape_at, point](Ahead& ahead, std::size_t at, std::size_t m) {
            ahead.kernels = 2;
            for (std::size_t i = 0; i < m; ++i) {
                ahead.a[0][i] = ahead.a[1][i] = shape_at(at + i);
                const double p = read_real(cols[0], at + i);
                ahead.x[0][i] = Inverse ? 1 - p : p;
            }
            ahead.gamma_p_inv_each(0, m);
            for (std::size_t i = 0; i < m; ++i) ahead.x[1][i] = point(ahead.value[0][i], at + i);
            ahead.gamma_p_each_after(m);
        },
        [shape_at, at_value](Ahead& ahead, const double* v, const std::size_t* pos, std::size_t m) {
            for (std::size_t i = 0; i < m; ++i) {
                ahead.a[0][i] = shape_at(pos[i]);
                ahead.x[0][i] = at_value(v[i], pos[i]);
            }
            ahead.gamma_p_each(0, m);
        },
        [cols](double v, std::size_t e) {
            const double shape = param(cols[1], e), scale = param(cols[2], e);
            return Inverse ? pinvgamma(v, shape, scale, false) : pgamma(v, shape, scale, false);
        });
}

// The gamma, chi-squared and inverse-gamma quantiles for one set of
// parameters: the inverse at p (at 1 - p), then P at the quantile it gives.
template <auto F>
void qgamma_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    if (!constant(cols[1]) || !constant(cols[2])) {
        return scaled_gamma_quantile_each<F, false>(n, cols, out);
    }
    const double shape = read_real(cols[1], 0), scale = read_real(cols[2], 0);
    if (!positive_finite(shape) || !valid_scale(scale)) return per_element<F>(n, cols, out);
    gamma_quantile<F, 3>(
        n, cols, out,
        [cols, shape, scale](Ahead& ahead, std::size_t at, std::size_t m) {
            ahead.kernels = 2;
            for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = read_real(cols[0], at + i);
            ahead.gamma_p_inv(0, shape, m);
            for (std::size_t i = 0; i < m; ++i) ahead.x[1][i] = (ahead.value[0][i] * scale) / scale;
            ahead.gamma_p_after(shape, m);
        },
        [shape, scale](Ahead& ahead, const double* v, const std::size_t*, std::size_t m) {
            for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = v[i] / scale;
            ahead.gamma_p(0, shape, m);
        },
        [shape, scale](double v, std::size_t) { return pgamma(v, shape, scale, false); });
}
template <auto F>
void qchisq_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    if (!constant(cols[1])) {
        const auto shape_at = [cols](std::size_t e) {
            const double dof = param(cols[1], e);
            return positive_finite(dof) ? dof * 0.5 : kNaN;
        };
        return gamma_quantile<F, 2>(
            n, cols, out,
            [cols, shape_at](Ahead& ahead, std::size_t at, std::size_t m) {
                ahead.kernels = 2;
                for (std::size_t i = 0; i < m; ++i) {
                    ahead.a[0][i] = ahead.a[1][i] = shape_at(at + i);
                    ahead.x[0][i] = read_real(cols[0], at + i);
                }
                ahead.gamma_p_inv_each(0, m);
                for (std::size_t i = 0; i < m; ++i) ahead.x[1][i] = (ahead.value[0][i] * 2) * 0.5;
                ahead.gamma_p_each_after(m);
            },
            [shape_at](Ahead& ahead, const double* v, const std::size_t* pos, std::size_t m) {
                for (std::size_t i = 0; i < m; ++i) {
                    ahead.a[0][i] = shape_at(pos[i]);
                    ahead.x[0][i] = v[i] * 0.5;
                }
                ahead.gamma_p_each(0, m);
            },
            [cols](double v, std::size_t e) { return pchisq(v, param(cols[1], e), false); });
    }
    if (!positive_finite(read_real(cols[1], 0))) return per_element<F>(n, cols, out);
    const double dof = read_real(cols[1], 0);
    gamma_quantile<F, 2>(
        n, cols, out,
        [cols, dof](Ahead& ahead, std::size_t at, std::size_t m) {
            ahead.kernels = 2;
            for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = read_real(cols[0], at + i);
            ahead.gamma_p_inv(0, dof * 0.5, m);
            for (std::size_t i = 0; i < m; ++i) ahead.x[1][i] = (ahead.value[0][i] * 2) * 0.5;
            ahead.gamma_p_after(dof * 0.5, m);
        },
        [dof](Ahead& ahead, const double* v, const std::size_t*, std::size_t m) {
            for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = v[i] * 0.5;
            ahead.gamma_p(0, dof * 0.5, m);
        },
        [dof](double v, std::size_t) { return pchisq(v, dof, false); });
}
template <auto F>
void qinvgamma_lanes(std::size_t n, const Column* cols, double* out) {
    using namespace lane_batch;
    if (!constant(cols[1]) || !constant(cols[2])) {
        return scaled_gamma_quantile_each<F, true>(n, cols, out);
    }
    const double shape = read_real(cols[1], 0), scale = read_real(cols[2], 0);
    if (!positive_finite(shape) || !positive_finite(scale)) return per_element<F>(n, cols, out);
    // P is evaluated at f / h with the reciprocals f = 1 / x and h = 1 / scale.
    gamma_quantile<F, 3>(
        n, cols, out,
        [cols, shape, scale](Ahead& ahead, std::size_t at, std::size_t m) {
            ahead.kernels = 2;
            for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = 1 - read_real(cols[0], at + i);
            ahead.gamma_p_inv(0, shape, m);
            for (std::size_t i = 0; i < m; ++i) ahead.x[1][i] = (1 / (scale / ahead.value[0][i])) / (1 / scale);
            ahead.gamma_p_after(shape, m);
        },
        [shape, scale](Ahead& ahead, const double* v, const std::size_t*, std::size_t m) {
            for (std::size_t i = 0; i < m; ++i) ahead.x[0][i] = (1 / v[i]) / (1 / scale);
            ahead.gamma_p(0, shape, m);
        },
        [shape, scale](double v, std::size_t) { return pinvgamma(v, shape, scale, false); });
}

}  // namespace zorvana

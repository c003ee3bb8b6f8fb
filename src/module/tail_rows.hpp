// Rows of the p- and q-functions with their flags after the parameters:
//
//   p-functions  (x, ..., log_p, lower_tail)
//   q-functions  (p, ..., lower_tail, log_p)
//
// An element whose flags are the defaults of the prescribed arithmetic (any
// log_p of a p-function with lower_tail true; lower_tail true and log_p
// false for a q-function) is computed by the prescribed function; every
// other element by the accurate function, which takes the whole row (flags
// included) and is the one zorvana.accurate registers under the same name,
// so an upper tail or a log_p quantile has the same bits in both places.
//
// The default must cost nothing: a run whose flag columns are each one value
// for all its elements goes whole to one side's batch function; on the
// prescribed side that is the function's own batch function (lanes
// included), which reads only the columns before the flags. A run whose
// flags vary is cut into stretches computed on the same side.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <tuple>

#include "distributions/sound.hpp"
#include "module/batch.hpp"

namespace zorvana {

namespace tail_detail {

// A p-function: Lower(x, params..., log_p) and Accurate(x, params..., log_p, lower_tail).
template <auto Lower, auto Accurate>
struct PSplit;

template <class X, class... P, double (*L)(X, P...), auto A>
struct PSplit<L, A> {
    // The columns the prescribed function reads; lower_tail is the next one.
    static constexpr std::size_t kCols = 1 + sizeof...(P);
    static constexpr std::size_t kAll = kCols + 1;
    static bool constant(const Column* cols) { return cols[kCols].stride == 0; }
    static bool prescribed(const Column* cols, std::size_t i) { return read_flag(cols[kCols], i); }
    static double value(X x, P... p, bool lower_tail) { return lower_tail ? L(x, p...) : A(x, p..., lower_tail); }
};

// A q-function: Lower(p, params...) and Accurate(p, params..., lower_tail, log_p).
template <auto Lower, auto Accurate>
struct QSplit;

template <class X, class... P, double (*L)(X, P...), auto A>
struct QSplit<L, A> {
    static constexpr std::size_t kCols = 1 + sizeof...(P);
    static constexpr std::size_t kAll = kCols + 2;
    static bool constant(const Column* cols) { return cols[kCols].stride == 0 && cols[kCols + 1].stride == 0; }
    static bool prescribed(const Column* cols, std::size_t i) {
        return read_flag(cols[kCols], i) && !read_flag(cols[kCols + 1], i);
    }
    static double value(X x, P... p, bool lower_tail, bool log_p) {
        return (lower_tail && !log_p) ? L(x, p...) : A(x, p..., lower_tail, log_p);
    }
};

// The accurate p-function's result kept a probability: in [0, 1], its log at
// most 0, a parameter of -0 computed as +0 (the flags are the last two
// arguments, log_p first).
template <auto F>
struct AccurateP;

template <class X, class... A, double (*F)(X, A...)>
struct AccurateP<F> {
    static double value(X x, A... a) {
        const bool log_p = std::get<sizeof...(A) - 2>(std::tuple<A...>(a...));
        return sound_detail::upper_value(F(x, sound_detail::unsigned_zero(a)...), log_p);
    }
};

template <class S, BatchFn LowerBatch, BatchFn AccurateBatch>
void split_batch(std::size_t n, const Column* cols, double* out) {
    if (S::constant(cols)) {
        (S::prescribed(cols, 0) ? LowerBatch : AccurateBatch)(n, cols, out);
        return;
    }
    Column part[S::kAll];
    for (std::size_t i = 0; i < n;) {
        const bool lower = S::prescribed(cols, i);
        std::size_t j = i + 1;
        while (j < n && S::prescribed(cols, j) == lower) ++j;
        for (std::size_t c = 0; c < S::kAll; ++c) part[c] = Column{element(cols[c], i), cols[c].stride, cols[c].kind};
        (lower ? LowerBatch : AccurateBatch)(j - i, part, out + i);
        i = j;
    }
}

}  // namespace tail_detail

// The scalar function of an accurate p-function's row.
template <auto F>
constexpr auto accurate_p = &tail_detail::AccurateP<F>::value;

// The row of a p-function: `names` end with "log_p=False", "lower_tail=True";
// `lower_batch` is the batch function the prescribed function has without
// lower_tail, `accurate_batch` that of the accurate row.
template <auto Lower, auto Accurate, BatchFn LowerBatch = per_element<Lower>,
          BatchFn AccurateBatch = per_element<Accurate>>
Row tail_row(const char* name, std::initializer_list<const char*> names) {
    using S = tail_detail::PSplit<Lower, Accurate>;
    return row<&S::value>(name, names, tail_detail::split_batch<S, LowerBatch, AccurateBatch>);
}

// The row of a q-function: `names` end with "lower_tail=True", "log_p=False".
template <auto Lower, auto Accurate, BatchFn LowerBatch = per_element<Lower>,
          BatchFn AccurateBatch = per_element<Accurate>>
Row quantile_row(const char* name, std::initializer_list<const char*> names) {
    using S = tail_detail::QSplit<Lower, Accurate>;
    return row<&S::value>(name, names, tail_detail::split_batch<S, LowerBatch, AccurateBatch>);
}

}  // namespace zorvana

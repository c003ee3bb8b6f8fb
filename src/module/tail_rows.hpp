// Rows of the p- and q-functions with their lower_tail flag, the last
// argument: each element is computed by the lower-tail function when its
// flag is true, by the upper-tail function when it is false.
//
// The default (lower_tail=True) must cost nothing: a run whose flag column
// is one true value for all its elements goes to the lower tail's own batch
// function (lanes included) unchanged, which reads only the columns before
// the flag. A run whose flags vary is cut into stretches of equal flags,
// each handed whole to the batch function of its side.
#pragma once

#include <cstddef>
#include <initializer_list>

#include "module/batch.hpp"

namespace zorvana {
namespace tail_detail {

template <auto Lower, auto Upper>
struct Split;

template <class X, class... P, double (*L)(X, P...), double (*U)(X, P...)>
struct Split<L, U> {
    // The column of the flag: after x (or p) and the parameters.
    static constexpr std::size_t kFlag = 1 + sizeof...(P);
    static double value(X x, P... p, bool lower_tail) { return lower_tail ? L(x, p...) : U(x, p...); }
};

}  // namespace tail_detail

template <auto Lower, auto Upper, BatchFn LowerBatch>
void tail_batch(std::size_t n, const Column* cols, double* out) {
    constexpr std::size_t kFlag = tail_detail::Split<Lower, Upper>::kFlag;
    const Column& flag = cols[kFlag];
    if (flag.stride == 0) {
        if (read_flag(flag, 0)) {
            LowerBatch(n, cols, out);
        } else {
            per_element<Upper>(n, cols, out);
        }
        return;
    }
    Column part[kFlag];
    for (std::size_t i = 0; i < n;) {
        const bool lower = read_flag(flag, i);
        std::size_t j = i + 1;
        while (j < n && read_flag(flag, j) == lower) ++j;
        for (std::size_t c = 0; c < kFlag; ++c) part[c] = Column{element(cols[c], i), cols[c].stride, cols[c].kind};
        (lower ? LowerBatch : per_element<Upper>)(j - i, part, out + i);
        i = j;
    }
}

// The row of a p- or q-function: `names` end with "lower_tail=True";
// `lower_batch` is the batch function the lower tail has without the flag.
template <auto Lower, auto Upper, BatchFn LowerBatch = per_element<Lower>>
Row tail_row(const char* name, std::initializer_list<const char*> names) {
    return row<&tail_detail::Split<Lower, Upper>::value>(name, names, tail_batch<Lower, Upper, LowerBatch>);
}

}  // namespace zorvana

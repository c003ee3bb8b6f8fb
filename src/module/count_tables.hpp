// A batch function for the d- and p-functions of the discrete families
// without prescribed functions: where every parameter (and flag) is the same
// for the whole run and the counts x of the run span no more values than
// the run has elements, each distinct x is computed once by the scalar
// function and its value copied to the others. The values are the scalar
// function's own, bit for bit; only repeats are saved (a mass or a tail at
// constant parameters over many counts, the common case).
#pragma once

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <utility>
#include <vector>

#include "kernels/precision.hpp"
#include "module/batch.hpp"

namespace zorvana {

namespace count_table_detail {

template <auto F>
struct Table;

template <class... A, double (*F)(std::int64_t, A...)>
struct Table<F> {
    template <std::size_t... I>
    static void run(std::size_t n, const Column* cols, double* out, std::index_sequence<I...>) {
        for (std::size_t c = 1; c <= sizeof...(A); ++c) {
            if (cols[c].stride != 0) return per_element<F>(n, cols, out);
        }
        bool missing = false;
        const std::tuple<A...> params(batch_detail::Read<A>::get(cols[I + 1], 0, missing)...);
        if (missing || n < 2) return per_element<F>(n, cols, out);
        std::int64_t lo = 0, hi = -1;
        bool any = false;
        for (std::size_t i = 0; i < n; ++i) {
            std::int64_t x;
            if (!read_count(cols[0], i, x)) continue;
            if (!any || x < lo) lo = x;
            if (!any || x > hi) hi = x;
            any = true;
        }
        if (!any || static_cast<std::uint64_t>(hi - lo) >= n) return per_element<F>(n, cols, out);
        std::vector<double> value(static_cast<std::size_t>(hi - lo) + 1);
        std::vector<char> known(value.size(), 0);
        for (std::size_t i = 0; i < n; ++i) {
            std::int64_t x;
            if (!read_count(cols[0], i, x)) {
                out[i] = kNaN;
                continue;
            }
            const auto k = static_cast<std::size_t>(x - lo);
            if (!known[k]) {
                value[k] = F(x, std::get<I>(params)...);
                known[k] = 1;
            }
            out[i] = value[k];
        }
    }
    static void batch(std::size_t n, const Column* cols, double* out) {
        run(n, cols, out, std::index_sequence_for<A...>());
    }
};

}  // namespace count_table_detail

template <auto F>
void count_table_batch(std::size_t n, const Column* cols, double* out) {
    count_table_detail::Table<F>::batch(n, cols, out);
}

}  // namespace zorvana

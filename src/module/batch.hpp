// How the element-wise loop reaches a scalar function: the batch interface.
//
// The loop (module/elementwise.cpp) broadcasts the arguments and hands each
// registry row runs of elements through one function of type BatchFn:
//
//     batch(n, cols, out)    out[i] = f(arg_0[i], ..., arg_k[i])  for i < n
//
// with one Column per argument, in the row's order. A column is a base
// pointer and a byte stride; element i of the argument sits at
// data + i * stride. A stride of 0 marks an argument that is the same for all
// n elements (a scalar, or a dimension of size 1): that is where a batch
// function hoists the work that depends on the parameters only (1 / sigma,
// log(sigma), a shape's log-gamma ...). The output run is contiguous. Runs
// are cut at the loop's block size, so n is at most a few thousand, and a
// call may get any number of runs, on any thread, in any order.
//
// The default batch function, per_element<f>, calls the scalar function once
// per element. A family that has a faster way gives its row another BatchFn
// (see row() below); the loop does not change. Whatever a batch function
// does, every output must equal the scalar function's value bit for bit
// (tests compare the array path with the all-scalar path, which always calls
// the scalar function itself).
//
// Reading the columns: a float argument is always a double column
// (Kind::real); a flag is one byte, true when nonzero (Kind::flag). An
// integer argument (a count) arrives as Kind::count (int64), as
// Kind::unsigned_count (the int64 bits of a uint64 input: negative means
// beyond the signed range) or as Kind::real (a float input, truncated toward
// zero); read it with read_count(), which says when an element has no count
// (NaN, infinite or outside the signed 64-bit range): its result is NaN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include "kernels/precision.hpp"

namespace zorvana {

enum class Kind : std::uint8_t { real, count, unsigned_count, flag };

struct Column {
    const char* data;
    std::ptrdiff_t stride;  // bytes; 0 = the same value for every element
    Kind kind;
};

using BatchFn = void (*)(std::size_t n, const Column* cols, double* out);

inline const char* element(const Column& c, std::size_t i) {
    return c.data + static_cast<std::ptrdiff_t>(i) * c.stride;
}

inline double read_real(const Column& c, std::size_t i) {
    double v;
    std::memcpy(&v, element(c, i), sizeof v);  // arrays may be unaligned
    return v;
}

inline bool read_flag(const Column& c, std::size_t i) { return *element(c, i) != 0; }

// The count of element i; false when it has none.
inline bool read_count(const Column& c, std::size_t i, std::int64_t& v) {
    switch (c.kind) {
    case Kind::count:
        std::memcpy(&v, element(c, i), sizeof v);
        return true;
    case Kind::unsigned_count:
        std::memcpy(&v, element(c, i), sizeof v);
        return v >= 0;
    default: {
        const double d = read_real(c, i);
        if (!(d >= -0x1p63 && d < 0x1p63)) return false;  // NaN too
        v = static_cast<std::int64_t>(d);
        return true;
    }
    }
}

namespace batch_detail {

template <class T>
struct Read;
template <>
struct Read<double> {
    static double get(const Column& c, std::size_t i, bool&) { return read_real(c, i); }
};
template <>
struct Read<bool> {
    static bool get(const Column& c, std::size_t i, bool&) { return read_flag(c, i); }
};
template <>
struct Read<std::int64_t> {
    static std::int64_t get(const Column& c, std::size_t i, bool& missing) {
        std::int64_t v = 0;
        if (!read_count(c, i, v)) missing = true;
        return v;
    }
};

template <class... A, std::size_t... I>
inline void per_element(double (*f)(A...), std::index_sequence<I...>, std::size_t n, const Column* cols,
                        double* out) {
    for (std::size_t i = 0; i < n; ++i) {
        bool missing = false;
        const double v = f(Read<A>::get(cols[I], i, missing)...);
        out[i] = missing ? kNaN : v;
    }
}

template <class... A>
constexpr std::index_sequence_for<A...> indices(double (*)(A...)) {
    return {};
}

}  // namespace batch_detail

// The default batch function of a scalar function F.
template <auto F>
void per_element(std::size_t n, const Column* cols, double* out) {
    batch_detail::per_element(F, batch_detail::indices(F), n, cols, out);
}

// ---- Registry rows ------------------------------------------------------

enum class ArgType : std::uint8_t { real, count, flag };
enum class Default : std::uint8_t { none, zero, one, no, yes };  // no = False, yes = True

struct ArgSpec {
    const char* name;
    ArgType type;
    Default fallback;
    bool keyword_only = false;  // written "*name=..." in a row's names
};

// One element-wise function: its Python name, its arguments in order, the
// scalar function (as a batch function of runs of one, used for all-scalar
// calls) and the batch function the loop uses for arrays.
//
// A row with a noncentrality parameter has a last, keyword-only argument
// ncp (default 0) and a second function `noncentral` (a batch function of
// all the columns, ncp the last): an element whose ncp is 0 (either sign) is
// computed by `scalar` or `batch`, which read only the columns before ncp,
// every other element by `noncentral` (see run_row).
struct Row {
    const char* name;
    std::vector<ArgSpec> args;
    BatchFn scalar;
    BatchFn batch;
    BatchFn noncentral = nullptr;
};

// Evaluates a run of a row's elements with `central` (its scalar or its
// batch function), handing the elements of nonzero ncp to its noncentral
// function in stretches.
inline void run_row(const Row& row, BatchFn central, std::size_t n, const Column* cols, double* out) {
    if (row.noncentral == nullptr) {
        central(n, cols, out);
        return;
    }
    const std::size_t k = row.args.size();
    const Column& ncp = cols[k - 1];
    if (ncp.stride == 0) {
        (read_real(ncp, 0) == 0 ? central : row.noncentral)(n, cols, out);
        return;
    }
    Column part[8];
    for (std::size_t i = 0; i < n;) {
        const bool zero = read_real(ncp, i) == 0;
        std::size_t j = i + 1;
        while (j < n && (read_real(ncp, j) == 0) == zero) ++j;
        for (std::size_t c = 0; c < k; ++c) part[c] = Column{element(cols[c], i), cols[c].stride, cols[c].kind};
        (zero ? central : row.noncentral)(j - i, part, out + i);
        i = j;
    }
}

namespace batch_detail {

template <class T>
constexpr ArgType arg_type();
template <>
constexpr ArgType arg_type<double>() { return ArgType::real; }
template <>
constexpr ArgType arg_type<std::int64_t>() { return ArgType::count; }
template <>
constexpr ArgType arg_type<bool>() { return ArgType::flag; }

template <class... A>
std::vector<ArgType> arg_types(double (*)(A...)) {
    return {arg_type<A>()...};
}

std::vector<ArgSpec> parse_args(const char* row, const std::vector<ArgType>& types,
                                std::initializer_list<const char*> names);

}  // namespace batch_detail

// A row for scalar function F, argument names written as in Python with
// their defaults ("mu=0", "sigma=1", "log=False"); the element types come
// from F's parameter types (double, std::int64_t, bool). `batch` replaces the
// default per-element loop for array calls.
template <auto F>
Row row(const char* name, std::initializer_list<const char*> names, BatchFn batch = per_element<F>) {
    return Row{name, batch_detail::parse_args(name, batch_detail::arg_types(F), names), per_element<F>, batch};
}

// The row `central` with the keyword-only ncp=0 after its arguments and
// scalar function N (the central row's arguments, then ncp) for nonzero ncp.
template <auto N>
Row with_ncp(Row central) {
    central.args.push_back(ArgSpec{"ncp", ArgType::real, Default::zero, true});
    central.noncentral = per_element<N>;
    return central;
}

}  // namespace zorvana

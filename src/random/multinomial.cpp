// The multinomial distribution: dmultinom (its mass, along the last axis)
// and rmultinom (counts drawn along a new last axis).
//
// dmultinom(x, prob, log=False): x holds the counts and prob the weights of
// the categories along their last axes (of the same length), prob
// normalised by its sum; the other axes broadcast. The mass is
// N! / prod x_i! prod pi_i^x_i in Stirling form: the Stirling remainders and
// half logarithms of N and of each nonzero x_i, and the deviances of x_i
// from N pi_i (held in double-double, so they add up to N).
//
// rmultinom(n_trials, prob, size=None, engine=None, *, dtype=None): each
// draw is a sequence of binomial draws, category by category, of the trials
// left with probability p_i over the weight left (the binomial draw of
// rbinom: one output per trial left), the last category taking the rest;
// a category whose probability is 0 or with no trials left draws nothing.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "accurate/discrete.hpp"
#include "accurate/elementary.hpp"
#include "distributions/interrupt.hpp"
#include "kernels/precision.hpp"
#include "module/threads.hpp"
#include "random/draws.hpp"
#include "random/engine.hpp"
#include "random/engine_python.hpp"
#include "random/frontends.hpp"

namespace py = pybind11;

namespace zorvana {

namespace {

using accurate::DD;
using Array = py::array_t<double, py::array::c_style | py::array::forcecast>;

constexpr double kLn2Pi = 1.8378770664093454836;

bool is_count(double v) { return v >= 0 && v < 0x1p53 && v == std::floor(v); }

std::string shape_text(const std::vector<py::ssize_t>& s) {
    std::string t = "(";
    for (std::size_t i = 0; i < s.size(); ++i) t += (i ? ", " : "") + std::to_string(s[i]);
    return t + (s.size() == 1 ? ",)" : ")");
}

// The broadcast shape of two shapes, false where they do not broadcast.
bool broadcast(const std::vector<py::ssize_t>& a, const std::vector<py::ssize_t>& b, std::vector<py::ssize_t>& out) {
    const std::size_t n = std::max(a.size(), b.size());
    out.assign(n, 1);
    for (std::size_t i = 0; i < n; ++i) {
        const py::ssize_t da = i < a.size() ? a[a.size() - 1 - i] : 1;
        const py::ssize_t db = i < b.size() ? b[b.size() - 1 - i] : 1;
        if (da != db && da != 1 && db != 1) return false;
        out[n - 1 - i] = da == 1 ? db : da;
    }
    return true;
}

// Element offsets (in elements of `row` doubles) of each position of `shape`
// in an array of leading shape `lead` (broadcast to it).
std::vector<py::ssize_t> offsets(const std::vector<py::ssize_t>& shape, const std::vector<py::ssize_t>& lead,
                                 py::ssize_t row) {
    py::ssize_t n = 1;
    for (py::ssize_t d : shape) n *= d;
    std::vector<py::ssize_t> out(static_cast<std::size_t>(n));
    std::vector<py::ssize_t> stride(shape.size(), 0);
    py::ssize_t s = row;
    for (std::size_t i = 0; i < lead.size(); ++i) {
        const std::size_t d = lead.size() - 1 - i;
        const std::size_t o = shape.size() - 1 - i;
        stride[o] = lead[d] == 1 ? 0 : s;
        s *= lead[d];
    }
    std::vector<py::ssize_t> idx(shape.size(), 0);
    for (py::ssize_t k = 0; k < n; ++k) {
        py::ssize_t off = 0;
        for (std::size_t i = 0; i < shape.size(); ++i) off += idx[i] * stride[i];
        out[static_cast<std::size_t>(k)] = off;
        for (std::size_t i = shape.size(); i-- > 0;) {
            if (++idx[i] < shape[i]) break;
            idx[i] = 0;
        }
    }
    return out;
}

std::vector<py::ssize_t> shape_of(const py::array& a) { return std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim()); }

double log_multinomial(const double* x, const double* prob, py::ssize_t k) {
    DD total{0.0, 0.0};
    double n = 0;
    for (py::ssize_t i = 0; i < k; ++i) {
        if (!is_count(x[i]) || !(prob[i] >= 0 && prob[i] < kInf)) return kNaN;
        total = accurate::dd_add(total, prob[i]);
        n += x[i];
    }
    if (!(total.hi > 0) || !(n < 0x1p53)) return kNaN;
    if (n == 0) return 0;
    DD dev{0.0, 0.0};
    double rest = accurate::lgamma_correction(n) + 0.5 * (kLn2Pi + accurate::log(n));
    for (py::ssize_t i = 0; i < k; ++i) {
        if (prob[i] == 0) {
            if (x[i] > 0) return -kInf;
            continue;
        }
        dev = accurate::dd_add(dev, accurate::deviance_dd(x[i], accurate::dd_div(accurate::two_prod(n, prob[i]), total)));
        if (x[i] > 0) rest -= accurate::lgamma_correction(x[i]) + 0.5 * (kLn2Pi + accurate::log(x[i]));
    }
    const DD l = accurate::dd_add(accurate::dd_neg(dev), rest);
    return l.hi + l.lo;
}

py::object dmultinom(const py::object& x_in, const py::object& prob_in, bool log) {
    const Array x = Array::ensure(x_in);
    const Array prob = Array::ensure(prob_in);
    if (!x || !prob) throw py::error_already_set();
    if (x.ndim() < 1 || prob.ndim() < 1) throw py::value_error("dmultinom: x and prob need a last axis (the categories)");
    const std::vector<py::ssize_t> xs = shape_of(x), ps = shape_of(prob);
    const py::ssize_t k = xs.back();
    if (ps.back() != k) {
        throw py::value_error("dmultinom: x and prob have last axes of different lengths (" + std::to_string(k) +
                              " and " + std::to_string(ps.back()) + ")");
    }
    const std::vector<py::ssize_t> xl(xs.begin(), xs.end() - 1), pl(ps.begin(), ps.end() - 1);
    std::vector<py::ssize_t> lead;
    if (!broadcast(xl, pl, lead)) {
        throw py::value_error("dmultinom: the shapes " + shape_text(xs) + " of x and " + shape_text(ps) +
                              " of prob do not broadcast");
    }
    const std::vector<py::ssize_t> xo = offsets(lead, xl, k), po = offsets(lead, pl, k);
    py::array_t<double> out(lead);
    double* o = out.mutable_data();
    const double* xd = x.data();
    const double* pd = prob.data();
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < xo.size(); ++i) {
            const double l = log_multinomial(xd + xo[i], pd + po[i], k);
            o[i] = log ? l : accurate::exp(l);
        }
    }
    if (lead.empty()) return py::float_(o[0]);
    return std::move(out);
}

bool wants_int(const py::object& dtype) {
    if (dtype.is_none() || dtype.ptr() == reinterpret_cast<PyObject*>(&PyFloat_Type)) return false;
    if (dtype.ptr() == reinterpret_cast<PyObject*>(&PyLong_Type)) return true;
    const py::dtype dt = py::dtype::from_args(dtype);
    if (dt.is(py::dtype::of<std::int64_t>()) || (dt.kind() == 'i' && dt.itemsize() == 8)) return true;
    if (dt.kind() == 'f' && dt.itemsize() == 8) return false;
    throw py::value_error("rmultinom: dtype must be float64 or int64 (or float or int), not " +
                          std::string(py::str(dtype)));
}

// One draw into out[0..k), NaN throughout (nothing drawn) for invalid
// parameters; false when interrupted.
bool draw_one(double n, const double* prob, py::ssize_t k, double* out, Mt19937_64& gen) {
    bool ok = is_count(n) && n < 0x1p62;
    std::vector<double> suffix(static_cast<std::size_t>(k) + 1, 0.0);
    DD s{0.0, 0.0};
    for (py::ssize_t i = k; i-- > 0;) {
        if (!(prob[i] >= 0 && prob[i] < kInf)) ok = false;
        s = accurate::dd_add(s, prob[i]);
        suffix[static_cast<std::size_t>(i)] = s.hi + s.lo;
    }
    if (!ok || !(suffix[0] > 0)) {
        for (py::ssize_t i = 0; i < k; ++i) out[i] = kNaN;
        return true;
    }
    auto left = static_cast<std::int64_t>(n);
    for (py::ssize_t i = 0; i < k; ++i) {
        double c = 0;
        if (i == k - 1 || suffix[static_cast<std::size_t>(i + 1)] == 0) {
            c = static_cast<double>(left);
        } else if (left > 0 && prob[i] > 0) {
            double q = prob[i] / suffix[static_cast<std::size_t>(i)];
            if (q > 1) q = 1;
            c = rbinom_unchecked(left, q, gen);
            if (is_nan(c)) return false;
        }
        out[i] = c;
        left -= static_cast<std::int64_t>(c);
        if (i == k - 1 || suffix[static_cast<std::size_t>(i + 1)] == 0) {
            for (py::ssize_t j = i + 1; j < k; ++j) out[j] = 0;
            break;
        }
    }
    return true;
}

py::object rmultinom(const py::object& n_in, const py::object& prob_in, const py::object& size,
                     const py::object& engine_in, const py::object& dtype) {
    const bool integers = wants_int(dtype);
    Engine& engine = engine_in.is_none() ? default_engine() : engine_in.cast<Engine&>();
    const Array n = Array::ensure(n_in);
    const Array prob = Array::ensure(prob_in);
    if (!n || !prob) throw py::error_already_set();
    if (prob.ndim() < 1) throw py::value_error("rmultinom: prob needs a last axis (the categories)");
    const std::vector<py::ssize_t> ns = shape_of(n), ps = shape_of(prob);
    const py::ssize_t k = ps.back();
    const std::vector<py::ssize_t> pl(ps.begin(), ps.end() - 1);
    std::vector<py::ssize_t> lead;
    if (!broadcast(ns, pl, lead)) {
        throw py::value_error("rmultinom: the shapes " + shape_text(ns) + " of n_trials and " + shape_text(ps) +
                              " of prob do not broadcast");
    }
    if (!size.is_none()) {
        std::vector<py::ssize_t> want;
        if (py::isinstance<py::int_>(size)) {
            want.push_back(size.cast<py::ssize_t>());
        } else {
            for (const py::handle d : size) want.push_back(d.cast<py::ssize_t>());
        }
        for (py::ssize_t d : want) {
            if (d < 0) throw py::value_error("rmultinom: negative dimensions are not allowed");
        }
        std::vector<py::ssize_t> joint;
        if (!broadcast(lead, want, joint) || joint != want) {
            throw py::value_error("rmultinom: parameters of shape " + shape_text(lead) +
                                  " do not broadcast to size " + shape_text(want));
        }
        lead = want;
    }
    const std::vector<py::ssize_t> no = offsets(lead, ns, 1), po = offsets(lead, pl, k);
    std::vector<py::ssize_t> full = lead;
    full.push_back(k);
    py::array_t<double> out(full);
    double* o = out.mutable_data();
    const double* nd = n.data();
    const double* pd = prob.data();
    {
        const EngineHold hold(engine);
        std::atomic<bool> cancel{false};
        PyThreadState* released = PyEval_SaveThread();
        {
            CallWatch watch(cancel, &released);
            Mt19937_64& gen = engine.generator();
            for (std::size_t i = 0; i < no.size(); ++i) {
                if (!draw_one(nd[no[i]], pd + po[i], k, o + static_cast<py::ssize_t>(i) * k, gen) || watch.stop()) {
                    break;
                }
            }
        }
        PyEval_RestoreThread(released);
        if (cancel.load()) throw py::error_already_set();
    }
    if (!integers) return std::move(out);
    for (py::ssize_t i = 0; i < out.size(); ++i) {
        if (is_nan(o[i])) throw py::value_error("rmultinom: a draw of invalid parameters has no int64 value");
    }
    return out.attr("astype")(py::dtype::of<std::int64_t>());
}

}  // namespace

void register_multinomial(py::module_& m, py::module_& accurate) {
    for (py::module_* mod : {&m, &accurate}) {
        mod->def("dmultinom", &dmultinom, py::arg("x"), py::arg("prob"), py::arg("log") = false);
    }
    m.def("rmultinom", &rmultinom, py::arg("n_trials"), py::arg("prob"), py::arg("size") = py::none(),
          py::arg("engine") = py::none(), py::kw_only(), py::arg("dtype") = py::none());
}

}  // namespace zorvana

// Python side of the draws: the Engine class, the default engine and the
// seventeen draw functions, each with a scalar, a shape and a size overload.
#include "random/frontends.hpp"

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "kernels/precision.hpp"
#include "random/draws.hpp"
#include "random/mt19937_64.hpp"

namespace py = pybind11;

namespace zorvana {

namespace {

// Owns one generator, seeded from a signed 32-bit seed sign-extended to 64
// bits (-1 seeds with all bits set). Nothing but the constructor is exposed.
class Engine {
public:
    explicit Engine(std::int32_t seed)
        : gen_(std::make_unique<Mt19937_64>(static_cast<std::uint64_t>(static_cast<std::int64_t>(seed)))) {}
    Mt19937_64& generator() { return *gen_; }

private:
    std::unique_ptr<Mt19937_64> gen_;
};

// The draw's function type, written so that the parameter types P are
// deduced from the parameter test alone.
template <class... P>
struct DrawFn {
    using type = double (*)(P..., Mt19937_64&);
};

// Fills a new float64 array of the given shape (row-major): nothing is tested
// or drawn when it has no elements; a failing parameter test gives all NaN
// without drawing; otherwise element i is the (i + 1)-th successive draw.
template <class... P>
py::array_t<double> fill(const std::vector<py::ssize_t>& dims, bool (*valid)(P...),
                         typename DrawFn<P...>::type draw, Mt19937_64& gen, P... params) {
    py::array_t<double> out(dims);
    const py::ssize_t n = out.size();
    if (n == 0) return out;
    double* data = out.mutable_data();
    if (!valid(params...)) {
        for (py::ssize_t i = 0; i < n; ++i) data[i] = kNaN;
        return out;
    }
    for (py::ssize_t i = 0; i < n; ++i) data[i] = draw(params..., gen);
    return out;
}

// Registers one draw function: scalar form, shape form (size a list of
// integers), size form (size one integer), in that order, so that the
// dispatcher tries them in that order. `engine` is taken by reference: None
// converts to a null reference and the cast then raises the binding layer's
// reference_cast_error, which makes the dispatcher try the next overload.
template <class... P, class... Args>
void def_draw(py::module_& m, const char* name, bool (*valid)(P...), typename DrawFn<P...>::type draw,
              const py::object& default_engine, Args... params) {
    // The overload listings show this text for the default instead of the
    // default engine's address.
    const py::arg_v engine_arg("engine", default_engine, "<default Engine>");
    m.def(
        name,
        [valid, draw](P... p, Engine& e) { return valid(p...) ? draw(p..., e.generator()) : kNaN; },
        params..., engine_arg);
    m.def(
        name,
        [valid, draw](P... p, const std::vector<std::uint64_t>& size, Engine& e) {
            // A dimension of 2^63 or more turns negative here and the array
            // library refuses it with its own exception.
            const std::vector<py::ssize_t> dims(size.begin(), size.end());
            return fill<P...>(dims, valid, draw, e.generator(), p...);
        },
        params..., py::arg("size"), engine_arg);
    m.def(
        name,
        [valid, draw](P... p, std::uint64_t size, Engine& e) {
            const std::vector<py::ssize_t> dims{static_cast<py::ssize_t>(size)};
            return fill<P...>(dims, valid, draw, e.generator(), p...);
        },
        params..., py::arg("size"), engine_arg);
}

}  // namespace

void register_draws(py::module_& m) {
    // The seed is positional only: no keyword name.
    py::class_<Engine>(m, "Engine").def(py::init<std::int32_t>());

    // The one default engine, made through the module's own attribute and
    // shared by every overload of every draw function as its `engine` default.
    const py::object engine = m.attr("Engine")(1);

    using py::arg;
    def_draw(m, "rnorm", rnorm_valid, rnorm_unchecked, engine, arg("mu") = 0, arg("sigma") = 1);
    def_draw(m, "rbern", rbern_valid, rbern_unchecked, engine, arg("prob"));
    def_draw(m, "rbeta", rbeta_valid, rbeta_unchecked, engine, arg("a"), arg("b"));
    def_draw(m, "rbinom", rbinom_valid, rbinom_unchecked, engine, arg("n_trials"), arg("prob"));
    def_draw(m, "rcauchy", rcauchy_valid, rcauchy_unchecked, engine, arg("mu"), arg("sigma"));
    def_draw(m, "rchisq", rchisq_valid, rchisq_unchecked, engine, arg("dof"));
    def_draw(m, "rexp", rexp_valid, rexp_unchecked, engine, arg("rate"));
    def_draw(m, "rf", rf_valid, rf_unchecked, engine, arg("df1"), arg("df2"));
    def_draw(m, "rgamma", rgamma_valid, rgamma_unchecked, engine, arg("shape"), arg("scale"));
    def_draw(m, "rinvgamma", rinvgamma_valid, rinvgamma_unchecked, engine, arg("shape"), arg("scale"));
    def_draw(m, "rlaplace", rlaplace_valid, rlaplace_unchecked, engine, arg("mu"), arg("sigma"));
    def_draw(m, "rlnorm", rlnorm_valid, rlnorm_unchecked, engine, arg("mu"), arg("sigma"));
    def_draw(m, "rlogis", rlogis_valid, rlogis_unchecked, engine, arg("mu"), arg("sigma"));
    def_draw(m, "rpois", rpois_valid, rpois_unchecked, engine, arg("rate"));
    def_draw(m, "rt", rt_valid, rt_unchecked, engine, arg("dof"));
    def_draw(m, "runif", runif_valid, runif_unchecked, engine, arg("a"), arg("b"));
    def_draw(m, "rweibull", rweibull_valid, rweibull_unchecked, engine, arg("shape"), arg("scale"));
}

}  // namespace zorvana

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

// Fills a new float64 array of the given shape (row-major): nothing is tested
// or drawn when it has no elements; a failing parameter test gives all NaN
// without drawing; otherwise element i is the (i + 1)-th successive draw,
// the draw called directly in one loop.
template <auto Draw, class... P>
py::array_t<double> fill(const std::vector<py::ssize_t>& dims, bool (*valid)(P...), Mt19937_64& gen,
                         P... params) {
    py::array_t<double> out(dims);
    const py::ssize_t n = out.size();
    if (n == 0) return out;
    double* data = out.mutable_data();
    if (!valid(params...)) {
        for (py::ssize_t i = 0; i < n; ++i) data[i] = kNaN;
        return out;
    }
    for (py::ssize_t i = 0; i < n; ++i) data[i] = Draw(params..., gen);
    return out;
}

// Registers one draw function: scalar form, shape form (size a list of
// integers), size form (size one integer), in that order, so that the
// dispatcher tries them in that order. `engine` is taken by reference: None
// converts to a null reference and the cast then raises the binding layer's
// reference_cast_error, which makes the dispatcher try the next overload.
template <auto Draw, class... P, class... Args>
void def_draw(py::module_& m, const char* name, bool (*valid)(P...), const py::object& default_engine,
              Args... params) {
    // The overload listings show this text for the default instead of the
    // default engine's address.
    const py::arg_v engine_arg("engine", default_engine, "<default Engine>");
    m.def(
        name,
        [valid](P... p, Engine& e) { return valid(p...) ? Draw(p..., e.generator()) : kNaN; },
        params..., engine_arg);
    m.def(
        name,
        [valid](P... p, const std::vector<std::uint64_t>& size, Engine& e) {
            // A dimension of 2^63 or more turns negative here and the array
            // library refuses it with its own exception.
            const std::vector<py::ssize_t> dims(size.begin(), size.end());
            return fill<Draw, P...>(dims, valid, e.generator(), p...);
        },
        params..., py::arg("size"), engine_arg);
    m.def(
        name,
        [valid](P... p, std::uint64_t size, Engine& e) {
            const std::vector<py::ssize_t> dims{static_cast<py::ssize_t>(size)};
            return fill<Draw, P...>(dims, valid, e.generator(), p...);
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
    def_draw<rnorm_unchecked>(m, "rnorm", rnorm_valid, engine, arg("mu") = 0, arg("sigma") = 1);
    def_draw<rbern_unchecked>(m, "rbern", rbern_valid, engine, arg("prob"));
    def_draw<rbeta_unchecked>(m, "rbeta", rbeta_valid, engine, arg("a"), arg("b"));
    def_draw<rbinom_unchecked>(m, "rbinom", rbinom_valid, engine, arg("n_trials"), arg("prob"));
    def_draw<rcauchy_unchecked>(m, "rcauchy", rcauchy_valid, engine, arg("mu"), arg("sigma"));
    def_draw<rchisq_unchecked>(m, "rchisq", rchisq_valid, engine, arg("dof"));
    def_draw<rexp_unchecked>(m, "rexp", rexp_valid, engine, arg("rate"));
    def_draw<rf_unchecked>(m, "rf", rf_valid, engine, arg("df1"), arg("df2"));
    def_draw<rgamma_unchecked>(m, "rgamma", rgamma_valid, engine, arg("shape"), arg("scale"));
    def_draw<rinvgamma_unchecked>(m, "rinvgamma", rinvgamma_valid, engine, arg("shape"), arg("scale"));
    def_draw<rlaplace_unchecked>(m, "rlaplace", rlaplace_valid, engine, arg("mu"), arg("sigma"));
    def_draw<rlnorm_unchecked>(m, "rlnorm", rlnorm_valid, engine, arg("mu"), arg("sigma"));
    def_draw<rlogis_unchecked>(m, "rlogis", rlogis_valid, engine, arg("mu"), arg("sigma"));
    def_draw<rpois_unchecked>(m, "rpois", rpois_valid, engine, arg("rate"));
    def_draw<rt_unchecked>(m, "rt", rt_valid, engine, arg("dof"));
    def_draw<runif_unchecked>(m, "runif", runif_valid, engine, arg("a"), arg("b"));
    def_draw<rweibull_unchecked>(m, "rweibull", rweibull_valid, engine, arg("shape"), arg("scale"));
}

}  // namespace zorvana

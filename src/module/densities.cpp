// Registry rows of the d-functions. Each row: Python name, scalar function,
// argument names in positional order with their defaults. py::vectorize turns
// the scalar function into a broadcasting element-wise function whose
// argument element types follow the scalar signature (double -> float64,
// std::int64_t -> int64, bool -> bool). Every scalar function is registered
// through its adapter of distributions/sound.hpp: sound_density, sound_mass
// for the three probability masses, and sound for the p- and q-functions.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/registry.hpp"

namespace py = pybind11;

namespace zorvana {

void register_densities(py::module_& m) {
    using py::arg;
    m.def("dnorm", py::vectorize(sound_density<dnorm>), arg("x"), arg("mu") = 0, arg("sigma") = 1, arg("log") = false);
    m.def("dbern", py::vectorize(sound_mass<dbern>), arg("x"), arg("prob"), arg("log") = false);
    m.def("dbeta", py::vectorize(sound_density<dbeta>), arg("x"), arg("a"), arg("b"), arg("log") = false);
    m.def("dbinom", py::vectorize(sound_mass<dbinom>), arg("x"), arg("n_trials"), arg("prob"), arg("log") = false);
    m.def("dcauchy", py::vectorize(sound_density<dcauchy>), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dchisq", py::vectorize(sound_density<dchisq>), arg("x"), arg("dof"), arg("log") = false);
    m.def("dexp", py::vectorize(sound_density<dexp>), arg("x"), arg("rate"), arg("log") = false);
    m.def("df", py::vectorize(sound_density<df>), arg("x"), arg("df1"), arg("df2"), arg("log") = false);
    m.def("dgamma", py::vectorize(sound_density<dgamma>), arg("x"), arg("shape"), arg("scale"), arg("log") = false);
    m.def("dinvgamma", py::vectorize(sound_density<dinvgamma>),
          arg("x"), arg("shape"), arg("scale"), arg("log") = false);
    m.def("dlaplace", py::vectorize(sound_density<dlaplace>), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dlnorm", py::vectorize(sound_density<dlnorm>), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dlogis", py::vectorize(sound_density<dlogis>), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dpois", py::vectorize(sound_mass<dpois>), arg("x"), arg("rate"), arg("log") = false);
    m.def("dt", py::vectorize(sound_density<dt>), arg("x"), arg("dof"), arg("log") = false);
    m.def("dunif", py::vectorize(sound_density<dunif>), arg("x"), arg("a"), arg("b"), arg("log") = false);
    m.def("dweibull", py::vectorize(sound_density<dweibull>), arg("x"), arg("shape"), arg("scale"), arg("log") = false);
}

}  // namespace zorvana

// Registry rows of the p-functions (see densities.cpp for the row layout).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/registry.hpp"

namespace py = pybind11;

namespace zorvana {

void register_distribution_functions(py::module_& m) {
    using py::arg;
    m.def("pnorm", py::vectorize(sound<pnorm>), arg("x"), arg("mu") = 0, arg("sigma") = 1, arg("log_p") = false);
    m.def("pbern", py::vectorize(sound<pbern>), arg("x"), arg("prob"), arg("log_p") = false);
    m.def("pbeta", py::vectorize(sound<pbeta>), arg("x"), arg("a"), arg("b"), arg("log_p") = false);
    m.def("pbinom", py::vectorize(sound<pbinom>), arg("x"), arg("n_trials"), arg("prob"), arg("log_p") = false);
    m.def("pcauchy", py::vectorize(sound<pcauchy>), arg("x"), arg("mu"), arg("sigma"), arg("log_p") = false);
    m.def("pchisq", py::vectorize(sound<pchisq>), arg("x"), arg("dof"), arg("log_p") = false);
    m.def("pexp", py::vectorize(sound<pexp>), arg("x"), arg("rate"), arg("log_p") = false);
    m.def("pf", py::vectorize(sound<pf>), arg("x"), arg("df1"), arg("df2"), arg("log_p") = false);
    m.def("pgamma", py::vectorize(sound<pgamma>), arg("x"), arg("shape"), arg("scale"), arg("log_p") = false);
    m.def("pinvgamma", py::vectorize(sound<pinvgamma>), arg("x"), arg("shape"), arg("scale"), arg("log_p") = false);
    m.def("plaplace", py::vectorize(sound<plaplace>), arg("x"), arg("mu"), arg("sigma"), arg("log_p") = false);
    m.def("plnorm", py::vectorize(sound<plnorm>), arg("x"), arg("mu"), arg("sigma"), arg("log_p") = false);
    m.def("plogis", py::vectorize(sound<plogis>), arg("x"), arg("mu"), arg("sigma"), arg("log_p") = false);
    m.def("ppois", py::vectorize(sound<ppois>), arg("x"), arg("rate"), arg("log_p") = false);
    m.def("pt", py::vectorize(sound<pt>), arg("x"), arg("dof"), arg("log_p") = false);
    m.def("punif", py::vectorize(sound<punif>), arg("x"), arg("a"), arg("b"), arg("log_p") = false);
    m.def("pweibull", py::vectorize(sound<pweibull>), arg("x"), arg("shape"), arg("scale"), arg("log_p") = false);
}

}  // namespace zorvana

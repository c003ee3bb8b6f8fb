// Registry rows of the d-functions. Each row: Python name, scalar function,
// argument names in positional order with their defaults. py::vectorize turns
// the scalar function into a broadcasting element-wise function whose
// argument element types follow the scalar signature (double -> float64,
// std::int64_t -> int64, bool -> bool).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "distributions/distributions.hpp"
#include "module/registry.hpp"

namespace py = pybind11;

namespace zorvana {

void register_densities(py::module_& m) {
    using py::arg;
    m.def("dnorm", py::vectorize(dnorm), arg("x"), arg("mu") = 0, arg("sigma") = 1, arg("log") = false);
    m.def("dbern", py::vectorize(dbern), arg("x"), arg("prob"), arg("log") = false);
    m.def("dbeta", py::vectorize(dbeta), arg("x"), arg("a"), arg("b"), arg("log") = false);
    m.def("dbinom", py::vectorize(dbinom), arg("x"), arg("n_trials"), arg("prob"), arg("log") = false);
    m.def("dcauchy", py::vectorize(dcauchy), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dchisq", py::vectorize(dchisq), arg("x"), arg("dof"), arg("log") = false);
    m.def("dexp", py::vectorize(dexp), arg("x"), arg("rate"), arg("log") = false);
    m.def("df", py::vectorize(df), arg("x"), arg("df1"), arg("df2"), arg("log") = false);
    m.def("dgamma", py::vectorize(dgamma), arg("x"), arg("shape"), arg("scale"), arg("log") = false);
    m.def("dinvgamma", py::vectorize(dinvgamma), arg("x"), arg("shape"), arg("scale"), arg("log") = false);
    m.def("dlaplace", py::vectorize(dlaplace), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dlnorm", py::vectorize(dlnorm), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dlogis", py::vectorize(dlogis), arg("x"), arg("mu"), arg("sigma"), arg("log") = false);
    m.def("dpois", py::vectorize(dpois), arg("x"), arg("rate"), arg("log") = false);
    m.def("dt", py::vectorize(dt), arg("x"), arg("dof"), arg("log") = false);
    m.def("dunif", py::vectorize(dunif), arg("x"), arg("a"), arg("b"), arg("log") = false);
    m.def("dweibull", py::vectorize(dweibull), arg("x"), arg("shape"), arg("scale"), arg("log") = false);
}

}  // namespace zorvana

// Registry rows of the q-functions (see densities.cpp for the row layout).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "distributions/distributions.hpp"
#include "module/registry.hpp"

namespace py = pybind11;

namespace zorvana {

void register_quantiles(py::module_& m) {
    using py::arg;
    m.def("qnorm", py::vectorize(qnorm), arg("p"), arg("mu") = 0, arg("sigma") = 1);
    m.def("qbern", py::vectorize(qbern), arg("p"), arg("prob"));
    m.def("qbeta", py::vectorize(qbeta), arg("p"), arg("a"), arg("b"));
    m.def("qbinom", py::vectorize(qbinom), arg("p"), arg("n_trials"), arg("prob"));
    m.def("qcauchy", py::vectorize(qcauchy), arg("p"), arg("mu"), arg("sigma"));
    m.def("qchisq", py::vectorize(qchisq), arg("p"), arg("dof"));
    m.def("qexp", py::vectorize(qexp), arg("p"), arg("rate"));
    m.def("qf", py::vectorize(qf), arg("p"), arg("df1"), arg("df2"));
    m.def("qgamma", py::vectorize(qgamma), arg("p"), arg("shape"), arg("scale"));
    m.def("qinvgamma", py::vectorize(qinvgamma), arg("p"), arg("shape"), arg("scale"));
    m.def("qlaplace", py::vectorize(qlaplace), arg("p"), arg("mu"), arg("sigma"));
    m.def("qlnorm", py::vectorize(qlnorm), arg("p"), arg("mu"), arg("sigma"));
    m.def("qlogis", py::vectorize(qlogis), arg("p"), arg("mu"), arg("sigma"));
    m.def("qpois", py::vectorize(qpois), arg("p"), arg("rate"));
    m.def("qt", py::vectorize(qt), arg("p"), arg("dof"));
    m.def("qunif", py::vectorize(qunif), arg("p"), arg("a"), arg("b"));
    m.def("qweibull", py::vectorize(qweibull), arg("p"), arg("shape"), arg("scale"));
}

}  // namespace zorvana

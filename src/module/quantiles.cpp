// Registry rows of the q-functions (see densities.cpp for the row layout).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/registry.hpp"

namespace py = pybind11;

namespace zorvana {

void register_quantiles(py::module_& m) {
    using py::arg;
    m.def("qnorm", py::vectorize(sound<qnorm>), arg("p"), arg("mu") = 0, arg("sigma") = 1);
    m.def("qbern", py::vectorize(sound<qbern>), arg("p"), arg("prob"));
    m.def("qbeta", py::vectorize(sound<qbeta>), arg("p"), arg("a"), arg("b"));
    m.def("qbinom", py::vectorize(sound<qbinom>), arg("p"), arg("n_trials"), arg("prob"));
    m.def("qcauchy", py::vectorize(sound<qcauchy>), arg("p"), arg("mu"), arg("sigma"));
    m.def("qchisq", py::vectorize(sound<qchisq>), arg("p"), arg("dof"));
    m.def("qexp", py::vectorize(sound<qexp>), arg("p"), arg("rate"));
    m.def("qf", py::vectorize(sound<qf>), arg("p"), arg("df1"), arg("df2"));
    m.def("qgamma", py::vectorize(sound<qgamma>), arg("p"), arg("shape"), arg("scale"));
    m.def("qinvgamma", py::vectorize(sound<qinvgamma>), arg("p"), arg("shape"), arg("scale"));
    m.def("qlaplace", py::vectorize(sound<qlaplace>), arg("p"), arg("mu"), arg("sigma"));
    m.def("qlnorm", py::vectorize(sound<qlnorm>), arg("p"), arg("mu"), arg("sigma"));
    m.def("qlogis", py::vectorize(sound<qlogis>), arg("p"), arg("mu"), arg("sigma"));
    m.def("qpois", py::vectorize(sound<qpois>), arg("p"), arg("rate"));
    m.def("qt", py::vectorize(sound<qt>), arg("p"), arg("dof"));
    m.def("qunif", py::vectorize(sound<qunif>), arg("p"), arg("a"), arg("b"));
    m.def("qweibull", py::vectorize(sound<qweibull>), arg("p"), arg("shape"), arg("scale"));
}

}  // namespace zorvana

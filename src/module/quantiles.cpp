// Registry rows of the q-functions (see densities.cpp for the row layout).
#include "distributions/distributions.hpp"
#include "module/registry.hpp"

namespace zorvana {

std::vector<Row> quantile_rows() {
    return {
        row<qnorm>("qnorm", {"p", "mu=0", "sigma=1"}),
        row<qbern>("qbern", {"p", "prob"}),
        row<qbeta>("qbeta", {"p", "a", "b"}),
        row<qbinom>("qbinom", {"p", "n_trials", "prob"}),
        row<qcauchy>("qcauchy", {"p", "mu", "sigma"}),
        row<qchisq>("qchisq", {"p", "dof"}),
        row<qexp>("qexp", {"p", "rate"}),
        row<qf>("qf", {"p", "df1", "df2"}),
        row<qgamma>("qgamma", {"p", "shape", "scale"}),
        row<qinvgamma>("qinvgamma", {"p", "shape", "scale"}),
        row<qlaplace>("qlaplace", {"p", "mu", "sigma"}),
        row<qlnorm>("qlnorm", {"p", "mu", "sigma"}),
        row<qlogis>("qlogis", {"p", "mu", "sigma"}),
        row<qpois>("qpois", {"p", "rate"}),
        row<qt>("qt", {"p", "dof"}),
        row<qunif>("qunif", {"p", "a", "b"}),
        row<qweibull>("qweibull", {"p", "shape", "scale"}),
    };
}

}  // namespace zorvana

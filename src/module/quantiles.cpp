// Registry rows of the q-functions (see densities.cpp for the row layout).
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"

namespace zorvana {

std::vector<Row> quantile_rows() {
    return {
        row<sound<qnorm>>("qnorm", {"p", "mu=0", "sigma=1"}, qnorm_lanes<sound<qnorm>>),
        row<sound<qbern>>("qbern", {"p", "prob"}),
        row<sound<qbeta>>("qbeta", {"p", "a", "b"}),
        row<sound<qbinom>>("qbinom", {"p", "n_trials", "prob"}),
        row<sound<qcauchy>>("qcauchy", {"p", "mu", "sigma"}),
        row<sound<qchisq>>("qchisq", {"p", "dof"}, qchisq_lanes<sound<qchisq>>),
        row<sound<qexp>>("qexp", {"p", "rate"}),
        row<sound<qf>>("qf", {"p", "df1", "df2"}),
        row<sound<qgamma>>("qgamma", {"p", "shape", "scale"}, qgamma_lanes<sound<qgamma>>),
        row<sound<qinvgamma>>("qinvgamma", {"p", "shape", "scale"}, qinvgamma_lanes<sound<qinvgamma>>),
        row<sound<qlaplace>>("qlaplace", {"p", "mu", "sigma"}),
        row<sound<qlnorm>>("qlnorm", {"p", "mu", "sigma"}, qlnorm_lanes<sound<qlnorm>>),
        row<sound<qlogis>>("qlogis", {"p", "mu", "sigma"}),
        row<sound<qpois>>("qpois", {"p", "rate"}, qpois_lanes<sound<qpois>>),
        row<sound<qt>>("qt", {"p", "dof"}, qt_lanes<sound<qt>>),
        row<sound<qunif>>("qunif", {"p", "a", "b"}),
        row<sound<qweibull>>("qweibull", {"p", "shape", "scale"}),
    };
}

}  // namespace zorvana

// Registry rows of the q-functions (see densities.cpp for the row layout),
// each with its upper tail behind the lower_tail flag (module/tail_rows.hpp).
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"
#include "module/tail_rows.hpp"
#include "tails/tails.hpp"

namespace zorvana {

std::vector<Row> quantile_rows() {
    return {
        tail_row<sound<qnorm>, sound<qnorm_upper>, qnorm_lanes<sound<qnorm>>>(
            "qnorm", {"p", "mu=0", "sigma=1", "lower_tail=True"}),
        tail_row<sound<qbern>, sound<qbern_upper>>("qbern", {"p", "prob", "lower_tail=True"}),
        tail_row<sound<qbeta>, sound<qbeta_upper>>("qbeta", {"p", "a", "b", "lower_tail=True"}),
        tail_row<sound<qbinom>, sound<qbinom_upper>>("qbinom", {"p", "n_trials", "prob", "lower_tail=True"}),
        tail_row<sound<qcauchy>, sound<qcauchy_upper>>("qcauchy", {"p", "mu=0", "sigma=1", "lower_tail=True"}),
        tail_row<sound<qchisq>, sound<qchisq_upper>, qchisq_lanes<sound<qchisq>>>(
            "qchisq", {"p", "dof", "lower_tail=True"}),
        tail_row<sound<qexp>, sound<qexp_upper>>("qexp", {"p", "rate=1", "lower_tail=True"}),
        tail_row<sound<qf>, sound<qf_upper>>("qf", {"p", "df1", "df2", "lower_tail=True"}),
        tail_row<sound<qgamma>, sound<qgamma_upper>, qgamma_lanes<sound<qgamma>>>(
            "qgamma", {"p", "shape", "scale=1", "lower_tail=True"}),
        tail_row<sound<qinvgamma>, sound<qinvgamma_upper>, qinvgamma_lanes<sound<qinvgamma>>>(
            "qinvgamma", {"p", "shape", "scale=1", "lower_tail=True"}),
        tail_row<sound<qlaplace>, sound<qlaplace_upper>>("qlaplace", {"p", "mu=0", "sigma=1", "lower_tail=True"}),
        tail_row<sound<qlnorm>, sound<qlnorm_upper>, qlnorm_lanes<sound<qlnorm>>>(
            "qlnorm", {"p", "mu=0", "sigma=1", "lower_tail=True"}),
        tail_row<sound<qlogis>, sound<qlogis_upper>>("qlogis", {"p", "mu=0", "sigma=1", "lower_tail=True"}),
        tail_row<sound<qpois>, sound<qpois_upper>, qpois_lanes<sound<qpois>>>(
            "qpois", {"p", "rate", "lower_tail=True"}),
        tail_row<sound<qt>, sound<qt_upper>, qt_lanes<sound<qt>>>("qt", {"p", "dof", "lower_tail=True"}),
        tail_row<sound<qunif>, sound<qunif_upper>>("qunif", {"p", "a=0", "b=1", "lower_tail=True"}),
        tail_row<sound<qweibull>, sound<qweibull_upper>>("qweibull", {"p", "shape", "scale=1", "lower_tail=True"}),
    };
}

}  // namespace zorvana

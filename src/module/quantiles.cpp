// Registry rows of the q-functions (see densities.cpp for the row layout),
// each with the accurate function behind lower_tail=False or log_p=True
// (module/tail_rows.hpp).
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"
#include "module/tail_rows.hpp"
#include "tails/discrete.hpp"
#include "tails/noncentral.hpp"
#include "tails/tails.hpp"

namespace zorvana {

std::vector<Row> quantile_rows() {
    return {
        quantile_row<sound<qnorm>, sound<qnorm_accurate>, qnorm_lanes<sound<qnorm>>>(
            "qnorm", {"p", "mu=0", "sigma=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qbern>, sound<qbern_accurate>>("qbern", {"p", "prob", "lower_tail=True", "log_p=False"}),
        with_ncp<qnbeta>(
            quantile_row<sound<qbeta>, sound<qbeta_accurate>>("qbeta", {"p", "a", "b", "lower_tail=True", "log_p=False"})),
        quantile_row<sound<qbinom>, sound<qbinom_accurate>>(
            "qbinom", {"p", "n_trials", "prob", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qcauchy>, sound<qcauchy_accurate>>(
            "qcauchy", {"p", "mu=0", "sigma=1", "lower_tail=True", "log_p=False"}),
        with_ncp<qnchisq>(quantile_row<sound<qchisq>, sound<qchisq_accurate>, qchisq_lanes<sound<qchisq>>>(
            "qchisq", {"p", "dof", "lower_tail=True", "log_p=False"})),
        quantile_row<sound<qexp>, sound<qexp_accurate>>("qexp", {"p", "rate=1", "lower_tail=True", "log_p=False"}),
        with_ncp<qnf>(
            quantile_row<sound<qf>, sound<qf_accurate>>("qf", {"p", "df1", "df2", "lower_tail=True", "log_p=False"})),
        quantile_row<sound<qgamma>, sound<qgamma_accurate>, qgamma_lanes<sound<qgamma>>>(
            "qgamma", {"p", "shape", "scale=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qinvgamma>, sound<qinvgamma_accurate>, qinvgamma_lanes<sound<qinvgamma>>>(
            "qinvgamma", {"p", "shape", "scale=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qlaplace>, sound<qlaplace_accurate>>(
            "qlaplace", {"p", "mu=0", "sigma=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qlnorm>, sound<qlnorm_accurate>, qlnorm_lanes<sound<qlnorm>>>(
            "qlnorm", {"p", "mu=0", "sigma=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qlogis>, sound<qlogis_accurate>>(
            "qlogis", {"p", "mu=0", "sigma=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qpois>, sound<qpois_accurate>, qpois_lanes<sound<qpois>>>(
            "qpois", {"p", "rate", "lower_tail=True", "log_p=False"}),
        with_ncp<qnt>(quantile_row<sound<qt>, sound<qt_accurate>, qt_lanes<sound<qt>>>(
            "qt", {"p", "dof", "lower_tail=True", "log_p=False"})),
        row<qtukey>("qtukey", {"p", "n_means", "dof", "n_ranges=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qunif>, sound<qunif_accurate>>("qunif", {"p", "a=0", "b=1", "lower_tail=True", "log_p=False"}),
        quantile_row<sound<qweibull>, sound<qweibull_accurate>>(
            "qweibull", {"p", "shape", "scale=1", "lower_tail=True", "log_p=False"}),
        // Families with accurate functions only: the same in both namespaces.
        row<sound<qnbinom_accurate>>("qnbinom", {"p", "n_successes", "prob", "lower_tail=True", "log_p=False"}),
        row<sound<qgeom_accurate>>("qgeom", {"p", "prob", "lower_tail=True", "log_p=False"}),
        row<sound<qhyper_accurate>>("qhyper", {"p", "n_good", "n_bad", "n_drawn", "lower_tail=True", "log_p=False"}),
        row<sound<qwilcox_accurate>>("qwilcox", {"p", "n_x", "n_y", "lower_tail=True", "log_p=False"}),
        row<sound<qsignrank_accurate>>("qsignrank", {"p", "n_obs", "lower_tail=True", "log_p=False"}),
    };
}

}  // namespace zorvana

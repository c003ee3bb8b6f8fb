// Registry rows of the p-functions (see densities.cpp for the row layout),
// each with the accurate function behind lower_tail=False (module/tail_rows.hpp).
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/count_tables.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"
#include "module/tail_rows.hpp"
#include "tails/discrete.hpp"
#include "tails/noncentral.hpp"
#include "tails/tails.hpp"

namespace zorvana {

std::vector<Row> distribution_function_rows() {
    return {
        tail_row<sound<pnorm>, accurate_p<pnorm_accurate>>(
            "pnorm", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pbern>, accurate_p<pbern_accurate>>("pbern", {"x", "prob", "log_p=False", "lower_tail=True"}),
        with_ncp<pnbeta>(
            tail_row<sound<pbeta>, accurate_p<pbeta_accurate>>("pbeta", {"x", "a", "b", "log_p=False", "lower_tail=True"})),
        tail_row<sound<pbinom>, accurate_p<pbinom_accurate>>(
            "pbinom", {"x", "n_trials", "prob", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pcauchy>, accurate_p<pcauchy_accurate>>(
            "pcauchy", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        with_ncp<pnchisq>(tail_row<sound<pchisq>, accurate_p<pchisq_accurate>, pchisq_lanes<sound<pchisq>>>(
            "pchisq", {"x", "dof", "log_p=False", "lower_tail=True"})),
        tail_row<sound<pexp>, accurate_p<pexp_accurate>>("pexp", {"x", "rate=1", "log_p=False", "lower_tail=True"}),
        with_ncp<pnf>(
            tail_row<sound<pf>, accurate_p<pf_accurate>>("pf", {"x", "df1", "df2", "log_p=False", "lower_tail=True"})),
        tail_row<sound<pgamma>, accurate_p<pgamma_accurate>, pgamma_lanes<sound<pgamma>>>(
            "pgamma", {"x", "shape", "scale=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pinvgamma>, accurate_p<pinvgamma_accurate>>(
            "pinvgamma", {"x", "shape", "scale=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<plaplace>, accurate_p<plaplace_accurate>>(
            "plaplace", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<plnorm>, accurate_p<plnorm_accurate>>(
            "plnorm", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<plogis>, accurate_p<plogis_accurate>>(
            "plogis", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<ppois>, accurate_p<ppois_accurate>, ppois_lanes<sound<ppois>>>(
            "ppois", {"x", "rate", "log_p=False", "lower_tail=True"}),
        with_ncp<pnt>(tail_row<sound<pt>, accurate_p<pt_accurate>>("pt", {"x", "dof", "log_p=False", "lower_tail=True"})),
        row<ptukey>("ptukey", {"q", "n_means", "dof", "n_ranges=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<punif>, accurate_p<punif_accurate>>("punif", {"x", "a=0", "b=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pweibull>, accurate_p<pweibull_accurate>>(
            "pweibull", {"x", "shape", "scale=1", "log_p=False", "lower_tail=True"}),
        // Families with accurate functions only: the same in both namespaces.
        row<accurate_p<pnbinom_accurate>>("pnbinom", {"x", "n_successes", "prob", "log_p=False", "lower_tail=True"},
                                          count_table_batch<accurate_p<pnbinom_accurate>>),
        row<accurate_p<pgeom_accurate>>("pgeom", {"x", "prob", "log_p=False", "lower_tail=True"},
                                        count_table_batch<accurate_p<pgeom_accurate>>),
        row<accurate_p<phyper_accurate>>("phyper",
                                         {"x", "n_good", "n_bad", "n_drawn", "log_p=False", "lower_tail=True"},
                                         count_table_batch<accurate_p<phyper_accurate>>),
        row<accurate_p<pwilcox_accurate>>("pwilcox", {"x", "n_x", "n_y", "log_p=False", "lower_tail=True"}),
        row<accurate_p<psignrank_accurate>>("psignrank", {"x", "n_obs", "log_p=False", "lower_tail=True"}),
    };
}

}  // namespace zorvana

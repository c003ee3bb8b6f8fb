// Registry rows of the p-functions (see densities.cpp for the row layout),
// each with its upper tail behind the lower_tail flag (module/tail_rows.hpp).
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"
#include "module/tail_rows.hpp"
#include "tails/tails.hpp"

namespace zorvana {

std::vector<Row> distribution_function_rows() {
    return {
        tail_row<sound<pnorm>, sound_upper<pnorm_upper>>(
            "pnorm", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pbern>, sound_upper<pbern_upper>>("pbern", {"x", "prob", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pbeta>, sound_upper<pbeta_upper>>("pbeta", {"x", "a", "b", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pbinom>, sound_upper<pbinom_upper>>(
            "pbinom", {"x", "n_trials", "prob", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pcauchy>, sound_upper<pcauchy_upper>>(
            "pcauchy", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pchisq>, sound_upper<pchisq_upper>, pchisq_lanes<sound<pchisq>>>(
            "pchisq", {"x", "dof", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pexp>, sound_upper<pexp_upper>>("pexp", {"x", "rate=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pf>, sound_upper<pf_upper>>("pf", {"x", "df1", "df2", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pgamma>, sound_upper<pgamma_upper>, pgamma_lanes<sound<pgamma>>>(
            "pgamma", {"x", "shape", "scale=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pinvgamma>, sound_upper<pinvgamma_upper>>(
            "pinvgamma", {"x", "shape", "scale=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<plaplace>, sound_upper<plaplace_upper>>(
            "plaplace", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<plnorm>, sound_upper<plnorm_upper>>(
            "plnorm", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<plogis>, sound_upper<plogis_upper>>(
            "plogis", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<ppois>, sound_upper<ppois_upper>, ppois_lanes<sound<ppois>>>(
            "ppois", {"x", "rate", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pt>, sound_upper<pt_upper>>("pt", {"x", "dof", "log_p=False", "lower_tail=True"}),
        tail_row<sound<punif>, sound_upper<punif_upper>>(
            "punif", {"x", "a=0", "b=1", "log_p=False", "lower_tail=True"}),
        tail_row<sound<pweibull>, sound_upper<pweibull_upper>>(
            "pweibull", {"x", "shape", "scale=1", "log_p=False", "lower_tail=True"}),
    };
}

}  // namespace zorvana

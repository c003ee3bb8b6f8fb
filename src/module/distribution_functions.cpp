// Registry rows of the p-functions (see densities.cpp for the row layout).
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"

namespace zorvana {

std::vector<Row> distribution_function_rows() {
    return {
        row<sound<pnorm>>("pnorm", {"x", "mu=0", "sigma=1", "log_p=False"}),
        row<sound<pbern>>("pbern", {"x", "prob", "log_p=False"}),
        row<sound<pbeta>>("pbeta", {"x", "a", "b", "log_p=False"}),
        row<sound<pbinom>>("pbinom", {"x", "n_trials", "prob", "log_p=False"}),
        row<sound<pcauchy>>("pcauchy", {"x", "mu", "sigma", "log_p=False"}),
        row<sound<pchisq>>("pchisq", {"x", "dof", "log_p=False"}, pchisq_lanes<sound<pchisq>>),
        row<sound<pexp>>("pexp", {"x", "rate", "log_p=False"}),
        row<sound<pf>>("pf", {"x", "df1", "df2", "log_p=False"}),
        row<sound<pgamma>>("pgamma", {"x", "shape", "scale", "log_p=False"}, pgamma_lanes<sound<pgamma>>),
        row<sound<pinvgamma>>("pinvgamma", {"x", "shape", "scale", "log_p=False"}),
        row<sound<plaplace>>("plaplace", {"x", "mu", "sigma", "log_p=False"}),
        row<sound<plnorm>>("plnorm", {"x", "mu", "sigma", "log_p=False"}),
        row<sound<plogis>>("plogis", {"x", "mu", "sigma", "log_p=False"}),
        row<sound<ppois>>("ppois", {"x", "rate", "log_p=False"}, ppois_lanes<sound<ppois>>),
        row<sound<pt>>("pt", {"x", "dof", "log_p=False"}),
        row<sound<punif>>("punif", {"x", "a", "b", "log_p=False"}),
        row<sound<pweibull>>("pweibull", {"x", "shape", "scale", "log_p=False"}),
    };
}

}  // namespace zorvana

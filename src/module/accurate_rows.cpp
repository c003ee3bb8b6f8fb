// Registry rows of zorvana.accurate: the 51 element-wise functions with the
// names, arguments and defaults of the top level (see densities.cpp for the
// row layout), each computed by its family's accurate function
// (tails/tails.hpp) through the same adapters as the top level's upper tails,
// so that both give the same bits.
#include "distributions/sound.hpp"
#include "module/registry.hpp"
#include "module/tail_rows.hpp"
#include "tails/tails.hpp"

namespace zorvana {

std::vector<Row> accurate_density_rows() {
    return {
        row<sound_density<dnorm_accurate>>("dnorm", {"x", "mu=0", "sigma=1", "log=False"}),
        row<sound_mass<dbern_accurate>>("dbern", {"x", "prob", "log=False"}),
        row<sound_density<dbeta_accurate>>("dbeta", {"x", "a", "b", "log=False"}),
        row<sound_mass<dbinom_accurate>>("dbinom", {"x", "n_trials", "prob", "log=False"}),
        row<sound_density<dcauchy_accurate>>("dcauchy", {"x", "mu", "sigma", "log=False"}),
        row<sound_density<dchisq_accurate>>("dchisq", {"x", "dof", "log=False"}),
        row<sound_density<dexp_accurate>>("dexp", {"x", "rate", "log=False"}),
        row<sound_density<df_accurate>>("df", {"x", "df1", "df2", "log=False"}),
        row<sound_density<dgamma_accurate>>("dgamma", {"x", "shape", "scale", "log=False"}),
        row<sound_density<dinvgamma_accurate>>("dinvgamma", {"x", "shape", "scale", "log=False"}),
        row<sound_density<dlaplace_accurate>>("dlaplace", {"x", "mu", "sigma", "log=False"}),
        row<sound_density<dlnorm_accurate>>("dlnorm", {"x", "mu", "sigma", "log=False"}),
        row<sound_density<dlogis_accurate>>("dlogis", {"x", "mu", "sigma", "log=False"}),
        row<sound_mass<dpois_accurate>>("dpois", {"x", "rate", "log=False"}),
        row<sound_density<dt_accurate>>("dt", {"x", "dof", "log=False"}),
        row<sound_density<dunif_accurate>>("dunif", {"x", "a", "b", "log=False"}),
        row<sound_density<dweibull_accurate>>("dweibull", {"x", "shape", "scale", "log=False"}),
    };
}

std::vector<Row> accurate_distribution_function_rows() {
    return {
        row<accurate_p<pnorm_accurate>>("pnorm", {"x", "mu=0", "sigma=1", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pbern_accurate>>("pbern", {"x", "prob", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pbeta_accurate>>("pbeta", {"x", "a", "b", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pbinom_accurate>>("pbinom", {"x", "n_trials", "prob", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pcauchy_accurate>>("pcauchy", {"x", "mu", "sigma", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pchisq_accurate>>("pchisq", {"x", "dof", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pexp_accurate>>("pexp", {"x", "rate", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pf_accurate>>("pf", {"x", "df1", "df2", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pgamma_accurate>>("pgamma", {"x", "shape", "scale", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pinvgamma_accurate>>("pinvgamma", {"x", "shape", "scale", "log_p=False", "lower_tail=True"}),
        row<accurate_p<plaplace_accurate>>("plaplace", {"x", "mu", "sigma", "log_p=False", "lower_tail=True"}),
        row<accurate_p<plnorm_accurate>>("plnorm", {"x", "mu", "sigma", "log_p=False", "lower_tail=True"}),
        row<accurate_p<plogis_accurate>>("plogis", {"x", "mu", "sigma", "log_p=False", "lower_tail=True"}),
        row<accurate_p<ppois_accurate>>("ppois", {"x", "rate", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pt_accurate>>("pt", {"x", "dof", "log_p=False", "lower_tail=True"}),
        row<accurate_p<punif_accurate>>("punif", {"x", "a", "b", "log_p=False", "lower_tail=True"}),
        row<accurate_p<pweibull_accurate>>("pweibull", {"x", "shape", "scale", "log_p=False", "lower_tail=True"}),
    };
}

std::vector<Row> accurate_quantile_rows() {
    return {
        row<sound<qnorm_accurate>>("qnorm", {"p", "mu=0", "sigma=1", "lower_tail=True", "log_p=False"}),
        row<sound<qbern_accurate>>("qbern", {"p", "prob", "lower_tail=True", "log_p=False"}),
        row<sound<qbeta_accurate>>("qbeta", {"p", "a", "b", "lower_tail=True", "log_p=False"}),
        row<sound<qbinom_accurate>>("qbinom", {"p", "n_trials", "prob", "lower_tail=True", "log_p=False"}),
        row<sound<qcauchy_accurate>>("qcauchy", {"p", "mu", "sigma", "lower_tail=True", "log_p=False"}),
        row<sound<qchisq_accurate>>("qchisq", {"p", "dof", "lower_tail=True", "log_p=False"}),
        row<sound<qexp_accurate>>("qexp", {"p", "rate", "lower_tail=True", "log_p=False"}),
        row<sound<qf_accurate>>("qf", {"p", "df1", "df2", "lower_tail=True", "log_p=False"}),
        row<sound<qgamma_accurate>>("qgamma", {"p", "shape", "scale", "lower_tail=True", "log_p=False"}),
        row<sound<qinvgamma_accurate>>("qinvgamma", {"p", "shape", "scale", "lower_tail=True", "log_p=False"}),
        row<sound<qlaplace_accurate>>("qlaplace", {"p", "mu", "sigma", "lower_tail=True", "log_p=False"}),
        row<sound<qlnorm_accurate>>("qlnorm", {"p", "mu", "sigma", "lower_tail=True", "log_p=False"}),
        row<sound<qlogis_accurate>>("qlogis", {"p", "mu", "sigma", "lower_tail=True", "log_p=False"}),
        row<sound<qpois_accurate>>("qpois", {"p", "rate", "lower_tail=True", "log_p=False"}),
        row<sound<qt_accurate>>("qt", {"p", "dof", "lower_tail=True", "log_p=False"}),
        row<sound<qunif_accurate>>("qunif", {"p", "a", "b", "lower_tail=True", "log_p=False"}),
        row<sound<qweibull_accurate>>("qweibull", {"p", "shape", "scale", "lower_tail=True", "log_p=False"}),
    };
}

}  // namespace zorvana

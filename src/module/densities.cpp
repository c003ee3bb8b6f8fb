// Registry rows of the d-functions: Python name, scalar function, argument
// names in positional order with their defaults (see module/batch.hpp).
// Every scalar function goes through its adapter of distributions/sound.hpp:
// sound_density, sound_mass for the three probability masses, and sound for
// the p- and q-functions.
#include "distributions/distributions.hpp"
#include "distributions/sound.hpp"
#include "module/count_tables.hpp"
#include "module/lane_batches.hpp"
#include "module/registry.hpp"
#include "tails/discrete.hpp"
#include "tails/noncentral.hpp"

namespace zorvana {

std::vector<Row> density_rows() {
    return {
        row<sound_density<dnorm>>("dnorm", {"x", "mu=0", "sigma=1", "log=False"},
                                  log_density_lanes<sound_density<dnorm>, log_density::Normal, 4>),
        row<sound_mass<dbern>>("dbern", {"x", "prob", "log=False"}),
        with_ncp<dnbeta>(row<sound_density<dbeta>>("dbeta", {"x", "a", "b", "log=False"})),
        row<sound_mass<dbinom>>("dbinom", {"x", "n_trials", "prob", "log=False"}),
        row<sound_density<dcauchy>>("dcauchy", {"x", "mu=0", "sigma=1", "log=False"}),
        with_ncp<dnchisq>(row<sound_density<dchisq>>("dchisq", {"x", "dof", "log=False"})),
        row<sound_density<dexp>>("dexp", {"x", "rate=1", "log=False"},
                                 log_density_lanes<sound_density<dexp>, log_density::Exponential, 3>),
        with_ncp<dnf>(row<sound_density<df>>("df", {"x", "df1", "df2", "log=False"})),
        row<sound_density<dgamma>>("dgamma", {"x", "shape", "scale=1", "log=False"}),
        row<sound_density<dinvgamma>>("dinvgamma", {"x", "shape", "scale=1", "log=False"}),
        row<sound_density<dlaplace>>("dlaplace", {"x", "mu=0", "sigma=1", "log=False"},
                                     log_density_lanes<sound_density<dlaplace>, log_density::Laplace, 4>),
        row<sound_density<dlnorm>>("dlnorm", {"x", "mu=0", "sigma=1", "log=False"},
                                   log_density_lanes<sound_density<dlnorm>, log_density::LogNormal, 4>),
        row<sound_density<dlogis>>("dlogis", {"x", "mu=0", "sigma=1", "log=False"}),
        row<sound_mass<dpois>>("dpois", {"x", "rate", "log=False"}),
        with_ncp<dnt>(row<sound_density<dt>>("dt", {"x", "dof", "log=False"})),
        row<sound_density<dunif>>("dunif", {"x", "a=0", "b=1", "log=False"}),
        row<sound_density<dweibull>>("dweibull", {"x", "shape", "scale=1", "log=False"}),
        row<sound_mass<dnbinom_accurate>>("dnbinom", {"x", "n_successes", "prob", "log=False"},
                                             count_table_batch<sound_mass<dnbinom_accurate>>),
        row<sound_mass<dgeom_accurate>>("dgeom", {"x", "prob", "log=False"},
                                             count_table_batch<sound_mass<dgeom_accurate>>),
        row<sound_mass<dhyper_accurate>>("dhyper", {"x", "n_good", "n_bad", "n_drawn", "log=False"},
                                             count_table_batch<sound_mass<dhyper_accurate>>),
        row<sound_mass<dwilcox_accurate>>("dwilcox", {"x", "n_x", "n_y", "log=False"}),
        row<sound_mass<dsignrank_accurate>>("dsignrank", {"x", "n_obs", "log=False"}),
    };
}

}  // namespace zorvana

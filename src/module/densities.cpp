// Registry rows of the d-functions: Python name, scalar function, argument
// names in positional order with their defaults (see module/batch.hpp).
#include "distributions/distributions.hpp"
#include "module/registry.hpp"

namespace zorvana {

std::vector<Row> density_rows() {
    return {
        row<dnorm>("dnorm", {"x", "mu=0", "sigma=1", "log=False"}),
        row<dbern>("dbern", {"x", "prob", "log=False"}),
        row<dbeta>("dbeta", {"x", "a", "b", "log=False"}),
        row<dbinom>("dbinom", {"x", "n_trials", "prob", "log=False"}),
        row<dcauchy>("dcauchy", {"x", "mu", "sigma", "log=False"}),
        row<dchisq>("dchisq", {"x", "dof", "log=False"}),
        row<dexp>("dexp", {"x", "rate", "log=False"}),
        row<df>("df", {"x", "df1", "df2", "log=False"}),
        row<dgamma>("dgamma", {"x", "shape", "scale", "log=False"}),
        row<dinvgamma>("dinvgamma", {"x", "shape", "scale", "log=False"}),
        row<dlaplace>("dlaplace", {"x", "mu", "sigma", "log=False"}),
        row<dlnorm>("dlnorm", {"x", "mu", "sigma", "log=False"}),
        row<dlogis>("dlogis", {"x", "mu", "sigma", "log=False"}),
        row<dpois>("dpois", {"x", "rate", "log=False"}),
        row<dt>("dt", {"x", "dof", "log=False"}),
        row<dunif>("dunif", {"x", "a", "b", "log=False"}),
        row<dweibull>("dweibull", {"x", "shape", "scale", "log=False"}),
    };
}

}  // namespace zorvana

// Registry rows of the p-functions (see densities.cpp for the row layout).
#include "distributions/distributions.hpp"
#include "module/registry.hpp"

namespace zorvana {

std::vector<Row> distribution_function_rows() {
    return {
        row<pnorm>("pnorm", {"x", "mu=0", "sigma=1", "log_p=False"}),
        row<pbern>("pbern", {"x", "prob", "log_p=False"}),
        row<pbeta>("pbeta", {"x", "a", "b", "log_p=False"}),
        row<pbinom>("pbinom", {"x", "n_trials", "prob", "log_p=False"}),
        row<pcauchy>("pcauchy", {"x", "mu", "sigma", "log_p=False"}),
        row<pchisq>("pchisq", {"x", "dof", "log_p=False"}),
        row<pexp>("pexp", {"x", "rate", "log_p=False"}),
        row<pf>("pf", {"x", "df1", "df2", "log_p=False"}),
        row<pgamma>("pgamma", {"x", "shape", "scale", "log_p=False"}),
        row<pinvgamma>("pinvgamma", {"x", "shape", "scale", "log_p=False"}),
        row<plaplace>("plaplace", {"x", "mu", "sigma", "log_p=False"}),
        row<plnorm>("plnorm", {"x", "mu", "sigma", "log_p=False"}),
        row<plogis>("plogis", {"x", "mu", "sigma", "log_p=False"}),
        row<ppois>("ppois", {"x", "rate", "log_p=False"}),
        row<pt>("pt", {"x", "dof", "log_p=False"}),
        row<punif>("punif", {"x", "a", "b", "log_p=False"}),
        row<pweibull>("pweibull", {"x", "shape", "scale", "log_p=False"}),
    };
}

}  // namespace zorvana

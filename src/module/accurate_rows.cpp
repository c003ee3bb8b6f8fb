// Registry rows of zorvana.accurate: the rows of the top level (names,
// arguments, defaults) with each function computed by its family's accurate
// function (tails/tails.hpp), through the same adapters as the top level's
// upper tails and log_p quantiles, so that both give the same bits.
#include <cstring>
#include <stdexcept>
#include <string>

#include "distributions/sound.hpp"
#include "module/count_tables.hpp"
#include "module/registry.hpp"
#include "module/tail_rows.hpp"
#include "tails/discrete.hpp"
#include "tails/noncentral.hpp"
#include "tails/tails.hpp"

namespace zorvana {
namespace {

struct Entry {
    const char* name;
    std::vector<ArgType> types;
    BatchFn fn;
    BatchFn batch;
};

template <auto F>
Entry entry(const char* name) {
    return Entry{name, batch_detail::arg_types(F), per_element<F>, per_element<F>};
}

// An entry whose array calls go through another batch function (the same
// values as the scalar function's).
template <auto F, BatchFn Batch>
Entry entry(const char* name) {
    return Entry{name, batch_detail::arg_types(F), per_element<F>, Batch};
}

const std::vector<Entry>& entries() {
    static const std::vector<Entry> table = {
        entry<sound_density<dnorm_accurate>>("dnorm"),
        entry<sound_mass<dbern_accurate>>("dbern"),
        entry<sound_density<dbeta_accurate>>("dbeta"),
        entry<sound_mass<dbinom_accurate>>("dbinom"),
        entry<sound_density<dcauchy_accurate>>("dcauchy"),
        entry<sound_density<dchisq_accurate>>("dchisq"),
        entry<sound_density<dexp_accurate>>("dexp"),
        entry<sound_density<df_accurate>>("df"),
        entry<sound_density<dgamma_accurate>>("dgamma"),
        entry<sound_density<dinvgamma_accurate>>("dinvgamma"),
        entry<sound_density<dlaplace_accurate>>("dlaplace"),
        entry<sound_density<dlnorm_accurate>>("dlnorm"),
        entry<sound_density<dlogis_accurate>>("dlogis"),
        entry<sound_mass<dpois_accurate>>("dpois"),
        entry<sound_density<dt_accurate>>("dt"),
        entry<sound_density<dunif_accurate>>("dunif"),
        entry<sound_density<dweibull_accurate>>("dweibull"),
        entry<sound_mass<dnbinom_accurate>, count_table_batch<sound_mass<dnbinom_accurate>>>("dnbinom"),
        entry<sound_mass<dgeom_accurate>, count_table_batch<sound_mass<dgeom_accurate>>>("dgeom"),
        entry<sound_mass<dhyper_accurate>, count_table_batch<sound_mass<dhyper_accurate>>>("dhyper"),
        entry<sound_mass<dwilcox_accurate>>("dwilcox"),
        entry<sound_mass<dsignrank_accurate>>("dsignrank"),
        entry<accurate_p<pnorm_accurate>>("pnorm"),
        entry<accurate_p<pbern_accurate>>("pbern"),
        entry<accurate_p<pbeta_accurate>>("pbeta"),
        entry<accurate_p<pbinom_accurate>>("pbinom"),
        entry<accurate_p<pcauchy_accurate>>("pcauchy"),
        entry<accurate_p<pchisq_accurate>>("pchisq"),
        entry<accurate_p<pexp_accurate>>("pexp"),
        entry<accurate_p<pf_accurate>>("pf"),
        entry<accurate_p<pgamma_accurate>>("pgamma"),
        entry<accurate_p<pinvgamma_accurate>>("pinvgamma"),
        entry<accurate_p<plaplace_accurate>>("plaplace"),
        entry<accurate_p<plnorm_accurate>>("plnorm"),
        entry<accurate_p<plogis_accurate>>("plogis"),
        entry<accurate_p<ppois_accurate>>("ppois"),
        entry<accurate_p<pt_accurate>>("pt"),
        entry<ptukey>("ptukey"),
        entry<accurate_p<punif_accurate>>("punif"),
        entry<accurate_p<pweibull_accurate>>("pweibull"),
        entry<accurate_p<pnbinom_accurate>, count_table_batch<accurate_p<pnbinom_accurate>>>("pnbinom"),
        entry<accurate_p<pgeom_accurate>, count_table_batch<accurate_p<pgeom_accurate>>>("pgeom"),
        entry<accurate_p<phyper_accurate>, count_table_batch<accurate_p<phyper_accurate>>>("phyper"),
        entry<accurate_p<pwilcox_accurate>>("pwilcox"),
        entry<accurate_p<psignrank_accurate>>("psignrank"),
        entry<sound<qnorm_accurate>>("qnorm"),
        entry<sound<qbern_accurate>>("qbern"),
        entry<sound<qbeta_accurate>>("qbeta"),
        entry<sound<qbinom_accurate>>("qbinom"),
        entry<sound<qcauchy_accurate>>("qcauchy"),
        entry<sound<qchisq_accurate>>("qchisq"),
        entry<sound<qexp_accurate>>("qexp"),
        entry<sound<qf_accurate>>("qf"),
        entry<sound<qgamma_accurate>>("qgamma"),
        entry<sound<qinvgamma_accurate>>("qinvgamma"),
        entry<sound<qlaplace_accurate>>("qlaplace"),
        entry<sound<qlnorm_accurate>>("qlnorm"),
        entry<sound<qlogis_accurate>>("qlogis"),
        entry<sound<qpois_accurate>>("qpois"),
        entry<sound<qt_accurate>>("qt"),
        entry<qtukey>("qtukey"),
        entry<sound<qunif_accurate>>("qunif"),
        entry<sound<qweibull_accurate>>("qweibull"),
        entry<sound<qnbinom_accurate>>("qnbinom"),
        entry<sound<qgeom_accurate>>("qgeom"),
        entry<sound<qhyper_accurate>>("qhyper"),
        entry<sound<qwilcox_accurate>>("qwilcox"),
        entry<sound<qsignrank_accurate>>("qsignrank"),
    };
    return table;
}

// The top level's rows with the accurate functions in place of theirs.
std::vector<Row> accurate_rows(std::vector<Row> rows) {
    for (Row& row : rows) {
        const Entry* found = nullptr;
        for (const Entry& e : entries()) {
            if (std::strcmp(e.name, row.name) == 0) found = &e;
        }
        // A noncentral row keeps its noncentral function (accurate in both
        // places); the central one's arguments are those before ncp.
        const std::size_t k = row.args.size() - (row.noncentral != nullptr ? 1 : 0);
        bool same = found != nullptr && found->types.size() == k;
        for (std::size_t i = 0; same && i < k; ++i) same = found->types[i] == row.args[i].type;
        if (!same) throw std::logic_error(std::string("no accurate function with the arguments of ") + row.name);
        row.scalar = found->fn;
        row.batch = found->batch;
    }
    return rows;
}

}  // namespace

std::vector<Row> accurate_density_rows() { return accurate_rows(density_rows()); }
std::vector<Row> accurate_distribution_function_rows() { return accurate_rows(distribution_function_rows()); }
std::vector<Row> accurate_quantile_rows() { return accurate_rows(quantile_rows()); }

}  // namespace zorvana

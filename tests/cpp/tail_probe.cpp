// Evaluates the accurate kernels and the upper-tail functions outside Python.
//
// tail_probe reads lines "name arg..." from stdin (numbers as hexadecimal
// floating literals, decimal, inf or nan; flags as 0 or 1) and prints one
// result per line as a hexadecimal floating literal, or "unknown".
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "accurate/beta_inc.hpp"
#include "accurate/elementary.hpp"
#include "accurate/gamma_inc.hpp"
#include "tails/tails.hpp"

using namespace zorvana;
using Args = std::vector<std::string>;
using Table = std::map<std::string, std::function<double(const Args&)>>;

namespace {

double d(const std::string& s) { return std::strtod(s.c_str(), nullptr); }
// Counts in decimal, or as floating literals (exact below 2^53).
std::int64_t i(const std::string& s) {
    if (s.find_first_of("xX.eEpP") == std::string::npos) return std::strtoll(s.c_str(), nullptr, 10);
    return static_cast<std::int64_t>(d(s));
}
bool f(const std::string& s) { return d(s) != 0; }

std::string hex(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a", v);
    return buf;
}

// The accurate elementary kernels.
void add_elementary(Table& t) {
    t["exp"] = [](const Args& a) { return accurate::exp(d(a[0])); };
    t["expm1"] = [](const Args& a) { return accurate::expm1(d(a[0])); };
    t["log"] = [](const Args& a) { return accurate::log(d(a[0])); };
    t["log1p"] = [](const Args& a) { return accurate::log1p(d(a[0])); };
    t["log1pmx"] = [](const Args& a) { return accurate::log1pmx(d(a[0])); };
    t["pow"] = [](const Args& a) { return accurate::pow(d(a[0]), d(a[1])); };
    t["lgamma"] = [](const Args& a) { return accurate::lgamma(d(a[0])); };
    t["lgamma_correction"] = [](const Args& a) { return accurate::lgamma_correction(d(a[0])); };
    t["deviance"] = [](const Args& a) { return accurate::deviance(d(a[0]), d(a[1])); };
    t["erf"] = [](const Args& a) { return accurate::erf(d(a[0])); };
    t["erfc"] = [](const Args& a) { return accurate::erfc(d(a[0])); };
    t["erfcx"] = [](const Args& a) { return accurate::erfcx(d(a[0])); };
    t["atan"] = [](const Args& a) { return accurate::atan(d(a[0])); };
}

// Upper tails: pX_upper x params... log_p, qX_upper p params...
void add_tails(Table& t) {
#define P2(n) t[#n] = [](const Args& a) { return n(d(a[0]), d(a[1]), f(a[2])); }
#define P3(n) t[#n] = [](const Args& a) { return n(d(a[0]), d(a[1]), d(a[2]), f(a[3])); }
#define Q1(n) t[#n] = [](const Args& a) { return n(d(a[0]), d(a[1])); }
#define Q2(n) t[#n] = [](const Args& a) { return n(d(a[0]), d(a[1]), d(a[2])); }
    P3(pnorm_upper); Q2(qnorm_upper); P3(plnorm_upper); Q2(qlnorm_upper);
    P2(pexp_upper); Q1(qexp_upper); P3(plaplace_upper); Q2(qlaplace_upper);
    P3(plogis_upper); Q2(qlogis_upper); P3(pcauchy_upper); Q2(qcauchy_upper);
    P3(punif_upper); Q2(qunif_upper); P3(pweibull_upper); Q2(qweibull_upper);
    t["pbern_upper"] = [](const Args& a) { return pbern_upper(i(a[0]), d(a[1]), f(a[2])); };
    Q1(qbern_upper);
    P3(pgamma_upper); Q2(qgamma_upper); P3(pinvgamma_upper); Q2(qinvgamma_upper);
    P2(pchisq_upper); Q1(qchisq_upper);
    t["ppois_upper"] = [](const Args& a) { return ppois_upper(i(a[0]), d(a[1]), f(a[2])); };
    Q1(qpois_upper);
    P3(pbeta_upper); Q2(qbeta_upper); P3(pf_upper); Q2(qf_upper);
    t["pbinom_upper"] = [](const Args& a) { return pbinom_upper(i(a[0]), i(a[1]), d(a[2]), f(a[3])); };
    t["qbinom_upper"] = [](const Args& a) { return qbinom_upper(d(a[0]), i(a[1]), d(a[2])); };
    P2(pt_upper); Q1(qt_upper);
#undef P2
#undef P3
#undef Q1
#undef Q2
}

// Kernels of the incomplete gamma family (accurate/gamma_inc.hpp).
void add_gamma(Table& t) {
    t["gamma_p"] = [](const Args& a) { return accurate::gamma_p(d(a[0]), d(a[1])); };
    t["gamma_q"] = [](const Args& a) { return accurate::gamma_q(d(a[0]), d(a[1])); };
    t["log_gamma_p"] = [](const Args& a) { return accurate::log_gamma_p(d(a[0]), d(a[1])); };
    t["log_gamma_q"] = [](const Args& a) { return accurate::log_gamma_q(d(a[0]), d(a[1])); };
    t["gamma_p_inv"] = [](const Args& a) { return accurate::gamma_p_inv(d(a[0]), d(a[1])); };
    t["gamma_q_inv"] = [](const Args& a) { return accurate::gamma_q_inv(d(a[0]), d(a[1])); };
}

// The accurate functions of the gamma family: dX x params... log,
// pX x params... log_p lower_tail, qX p params... lower_tail log_p.
void add_gamma_accurate(Table& t) {
    t["dgamma_accurate"] = [](const Args& a) { return dgamma_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3])); };
    t["pgamma_accurate"] = [](const Args& a) { return pgamma_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["qgamma_accurate"] = [](const Args& a) { return qgamma_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["dinvgamma_accurate"] = [](const Args& a) { return dinvgamma_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3])); };
    t["pinvgamma_accurate"] = [](const Args& a) {
        return pinvgamma_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4]));
    };
    t["qinvgamma_accurate"] = [](const Args& a) {
        return qinvgamma_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4]));
    };
    t["dchisq_accurate"] = [](const Args& a) { return dchisq_accurate(d(a[0]), d(a[1]), f(a[2])); };
    t["pchisq_accurate"] = [](const Args& a) { return pchisq_accurate(d(a[0]), d(a[1]), f(a[2]), f(a[3])); };
    t["qchisq_accurate"] = [](const Args& a) { return qchisq_accurate(d(a[0]), d(a[1]), f(a[2]), f(a[3])); };
    t["dpois_accurate"] = [](const Args& a) { return dpois_accurate(i(a[0]), d(a[1]), f(a[2])); };
    t["ppois_accurate"] = [](const Args& a) { return ppois_accurate(i(a[0]), d(a[1]), f(a[2]), f(a[3])); };
    t["qpois_accurate"] = [](const Args& a) { return qpois_accurate(d(a[0]), d(a[1]), f(a[2]), f(a[3])); };
}

// Kernels of the incomplete beta family (accurate/beta_inc.hpp).
void add_beta(Table& t) {
    t["beta_inc"] = [](const Args& a) {
        return accurate::beta_inc(d(a[0]), d(a[1]), d(a[2]), d(a[3]), f(a[4]), f(a[5]));
    };
    t["log_beta"] = [](const Args& a) { return accurate::log_beta(d(a[0]), d(a[1])); };
    // The inverse: its x, its y, and the logarithm of the smaller.
    t["beta_inc_inv_x"] = [](const Args& a) { return accurate::beta_inc_inv(d(a[0]), d(a[1]), d(a[2]), f(a[3])).x; };
    t["beta_inc_inv_y"] = [](const Args& a) { return accurate::beta_inc_inv(d(a[0]), d(a[1]), d(a[2]), f(a[3])).y; };
    t["beta_inc_inv_log"] = [](const Args& a) {
        return accurate::beta_inc_inv(d(a[0]), d(a[1]), d(a[2]), f(a[3])).log_small;
    };
}

// The accurate functions of the beta family and t: dX x params... log,
// pX x params... log_p lower_tail, qX p params... lower_tail log_p.
void add_beta_family(Table& t) {
    t["dbeta_accurate"] = [](const Args& a) { return dbeta_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3])); };
    t["pbeta_accurate"] = [](const Args& a) { return pbeta_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["qbeta_accurate"] = [](const Args& a) { return qbeta_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["df_accurate"] = [](const Args& a) { return df_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3])); };
    t["pf_accurate"] = [](const Args& a) { return pf_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["qf_accurate"] = [](const Args& a) { return qf_accurate(d(a[0]), d(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["dbinom_accurate"] = [](const Args& a) { return dbinom_accurate(i(a[0]), i(a[1]), d(a[2]), f(a[3])); };
    t["pbinom_accurate"] = [](const Args& a) { return pbinom_accurate(i(a[0]), i(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["qbinom_accurate"] = [](const Args& a) { return qbinom_accurate(d(a[0]), i(a[1]), d(a[2]), f(a[3]), f(a[4])); };
    t["dt_accurate"] = [](const Args& a) { return dt_accurate(d(a[0]), d(a[1]), f(a[2])); };
    t["pt_accurate"] = [](const Args& a) { return pt_accurate(d(a[0]), d(a[1]), f(a[2]), f(a[3])); };
    t["qt_accurate"] = [](const Args& a) { return qt_accurate(d(a[0]), d(a[1]), f(a[2]), f(a[3])); };
}

}  // namespace

int main() {
    Table table;
    add_elementary(table);
    add_tails(table);
    add_gamma(table);
    add_gamma_accurate(table);
    add_beta(table);
    add_beta_family(table);
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string name, word;
        in >> name;
        Args args;
        while (in >> word) args.push_back(word);
        auto it = table.find(name);
        std::cout << (it == table.end() ? std::string("unknown") : hex(it->second(args))) << '\n';
    }
    return 0;
}

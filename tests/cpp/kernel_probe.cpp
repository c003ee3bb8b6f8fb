// Evaluates the module's kernels outside Python so that tests can compare
// them with hand-traced values. Reads lines "name arg..." from stdin (numbers
// in any form strtold accepts, hexadecimal included) and prints one result
// per line: doubles and extended values as hexadecimal floating literals,
// integers in decimal.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "distributions/distributions.hpp"
#include "kernels/beta.hpp"
#include "kernels/elementary.hpp"
#include "kernels/erf.hpp"
#include "kernels/gamma.hpp"

using namespace zorvana;
using Args = std::vector<long double>;

static std::string hex(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%a", v);
    return buf;
}
static std::string hex(long double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%La", v);
    return buf;
}
static double d(long double v) { return static_cast<double>(v); }
static std::int64_t i(long double v) { return static_cast<std::int64_t>(v); }

int main() {
    const std::map<std::string, std::function<std::string(const Args&)>> table = {
        {"math_floor", [](const Args& a) { return hex(math_floor(d(a[0]))); }},
        {"math_floor_ext", [](const Args& a) { return hex(math_floor_ext(a[0])); }},
        {"math_pow_int", [](const Args& a) { return hex(math_pow_int(d(a[0]), i(a[1]))); }},
        {"math_pow_int_ext", [](const Args& a) { return hex(math_pow_int_ext(a[0], i(a[1]))); }},
        {"math_factorial",
         [](const Args& a) { return std::to_string(math_factorial(static_cast<std::uint64_t>(a[0]))); }},
        {"math_exp", [](const Args& a) { return hex(math_exp(d(a[0]))); }},
        {"math_exp_ext", [](const Args& a) { return hex(math_exp_ext(a[0])); }},
        {"math_log", [](const Args& a) { return hex(math_log(d(a[0]))); }},
        {"math_sqrt", [](const Args& a) { return hex(math_sqrt(d(a[0]))); }},
        {"math_tan", [](const Args& a) { return hex(math_tan(a[0])); }},
        {"math_atan", [](const Args& a) { return hex(math_atan(d(a[0]))); }},
        {"math_tanh", [](const Args& a) { return hex(math_tanh(d(a[0]))); }},
        {"math_expm1", [](const Args& a) { return hex(math_expm1(d(a[0]))); }},
        {"math_log1p", [](const Args& a) { return hex(math_log1p(d(a[0]))); }},
        {"math_erf", [](const Args& a) { return hex(math_erf(d(a[0]))); }},
        {"math_erf_ext", [](const Args& a) { return hex(math_erf_ext(a[0])); }},
        {"math_erf_inv", [](const Args& a) { return hex(math_erf_inv(d(a[0]))); }},
        {"math_lgamma", [](const Args& a) { return hex(math_lgamma(d(a[0]))); }},
        {"math_gamma_p", [](const Args& a) { return hex(math_gamma_p(d(a[0]), d(a[1]))); }},
        {"math_poisson_sum", [](const Args& a) { return hex(math_poisson_sum(i(a[0]), d(a[1]))); }},
        {"math_gamma_p_inv", [](const Args& a) { return hex(math_gamma_p_inv(d(a[0]), d(a[1]))); }},
        {"math_lbeta", [](const Args& a) { return hex(math_lbeta(d(a[0]), d(a[1]))); }},
        {"math_beta_i", [](const Args& a) { return hex(math_beta_i(d(a[0]), d(a[1]), d(a[2]))); }},
        {"math_beta_i_inv", [](const Args& a) { return hex(math_beta_i_inv(d(a[0]), d(a[1]), d(a[2]))); }},
        // Distribution functions over the kernels (flags off).
        {"dnorm", [](const Args& a) { return hex(dnorm(d(a[0]), d(a[1]), d(a[2]), false)); }},
        {"qnorm", [](const Args& a) { return hex(qnorm(d(a[0]), d(a[1]), d(a[2]))); }},
        {"dgamma", [](const Args& a) { return hex(dgamma(d(a[0]), d(a[1]), d(a[2]), false)); }},
        {"qgamma", [](const Args& a) { return hex(qgamma(d(a[0]), d(a[1]), d(a[2]))); }},
        {"pbeta", [](const Args& a) { return hex(pbeta(d(a[0]), d(a[1]), d(a[2]), false)); }},
        {"qbeta", [](const Args& a) { return hex(qbeta(d(a[0]), d(a[1]), d(a[2]))); }},
        {"dt", [](const Args& a) { return hex(dt(d(a[0]), d(a[1]), false)); }},
        {"pt", [](const Args& a) { return hex(pt(d(a[0]), d(a[1]), false)); }},
        {"qt", [](const Args& a) { return hex(qt(d(a[0]), d(a[1]))); }},
    };
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string name, word;
        in >> name;
        Args args;
        while (in >> word) args.push_back(std::strtold(word.c_str(), nullptr));
        auto it = table.find(name);
        std::cout << (it == table.end() ? std::string("unknown") : it->second(args)) << '\n';
    }
    return 0;
}

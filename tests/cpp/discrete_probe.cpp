// Evaluates the discrete quantiles outside Python, so that a build with
// ZORVANA_PLAIN_LOOPS (every partial sum and every step of the searches
// computed as written) can be compared with the shortcuts. Reads lines
// "qbinom p n prob" or "qpois p rate" (p, prob, rate in any form strtod
// accepts, n a decimal integer), "pbinom x n prob", "ppois_gap x rate"
// (the kernel's ppois less ppois_integrated, and less ppois_walked) or "erf_inv_gap x" (the
// kernel's inverse error function less its estimate, then the estimate's
// bound) and prints each result as a hexadecimal floating literal.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "distributions/distributions.hpp"
#include "kernels/erf.hpp"
#include "kernels/gamma.hpp"

using namespace zorvana;

int main() {
    std::string line, name, a, b, c;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        in >> name >> a >> b;
        const double p = std::strtod(a.c_str(), nullptr);
        if (name == "qbinom") {
            in >> c;
            std::printf("%a\n", qbinom(p, std::strtoll(b.c_str(), nullptr, 10), std::strtod(c.c_str(), nullptr)));
        } else if (name == "pbinom") {
            in >> c;
            std::printf("%a\n", pbinom(std::strtoll(a.c_str(), nullptr, 10), std::strtoll(b.c_str(), nullptr, 10),
                                       std::strtod(c.c_str(), nullptr), false));
        } else if (name == "ppois_gap") {
            const std::int64_t count = std::strtoll(a.c_str(), nullptr, 10);
            const double rate = std::strtod(b.c_str(), nullptr);
            const double kernel = 1 - math_gamma_p(static_cast<double>(count + 1), rate);  // ppois before its clamp
            // then as a walk of up to 40 counts reaches it
            const double walked = ppois_walked(count > 40 ? count - 40 : 0, count, rate);
            std::printf("%a %a\n", kernel - ppois_integrated(count, rate), kernel - walked);
        } else if (name == "erf_inv_gap") {
            double bound;
            const double estimate = erf_inv_estimate(p, bound);
            std::printf("%a %a\n", math_erf_inv(p) - estimate, bound);
        } else if (name == "qpois") {
            std::printf("%a\n", qpois(p, std::strtod(b.c_str(), nullptr)));
        } else {
            std::printf("unknown\n");
        }
    }
    return 0;
}

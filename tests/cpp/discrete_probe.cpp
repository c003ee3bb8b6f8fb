// Evaluates the discrete quantiles outside Python, so that a build with
// ZORVANA_PLAIN_LOOPS (every partial sum and every step of the searches
// computed as written) can be compared with the shortcuts. Reads lines
// "qbinom p n prob" or "qpois p rate" (p, prob, rate in any form strtod
// accepts, n a decimal integer) or "pbinom x n prob" and prints each result
// as a hexadecimal floating literal.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>

#include "distributions/distributions.hpp"

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
        } else if (name == "qpois") {
            std::printf("%a\n", qpois(p, std::strtod(b.c_str(), nullptr)));
        } else {
            std::printf("unknown\n");
        }
    }
    return 0;
}

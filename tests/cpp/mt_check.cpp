// Runs the generator and the word-level conversions outside Python. Reads
// lines from stdin and prints one line per command:
//   mt <seed> <n>    the first n outputs of Mt19937_64, decimal
//   array <n> <w>... the first n outputs of Mt19937_64 seeded by
//                    init_by_array64 with the key words w, decimal
//   std <seed> <n>   the first n outputs of the standard library's
//                    std::mt19937_64, decimal (an independent reference)
//   state <seed> <k> <n>  after k outputs: the state's next index, output
//                    count and first word, then the n outputs of another
//                    generator given that state
//   word <w>         canonical_of(w) and unit_of(w), hexadecimal
//   last <prob>      unit_last_at_most(prob): 0 or 1, and the word
//   polar <u> <s>    polar_value(u, s), hexadecimal
// Seeds and words are unsigned 64-bit decimals; u and s any strtod form.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "random/mt19937_64.hpp"
#include "random/variates.hpp"

using namespace zorvana;

template <class Gen>
static void print_outputs(Gen& gen, long n) {
    for (long k = 0; k < n; ++k) std::printf(k ? " %llu" : "%llu", static_cast<unsigned long long>(gen()));
    std::printf("\n");
}

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        in >> cmd;
        if (cmd == "mt" || cmd == "std") {
            std::string seed_text;
            long n = 0;
            in >> seed_text >> n;
            const std::uint64_t seed = std::strtoull(seed_text.c_str(), nullptr, 10);
            if (cmd == "mt") {
                Mt19937_64 gen(seed);
                auto next = [&gen]() { return gen.next(); };
                print_outputs(next, n);
            } else {
                std::mt19937_64 gen(seed);
                print_outputs(gen, n);
            }
        } else if (cmd == "array") {
            long n = 0;
            in >> n;
            std::vector<std::uint64_t> key;
            std::string w;
            while (in >> w) key.push_back(std::strtoull(w.c_str(), nullptr, 10));
            Mt19937_64 gen(0);
            gen.reseed_by_array(key.data(), key.size());
            auto next = [&gen]() { return gen.next(); };
            print_outputs(next, n);
        } else if (cmd == "state") {
            std::string seed_text;
            long k = 0, n = 0;
            in >> seed_text >> k >> n;
            Mt19937_64 gen(std::strtoull(seed_text.c_str(), nullptr, 10));
            for (long t = 0; t < k; ++t) gen.next();
            const Mt19937_64::State s = gen.state();
            std::printf("%zu %llu %llu\n", s.next, static_cast<unsigned long long>(s.outputs.w[0]),
                        static_cast<unsigned long long>(s.words[0]));
            Mt19937_64 other(0);
            other.set_state(s);
            auto next = [&other]() { return other.next(); };
            print_outputs(next, n);
        } else if (cmd == "word") {
            std::string w;
            in >> w;
            const std::uint64_t word = std::strtoull(w.c_str(), nullptr, 10);
            std::printf("%a %a\n", canonical_of(word), unit_of(word));
        } else if (cmd == "last") {
            std::string prob;
            in >> prob;
            std::uint64_t last;
            const bool any = unit_last_at_most(std::strtod(prob.c_str(), nullptr), last);
            std::printf("%d %llu\n", any ? 1 : 0, static_cast<unsigned long long>(last));
        } else if (cmd == "polar") {
            std::string u, s;
            in >> u >> s;
            std::printf("%a\n", polar_value(std::strtod(u.c_str(), nullptr), std::strtod(s.c_str(), nullptr)));
        } else {
            std::printf("unknown\n");
        }
    }
    return 0;
}

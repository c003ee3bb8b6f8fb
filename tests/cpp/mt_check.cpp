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
//   stuck <n>        draws from the all-zero words (outputs all 0) with an
//                    interrupt check that answers yes from its n-th call:
//                    a normal, gammas of shapes 2.5 and 0.5, then the checks made
//   strides <seed> <bits> <k>  after 5 outputs, k * 2^bits outputs skipped
//                    by the prepared stride jumps and by advance: "same" or "differ"
//   fault <seed> <k> <change>  the state after k outputs, changed (none, zero,
//                    zero-low, next, origin, span, spawned), then the check's verdict
// Seeds and words are unsigned 64-bit decimals; u and s any strtod form.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "distributions/interrupt.hpp"
#include "random/engine_state.hpp"
#include "random/mt19937_64.hpp"
#include "random/mt19937_64_jump.hpp"
#include "random/variates.hpp"

using namespace zorvana;

static long g_checks = 0, g_check_from = 0;
static bool counting_check() { return ++g_checks >= g_check_from; }

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
        } else if (cmd == "stuck") {
            in >> g_check_from;
            Mt19937_64 gen(1);
            Mt19937_64::State zero = gen.state();
            zero.words.fill(0);
            zero.next = Mt19937_64::kWords;
            gen.set_state(zero);
            interrupt_check.store(counting_check);
            const double z = draw_std_normal(gen);
            const double g = draw_gamma(gen, 2.5, 1.0);
            const double h = draw_gamma(gen, 0.5, 1.0);
            interrupt_check.store(nullptr);
            std::printf("%a %a %a %ld\n", z, g, h, g_checks);
            g_checks = 0;
        } else if (cmd == "strides") {
            std::string seed_text;
            unsigned bits = 0;
            std::uint32_t k = 0;
            in >> seed_text >> bits >> k;
            Mt19937_64 a(std::strtoull(seed_text.c_str(), nullptr, 10));
            for (int t = 0; t < 5; ++t) a.next();
            Mt19937_64 b(0);
            b.set_state(a.state());
            StrideJumps::shared().advance(a, bits, k);
            b.advance(Wide::power_of_two(bits).times(k));
            const Mt19937_64::State x = a.state(), y = b.state();
            const bool same = x.words == y.words && x.next == y.next && x.outputs == y.outputs && a.next() == b.next();
            std::printf("%s\n", same ? "same" : "differ");
        } else if (cmd == "fault") {
            std::string seed_text, change;
            long k = 0;
            in >> seed_text >> k >> change;
            Mt19937_64 gen(std::strtoull(seed_text.c_str(), nullptr, 10));
            for (long t = 0; t < k; ++t) gen.next();
            EngineState s{Seed::of_small(0), gen.state(), Wide(), 256, 0};
            if (change == "zero" || change == "zero-low") {
                s.generator.words.fill(0);
                if (change == "zero-low") s.generator.words[0] = 0x7FFFFFFF;
            } else if (change == "next") {
                s.generator.next = (s.generator.next + 1) % (Mt19937_64::kWords + 1);
            } else if (change == "origin") {
                s.origin = s.generator.outputs + Wide(1);
            } else if (change == "span") {
                s.span = 100;
            } else if (change == "spawned") {
                s.span = 96;
                s.origin = Wide(1);
                s.spawned = 1;
            }
            const char* fault = engine_state_fault(s);
            std::printf("%s\n", fault ? fault : "ok");
        } else {
            std::printf("unknown\n");
        }
    }
    return 0;
}

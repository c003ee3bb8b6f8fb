// Compares the lane kernels of each variant with the scalar kernels, bit for
// bit, on random inputs spread over each kernel's whole domain: random bit
// patterns (NaNs, infinities, subnormals, zeros), the branch boundaries and
// their neighbours, and each kernel's working range.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "kernels/gamma.hpp"
#include "kernels/gauss_legendre_table.hpp"
#include "kernels/lanes.hpp"
#include "kernels/lanes_variants.hpp"

using namespace zorvana;

namespace {

std::mt19937_64 rng(20261208);

double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }

// Any double at all: random bit patterns (NaNs, infinities, subnormals, both zeros).
double any_bits() {
    const std::uint64_t b = rng();
    double v;
    std::memcpy(&v, &b, sizeof v);
    return v;
}

double signed_log_uniform(double lo_exp, double hi_exp) {
    const double v = std::pow(10.0, uniform(lo_exp, hi_exp));
    return rng() & 1 ? -v : v;
}

// Values on and next to the boundaries of each kernel's branches.
const double kEdges[] = {0.0, -0.0, 0x1p-52, -0x1p-52, 0x1p-53, 0x1p-1074, -0x1p-1074, 0x1p-1022, 0.5, 1.0,
                         -1.0, 1.5, 2.0, -2.0, 2.1, -2.1, 2.5, -2.5, 5.0, 10.0, 1e-16, 1e-17, 1e17, 740.0,
                         -740.0, 741.0, 709.78, -745.1, 1e30, 1e300, -1e300, 1.0 / 0.0, -1.0 / 0.0, 0.0 / 0.0};

double edge_or_neighbour() {
    const double e = kEdges[rng() % (sizeof kEdges / sizeof kEdges[0])];
    switch (rng() % 3) {
        case 0: return e;
        case 1: return std::nextafter(e, 1.0 / 0.0);
        default: return std::nextafter(e, -1.0 / 0.0);
    }
}

std::vector<double> inputs(std::size_t n, double (*regular)()) {
    std::vector<double> v(n);
    for (auto& x : v) {
        const unsigned pick = rng() % 16;
        x = pick == 0 ? any_bits() : pick == 1 ? edge_or_neighbour() : regular();
    }
    return v;
}

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0 || (a != a && b != b); }

std::size_t differing(const std::vector<double>& a, const std::vector<double>& b) {
    std::size_t k = 0;
    for (std::size_t i = 0; i < a.size(); ++i) k += !same(a[i], b[i]);
    return k;
}

using Kernel = void (*)(const double*, double*, std::size_t);

// Runs of random lengths, so that every tail length and alignment occurs.
void in_runs(Kernel k, const std::vector<double>& x, std::vector<double>& out) {
    for (std::size_t at = 0; at < x.size();) {
        std::size_t len = 1 + rng() % 200;
        if (len > x.size() - at) len = x.size() - at;
        k(x.data() + at, out.data() + at, len);
        at += len;
    }
}

struct Case {
    const char* name;
    Kernel LaneKernels::*kernel;
    std::vector<double> x, expected;
};

// Quadrature terms on nodes around the mode of shapes from 10 to 10^4.
struct TermCase {
    std::vector<double> t, w, a, lg, expected;
};

// A kernel of one shape; the inverse also tells P at its quantiles where it
// knows it (p_at, known), if they are not null.
using ShapeKernel = void (*)(const LaneKernels&, double, const double*, double*, double*, unsigned char*, std::size_t);

void gamma_p_of(const LaneKernels& k, double a, const double* x, double* out, double*, unsigned char*, std::size_t n) {
    k.gamma_p(a, x, out, n);
}
void gamma_p_inv_of(const LaneKernels& k, double a, const double* p, double* out, double* p_at, unsigned char* known,
                    std::size_t n) {
    k.gamma_p_inv(a, p, out, p_at, known, n);
}

// The P an inverse tells at its quantiles must be the scalar kernel's there.
std::size_t wrong_p_at(const std::vector<double>& a, const std::vector<double>& out, const std::vector<double>& p_at,
                       const std::vector<unsigned char>& known) {
    std::size_t k = 0;
    for (std::size_t i = 0; i < out.size(); ++i) k += known[i] && !same(p_at[i], math_gamma_p(a[i], out[i]));
    return k;
}

// Runs of random lengths, each with its own shape: mostly below 10 (the
// fractions), some above (the quadrature), and the shapes' own edges.
struct ShapeCase {
    const char* name;
    ShapeKernel kernel;
    std::vector<double> shape, x, expected;
    std::vector<std::size_t> start;

    // Returns the number of wrong P values told at the quantiles.
    std::size_t run(const LaneKernels& k, std::vector<double>& out) const {
        std::vector<double> p_at(x.size()), a(x.size());
        std::vector<unsigned char> known(x.size());
        for (std::size_t r = 0; r < shape.size(); ++r) {
            kernel(k, shape[r], x.data() + start[r], out.data() + start[r], p_at.data() + start[r],
                   known.data() + start[r], start[r + 1] - start[r]);
            for (std::size_t i = start[r]; i < start[r + 1]; ++i) a[i] = shape[r];
        }
        return kernel == gamma_p_inv_of ? wrong_p_at(a, out, p_at, known) : 0;
    }
};

const double kShapeEdges[] = {0.0, -1.0, 0.0 / 0.0, 1.0 / 0.0, 1e-17, 1.0, 10.0, 9.999999999999998, 10.000000000000002,
                               0x1p-52, 0x1.fffffffffffffp-53, 0x1.0000000000001p-52};

ShapeCase shape_case(const char* name, ShapeKernel kernel, std::size_t n, bool probabilities) {
    ShapeCase c{name, kernel, {}, {}, {}, {0}};
    while (c.x.size() < n) {
        const unsigned pick = rng() % 32;
        const double a = pick == 0 ? kShapeEdges[rng() % (sizeof kShapeEdges / sizeof kShapeEdges[0])]
                         : pick < 4 ? std::pow(10.0, uniform(1, 3))
                                    : std::pow(10.0, uniform(-3, 1));
        const std::size_t len = 1 + rng() % 200;
        for (std::size_t i = 0; i < len; ++i) {
            const unsigned kind = rng() % 16;
            double v;
            if (kind == 0) {
                v = any_bits();
            } else if (kind == 1) {
                v = edge_or_neighbour();
            } else if (probabilities) {
                v = kind < 12 ? uniform(0, 1) : kind < 14 ? std::pow(10.0, uniform(-17, 0)) : 1 - std::pow(10.0, uniform(-17, 0));
            } else {
                v = kind < 8 ? uniform(0, 3 * (a > 0 ? a : 1) + 30) : a + uniform(-0.1, 0.1) * (kind - 8);
            }
            c.x.push_back(v);
        }
        c.shape.push_back(a);
        c.start.push_back(c.x.size());
    }
    return c;
}

// A shape per element: runs of one shape (as array calls pass them), single
// shapes mostly below 10, some above, the shapes' edges and integers.
double one_shape() {
    const unsigned pick = rng() % 32;
    return pick == 0   ? kShapeEdges[rng() % (sizeof kShapeEdges / sizeof kShapeEdges[0])]
           : pick == 1 ? any_bits()
           : pick < 4  ? std::pow(10.0, uniform(1, 3))
           : pick < 6  ? static_cast<double>(1 + rng() % 40)
                       : std::pow(10.0, uniform(-3, 1));
}

using EachKernel = void (*)(const LaneKernels&, const double*, const double*, double*, double*, unsigned char*,
                            std::size_t);

void gamma_p_each_of(const LaneKernels& k, const double* a, const double* x, double* out, double*, unsigned char*,
                     std::size_t n) {
    k.gamma_p_each(a, x, out, n);
}
void gamma_p_inv_each_of(const LaneKernels& k, const double* a, const double* p, double* out, double* p_at,
                         unsigned char* known, std::size_t n) {
    k.gamma_p_inv_each(a, p, out, p_at, known, n);
}

struct EachCase {
    const char* name;
    EachKernel kernel;
    std::vector<double> a, x, expected;

    // Returns the number of wrong P values told at the quantiles.
    std::size_t run(const LaneKernels& k, std::vector<double>& out) const {
        std::vector<double> p_at(x.size());
        std::vector<unsigned char> known(x.size());
        for (std::size_t at = 0; at < x.size();) {
            std::size_t len = 1 + rng() % 200;
            if (len > x.size() - at) len = x.size() - at;
            kernel(k, a.data() + at, x.data() + at, out.data() + at, p_at.data() + at, known.data() + at, len);
            at += len;
        }
        return kernel == gamma_p_inv_each_of ? wrong_p_at(a, out, p_at, known) : 0;
    }
};

EachCase each_case(const char* name, EachKernel kernel, std::size_t n, bool probabilities) {
    EachCase c{name, kernel, {}, {}, {}};
    while (c.x.size() < n) {
        const double a = one_shape();
        const std::size_t len = rng() % 4 == 0 ? 1 + rng() % 20 : 1;
        for (std::size_t i = 0; i < len; ++i) {
            const unsigned kind = rng() % 16;
            const double shape = rng() % 8 == 0 ? one_shape() : a;
            double v;
            if (kind == 0) {
                v = any_bits();
            } else if (kind == 1) {
                v = edge_or_neighbour();
            } else if (probabilities) {
                v = kind < 12 ? uniform(0, 1) : kind < 14 ? std::pow(10.0, uniform(-17, 0)) : 1 - std::pow(10.0, uniform(-17, 0));
            } else {
                const double s = shape > 0 && shape < 1e4 ? shape : 1;
                v = kind < 8 ? uniform(0, 3 * s + 30) : s + uniform(-0.1, 0.1) * (kind - 8) * (s < 10 ? 1 : s);
            }
            c.a.push_back(shape);
            c.x.push_back(v);
        }
    }
    return c;
}

// Log-gamma: the integers of the table and their neighbours, shapes, edges,
// any bits, and runs of one value.
std::vector<double> lgamma_inputs(std::size_t n) {
    std::vector<double> v;
    while (v.size() < n) {
        const unsigned pick = rng() % 8;
        const double k = static_cast<double>(rng() % 1100);
        double x = pick == 0   ? k
                   : pick == 1 ? std::nextafter(k, rng() % 2 ? 2000.0 : -1.0)
                   : pick == 2 ? edge_or_neighbour()
                   : pick == 3 ? any_bits()
                               : std::pow(10.0, uniform(-5, 6));
        const std::size_t len = rng() % 4 == 0 ? 1 + rng() % 8 : 1;
        for (std::size_t i = 0; i < len; ++i) v.push_back(x);
    }
    return v;
}

}  // namespace

// Usage: lanes_check N [--inverse N_INVERSE] VARIANT...: compares each
// variant (if this processor runs it) with the scalar kernels on N inputs per
// kernel (N_INVERSE for the inverse of the incomplete gamma function, whose
// scalar loop takes tens of microseconds an element) and prints
// "variant kernel inputs differing" per line. lanes_check --chosen prints the
// variant in use.
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--chosen") == 0) {
        std::printf("%s\n", lanes_variant());
        return 0;
    }
    const std::size_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
    const std::size_t n_inverse = argc > 2 && std::strcmp(argv[2], "--inverse") == 0 ? std::strtoull(argv[3], nullptr, 10) : 0;
    std::vector<Case> cases;
    cases.push_back({"exp", &LaneKernels::exp, inputs(n, [] {
                         return rng() % 2 ? uniform(-2.5, 2.5) : signed_log_uniform(-20, 3.0);
                     }), {}});
    cases.push_back({"log", &LaneKernels::log, inputs(n, [] {
                         return rng() % 4 ? std::pow(10.0, uniform(-20, 20)) : uniform(0.4, 1.6);
                     }), {}});
    cases.push_back({"erf", &LaneKernels::erf, inputs(n, [] {
                         return rng() % 2 ? uniform(-3, 3) : signed_log_uniform(-10, 1.5);
                     }), {}});
    cases.push_back({"lgamma", &LaneKernels::lgamma, lgamma_inputs(n), {}});
    cases.push_back({"erf_inv", &LaneKernels::erf_inv, inputs(n, [] {
                         return rng() % 2 ? uniform(-1, 1)
                                          : (rng() % 2 ? 1 : -1) * (1 - std::pow(10.0, uniform(-17, 0)));
                     }), {}});
    const LaneKernels& scalar = scalar_lane_kernels();
    for (Case& c : cases) {
        c.expected.resize(c.x.size());
        (scalar.*c.kernel)(c.x.data(), c.expected.data(), c.x.size());
    }
    TermCase terms;
    for (std::size_t rep = 0; rep < n / kGaussLegendrePoints; ++rep) {
        const double a = std::pow(10.0, uniform(1, 4));
        const double r = std::sqrt(a);
        for (int i = 0; i < kGaussLegendrePoints; ++i) {
            terms.t.push_back(rep % 64 == 0 ? edge_or_neighbour() : uniform(std::max(0.0, a - 12 * r), a + 12 * r));
            terms.w.push_back(uniform(0, 0.1));
        }
        terms.a.push_back(a);
        terms.lg.push_back(math_lgamma(a));
    }
    terms.expected.resize(terms.t.size());
    for (std::size_t j = 0; j < terms.a.size(); ++j) {
        const std::size_t at = j * kGaussLegendrePoints;
        scalar.gamma_terms(&terms.t[at], &terms.w[at], terms.a[j] - 1, terms.lg[j], &terms.expected[at],
                           kGaussLegendrePoints);
    }

    std::vector<ShapeCase> shaped;
    shaped.push_back(shape_case("gamma_p", gamma_p_of, n, false));
    shaped.push_back(shape_case("gamma_p_inv", gamma_p_inv_of, n_inverse, true));
    for (ShapeCase& c : shaped) {
        c.expected.resize(c.x.size());
        c.run(scalar, c.expected);
    }
    std::vector<EachCase> each;
    each.push_back(each_case("gamma_p_each", gamma_p_each_of, n, false));
    each.push_back(each_case("gamma_p_inv_each", gamma_p_inv_each_of, n_inverse, true));
    for (EachCase& c : each) {
        c.expected.resize(c.x.size());
        c.run(scalar, c.expected);
    }

    for (int v = n_inverse ? 4 : 2; v < argc; ++v) {
        const LaneKernels* lanes = lane_kernels_named(argv[v]);
        if (lanes == nullptr) {
            std::printf("%s unsupported\n", argv[v]);
            continue;
        }
        for (const Case& c : cases) {
            std::vector<double> got(c.x.size());
            in_runs(lanes->*c.kernel, c.x, got);
            std::printf("%s %s %zu %zu\n", lanes->name, c.name, c.x.size(), differing(got, c.expected));
        }
        for (const ShapeCase& c : shaped) {
            std::vector<double> got(c.x.size());
            const std::size_t wrong = c.run(*lanes, got);
            std::printf("%s %s %zu %zu\n", lanes->name, c.name, c.x.size(), differing(got, c.expected) + wrong);
        }
        for (const EachCase& c : each) {
            std::vector<double> got(c.x.size());
            const std::size_t wrong = c.run(*lanes, got);
            std::printf("%s %s %zu %zu\n", lanes->name, c.name, c.x.size(), differing(got, c.expected) + wrong);
        }
        std::vector<double> got(terms.t.size());
        for (std::size_t j = 0; j < terms.a.size(); ++j) {
            const std::size_t at = j * kGaussLegendrePoints;
            lanes->gamma_terms(&terms.t[at], &terms.w[at], terms.a[j] - 1, terms.lg[j], &got[at],
                               kGaussLegendrePoints);
        }
        std::printf("%s gamma_terms %zu %zu\n", lanes->name, got.size(), differing(got, terms.expected));
    }
    return 0;
}

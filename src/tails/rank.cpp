// The Wilcoxon rank sum statistic W (the rank sum of the first sample less
// its least value) and the signed rank statistic V, from tables of their
// whole distributions, made once per parameter and kept.
//
// Rank sum, samples of m and n: the number of arrangements with W = k is the
// coefficient of q^k in the Gaussian binomial coefficient
// [m + n, m]_q = prod_{i=1..m} (1 - q^(n+i)) / (1 - q^i), formed factor by
// factor in exact integer arithmetic modulo 2^(64 L), L limbs enough for
// C(m + n, m) (the intermediate polynomials have negative coefficients, the
// results none, so the modular arithmetic gives them exactly). Each mass and
// each cumulative sum is then one division of exact integers, rounded.
// Time min(m, n) m n L limb operations (0.2 s for m = n = 200, about 10 s
// for 500 and 500); memory 8 L (m n + 1) bytes while forming, 16 (m n + 1)
// bytes kept. Tables are made for m n <= 250000.
//
// Signed rank, n observations: the masses of V are the coefficients of
// prod_{i=1..n} (1 + q^i) / 2, formed in doubles (each step one rounded sum
// and an exact halving), the cumulative sums in double-double. Time about
// n^3 / 6 operations (0.2 s for n = 1000, 2.5 s for 2000), memory
// 16 (n (n + 1) / 2 + 1) bytes; n <= 2000.
//
// Both distributions are symmetric: P(X > k) = P(X <= M - 1 - k).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "accurate/double_double.hpp"
#include "accurate/elementary.hpp"
#include "distributions/interrupt.hpp"
#include "kernels/precision.hpp"
#include "tails/discrete_quantile.hpp"
#include "tails/discrete.hpp"

namespace zorvana {

namespace {

using accurate::DD;

constexpr std::int64_t kMaxWilcoxCells = 250000;
constexpr std::int64_t kMaxSignrank = 2000;

struct Table {
    std::int64_t top;             // the largest value, M
    std::vector<double> mass;     // P(X = k), k = 0..M
    std::vector<double> lower;    // P(X <= k)
};

// The tables made so far, by parameters; a few are kept.
class TableCache {
public:
    template <class Make>
    std::shared_ptr<const Table> get(std::int64_t a, std::int64_t b, Make make) {
        const std::pair<std::int64_t, std::int64_t> key(a, b);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = tables_.find(key);
            if (it != tables_.end()) return it->second;
        }
        std::shared_ptr<const Table> t = make();
        if (!t) return t;  // interrupted: nothing kept
        std::lock_guard<std::mutex> lock(mutex_);
        if (tables_.size() >= 16) tables_.erase(tables_.begin());
        tables_.emplace(key, t);
        return t;
    }

private:
    std::mutex mutex_;
    std::map<std::pair<std::int64_t, std::int64_t>, std::shared_ptr<const Table>> tables_;
};

// The exact integer of L limbs (least significant first) as a double-double.
DD limbs_dd(const std::uint64_t* v, int L) {
    DD s{0.0, 0.0};
    for (int i = L - 1; i >= 0; --i) {
        s = accurate::dd_mul(s, 0x1p64);
        const double hi = static_cast<double>(v[i] >> 32) * 0x1p32;
        const double lo = static_cast<double>(v[i] & 0xffffffffULL);
        s = accurate::dd_add(s, accurate::two_sum(hi, lo));
    }
    return s;
}

std::shared_ptr<const Table> make_wilcox(std::int64_t m, std::int64_t n) {
    if (m > n) std::swap(m, n);
    const std::int64_t top = m * n;
    // ln C(m + n, m) / ln 2^64, rounded up, and a limb to spare.
    const double bits = (accurate::lgamma(static_cast<double>(m + n + 1)) - accurate::lgamma(static_cast<double>(m + 1)) -
                         accurate::lgamma(static_cast<double>(n + 1))) /
                        0.69314718055994530942;
    const int L = static_cast<int>(bits / 64) + 2;
    std::vector<std::uint64_t> c(static_cast<std::size_t>((top + 1) * L), 0);
    c[0] = 1;
    auto at = [&](std::int64_t k) { return &c[static_cast<std::size_t>(k * L)]; };
    for (std::int64_t i = 1; i <= m; ++i) {
        if (interrupt_requested()) return nullptr;  // a Ctrl-C: the caller discards the NaN
        const std::int64_t deg = i * n;
        const std::int64_t s = n + i;
        for (std::int64_t k = deg; k >= s; --k) {  // times 1 - q^s
            std::uint64_t* d = at(k);
            const std::uint64_t* e = at(k - s);
            std::uint64_t borrow = 0;
            for (int l = 0; l < L; ++l) {
                const std::uint64_t a = d[l], t = e[l] + borrow;
                borrow = (t < borrow) || (a < t);
                d[l] = a - t;
            }
        }
        for (std::int64_t k = i; k <= deg; ++k) {  // over 1 - q^i
            std::uint64_t* d = at(k);
            const std::uint64_t* e = at(k - i);
            std::uint64_t carry = 0;
            for (int l = 0; l < L; ++l) {
                const std::uint64_t t = e[l] + carry;
                const std::uint64_t sum = d[l] + t;
                carry = (t < carry) || (sum < t);
                d[l] = sum;
            }
        }
    }
    auto t = std::make_shared<Table>();
    t->top = top;
    t->mass.resize(static_cast<std::size_t>(top + 1));
    t->lower.resize(static_cast<std::size_t>(top + 1));
    std::vector<std::uint64_t> cum(static_cast<std::size_t>(L), 0);
    // The total C(m + n, m) first, then each mass and cumulative sum over it.
    for (std::int64_t k = 0; k <= top; ++k) {
        const std::uint64_t* e = at(k);
        std::uint64_t carry = 0;
        for (int l = 0; l < L; ++l) {
            const std::uint64_t v = e[l] + carry;
            const std::uint64_t sum = cum[static_cast<std::size_t>(l)] + v;
            carry = (v < carry) || (sum < v);
            cum[static_cast<std::size_t>(l)] = sum;
        }
    }
    const DD total = limbs_dd(cum.data(), L);
    std::fill(cum.begin(), cum.end(), 0);
    for (std::int64_t k = 0; k <= top; ++k) {
        const std::uint64_t* e = at(k);
        std::uint64_t carry = 0;
        for (int l = 0; l < L; ++l) {
            const std::uint64_t v = e[l] + carry;
            const std::uint64_t sum = cum[static_cast<std::size_t>(l)] + v;
            carry = (v < carry) || (sum < v);
            cum[static_cast<std::size_t>(l)] = sum;
        }
        t->mass[static_cast<std::size_t>(k)] = accurate::dd_div(limbs_dd(e, L), total).hi;
        t->lower[static_cast<std::size_t>(k)] = accurate::dd_div(limbs_dd(cum.data(), L), total).hi;
    }
    return t;
}

std::shared_ptr<const Table> make_signrank(std::int64_t n) {
    const std::int64_t top = n * (n + 1) / 2;
    auto t = std::make_shared<Table>();
    t->top = top;
    std::vector<double>& d = t->mass;
    d.assign(static_cast<std::size_t>(top + 1), 0.0);
    d[0] = 1;
    std::int64_t deg = 0;
    for (std::int64_t i = 1; i <= n; ++i) {
        if ((i & 15) == 0 && interrupt_requested()) return nullptr;
        deg += i;
        for (std::int64_t k = deg; k >= i; --k) {
            d[static_cast<std::size_t>(k)] = (d[static_cast<std::size_t>(k)] + d[static_cast<std::size_t>(k - i)]) * 0.5;
        }
        for (std::int64_t k = 0; k < i && k <= deg; ++k) d[static_cast<std::size_t>(k)] *= 0.5;
    }
    t->lower.resize(static_cast<std::size_t>(top + 1));
    DD s{0.0, 0.0};
    for (std::int64_t k = 0; k <= top; ++k) {
        s = accurate::dd_add(s, d[static_cast<std::size_t>(k)]);
        t->lower[static_cast<std::size_t>(k)] = s.hi + s.lo;
    }
    return t;
}

TableCache& wilcox_cache() {
    static TableCache cache;
    return cache;
}
TableCache& signrank_cache() {
    static TableCache cache;
    return cache;
}

// The table of the parameters, nullptr where they are invalid or too large
// (or its making was interrupted).
// The last table a thread used is at hand without the lock.
bool wilcox_sizes(std::int64_t m, std::int64_t n) {
    return m >= 1 && n >= 1 && m <= kMaxWilcoxCells && n <= kMaxWilcoxCells && m * n <= kMaxWilcoxCells;
}

bool signrank_size(std::int64_t n) { return n >= 1 && n <= kMaxSignrank; }

std::shared_ptr<const Table> wilcox_table(std::int64_t m, std::int64_t n) {
    if (!wilcox_sizes(m, n)) return nullptr;
    if (m > n) std::swap(m, n);
    thread_local std::int64_t last_m = 0, last_n = 0;
    thread_local std::shared_ptr<const Table> last;
    if (last && last_m == m && last_n == n) return last;
    std::shared_ptr<const Table> t = wilcox_cache().get(m, n, [=] { return make_wilcox(m, n); });
    if (!t) return t;
    last = t;
    last_m = m;
    last_n = n;
    return last;
}

std::shared_ptr<const Table> signrank_table(std::int64_t n) {
    if (!signrank_size(n)) return nullptr;
    thread_local std::int64_t last_n = 0;
    thread_local std::shared_ptr<const Table> last;
    if (last && last_n == n) return last;
    std::shared_ptr<const Table> t = signrank_cache().get(n, 0, [=] { return make_signrank(n); });
    if (!t) return t;
    last = t;
    last_n = n;
    return last;
}

double value_or_log(double v, bool log) { return log ? accurate::log(v) : v; }

double table_d(const Table* t, std::int64_t x, bool log) {
    if (t == nullptr) return kNaN;
    if (x < 0 || x > t->top) return log ? -kInf : 0.0;
    return value_or_log(t->mass[static_cast<std::size_t>(x)], log);
}

double table_p(const Table* t, std::int64_t x, bool log_p, bool lower_tail) {
    if (t == nullptr) return kNaN;
    if (x < 0) return value_or_log(lower_tail ? 0.0 : 1.0, log_p);
    if (x >= t->top) return value_or_log(lower_tail ? 1.0 : 0.0, log_p);
    const std::int64_t k = lower_tail ? x : t->top - 1 - x;
    return value_or_log(t->lower[static_cast<std::size_t>(k)], log_p);
}

double table_q(const Table* t, double p, bool lower_tail, bool log_p) {
    if (t == nullptr) return kNaN;
    // Bisection over the whole support (its tails are at hand).
    return discrete_quantile(p, lower_tail, log_p, 0, t->top, 0.5 * static_cast<double>(t->top),
                             [=](std::int64_t x) { return table_p(t, x, log_p, lower_tail); });
}

}  // namespace

double dwilcox_accurate(std::int64_t x, std::int64_t n_x, std::int64_t n_y, bool log) {
    return table_d(wilcox_table(n_x, n_y).get(), x, log);
}
double pwilcox_accurate(std::int64_t x, std::int64_t n_x, std::int64_t n_y, bool log_p, bool lower_tail) {
    return table_p(wilcox_table(n_x, n_y).get(), x, log_p, lower_tail);
}
double qwilcox_accurate(double p, std::int64_t n_x, std::int64_t n_y, bool lower_tail, bool log_p) {
    return table_q(wilcox_table(n_x, n_y).get(), p, lower_tail, log_p);
}
double dsignrank_accurate(std::int64_t x, std::int64_t n_obs, bool log) {
    return table_d(signrank_table(n_obs).get(), x, log);
}
double psignrank_accurate(std::int64_t x, std::int64_t n_obs, bool log_p, bool lower_tail) {
    return table_p(signrank_table(n_obs).get(), x, log_p, lower_tail);
}
double qsignrank_accurate(double p, std::int64_t n_obs, bool lower_tail, bool log_p) {
    return table_q(signrank_table(n_obs).get(), p, lower_tail, log_p);
}

}  // namespace zorvana

namespace zorvana {

namespace {

double table_inverse(const Table* t, double u) {
    if (t == nullptr) return kNaN;
    const auto it = std::lower_bound(t->lower.begin(), t->lower.end(), u);
    return it == t->lower.end() ? static_cast<double>(t->top) : static_cast<double>(it - t->lower.begin());
}

}  // namespace

bool wilcox_has_table(std::int64_t n_x, std::int64_t n_y) { return wilcox_sizes(n_x, n_y); }
bool signrank_has_table(std::int64_t n_obs) { return signrank_size(n_obs); }

double wilcox_inverse(double u, std::int64_t n_x, std::int64_t n_y) {
    return table_inverse(wilcox_table(n_x, n_y).get(), u);
}
double signrank_inverse(double u, std::int64_t n_obs) { return table_inverse(signrank_table(n_obs).get(), u); }

}  // namespace zorvana

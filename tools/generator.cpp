// The formula generator. Every choice comes from one seeded stream, so a
// seed and the settings fix the formula. Probabilities are tuned so that
// roughly half of the formulas are true and most special cases show up in a
// few hundred seeds.

#include "generator.hpp"

#include <algorithm>
#include <numeric>

GeneratorSettings tinySettings() {
    return GeneratorSettings{};
}

GeneratorSettings largeSettings() {
    GeneratorSettings s;
    s.minVariables = 20;
    s.maxVariables = 40;
    s.minDensity = 2;
    s.maxDensity = 7;
    return s;
}

namespace {

constexpr uint32_t universalRedraw = 60; // percent

// Cumulative percentages of the clause kinds (units, two-literal clauses,
// equivalence pairs, three-literal clauses, the rest longer), and the
// number of clauses relative to the settings' density, in percent.
struct Mix {
    uint32_t unit, binary, equivalence, ternary, density;
};
constexpr Mix propagationMix{12, 45, 57, 87, 100};
constexpr Mix eliminationMix{2, 15, 20, 65, 200};

class Builder {
  public:
    Builder(uint64_t seed, const GeneratorSettings& settings) : random(seed), settings(settings) {}

    Formula build() {
        chooseVariables();
        buildPrefix();
        buildClauses();
        decorateClauses();
        return formula;
    }

  private:
    void chooseVariables() {
        uint32_t used = random.between(settings.minVariables, settings.maxVariables);
        uint32_t spare = !random.chance(20)  ? 0
                         : random.chance(80) ? random.between(1, 3)
                                             : random.between(10, 60);
        formula.variableCount = int32_t(used + spare);
        std::vector<int32_t> numbers(used + spare);
        std::iota(numbers.begin(), numbers.end(), 1);
        random.shuffle(numbers);
        pool.assign(numbers.begin(), numbers.begin() + used);
        uint32_t freeCount = random.chance(25) ? random.between(1, std::min(2u, used)) : 0;
        quantified.assign(numbers.begin() + freeCount, numbers.begin() + used);
        // Some spare numbers are declared in the prefix and never used.
        for (size_t i = used; i < numbers.size(); ++i)
            if (random.chance(50)) quantified.push_back(numbers[i]);
        random.shuffle(quantified);
    }

    void buildPrefix() {
        if (quantified.empty()) return;
        if (settings.shape != Shape::any) return buildShapedPrefix();
        uint32_t blocks =
            random.between(1, std::min<uint32_t>(settings.maxBlocks, uint32_t(quantified.size())));
        std::vector<size_t> cuts(quantified.size() - 1);
        std::iota(cuts.begin(), cuts.end(), 1);
        random.shuffle(cuts);
        cuts.resize(blocks - 1);
        cuts.push_back(quantified.size());
        std::sort(cuts.begin(), cuts.end());
        bool universal = random.chance(50);
        size_t start = 0;
        for (size_t end : cuts) {
            std::vector<int32_t> block(quantified.begin() + long(start),
                                       quantified.begin() + long(end));
            // A block may be written as two lines of the same kind, and an
            // empty line of either kind may stand anywhere.
            if (block.size() > 1 && random.chance(15)) {
                size_t split = random.between(1, uint32_t(block.size() - 1));
                addLine(universal, {block.begin(), block.begin() + long(split)});
                addLine(universal, {block.begin() + long(split), block.end()});
            } else {
                addLine(universal, block);
            }
            for (int32_t v : block) {
                positionOf(v) = int32_t(position++);
                if (universal) grow(universals, v, uint8_t{0}) = 1;
            }
            universal = !universal;
            start = end;
        }
    }

    void buildShapedPrefix() {
        uint32_t n = uint32_t(quantified.size());
        std::vector<std::pair<bool, uint32_t>> blocks; // kind, size
        if (settings.shape == Shape::forallExists) {
            uint32_t universalCount = n < 2 ? n : random.between(n / 3, n - n / 4 - 1);
            blocks = {{true, universalCount}, {false, n - universalCount}};
        } else if (settings.shape == Shape::manyLevels) {
            uint32_t count = std::min(random.between(3, 6), std::max(1u, n / 2));
            bool universal = count % 2 == 0;
            uint32_t left = n;
            for (uint32_t b = 0; b < count; ++b, universal = !universal) {
                uint32_t rest = count - b - 1; // blocks still to come
                uint32_t low = universal ? 2 : 1;
                uint32_t size =
                    rest == 0 ? left : random.between(low, std::max(low, left / (rest + 1) + 1));
                size = std::min(size, left - std::min(left, rest));
                blocks.push_back({universal, size});
                left -= size;
            }
        } else {
            uint32_t universalCount = std::min(n, random.between(1, 3));
            uint32_t outer = random.between(0, (n - universalCount) / 4);
            blocks = {{false, outer}, {true, universalCount}, {false, n - universalCount - outer}};
        }
        size_t start = 0;
        for (auto [universal, size] : blocks) {
            if (size == 0) continue;
            std::vector<int32_t> block(quantified.begin() + long(start),
                                       quantified.begin() + long(start + size));
            addLine(universal, block);
            for (int32_t v : block) {
                positionOf(v) = int32_t(position++);
                if (universal) grow(universals, v, uint8_t{0}) = 1;
            }
            start += size;
        }
    }

    void addLine(bool universal, std::vector<int32_t> variables) {
        if (random.chance(3)) formula.prefix.push_back({random.chance(50), {}});
        formula.prefix.push_back({universal, std::move(variables)});
    }

    int32_t& positionOf(int32_t v) { return grow(positions, v, -1); }
    bool isUniversal(int32_t v) { return grow(universals, v, uint8_t{0}) != 0; }

    template <typename T> static T& grow(std::vector<T>& table, int32_t v, T fill) {
        if (table.size() <= size_t(v)) table.resize(size_t(v) + 1, fill);
        return table[size_t(v)];
    }

    int32_t literal(int32_t v) { return random.chance(50) ? v : -v; }

    // Universal literals make a formula false quickly; a second draw for
    // most of them keeps true and false formulas about equally common.
    int32_t anyVariable() {
        int32_t v = pool[random.below(uint32_t(pool.size()))];
        if (isUniversal(v) && random.chance(universalRedraw))
            v = pool[random.below(uint32_t(pool.size()))];
        return v;
    }

    // k distinct variables, fewer if the pool is smaller. A clause of
    // universals only makes the formula false at once, so most clauses are
    // given one existential (or free) variable.
    std::vector<int32_t> randomClause(uint32_t k) {
        k = std::min<uint32_t>(k, uint32_t(pool.size()));
        std::vector<int32_t> c;
        auto contains = [&c](int32_t v) {
            return std::find(c.begin(), c.end(), v) != c.end() ||
                   std::find(c.begin(), c.end(), -v) != c.end();
        };
        bool existential = random.chance(95) && !existentials.empty();
        if (existential)
            c.push_back(literal(existentials[random.below(uint32_t(existentials.size()))]));
        while (c.size() < k) {
            int32_t v = anyVariable();
            if (!contains(v)) c.push_back(literal(v));
        }
        random.shuffle(c);
        return c;
    }

    void buildClauses() {
        for (int32_t v : pool)
            if (!isUniversal(v)) existentials.push_back(v);
        // Most formulas are decided by propagation alone; the others have
        // longer clauses, which leave eliminations and expansions to do.
        const Mix& mix = random.chance(60) ? propagationMix : eliminationMix;
        uint32_t density = random.between(settings.minDensity, settings.maxDensity);
        uint32_t items =
            std::max<uint32_t>(1, uint32_t(pool.size()) * density * mix.density / 1000);
        int32_t lastEquivalent = 0;
        for (uint32_t i = 0; i < items; ++i) {
            uint32_t kind = random.below(100);
            if (kind < mix.unit) {
                formula.clauses.push_back(randomClause(1));
            } else if (kind < mix.binary) {
                formula.clauses.push_back(randomClause(2));
            } else if (kind < mix.equivalence && pool.size() > 1) {
                // b == -a through (a | b) and (-a | -b); chains reuse the
                // last variable so substitutions meet each other.
                int32_t a = lastEquivalent && random.chance(40) ? lastEquivalent : anyVariable();
                int32_t b = anyVariable();
                while (b == a)
                    b = anyVariable();
                int32_t la = literal(a);
                int32_t lb = literal(b);
                formula.clauses.push_back(random.chance(50) ? std::vector{la, lb}
                                                            : std::vector{lb, la});
                formula.clauses.push_back({-la, -lb});
                lastEquivalent = b;
            } else if (kind < mix.ternary) {
                formula.clauses.push_back(randomClause(3));
            } else {
                formula.clauses.push_back(randomClause(random.between(4, 5)));
            }
        }
        if (settings.shape == Shape::forallExists && random.chance(50)) addGates();
        random.shuffle(formula.clauses);
    }

    // Circuits in Tseitin form, whose outputs two-level refinement takes as
    // definitions rather than searching for them: y <-> AND or OR of two or
    // three literals over universals and earlier outputs, or y <-> a XOR b.
    void addGates() {
        std::vector<int32_t> inputs;
        for (int32_t v : pool)
            if (isUniversal(v)) inputs.push_back(v);
        for (int32_t y : existentials) {
            if (inputs.size() >= 2 && random.chance(60)) {
                uint32_t n = random.between(2, std::min<uint32_t>(3, uint32_t(inputs.size())));
                std::vector<int32_t> in;
                while (in.size() < n) {
                    int32_t v = inputs[random.below(uint32_t(inputs.size()))];
                    if (std::find(in.begin(), in.end(), v) == in.end() &&
                        std::find(in.begin(), in.end(), -v) == in.end())
                        in.push_back(literal(v));
                }
                int32_t out = literal(y);
                if (n == 2 && random.chance(25)) {
                    for (int32_t sa : {1, -1})
                        for (int32_t sb : {1, -1})
                            formula.clauses.push_back(
                                {sa * sb > 0 ? -out : out, sa * in[0], sb * in[1]});
                } else {
                    std::vector<int32_t> all{out};
                    for (int32_t l : in) {
                        formula.clauses.push_back({-out, l});
                        all.push_back(-l);
                    }
                    formula.clauses.push_back(all);
                }
            }
            inputs.push_back(y);
        }
    }

    // The innermost literal of a clause by prefix position; free variables
    // are outermost.
    size_t innermostIndex(const std::vector<int32_t>& c) {
        size_t best = 0;
        for (size_t i = 1; i < c.size(); ++i)
            if (positionOf(std::abs(c[i])) > positionOf(std::abs(c[best]))) best = i;
        return best;
    }

    void insertAnywhere(std::vector<int32_t>& c, int32_t lit) {
        c.insert(c.begin() + random.between(0, uint32_t(c.size())), lit);
    }

    void decorateClauses() {
        // Copies and supersets of clauses, for the subsumption checks.
        if (random.chance(25)) {
            for (uint32_t k = random.between(1, 3); k > 0; --k) {
                std::vector<int32_t> copy =
                    formula.clauses[random.below(uint32_t(formula.clauses.size()))];
                for (uint32_t extra = random.below(3); extra > 0; --extra) {
                    int32_t v = anyVariable();
                    if (std::find(copy.begin(), copy.end(), -v) == copy.end() &&
                        std::find(copy.begin(), copy.end(), v) == copy.end())
                        copy.push_back(literal(v));
                }
                random.shuffle(copy);
                auto at =
                    formula.clauses.begin() + random.between(0, uint32_t(formula.clauses.size()));
                formula.clauses.insert(at, copy);
            }
        }
        for (auto& c : formula.clauses) {
            if (random.chance(6)) insertAnywhere(c, c[random.below(uint32_t(c.size()))]);
            if (random.chance(5)) {
                size_t i = random.chance(50) ? innermostIndex(c) : random.below(uint32_t(c.size()));
                insertAnywhere(c, -c[i]);
            }
        }
        if (random.chance(35)) {
            for (uint32_t k = random.between(1, 2); k > 0; --k) {
                int32_t v = anyVariable();
                int32_t sign = random.chance(50) ? 1 : -1;
                for (auto& c : formula.clauses)
                    for (int32_t& lit : c)
                        if (std::abs(lit) == v) lit = sign * v;
            }
        }
        if (random.chance(8)) {
            for (uint32_t k = random.between(1, 2); k > 0; --k) {
                auto at =
                    formula.clauses.begin() + random.between(0, uint32_t(formula.clauses.size()));
                formula.clauses.insert(at, std::vector<int32_t>{});
            }
        }
    }

    Random random;
    const GeneratorSettings& settings;
    Formula formula;
    std::vector<int32_t> pool;         // variables that may occur in clauses
    std::vector<int32_t> quantified;   // variables named in the prefix
    std::vector<int32_t> existentials; // pool variables that are existential or free
    std::vector<int32_t> positions;    // per variable: place in the prefix, -1 if free
    std::vector<uint8_t> universals;   // per variable: 1 if universal
    uint32_t position = 0;
};

} // namespace

bool parseShape(const std::string& name, Shape& shape) {
    if (name == "any")
        shape = Shape::any;
    else if (name == "forall-exists")
        shape = Shape::forallExists;
    else if (name == "few-universals")
        shape = Shape::fewUniversals;
    else if (name == "many-levels")
        shape = Shape::manyLevels;
    else
        return false;
    return true;
}

Formula generateFormula(uint64_t seed, const GeneratorSettings& settings) {
    return Builder(seed, settings).build();
}

namespace {

constexpr int32_t firstUnusedNumber = 1000000; // far beyond any variable an expansion creates

} // namespace

std::vector<int32_t> randomEliminationOrder(const Formula& formula, Random& random) {
    std::vector<int32_t> order;
    if (random.chance(50)) {
        std::vector<std::vector<int32_t>> blocks;
        bool lastUniversal = false;
        for (const QuantifierLine& line : formula.prefix) {
            if (line.variables.empty()) continue;
            if (blocks.empty() || line.universal != lastUniversal) blocks.emplace_back();
            blocks.back().insert(blocks.back().end(), line.variables.begin(), line.variables.end());
            lastUniversal = line.universal;
        }
        blocks.insert(blocks.begin(), freeVariables(formula));
        for (auto block = blocks.rbegin(); block != blocks.rend(); ++block) {
            random.shuffle(*block);
            order.insert(order.end(), block->begin(), block->end());
        }
    } else {
        order.resize(size_t(formula.variableCount));
        std::iota(order.begin(), order.end(), 1);
        random.shuffle(order);
    }
    if (random.chance(30)) order.resize(random.below(uint32_t(order.size()) + 1));
    if (random.chance(10) && !order.empty()) {
        int32_t again = order[random.below(uint32_t(order.size()))];
        order.insert(order.begin() + random.between(0, uint32_t(order.size())), again);
    }
    if (random.chance(30)) {
        for (uint32_t k = random.between(1, 2); k > 0; --k) {
            int32_t junk = firstUnusedNumber + int32_t(random.below(1000));
            order.insert(order.begin() + random.between(0, uint32_t(order.size())), junk);
        }
    }
    return order;
}

bool writeTwoBlockFormula(uint64_t seed, const TwoBlockSize& size, std::FILE* out) {
    if (size.universals < 2 || size.existentials < 3) return false;
    Random random(streamSeed(seed, 7));
    const long long universals = size.universals, all = universals + size.existentials;
    std::fprintf(out, "p cnf %lld %u\na", all, size.clauses);
    for (long long v = 1; v <= all; ++v)
        std::fprintf(out, v == universals + 1 ? " 0\ne %lld" : " %lld", v);
    std::fputs(" 0\n", out);
    for (uint32_t i = 0; i < size.clauses; ++i) {
        long long u1 = 1 + random.below(size.universals);
        long long u2 = 1 + random.below(size.universals - 1);
        if (u2 >= u1) ++u2;
        long long e[3];
        for (int k = 0; k < 3; ++k)
            do
                e[k] = universals + 1 + random.below(size.existentials);
            while ((k > 0 && e[k] == e[0]) || (k > 1 && e[k] == e[1]));
        u1 = random.chance(50) ? u1 : -u1;
        u2 = random.chance(50) ? u2 : -u2;
        std::fprintf(out, "%lld %lld %lld %lld %lld 0\n", u1, u2, e[0], e[1], e[2]);
    }
    return std::fflush(out) == 0 && !std::ferror(out);
}

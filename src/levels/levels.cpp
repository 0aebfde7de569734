// Clausal abstraction for any number of quantifier blocks. Expansion and
// two-level refinement need a forall-exists remainder or few universals;
// deep prefixes with wide blocks get neither, and elimination without a
// budget drowns on them. Here each block is one incremental CaDiCaL
// instance that speaks of clauses, not of the other blocks' variables: the
// outer blocks' moves arrive as assumptions "this clause is already
// satisfied", and every lesson learnt is a clause over per-clause literals.
//
// An existential block that loses below learns "satisfy one of the clauses
// the opponent needed open"; a universal block that loses below learns
// "leave one of the clauses the opponent needed closed open". Which clauses
// are open after a block is all that matters to the blocks inside it, and
// more open clauses never hurt the universal player, so a lesson holds
// under every outer move. A block that cannot move under its assumptions
// hands the failed ones out as the reason, and the outer block of its own
// quantifier learns from that. Per-clause literals are made only when a
// clause first enters a lesson, except the "satisfied from outside" literal
// of clauses whose innermost block is the existential one deciding them.

#include "levels/levels.hpp"

#include <algorithm>
#include <cadical.hpp>
#include <cassert>
#include <climits>
#include <cstdlib>
#include <memory>
#include <unordered_map>

namespace levels {
namespace {

constexpr uint32_t open = UINT32_MAX; // satisfiedAt of a clause no move satisfies

struct Level {
    bool universal = false;
    std::vector<int32_t> variables; // of the formula, this block's
    std::unique_ptr<CaDiCaL::Solver> sat;
    int32_t nextLocal = 0; // last variable number used in sat
    // Per clause: "satisfied by an outer block" (an assumption) and "left
    // open after this block" (what lessons speak of).
    std::unordered_map<uint32_t, int32_t> satisfiedOutside;
    std::unordered_map<uint32_t, int32_t> leftOpen;
    std::vector<std::pair<uint32_t, int32_t>> assumable; // clause, its satisfiedOutside literal
    std::vector<uint32_t> decidedHere; // clauses innermost here with outer literals
    std::vector<uint32_t> marked;      // clauses this block's move satisfies first
};

// The winner below a level and the clauses it relied on: for the universal
// player clauses left open, for the existential one clauses satisfied.
struct Outcome {
    bool existentialWins = false;
    std::vector<uint32_t> reason;
};

struct Engine {
    const Options& options;
    std::vector<Level> levels;
    std::vector<int32_t> levelOf; // per variable, -1 occurs nowhere
    std::vector<int32_t> local;   // per variable, its number in its level's solver
    std::vector<std::vector<int32_t>> clauses; // reduced, sorted by level
    std::vector<uint32_t> minLevel, maxLevel;  // per clause
    std::vector<std::vector<uint32_t>> occurrences; // per literal index
    std::vector<uint32_t> satisfiedAt; // per clause: the outermost level whose move satisfies it
    std::vector<int8_t> value;         // per variable, the current moves
    Result result;
    bool aborted = false;

    explicit Engine(const Options& o) : options(o) {}

    static size_t index(int32_t lit) { return 2 * size_t(std::abs(lit)) + (lit < 0); }
    bool isTrue(int32_t lit) const { return (lit > 0 ? 1 : -1) == value[std::abs(lit)]; }
    uint32_t levelOfLiteral(int32_t lit) const { return uint32_t(levelOf[std::abs(lit)]); }

    bool hasLiteralAt(uint32_t c, uint32_t i) const {
        return minLevel[c] <= i && i <= maxLevel[c] &&
               std::any_of(clauses[c].begin(), clauses[c].end(),
                           [&](int32_t l) { return levelOfLiteral(l) == i; });
    }
    bool satisfiedBy(uint32_t c, uint32_t i) const {
        for (int32_t l : clauses[c])
            if (levelOfLiteral(l) == i && isTrue(l)) return true;
        return false;
    }

    int32_t newLocal(Level& level) { return ++level.nextLocal; }

    int32_t outsideLiteral(uint32_t i, uint32_t c) {
        Level& level = levels[i];
        auto [at, fresh] = level.satisfiedOutside.try_emplace(c, 0);
        if (!fresh) return at->second;
        at->second = newLocal(level);
        level.assumable.emplace_back(c, at->second);
        return at->second;
    }

    // Existential: not open -> satisfied here or outside. Universal: open ->
    // neither.
    int32_t openLiteral(uint32_t i, uint32_t c) {
        Level& level = levels[i];
        auto [at, fresh] = level.leftOpen.try_emplace(c, 0);
        if (!fresh) return at->second;
        int32_t t = at->second = newLocal(level);
        int32_t s = minLevel[c] < i ? outsideLiteral(i, c) : 0;
        CaDiCaL::Solver& sat = *level.sat;
        if (!level.universal) {
            sat.add(t);
            if (s) sat.add(s);
            for (int32_t l : clauses[c])
                if (levelOfLiteral(l) == i) sat.add(l > 0 ? local[l] : -local[-l]);
            sat.add(0);
        } else {
            if (s) {
                sat.add(-t);
                sat.add(-s);
                sat.add(0);
            }
            for (int32_t l : clauses[c]) {
                if (levelOfLiteral(l) != i) continue;
                sat.add(-t);
                sat.add(l > 0 ? -local[l] : local[-l]);
                sat.add(0);
            }
        }
        return t;
    }

    // The existential block i must satisfy one of these clauses (open after
    // it); the universal block i must leave one of these (satisfied after
    // it) open. Clauses out of the block's reach drop out.
    void learn(uint32_t i, const std::vector<uint32_t>& reason) {
        Level& level = levels[i];
        std::vector<int32_t> lesson;
        for (uint32_t c : reason) {
            if (minLevel[c] > i) continue;
            if (hasLiteralAt(c, i)) {
                int32_t t = openLiteral(i, c);
                lesson.push_back(level.universal ? t : -t);
            } else {
                int32_t s = outsideLiteral(i, c);
                lesson.push_back(level.universal ? -s : s);
            }
        }
        for (int32_t l : lesson)
            level.sat->add(l);
        level.sat->add(0);
        ++result.refinements;
    }

    void unmark(Level& level) {
        for (uint32_t c : level.marked)
            satisfiedAt[c] = open;
        level.marked.clear();
    }

    void move(uint32_t i) {
        Level& level = levels[i];
        unmark(level);
        for (int32_t v : level.variables) {
            value[v] = level.sat->val(local[v]) > 0 ? 1 : -1;
            for (uint32_t c : occurrences[index(value[v] > 0 ? v : -v)]) {
                if (satisfiedAt[c] != open) continue;
                satisfiedAt[c] = i;
                level.marked.push_back(c);
            }
        }
    }

    Outcome play(uint32_t i) {
        Level& level = levels[i];
        std::vector<int32_t> assumptions;
        std::vector<uint32_t> assumed; // clause of each assumption
        for (;;) {
            if (options.stepLimit != 0 && result.steps >= options.stepLimit) {
                aborted = true;
                unmark(level);
                return {};
            }
            ++result.steps;
            assumptions.clear();
            assumed.clear();
            for (auto [c, s] : level.assumable) {
                bool satisfied = satisfiedAt[c] < i;
                // An existential block may not count an open clause as
                // satisfied; a universal one may not leave a satisfied one open.
                if (satisfied == level.universal) {
                    int32_t lit = level.universal ? s : -s;
                    level.sat->assume(lit);
                    assumptions.push_back(lit);
                    assumed.push_back(c);
                }
            }
            if (level.sat->solve() == 20) {
                Outcome lost{level.universal, {}};
                for (size_t k = 0; k < assumptions.size(); ++k)
                    if (level.sat->failed(assumptions[k])) lost.reason.push_back(assumed[k]);
                unmark(level);
                return lost;
            }
            move(i);
            Outcome below;
            if (i + 1 < levels.size()) {
                below = play(i + 1);
                if (aborted) {
                    unmark(level);
                    return {};
                }
            } else {
                below.existentialWins = true;
            }
            if (below.existentialWins != level.universal) {
                Outcome won = wins(i, below);
                if (i == 0)
                    for (int32_t v : level.variables)
                        result.outerMove.push_back(value[v] > 0 ? v : -v);
                unmark(level);
                return won;
            }
            learn(i, below.reason);
        }
    }

    // The reason block i's move wins with, in terms of clauses decided
    // outside it.
    Outcome wins(uint32_t i, const Outcome& below) {
        Outcome won{below.existentialWins, {}};
        if (levels[i].universal) {
            for (uint32_t c : below.reason)
                if (minLevel[c] < i) won.reason.push_back(c);
            return won;
        }
        for (uint32_t c : below.reason)
            if (!satisfiedBy(c, i)) won.reason.push_back(c);
        for (uint32_t c : levels[i].decidedHere)
            if (!satisfiedBy(c, i)) won.reason.push_back(c);
        for ([[maybe_unused]] uint32_t c : won.reason)
            assert(satisfiedAt[c] < i);
        return won;
    }

    // Levels over the occurring variables: -1 where none occurs, blocks of
    // one quantifier merged. Free variables make an outermost existential block.
    void assignLevels(const Formula& formula, int32_t lastVariable,
                      const std::vector<uint8_t>& occurs) {
        levelOf.assign(size_t(lastVariable) + 1, -1);
        std::vector<uint8_t> quantified(size_t(lastVariable) + 1, 0);
        std::vector<Block> blocks(1);
        for (const Block& b : formula.blocks)
            for (int32_t v : b.variables)
                quantified[v] = 1;
        for (int32_t v = 1; v <= lastVariable; ++v)
            if (occurs[v] && !quantified[v]) blocks[0].variables.push_back(v);
        blocks.insert(blocks.end(), formula.blocks.begin(), formula.blocks.end());
        levels.clear();
        for (const Block& b : blocks) {
            for (int32_t v : b.variables) {
                if (!occurs[v] || levelOf[v] >= 0) continue;
                if (levels.empty() || levels.back().universal != b.universal) {
                    levels.emplace_back();
                    levels.back().universal = b.universal;
                }
                levelOf[v] = int32_t(levels.size() - 1);
                levels.back().variables.push_back(v);
            }
        }
    }

    // Returns false when the matrix has an empty clause after reduction.
    bool prepare(const Formula& formula) {
        int32_t lastVariable = 0;
        for (const Block& b : formula.blocks)
            for (int32_t v : b.variables)
                lastVariable = std::max(lastVariable, v);
        for (const auto& c : formula.clauses)
            for (int32_t l : c)
                lastVariable = std::max(lastVariable, std::abs(l));
        std::vector<uint8_t> occurs(size_t(lastVariable) + 1, 0);
        for (const auto& c : formula.clauses)
            for (int32_t l : c)
                occurs[std::abs(l)] = 1;
        assignLevels(formula, lastVariable, occurs);

        // Universal reduction; tautologies and repeated literals go.
        std::vector<int32_t> lits;
        for (const auto& c : formula.clauses) {
            lits = c;
            std::sort(lits.begin(), lits.end(), [&](int32_t a, int32_t b) {
                uint32_t la = levelOfLiteral(a), lb = levelOfLiteral(b);
                return la < lb || (la == lb && (std::abs(a) < std::abs(b) ||
                                                (std::abs(a) == std::abs(b) && a < b)));
            });
            lits.erase(std::unique(lits.begin(), lits.end()), lits.end());
            bool tautology = false;
            for (size_t k = 1; k < lits.size(); ++k)
                tautology |= lits[k] == -lits[k - 1];
            if (tautology) continue;
            while (!lits.empty() && levels[levelOfLiteral(lits.back())].universal)
                lits.pop_back();
            if (lits.empty()) return false;
            clauses.push_back(lits);
        }

        // Reduction may leave a universal or a whole block without occurrences.
        std::fill(occurs.begin(), occurs.end(), 0);
        for (const auto& c : clauses)
            for (int32_t l : c)
                occurs[std::abs(l)] = 1;
        assignLevels(formula, lastVariable, occurs);
        result.levelCount = uint32_t(levels.size());

        local.assign(size_t(lastVariable) + 1, 0);
        for (Level& level : levels) {
            level.sat = std::make_unique<CaDiCaL::Solver>();
            level.sat->set("quiet", 1);
            for (int32_t v : level.variables)
                local[v] = newLocal(level);
        }
        value.assign(size_t(lastVariable) + 1, 0);
        occurrences.assign(2 * (size_t(lastVariable) + 1), {});
        satisfiedAt.assign(clauses.size(), open);
        for (uint32_t c = 0; c < clauses.size(); ++c) {
            minLevel.push_back(levelOfLiteral(clauses[c].front()));
            maxLevel.push_back(levelOfLiteral(clauses[c].back()));
            for (int32_t l : clauses[c])
                occurrences[index(l)].push_back(c);
        }
        // Each clause is the duty of its innermost (existential) block.
        for (uint32_t c = 0; c < clauses.size(); ++c) {
            uint32_t i = maxLevel[c];
            Level& level = levels[i];
            if (minLevel[c] < i) {
                level.sat->add(outsideLiteral(i, c));
                level.decidedHere.push_back(c);
            }
            for (int32_t l : clauses[c])
                if (levelOfLiteral(l) == i) level.sat->add(l > 0 ? local[l] : -local[-l]);
            level.sat->add(0);
        }
        // First moves: a universal falsifies, an existential satisfies, the
        // more frequent of its two literals.
        for (Level& level : levels) {
            level.sat->reserve(level.nextLocal);
            for (int32_t v : level.variables) {
                bool positive = occurrences[index(v)].size() >= occurrences[index(-v)].size();
                level.sat->phase(positive != level.universal ? local[v] : -local[v]);
            }
        }
        return true;
    }
};

} // namespace

Result solve(const Formula& formula, const Options& options) {
    Engine engine(options);
    if (!engine.prepare(formula)) {
        engine.result.answer = 0;
        return engine.result;
    }
    if (engine.levels.empty()) {
        engine.result.answer = 1;
        return engine.result;
    }
    Outcome outcome = engine.play(0);
    if (engine.aborted) {
        engine.result.outerMove.clear();
        return engine.result;
    }
    engine.result.answer = outcome.existentialWins ? 1 : 0;
    bool outerWins = outcome.existentialWins != engine.levels[0].universal;
    if (!outerWins) engine.result.outerMove.clear();
    return engine.result;
}

} // namespace levels

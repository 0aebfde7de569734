// Refutations: every step needed for the concluded clause is recomputed as
// a Q-resolvent of its parents. The pivot is not written, so it is found as
// the one variable on which the parents clash; it must be existential, and
// a second clash would make the resolvent a tautology, which Q-resolution
// does not allow.
//
// Parents may be defined by later lines, so clauses are computed on demand
// by a depth-first walk with an explicit stack (derivations are far deeper
// than the call stack). The walk doubles as the cycle check: a parent that
// is still on the walk's path depends on itself. A derived clause is freed
// once every step that needs it has been computed.

#include "check/check_certificate.hpp"

#include <cstdlib>
#include <unordered_map>

namespace check {

namespace {

using Clause = std::vector<int32_t>; // sorted by variable, no variable twice

[[noreturn]] void reject(size_t line, std::string why) {
    throw RejectException{line, why};
}

// Drops the universal literals that lie inside every existential literal.
void reduce(const Formula& f, Clause& c) {
    uint32_t innermost = 0;
    bool existential = false;
    for (int32_t lit : c)
        if (!f.universal[std::abs(lit)]) {
            existential = true;
            innermost = std::max(innermost, f.position[std::abs(lit)]);
        }
    std::erase_if(c, [&](int32_t lit) {
        uint32_t v = std::abs(lit);
        return f.universal[v] && (!existential || f.position[v] > innermost);
    });
}

std::string describe(const Formula& f, const Clause& c) {
    constexpr size_t shown = 10;
    std::string out;
    for (size_t i = 0; i < c.size() && i < shown; ++i)
        out += (i ? " " : "") + std::to_string(f.shown(c[i]));
    if (c.size() > shown) out += " ...";
    return out;
}

class Refutation {
  public:
    Refutation(const Formula& formula, const Certificate& certificate)
        : formula(formula), steps(certificate.steps), inputCount(formula.clauseCount()) {
        stepOf.reserve(steps.size());
        for (uint32_t s = 0; s < steps.size(); ++s) {
            const Step& step = steps[s];
            if (step.number <= inputCount)
                reject(step.line, "step " + std::to_string(step.number) +
                                      " redefines input clause " + std::to_string(step.number));
            auto [it, fresh] = stepOf.emplace(step.number, s);
            if (!fresh)
                reject(step.line, "clause " + std::to_string(step.number) +
                                      " is already defined on line " +
                                      std::to_string(steps[it->second].line));
        }
    }

    // The clause as this certificate derives it, universally reduced.
    Clause derive(uint64_t number, size_t line) {
        if (isInput(number)) return inputClause(number);
        auto it = stepOf.find(number);
        if (it == stepOf.end())
            reject(line, "concluded clause " + std::to_string(number) +
                             " is neither an input clause nor derived by a step");
        uint32_t root = it->second;
        countUses(root);
        computeFrom(root);
        return std::move(clauses[root]);
    }

  private:
    static constexpr uint32_t noStep = UINT32_MAX;

    bool isInput(uint64_t number) const { return number >= 1 && number <= inputCount; }

    Clause inputClause(uint64_t number) const {
        std::span<const int32_t> literals = formula.clause(uint32_t(number));
        Clause c(literals.begin(), literals.end());
        reduce(formula, c);
        return c;
    }

    // The step deriving parent, or noStep for an input clause; rejects
    // parents that name nothing usable.
    uint32_t parentStep(uint64_t parent, const Step& step) const {
        if (isInput(parent)) {
            if (formula.tautology[parent])
                reject(step.line, "step " + std::to_string(step.number) +
                                      " uses the tautological input clause " +
                                      std::to_string(parent));
            return noStep;
        }
        auto it = stepOf.find(parent);
        if (it == stepOf.end())
            reject(step.line, "step " + std::to_string(step.number) + " names clause " +
                                  std::to_string(parent) +
                                  ", which is neither an input clause nor derived by a step");
        return it->second;
    }

    // How many reachable steps name each step as a parent, so that a
    // clause can be freed after its last use.
    void countUses(uint32_t root) {
        uses.assign(steps.size(), 0);
        std::vector<uint8_t> seen(steps.size(), 0);
        std::vector<uint32_t> stack{root};
        seen[root] = 1;
        while (!stack.empty()) {
            const Step& step = steps[stack.back()];
            stack.pop_back();
            for (uint64_t parent : {step.first, step.second}) {
                uint32_t p = parentStep(parent, step);
                if (p == noStep) continue;
                ++uses[p];
                if (!seen[p]) {
                    seen[p] = 1;
                    stack.push_back(p);
                }
            }
        }
    }

    enum Color : uint8_t { white, grey, black };

    void computeFrom(uint32_t root) {
        clauses.assign(steps.size(), {});
        std::vector<uint8_t> color(steps.size(), white);
        struct Frame {
            uint32_t step;
            uint32_t nextParent; // 0, 1, or 2 when both parents are done
        };
        std::vector<Frame> stack{{root, 0}};
        color[root] = grey;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const Step& step = steps[frame.step];
            if (frame.nextParent < 2) {
                uint64_t parent = frame.nextParent++ == 0 ? step.first : step.second;
                uint32_t p = parentStep(parent, step);
                if (p == noStep || color[p] == black) continue;
                if (color[p] == grey)
                    reject(step.line, "step " + std::to_string(step.number) + " names clause " +
                                          std::to_string(parent) + ", which depends on step " +
                                          std::to_string(step.number));
                color[p] = grey;
                stack.push_back({p, 0}); // frame is invalid from here on
                continue;
            }
            uint32_t s = frame.step;
            stack.pop_back();
            clauses[s] = resolve(step);
            color[s] = black;
            for (uint64_t parent : {step.first, step.second}) {
                uint32_t p = parentStep(parent, step);
                if (p != noStep && --uses[p] == 0) Clause().swap(clauses[p]);
            }
        }
    }

    const Clause& parentClause(uint64_t parent, Clause& scratch) {
        if (isInput(parent)) {
            scratch = inputClause(parent);
            return scratch;
        }
        return clauses[stepOf.find(parent)->second];
    }

    Clause resolve(const Step& step) {
        Clause scratchA, scratchB;
        const Clause& a = parentClause(step.first, scratchA);
        const Clause& b = parentClause(step.second, scratchB);
        Clause r;
        r.reserve(a.size() + b.size());
        uint32_t clashes = 0;
        uint32_t pivot = 0, secondPivot = 0;
        size_t i = 0, j = 0;
        while (i < a.size() || j < b.size()) {
            uint32_t va = i < a.size() ? std::abs(a[i]) : UINT32_MAX;
            uint32_t vb = j < b.size() ? std::abs(b[j]) : UINT32_MAX;
            if (va < vb) {
                r.push_back(a[i++]);
            } else if (vb < va) {
                r.push_back(b[j++]);
            } else if (a[i] == b[j]) {
                r.push_back(a[i]);
                ++i, ++j;
            } else {
                (clashes++ == 0 ? pivot : secondPivot) = va;
                ++i, ++j;
            }
        }
        std::string parents = "step " + std::to_string(step.number) + ": clauses " +
                              std::to_string(step.first) + " and " + std::to_string(step.second);
        if (clashes == 0) reject(step.line, parents + " clash on no variable");
        if (clashes > 1)
            reject(step.line, parents + " clash on more than one variable (" +
                                  std::to_string(formula.shown(pivot)) + " and " +
                                  std::to_string(formula.shown(secondPivot)) + ")");
        if (formula.universal[pivot])
            reject(step.line, parents + " clash only on the universal variable " +
                                  std::to_string(formula.shown(pivot)));
        reduce(formula, r);
        return r;
    }

    const Formula& formula;
    const std::vector<Step>& steps;
    uint32_t inputCount;
    std::unordered_map<uint64_t, uint32_t> stepOf; // clause number -> index into steps
    std::vector<uint32_t> uses;                    // per step: reachable steps not yet computed
    std::vector<Clause> clauses;                   // per step: its clause while still needed
};

} // namespace

void checkRefutation(const Formula& formula, const Certificate& certificate) {
    size_t line = certificate.conclusionLine;
    uint64_t n = certificate.finalClause;
    if (n >= 1 && n <= formula.clauseCount() && formula.tautology[n])
        reject(line, "concluded clause " + std::to_string(n) + " is a tautological input clause");
    Refutation refutation(formula, certificate);
    Clause c = refutation.derive(n, line);
    if (!c.empty())
        reject(line, "concluded clause " + std::to_string(n) +
                         " is not empty after universal reduction: " + describe(formula, c));
}

} // namespace check

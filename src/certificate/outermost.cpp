// Values of the outermost quantifier block for QDIMACS output. They are read
// off what the certificate already proves, so they are right exactly when a
// certificate would be accepted:
//
// - a true formula with an outermost existential block: the block's
//   functions depend on no universal, so each is a constant, found by
//   evaluating its gates;
// - a false formula with an outermost universal block: the refutation ends in
//   a clause of universal literals only, which universal reduction empties.
//   Setting the block's literals in it false leaves a false formula, so those
//   values refute it; the block's other variables stay undetermined.

#include "store/solver.hpp"

#include <cstdlib>
#include <unordered_map>

namespace {

[[noreturn]] void bug(const char* message) {
    throw SolverException{{message}};
}

} // namespace

// Free variables form the outermost block when there are any. A load that
// stopped at a contradiction may not have met them yet: then the room kept
// for them is still empty, and the block is left unknown.
void Solver::findOutermostBlock() {
    outermostBlock.clear();
    if (lastPosition == 0 || order.get(0) == 0) return;
    outermostUniversal = !isExistential(order.get(0));
    for (uint32_t p = 0; p < lastPosition; ++p) {
        Variable v = order.get(p);
        if (v == 0 || isExistential(v) == outermostUniversal) break;
        outermostBlock.push_back(v);
    }
}

// An input variable stands for its listed function (an unlisted existential
// is false); an index above the input variables names a gate.
void Solver::evaluateOutermostFunctions(const std::vector<std::pair<uint32_t, Literal>>& pairs) {
    // Gates follow the variables in state, so a header declaring far more
    // variables than occur costs nothing here.
    uint32_t base = certificate.indexBase;
    std::vector<Literal> listed(lastInputVar + 1, 0);
    for (const auto& [v, f] : pairs)
        listed[v] = f;
    enum : uint8_t { unknown, onPath, isFalse, isTrue };
    std::vector<uint8_t> states(lastInputVar + 1 + (certificate.lastIndex - base), unknown);
    auto state = [&](uint32_t n) -> uint8_t& {
        if (n > base) return states[lastInputVar + (n - base)];
        if (n > lastInputVar) bug("BUG: an outermost function uses a variable that does not occur");
        return states[n];
    };
    auto operands = [&](uint32_t n, uint32_t& count) -> const Literal* {
        if (n <= base) {
            if (!isExistential(n)) bug("BUG: an outermost function depends on a universal");
            count = listed[n] != 0;
            return &listed[n];
        }
        uint32_t at = certificate.gateOffset(n);
        if (at == 0) bug("BUG: an outermost function uses an undefined gate");
        count = uint32_t(certificate.gateWords[at]);
        return &certificate.gateWords[at + 1];
    };
    auto value = [&](Literal l) {
        bool v = state(uint32_t(std::abs(l))) == isTrue;
        return l > 0 ? v : !v;
    };
    struct Frame {
        uint32_t node;
        uint32_t next; // operands visited so far
    };
    std::vector<Frame> stack;
    outermostValues.clear();
    for (Variable x : outermostBlock) {
        if (state(x) == unknown) {
            state(x) = onPath;
            stack.push_back({x, 0});
        }
        while (!stack.empty()) {
            Frame& frame = stack.back();
            uint32_t n = frame.node;
            uint32_t count = 0;
            const Literal* ops = operands(n, count);
            if (frame.next < count) {
                uint32_t child = uint32_t(std::abs(ops[frame.next++]));
                if (state(child) == onPath) bug("BUG: the outermost functions form a cycle");
                if (state(child) == unknown) {
                    state(child) = onPath;
                    stack.push_back({child, 0}); // frame is invalid from here on
                }
                continue;
            }
            bool v;
            if (n <= base) {
                v = count == 1 && value(ops[0]);
            } else if (certificate.gateWords[certificate.gateOffset(n) - 1] == 'I') {
                v = value(ops[0]) ? value(ops[1]) : value(ops[2]);
            } else {
                v = true;
                for (uint32_t i = 0; i < count; ++i)
                    v = v && value(ops[i]);
            }
            state(n) = v ? isTrue : isFalse;
            stack.pop_back();
        }
        outermostValues.push_back(state(x) == isTrue ? Literal(x) : -Literal(x));
    }
}

// The final clause of the refutation is recomputed over the input clauses,
// as the checker does, and its last resolution step taken without the
// universal reduction that empties it. An input clause that reduction
// emptied on loading was kept by prepareClause.
void Solver::recordRefutedClause(uint32_t finalId, const GrowArray<ResolutionStep>& requiredSteps) {
    ResolutionStep last = requiredSteps.get(finalId);
    if (last.parentA == 0 && last.parentB == 0) return;
    std::unordered_map<uint32_t, const Clause*> clauses;
    std::vector<Clause*> derived;
    auto release = [&] {
        for (Clause* c : derived)
            releaseClause(c);
    };
    std::vector<uint32_t> stack{last.parentA, last.parentB};
    while (!stack.empty()) {
        uint32_t id = stack.back();
        if (clauses.count(id)) {
            stack.pop_back();
            continue;
        }
        ResolutionStep step = requiredSteps.get(id);
        if (step.parentA == 0 && step.parentB == 0) {
            const Clause* in = id <= lastInputClauseId ? inputClauseCopies.get(id) : nullptr;
            if (!in) {
                release();
                bug("BUG: the refutation uses a clause that is neither input nor derived");
            }
            clauses[id] = in;
            stack.pop_back();
            continue;
        }
        auto a = clauses.find(step.parentA);
        auto b = clauses.find(step.parentB);
        if (a == clauses.end()) {
            stack.push_back(step.parentA);
        } else if (b == clauses.end()) {
            stack.push_back(step.parentB);
        } else {
            Clause* r = resolveOnPivot(b->second, a->second, rootVariable(step.pivot));
            derived.push_back(r);
            clauses[id] = r;
            stack.pop_back();
        }
    }
    Clause* unreduced = resolveOnPivot(clauses[last.parentB], clauses[last.parentA],
                                       rootVariable(last.pivot), false);
    refutedClause.assign(unreduced->literals, unreduced->literals + unreduced->size);
    releaseClause(unreduced);
    release();
}

std::vector<Literal> Solver::qdimacsValues(bool answer) const {
    std::vector<Literal> values;
    if (answer) {
        if (!outermostUniversal)
            for (Literal l : outermostValues)
                values.push_back(renumbering.fileLiteral(l));
        return values;
    }
    if (!outermostUniversal) return values;
    for (Variable x : outermostBlock)
        for (Literal l : refutedClause)
            if (var(l) == x) values.push_back(-renumbering.fileLiteral(l));
    return values;
}

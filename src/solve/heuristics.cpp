// Decision heuristics: each one picks the position of the next variable to
// remove, preferring the innermost block and taking an outer variable only
// when removing it is sound there (an existential that is the innermost
// literal of all its clauses, or a universal to be expanded). Each call is
// linear in the positions it scans; all inputs are maintained counts.

#include "store/solver.hpp"

#include <cstdint>
#include <iostream>
#include <limits>

namespace {

constexpr int32_t inf = 2147483642; // a cost too large to count

bool infinite(int32_t x) {
    return x >= inf;
}

int32_t clampCost(int64_t x) {
    return x < -2147483647 || x > 2147483641 ? inf : int32_t(x);
}

int32_t costSum(int32_t a, int32_t b) {
    if (infinite(a) || infinite(b)) return inf;
    return clampCost(int64_t{a} + b);
}

int32_t costProduct(int32_t a, int32_t b) {
    if (a == 0 || b == 0) return 0;
    if (infinite(a) || infinite(b)) return inf;
    return clampCost(int64_t{a} * b);
}

int32_t costOf(uint32_t count) {
    return count >= uint32_t(inf) ? inf : int32_t(count);
}

// Truncates toward zero; a product beyond 32 bits reads as the lowest value,
// so that nothing compares below it.
int32_t scaled(int32_t best) {
    double d = best * 1.1;
    if (d >= 2147483648.0 || d < -2147483648.0) return std::numeric_limits<int32_t>::min();
    return int32_t(d);
}

// The largest position at or below p that passed rejects, or 0. What passed
// accepts must stay accepted for good: the jumps over such positions are
// remembered in skip and never undone.
template <typename Passed>
uint32_t firstUnpassed(GrowArray<uint32_t>& skip, uint32_t p, Passed passed) {
    uint32_t q = p;
    while (q > 0 && passed(q)) {
        uint32_t jump = skip.get(q);
        q = jump ? jump - 1 : q - 1;
    }
    for (uint32_t r = p; r > q;) {
        uint32_t jump = skip.get(r);
        skip[r] = q + 1;
        r = jump ? jump - 1 : r - 1;
    }
    return q;
}

} // namespace

int32_t Solver::eliminationCost(Variable x) {
    VarState o = varState[x];
    int32_t posW = costOf(o.weight[0]);
    int32_t negW = costOf(o.weight[1]);
    int32_t posC = costOf(o.count[0]);
    int32_t negC = costOf(o.count[1]);
    int32_t removed = -costSum(posW, negW);
    int32_t fromPos = costProduct(costSum(negW, -negC), posC);
    int32_t fromNeg = costProduct(costSum(posW, -posC), negC);
    return costSum(costSum(removed, fromPos), fromNeg);
}

int32_t Solver::expansionCost(Variable x) {
    VarState o = varState[x];
    int32_t weight = costSum(costOf(o.weight[0]), costOf(o.weight[1]));
    return costSum(weight, costOf(o.count[0] + o.count[1]));
}

int32_t Solver::variableCost(Variable x) {
    return isExistential(x) ? eliminationCost(x) : expansionCost(x);
}

// Universals and eliminated variables stay so, and positions keep their
// variables, so a jump over them never has to be undone.
uint32_t Solver::chooseInnermost(uint32_t pos) {
    return firstUnpassed(innermostSkip, pos, [this](uint32_t q) {
        Variable x = order[q];
        return !isExistential(x) || eliminated[x];
    });
}

// The largest position at or below p that is 0 or not an existential without
// occurrences. Such an existential never occurs again (a clause can only gain
// a literal that occurs elsewhere), so the positions skipped over stay skipped
// and the jumps are remembered, each walk shortening the ones after it.
uint32_t Solver::liveAtOrBelow(uint32_t p) {
    if (!skipValid) {
        skipBelow.resize(0);
        occurringSkip.resize(0);
        skipValid = true;
    }
    auto dead = [this](uint32_t q) {
        Variable x = order[q];
        return isExistential(x) && occurrences(x) == 0;
    };
    return firstUnpassed(skipBelow, p, dead);
}

// The same for universals too: where a universal without occurrences counts
// for nothing, a walk need not stop at it.
uint32_t Solver::occurringAtOrBelow(uint32_t p) {
    if (!skipValid) liveAtOrBelow(0);
    return firstUnpassed(occurringSkip, p, [this](uint32_t q) { return occurrences(order[q]) == 0; });
}

// Existentials without occurrences take no part in the walks below, so the
// walks jump over them.
uint32_t Solver::chooseStackSize(uint32_t pos) {
    if (pos == 0) return 0;
    uint32_t best = std::numeric_limits<uint32_t>::max();
    uint32_t bestPos = pos;
    uint32_t b = 0;
    for (uint32_t q = liveAtOrBelow(pos); q >= 1; q = liveAtOrBelow(q - 1)) {
        Variable x = order[q];
        if (!isExistential(x) && (!scopeCombining || (!eliminated[x] && occurrences(x) > 0))) {
            b = q;
            break;
        }
        uint32_t occ = occurrences(x);
        if (!eliminated[x] && occ > 0 && occ < best) {
            best = occ;
            bestPos = q;
        }
    }
    if (b == 0) return bestPos;

    // inner is the summed occurrence count of positions q + 1 to pos - 1.
    uint32_t inner = 0;
    for (uint32_t r = occurringAtOrBelow(pos - 1); r > b; r = occurringAtOrBelow(r - 1))
        inner += occurrences(order[r]);
    uint32_t best2 = best;
    uint32_t bestPos2 = b;
    for (uint32_t q = b; q >= 1;) {
        Variable x = order[q];
        uint32_t occ = occurrences(x);
        uint32_t s = isExistential(x) ? occ : occ + inner;
        if (occ != 0 && s < best2 && (isExistential(x) ? s == keyed(x) : universalExpansion)) {
            best2 = s;
            bestPos2 = q;
        }
        if (q <= pos - 1) inner += occ; // the positions below q count it
        q = occurringAtOrBelow(q - 1);
    }
    return best2 < best ? bestPos2 : bestPos;
}

uint32_t Solver::chooseMaxConflicts(uint32_t pos) {
    if (pos == 0) return 0;
    auto pairs = [this](Variable x) { return vars[x].posCount * vars[x].negCount; };
    uint32_t best = pairs(order[pos]);
    uint32_t bestPos = pos;
    uint32_t b = 0;
    for (uint32_t q = liveAtOrBelow(pos); q >= 1; q = liveAtOrBelow(q - 1)) {
        Variable x = order[q];
        if (!isExistential(x)) {
            b = q;
            break;
        }
        uint32_t n = pairs(x);
        if (n != 0 && n < best) {
            best = n;
            bestPos = q;
        }
    }
    if (b == 0) return bestPos;
    uint32_t e = b;
    while (e >= 1 && !isExistential(order[e]))
        --e;
    if (e == 0) return bestPos;
    uint32_t best2 = best;
    uint32_t bestPos2 = e;
    for (uint32_t q = e; q >= 1; q = liveAtOrBelow(q - 1)) {
        Variable x = order[q];
        if (!isExistential(x)) continue;
        uint32_t n = pairs(x);
        if (n != 0 && occurrences(x) == keyed(x) && n < best2) {
            best2 = n;
            bestPos2 = q;
        }
    }
    return best2 < best ? bestPos2 : bestPos;
}

uint32_t Solver::chooseLiteralBound(uint32_t pos) {
    int32_t best = variableCost(order[pos]);
    uint32_t bestPos = pos;
    // Eliminated variables that the walks pass over stay so.
    auto gone = [this](uint32_t q) {
        Variable x = order[q];
        return eliminated[x] && (isExistential(x) || scopeCombining);
    };
    for (uint32_t q = firstUnpassed(boundSkip, pos, gone); q >= 1;
         q = firstUnpassed(boundSkip, q - 1, gone)) {
        Variable x = order[q];
        if (!isExistential(x) && !(scopeCombining && eliminated[x])) break;
        if (!eliminated[x]) {
            int32_t cost = variableCost(x);
            if (cost < best) {
                best = cost;
                bestPos = q;
            }
        }
    }
    if (showProgress)
        std::cout << "Cheapest existential: " << renumbering.fileVariable(order[bestPos]) << " ("
                  << best * 1.1 << ")" << std::endl;
    if (universalExpansion) {
        uint32_t p = 0;
        for (uint32_t q = firstUnpassed(boundSkip, pos, gone); q >= 1;
             q = firstUnpassed(boundSkip, q - 1, gone)) {
            Variable x = order[q];
            if (!isExistential(x) && !(scopeCombining && eliminated[x])) {
                p = q;
                break;
            }
        }
        int32_t inner = 0;
        uint32_t r0 = p + 1;
        while (r0 < lastPosition && !(isExistential(order[r0]) && !eliminated[order[r0]]))
            ++r0;
        if (r0 < lastPosition) {
            for (uint32_t r = r0; r < lastPosition; ++r) {
                Variable x = order[r];
                inner = costSum(inner, costOf(varState[x].weight[0]));
                inner = costSum(inner, costOf(varState[x].weight[1]));
            }
            if (!infinite(inner)) inner = costSum(inner, inner);
        }
        best = scaled(best);
        for (uint32_t q = p; q >= 1; --q) {
            Variable x = order[q];
            if (isExistential(x) && !(scopeCombining && eliminated[x])) break;
            if (eliminated[x]) continue;
            int32_t score = costSum(-variableCost(x), inner);
            if (score < best) {
                best = score;
                bestPos = q;
            }
        }
    }
    if (showProgress) std::cout << "Score: " << best << std::endl;
    return bestPos;
}

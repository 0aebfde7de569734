// The store keeps counts, weights and signatures incrementally; these checks
// recompute them from scratch so that any operation that forgets one piece
// of bookkeeping is caught right after it runs.

#include "support/store_checks.hpp"

#include <algorithm>
#include <vector>

namespace {

struct Tally {
    uint32_t count = 0;
    uint32_t weight = 0;
};

testing::AssertionResult checkClause(const Solver& s, const Clause* c, Literal key) {
    auto fail = [&] {
        return testing::AssertionFailure() << "clause id " << c->id << " under key " << key << ": ";
    };
    if (!s.isExistential(var(key))) return fail() << "universal key";
    uint32_t sig = 0;
    for (uint32_t i = 0; i < c->size; ++i) {
        Variable v = var(c->literals[i]);
        if (i > 0 && s.position(var(c->literals[i - 1])) >= s.position(v))
            return fail() << "literals not strictly sorted at index " << i;
        if (s.position(v) >= s.position(var(key)))
            return fail() << "literal " << c->literals[i] << " not outer to the key";
        sig |= uint32_t{1} << (v / s.sigBucketWidth % 32);
    }
    if (sig & ~c->signature) return fail() << "signature misses a stored literal";
    return testing::AssertionSuccess();
}

} // namespace

testing::AssertionResult storeIsConsistent(const Solver& s) {
    uint32_t tables =
        std::max({s.vars.capacity, s.posOccurrences.capacity, s.negOccurrences.capacity,
                  s.posOccurrenceWeight.capacity, s.negOccurrenceWeight.capacity, s.lastVar + 1});
    std::vector<Tally> pos(tables), neg(tables);
    auto tally = [&](Literal lit, uint32_t length) {
        Tally& t = lit > 0 ? pos[var(lit)] : neg[var(lit)];
        ++t.count;
        t.weight += length;
    };
    uint32_t linked = 0;
    for (Variable v = 1; v < s.vars.capacity; ++v) {
        VarRecord r = s.vars.get(v);
        for (Literal key : {Literal(v), -Literal(v)}) {
            uint32_t length = 0;
            for (const Clause* c = key > 0 ? r.posHead : r.negHead; c; c = c->next) {
                if (auto ok = checkClause(s, c, key); !ok) return ok;
                for (uint32_t i = 0; i < c->size; ++i)
                    tally(c->literals[i], c->size + 1);
                tally(key, c->size + 1);
                ++length;
            }
            if (length != (key > 0 ? r.posCount : r.negCount))
                return testing::AssertionFailure()
                       << "list of " << key << " holds " << length << " clauses, count says "
                       << (key > 0 ? r.posCount : r.negCount);
            linked += length;
        }
    }
    if (linked != s.clauseCount)
        return testing::AssertionFailure()
               << linked << " clauses linked, clauseCount is " << s.clauseCount;
    for (Variable v = 1; v < tables; ++v) {
        Tally p{s.posOccurrences.get(v), s.posOccurrenceWeight.get(v)};
        Tally n{s.negOccurrences.get(v), s.negOccurrenceWeight.get(v)};
        if (p.count != pos[v].count || p.weight != pos[v].weight || n.count != neg[v].count ||
            n.weight != neg[v].weight)
            return testing::AssertionFailure()
                   << "variable " << v << ": maintained +" << p.count << "/" << p.weight << " -"
                   << n.count << "/" << n.weight << ", recounted +" << pos[v].count << "/"
                   << pos[v].weight << " -" << neg[v].count << "/" << neg[v].weight
                   << " (count/weight)";
    }
    return testing::AssertionSuccess();
}

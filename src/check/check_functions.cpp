// Function certificates. The gates and the listed functions form one
// definition graph: a node per input variable and per gate, where an
// existential variable points at its function literal (an unlisted one is
// the constant false) and a universal variable is a leaf. The graph must be
// acyclic, and every existential must reach only universals quantified
// before it. The latest such universal is propagated bottom-up, so the
// dependency check costs one pass however large the functions are.
//
// Whether the functions satisfy the matrix under every universal assignment
// is left to CaDiCaL: the definitions, Tseitin encoded, together with "some
// input clause is false" must be unsatisfiable. With few universals the
// assignments are simply enumerated instead, 64 at a time in the bits of a
// word: functions of expanded formulas are deep trees of if-then-else gates
// over a handful of universals, which the SAT solver takes far longer to
// refute than a pass over every assignment.

#include "check/check_certificate.hpp"

#include <cadical.hpp>
#include <cstdlib>
#include <limits>
#include <unordered_map>

namespace check {

namespace {

[[noreturn]] void reject(size_t line, std::string why) {
    throw RejectException{line, why};
}

class FunctionGraph {
  public:
    FunctionGraph(const Formula& formula, const Certificate& certificate)
        : formula(formula), certificate(certificate), declared(formula.variableCount),
          n(lastVariable(formula, certificate)) {
        if (certificate.gates.size() >= size_t(std::numeric_limits<int32_t>::max()) - n)
            reject(certificate.conclusionLine, "too many gates");
        nodeCount = n + uint32_t(certificate.gates.size());
        indexGates();
        readFunctions();
        buildChildren();
    }

    void checkAcyclicAndDependencies() {
        std::vector<uint32_t> latest = latestUniversals();
        for (uint32_t v = 1; v <= n; ++v) {
            uint32_t u = latest[v];
            if (function[v] != 0 && u != 0 && formula.positionOf(u) > formula.positionOf(v))
                reject(certificate.conclusionLine, "the function of variable " + name(v) +
                                                       " depends on universal variable " + name(u) +
                                                       ", which is quantified after it");
        }
    }

    void checkMatrix() {
        std::vector<uint32_t> clauses;
        for (uint32_t j = 1; j <= formula.clauseCount(); ++j)
            if (!formula.tautology[j]) clauses.push_back(j);
        if (clauses.empty()) return;
        if (nodeCount + clauses.size() > size_t(std::numeric_limits<int32_t>::max()))
            reject(certificate.conclusionLine, "too many gates and clauses for the SAT check");

        if (simulated(clauses)) return;

        CaDiCaL::Solver sat;
        sat.set("quiet", 1); // it would print to standard output, which carries the verdict
        sat.reserve(int(nodeCount + clauses.size()));
        encodeDefinitions(sat);
        // Selector s_j forces clause j false; one of them must be on.
        int selector = int(nodeCount);
        for (uint32_t j : clauses) {
            ++selector;
            for (int32_t lit : formula.clause(j))
                sat.add(-selector), sat.add(-lit), sat.add(0);
        }
        for (int s = int(nodeCount) + 1; s <= selector; ++s)
            sat.add(s);
        sat.add(0);

        if (sat.solve() == 20) return;
        uint32_t falsified = 0;
        for (size_t i = 0; i < clauses.size() && falsified == 0; ++i)
            if (sat.val(int(nodeCount + 1 + i)) > 0) falsified = clauses[i];
        rejectFalsified(falsified, [&](uint32_t v) { return sat.val(int(v)) > 0; });
    }

  private:
    std::string name(uint32_t v) const { return std::to_string(formula.shown(v)); }

    // Variables get nodes only up to the last one that the formula or the
    // certificate names, however many the header declares.
    static uint32_t lastVariable(const Formula& formula, const Certificate& certificate) {
        uint32_t last = formula.lastOccurring();
        auto note = [&](int64_t lit) {
            uint64_t v = uint64_t(lit < 0 ? -lit : lit);
            if (v <= formula.variableCount && v > last) last = uint32_t(v);
        };
        for (auto [v, f] : certificate.functions)
            note(v), note(f);
        for (int32_t lit : certificate.operands)
            note(lit);
        return last;
    }

    template <typename IsTrue>
    [[noreturn]] void rejectFalsified(uint32_t clause, IsTrue isTrue) const {
        std::string assignment;
        constexpr int shown = 12;
        int listed = 0;
        for (uint32_t v = 1; v <= n; ++v) {
            if (!formula.isUniversal(v)) continue;
            if (listed++ == shown) {
                assignment += " ...";
                break;
            }
            assignment += " " + std::to_string(formula.shown(isTrue(v) ? int64_t(v) : -int64_t(v)));
        }
        reject(certificate.conclusionLine,
               "the functions falsify input clause " + std::to_string(clause) +
                   (assignment.empty() ? std::string()
                                       : " under the universal assignment" + assignment));
    }

    // Word operations the enumeration may take before the SAT solver is
    // cheaper: a fraction of a second.
    static constexpr uint64_t simulationBudget = uint64_t{1} << 27;

    // Evaluates the functions and the clauses under every assignment of
    // the universals that matter; false when there are too many of them.
    bool simulated(const std::vector<uint32_t>& clauses) const {
        std::vector<uint32_t> order = reachedInOrder();
        std::vector<uint8_t> relevant(n + 1, 0);
        for (uint32_t id : order)
            for (int32_t kid : childrenOf(id))
                if (uint32_t c = std::abs(kid); c <= n && formula.isUniversal(c)) relevant[c] = 1;
        size_t literalCount = 0;
        for (uint32_t j : clauses)
            for (int32_t lit : formula.clause(j)) {
                ++literalCount;
                if (formula.isUniversal(std::abs(lit))) relevant[std::abs(lit)] = 1;
            }
        std::vector<uint32_t> universals;
        for (uint32_t v = 1; v <= n; ++v)
            if (relevant[v]) universals.push_back(v);
        size_t u = universals.size();
        if (u > 32) return false;
        uint64_t words = u <= 6 ? 1 : uint64_t{1} << (u - 6);
        if (words * (order.size() + literalCount + 1) > simulationBudget) return false;

        // Bit b of word w is assignment 64 w + b, whose bit i is universal i.
        static constexpr uint64_t pattern[6] = {0xAAAAAAAAAAAAAAAA, 0xCCCCCCCCCCCCCCCC,
                                                0xF0F0F0F0F0F0F0F0, 0xFF00FF00FF00FF00,
                                                0xFFFF0000FFFF0000, 0xFFFFFFFF00000000};
        uint64_t valid = u >= 6 ? ~uint64_t{0} : (uint64_t{1} << (uint64_t{1} << u)) - 1;
        std::vector<uint64_t> value(nodeCount + 1, 0);
        auto literal = [&](int32_t lit) {
            uint64_t x = value[std::abs(lit)];
            return lit < 0 ? ~x : x;
        };
        for (uint64_t w = 0; w < words; ++w) {
            for (size_t i = 0; i < u; ++i)
                value[universals[i]] =
                    i < 6 ? pattern[i] : ((w >> (i - 6)) & 1) != 0 ? ~uint64_t{0} : 0;
            for (uint32_t id : order) {
                std::span<const int32_t> kids = childrenOf(id);
                if (id <= n) {
                    value[id] = kids.empty() ? 0 : literal(kids[0]);
                } else if (certificate.gates[id - n - 1].ifThenElse) {
                    uint64_t c = literal(kids[0]);
                    value[id] = (c & literal(kids[1])) | (~c & literal(kids[2]));
                } else {
                    uint64_t all = ~uint64_t{0};
                    for (int32_t kid : kids)
                        all &= literal(kid);
                    value[id] = all;
                }
            }
            for (uint32_t j : clauses) {
                uint64_t any = 0;
                for (int32_t lit : formula.clause(j))
                    any |= literal(lit);
                if (uint64_t falsified = ~any & valid) {
                    uint64_t a = 64 * w + uint64_t(__builtin_ctzll(falsified));
                    std::vector<uint8_t> isTrue(n + 1, 0);
                    for (size_t i = 0; i < u; ++i)
                        isTrue[universals[i]] = (a >> i) & 1;
                    rejectFalsified(j, [&](uint32_t v) { return isTrue[v] != 0; });
                }
            }
        }
        return true;
    }

    // The nodes that some existential variable reaches, each after the
    // nodes it uses; universal variables are left out. The graph is known
    // to be acyclic.
    std::vector<uint32_t> reachedInOrder() const {
        std::vector<uint8_t> seen(nodeCount + 1, 0);
        std::vector<uint32_t> next(nodeCount + 1, 0);
        std::vector<uint32_t> order, stack;
        for (uint32_t v = 1; v <= n; ++v) {
            if (formula.isUniversal(v) || seen[v]) continue;
            seen[v] = 1;
            stack.push_back(v);
            while (!stack.empty()) {
                uint32_t id = stack.back();
                std::span<const int32_t> kids = childrenOf(id);
                if (next[id] < kids.size()) {
                    uint32_t child = std::abs(kids[next[id]++]);
                    if (!seen[child] && !(child <= n && formula.isUniversal(child))) {
                        seen[child] = 1;
                        stack.push_back(child);
                    }
                    continue;
                }
                stack.pop_back();
                order.push_back(id);
            }
        }
        return order;
    }

    void indexGates() {
        gateOf.reserve(certificate.gates.size());
        for (uint32_t g = 0; g < certificate.gates.size(); ++g) {
            const Gate& gate = certificate.gates[g];
            std::string k = std::to_string(gate.index);
            if (gate.index <= declared) reject(gate.line, "gate " + k + " redefines input variable " + k);
            auto [it, fresh] = gateOf.emplace(gate.index, g);
            if (!fresh)
                reject(gate.line, "index " + k + " is already defined on line " +
                                      std::to_string(certificate.gates[it->second].line));
        }
    }

    void readFunctions() {
        function.assign(n + 1, 0);
        for (auto [v, f] : certificate.functions) {
            std::string name = "variable " + this->name(v);
            if (v > declared)
                reject(certificate.conclusionLine,
                       name + " is not an input variable (the formula has " + std::to_string(declared) +
                           ")");
            if (formula.isUniversal(v))
                reject(certificate.conclusionLine, "universal " + name + " is given a function");
            if (function[v] != 0) reject(certificate.conclusionLine, name + " is listed twice");
            function[v] = f;
        }
    }

    // The node literal of a certificate literal: variables are their own
    // nodes, gate g is node n + 1 + g.
    int32_t node(int32_t lit, size_t line, const std::string& user) const {
        uint32_t index = std::abs(lit);
        uint32_t id = index;
        if (index > declared) {
            auto it = gateOf.find(index);
            if (it == gateOf.end())
                reject(line, user + " uses the undefined index " + std::to_string(index));
            id = n + 1 + it->second;
        }
        return lit < 0 ? -int32_t(id) : int32_t(id);
    }

    void buildChildren() {
        childStart.assign(nodeCount + 2, 0);
        children.reserve(certificate.functions.size() + certificate.operands.size());
        for (uint32_t v = 1; v <= n; ++v) {
            childStart[v] = uint32_t(children.size());
            if (function[v] != 0)
                children.push_back(node(function[v], certificate.conclusionLine,
                                        "the function of variable " + name(v)));
        }
        for (const Gate& gate : certificate.gates) {
            childStart[n + 1 + (&gate - certificate.gates.data())] = uint32_t(children.size());
            for (uint32_t i = 0; i < gate.operandCount; ++i)
                children.push_back(node(certificate.operands[gate.firstOperand + i], gate.line,
                                        "gate " + std::to_string(gate.index)));
        }
        childStart[nodeCount + 1] = uint32_t(children.size());
    }

    std::span<const int32_t> childrenOf(uint32_t id) const {
        return {children.data() + childStart[id], childStart[id + 1] - childStart[id]};
    }

    [[noreturn]] void rejectCycle(uint32_t id) const {
        if (id <= n)
            reject(certificate.conclusionLine, "the function of variable " + name(id) +
                                                   " depends on variable " + name(id) + " itself");
        const Gate& gate = certificate.gates[id - n - 1];
        reject(gate.line, "gate " + std::to_string(gate.index) + " depends on itself");
    }

    // Per node, the universal variable quantified last among those it
    // reaches (0 for none), found by one depth-first walk that also
    // rejects cycles.
    std::vector<uint32_t> latestUniversals() const {
        enum Color : uint8_t { white, grey, black };
        std::vector<uint8_t> color(nodeCount + 1, white);
        std::vector<uint32_t> latest(nodeCount + 1, 0);
        std::vector<uint32_t> next(nodeCount + 1, 0); // per node: children walked so far
        std::vector<uint32_t> stack;
        auto later = [&](uint32_t a, uint32_t b) {
            if (a == 0) return b;
            if (b == 0) return a;
            return formula.positionOf(a) > formula.positionOf(b) ? a : b;
        };
        for (uint32_t root = 1; root <= nodeCount; ++root) {
            if (color[root] != white) continue;
            color[root] = grey;
            stack.push_back(root);
            while (!stack.empty()) {
                uint32_t id = stack.back();
                std::span<const int32_t> kids = childrenOf(id);
                if (next[id] < kids.size()) {
                    uint32_t child = std::abs(kids[next[id]++]);
                    if (color[child] == grey) rejectCycle(child);
                    if (color[child] == white) {
                        color[child] = grey;
                        stack.push_back(child);
                    }
                    continue;
                }
                stack.pop_back();
                color[id] = black;
                if (id <= n && formula.isUniversal(id)) latest[id] = id;
                for (int32_t kid : kids)
                    latest[id] = later(latest[id], latest[std::abs(kid)]);
            }
        }
        return latest;
    }

    // Definitions of the nodes that some function reaches; the SAT
    // variable of a node is its id, so input literals need no mapping.
    void encodeDefinitions(CaDiCaL::Solver& sat) const {
        std::vector<uint8_t> reached(nodeCount + 1, 0);
        std::vector<uint32_t> stack;
        for (uint32_t v = 1; v <= n; ++v)
            if (!formula.isUniversal(v)) reached[v] = 1, stack.push_back(v);
        while (!stack.empty()) {
            uint32_t id = stack.back();
            stack.pop_back();
            for (int32_t kid : childrenOf(id)) {
                uint32_t child = std::abs(kid);
                if (!reached[child]) reached[child] = 1, stack.push_back(child);
            }
        }
        auto clause = [&](std::initializer_list<int> lits) {
            for (int lit : lits)
                sat.add(lit);
            sat.add(0);
        };
        for (uint32_t id = 1; id <= nodeCount; ++id) {
            if (!reached[id]) continue;
            int g = int(id);
            std::span<const int32_t> kids = childrenOf(id);
            if (id <= n) {
                if (formula.isUniversal(id)) continue;
                if (kids.empty())
                    clause({-g});
                else
                    clause({-g, kids[0]}), clause({g, -kids[0]});
                continue;
            }
            if (certificate.gates[id - n - 1].ifThenElse) {
                int c = kids[0], t = kids[1], e = kids[2];
                clause({-g, -c, t});
                clause({-g, c, e});
                clause({g, -c, -t});
                clause({g, c, -e});
                // Redundant, but they let g follow from t and e agreeing
                // while c is still open; without them deep chains of
                // if-then-else gates are hard for the SAT solver.
                clause({-g, t, e});
                clause({g, -t, -e});
                continue;
            }
            for (int32_t kid : kids)
                clause({-g, kid});
            sat.add(g);
            for (int32_t kid : kids)
                sat.add(-kid);
            sat.add(0);
        }
    }

    const Formula& formula;
    const Certificate& certificate;
    uint32_t declared;                             // variables the header declares
    uint32_t n;                                    // input variables are nodes 1..n
    uint32_t nodeCount;                            // gates are nodes n + 1..nodeCount
    std::unordered_map<uint32_t, uint32_t> gateOf; // gate index -> position in gates
    std::vector<int32_t> function;                 // per variable [0, n]: listed literal or 0
    std::vector<uint32_t> childStart;              // per node [0, nodeCount + 1]
    std::vector<int32_t> children;                 // signed node ids, node after node
};

} // namespace

void checkFunctions(const Formula& formula, const Certificate& certificate) {
    FunctionGraph graph(formula, certificate);
    graph.checkAcyclicAndDependencies();
    graph.checkMatrix();
}

} // namespace check

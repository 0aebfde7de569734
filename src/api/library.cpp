// The C library: one handle owns one Solver, its options and the formula
// built through the add calls, so handles share nothing. Every entry point
// catches whatever the Solver throws and turns it into an error kind and a
// constant message, since no exception may reach a C caller.
//
// A formula built through the add calls is written out as QDIMACS text and
// read by the file reader. The reader needs the variable count before the
// first clause is stored (it sizes the tables, the signature buckets and the
// certificate numbering by it) and places free variables in front of the
// prefix, so building the store directly would repeat it; going through the
// text keeps one loader and makes the calls behave exactly like the file.

#include "karvona.h"
#include "store/solver.hpp"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

enum class Stage { options, prefix, clauses, loaded, solved, failed };

} // namespace

struct karvona {
    Solver solver;
    Stage stage = Stage::options;
    int answer = 0;           // KARVONA_TRUE or KARVONA_FALSE once solved
    int failure = 0;          // error kind of the failed load or solve
    const char* message = ""; // why the last failed call failed

    bool progress = false;
    bool certify = false;
    bool maxConflicts = false;
    bool literalBound = false;
    bool innermost = false;
    bool expansion = false;
    bool expandFirst = false;
    bool scopeCombining = false;
    bool dump = false;
    bool qdo = false;
    bool hybrid = false;
    uint64_t hybridBudget = 0; // 0: the mode's own budget
    std::string certificatePath; // empty: named after the loaded file

    std::string prefixText;   // quantifier lines
    std::string clauseText;   // clause lines, the last one possibly open
    uint64_t maxVariable = 0; // largest variable named, the header's count
    uint64_t clauseCount = 0; // clauses ended by 0
    bool clauseOpen = false;  // literals added since the last 0
    std::vector<int> values;  // karvona_values, once asked
};

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

int fail(karvona* k, int kind, const char* message) {
    k->message = message;
    return kind;
}

// Runs one step that may throw; a failure leaves the handle unusable, since
// the Solver may be half way through a change.
template <typename Step> int guarded(karvona* k, Step step) {
    int kind = 0;
    const char* message = "";
    try {
        return step();
    } catch (const MemoryException& e) {
        kind = KARVONA_ERROR_MEMORY, message = e.message;
    } catch (const FileFormatException& e) {
        kind = KARVONA_ERROR_FORMAT, message = e.message;
    } catch (const FileSystemException& e) {
        kind = KARVONA_ERROR_FILE, message = e.message;
    } catch (const SolverException& e) {
        kind = KARVONA_ERROR_SOLVER, message = e.message;
    } catch (const OutOfBoundsException& e) {
        kind = KARVONA_ERROR_BOUNDS, message = e.message;
    } catch (const std::bad_alloc&) {
        kind = KARVONA_ERROR_ALLOCATION, message = "out of memory";
    } catch (...) {
        kind = KARVONA_ERROR_UNKNOWN, message = "unknown error";
    }
    k->stage = Stage::failed;
    k->failure = kind;
    return fail(k, kind, message);
}

// A handle that failed keeps answering with that failure.
bool failed(karvona* k, int& status) {
    if (k->stage != Stage::failed) return false;
    status = fail(k, k->failure, k->message);
    return true;
}

int usage(karvona* k, const char* message) {
    return fail(k, KARVONA_ERROR_USAGE, message);
}

bool building(const karvona* k) {
    return k->stage == Stage::options || k->stage == Stage::prefix || k->stage == Stage::clauses;
}

// The option fields as the command line sets them: -c's three switches
// together, -U implying -u.
void applyOptions(karvona* k, const char* inputPath) {
    Solver& s = k->solver;
    s.showProgress = k->progress;
    s.maxConflictsHeuristic = k->maxConflicts;
    s.literalBoundHeuristic = k->literalBound;
    s.innermostHeuristic = k->innermost;
    s.universalExpansion = k->expansion || k->expandFirst;
    s.expandUniversalsFirst = k->expandFirst;
    s.scopeCombining = k->scopeCombining;
    s.dumpFormula = k->dump;
    if (k->dump) s.dumpFileName = "karvona2.qdimacs";
    s.qdimacsOutput = k->qdo;
    s.hybrid = k->hybrid;
    s.hybridBudget = k->hybridBudget;
    bool certificates = k->certify || !k->certificatePath.empty();
    s.certificates = certificates;
    s.keepInputClauses = certificates;
    s.copyInputClauses = certificates;
    if (!certificates) return;
    s.certificateFileName =
        k->certificatePath.empty() ? std::string(inputPath) + ".qbc" : k->certificatePath;
}

void appendNumber(std::string& text, int64_t n) {
    char digits[24];
    int length = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(n));
    text.append(digits, size_t(length));
}

void noteVariable(karvona* k, int literal) {
    uint64_t v = literal < 0 ? uint64_t(-int64_t{literal}) : uint64_t(literal);
    if (v > k->maxVariable) k->maxVariable = v;
}

// Reads the built formula as the file reader reads a file.
bool loadBuiltFormula(karvona* k) {
    std::string text = "p cnf ";
    appendNumber(text, int64_t(k->maxVariable));
    text += ' ';
    appendNumber(text, int64_t(k->clauseCount));
    text += '\n';
    text += k->prefixText;
    text += k->clauseText;
    k->prefixText.clear();
    k->prefixText.shrink_to_fit();
    k->clauseText.clear();
    k->clauseText.shrink_to_fit();
    std::unique_ptr<std::FILE, FileCloser> stream(fmemopen(text.data(), text.size(), "r"));
    if (!stream) throw std::bad_alloc();
    Solver& s = k->solver;
    s.prepareInput();
    bool result = s.readQdimacs(stream.get());
    stream.reset();
    return s.finishLoad(result);
}

} // namespace

extern "C" {

const char* karvona_version(void) {
    return Solver::version();
}

karvona* karvona_new(void) {
    try {
        return new karvona;
    } catch (...) {
        return nullptr;
    }
}

void karvona_delete(karvona* solver) {
    delete solver;
}

int karvona_set_option(karvona* k, const char* name, int value) {
    if (int status; failed(k, status)) return status;
    if (k->stage != Stage::options) return usage(k, "options come before the formula");
    struct Switch {
        const char* name;
        bool karvona::*field;
    };
    static constexpr Switch switches[] = {
        {"s", &karvona::progress},       {"c", &karvona::certify},
        {"m", &karvona::maxConflicts},   {"l", &karvona::literalBound},
        {"I", &karvona::innermost},      {"u", &karvona::expansion},
        {"b", &karvona::scopeCombining}, {"U", &karvona::expandFirst},
        {"d", &karvona::dump},           {"qdo", &karvona::qdo},
        {"hybrid", &karvona::hybrid},
    };
    // A clause budget for the hybrid mode's elimination phase, by hand.
    if (name && !std::strcmp(name, "hybrid-budget")) {
        if (value < 0) return usage(k, "negative budget");
        k->hybridBudget = uint64_t(value);
        return 0;
    }
    for (const Switch& s : switches) {
        if (name && !std::strcmp(name, s.name)) {
            k->*s.field = value != 0;
            return 0;
        }
    }
    return usage(k, "unknown option");
}

int karvona_add_order(karvona* k, const char* text) {
    if (int status; failed(k, status)) return status;
    if (k->stage != Stage::options) return usage(k, "options come before the formula");
    if (!text) return usage(k, "no elimination order");
    return guarded(k, [&] {
        // Blank-separated numbers, each converted like strtol and saturated
        // to 32 bits.
        const char* p = text;
        for (;;) {
            while (*p == ' ')
                ++p;
            if (!*p) return 0;
            const char* end = std::strchr(p, ' ');
            if (!end) end = p + std::strlen(p);
            std::string token(p, end);
            long long value = std::strtoll(token.c_str(), nullptr, 10);
            if (value > INT_MAX) value = INT_MAX;
            if (value < INT_MIN) value = INT_MIN;
            if (value <= 0) return usage(k, "Illegal variable in elimination order.");
            k->solver.eliminationOrder.push_back(int32_t(value));
            p = end;
        }
    });
}

int karvona_set_certificate(karvona* k, const char* path) {
    if (int status; failed(k, status)) return status;
    if (k->stage != Stage::options) return usage(k, "options come before the formula");
    if (!path || !*path) return usage(k, "no certificate path");
    return guarded(k, [&] {
        k->certificatePath = path;
        return 0;
    });
}

int karvona_load_file(karvona* k, const char* path) {
    if (int status; failed(k, status)) return status;
    if (k->stage != Stage::options) return usage(k, "the formula is given already");
    if (!path) return usage(k, "no input path");
    return guarded(k, [&] {
        k->stage = Stage::loaded;
        applyOptions(k, path);
        if (!k->solver.load(path)) {
            k->stage = Stage::solved;
            k->answer = KARVONA_FALSE;
        }
        return 0;
    });
}

int karvona_add_block(karvona* k, int quantifier, const int* variables) {
    if (int status; failed(k, status)) return status;
    if (!building(k)) return usage(k, "the formula is given already");
    if (k->stage == Stage::clauses) return usage(k, "the prefix comes before the clauses");
    if (quantifier != KARVONA_EXISTS && quantifier != KARVONA_FORALL)
        return usage(k, "unknown quantifier");
    if (!variables) return usage(k, "no variables");
    return guarded(k, [&] {
        k->stage = Stage::prefix;
        k->prefixText += char(quantifier);
        for (const int* v = variables; *v; ++v) {
            k->prefixText += ' ';
            appendNumber(k->prefixText, *v);
            noteVariable(k, *v);
        }
        k->prefixText += " 0\n";
        return 0;
    });
}

int karvona_add_literal(karvona* k, int literal) {
    if (int status; failed(k, status)) return status;
    if (!building(k)) return usage(k, "the formula is given already");
    return guarded(k, [&] {
        k->stage = Stage::clauses;
        appendNumber(k->clauseText, literal);
        k->clauseText += literal == 0 ? '\n' : ' ';
        k->clauseOpen = literal != 0;
        if (literal == 0)
            ++k->clauseCount;
        else
            noteVariable(k, literal);
        return 0;
    });
}

int karvona_solve(karvona* k) {
    if (int status; failed(k, status)) return status;
    if (k->stage == Stage::solved) return k->answer;
    if (k->clauseOpen) return usage(k, "the last clause is not ended by 0");
    if (k->stage != Stage::loaded && k->certify && k->certificatePath.empty())
        return usage(k, "a certificate of a built formula needs a path");
    return guarded(k, [&] {
        if (k->stage != Stage::loaded) {
            applyOptions(k, nullptr);
            k->stage = Stage::loaded;
            if (!loadBuiltFormula(k)) {
                k->stage = Stage::solved;
                return k->answer = KARVONA_FALSE;
            }
        }
        k->answer = k->solver.solve() ? KARVONA_TRUE : KARVONA_FALSE;
        k->stage = Stage::solved;
        return k->answer;
    });
}

int karvona_header(karvona* k, int* variables, int* clauses) {
    if (int status; failed(k, status)) return status;
    if (k->stage != Stage::solved) return usage(k, "the formula is not decided yet");
    if (variables) *variables = int(k->solver.headerVariables);
    if (clauses) *clauses = int(k->solver.headerClauses);
    return 0;
}

int karvona_values(karvona* k, const int** values) {
    if (int status; failed(k, status)) return status;
    if (k->stage != Stage::solved) return usage(k, "the formula is not decided yet");
    if (!k->qdo) return usage(k, "values need the option \"qdo\"");
    return guarded(k, [&] {
        std::vector<Literal> found = k->solver.qdimacsValues(k->answer == KARVONA_TRUE);
        k->values.assign(found.begin(), found.end());
        if (values) *values = k->values.data();
        return int(k->values.size());
    });
}

const char* karvona_error_message(const karvona* k) {
    return k->message;
}

} // extern "C"

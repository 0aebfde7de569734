/* karvona as a C library: decide a quantified Boolean formula in prenex
 * conjunctive normal form and, on request, write a certificate for the
 * answer. The command-line program karvona is a client of this library.
 *
 * One handle decides one formula. A handle is built, in this order:
 *   1. options (karvona_set_option, karvona_add_order, karvona_set_certificate);
 *   2. the formula: either karvona_load_file, or the prefix block by block
 *      (karvona_add_block) followed by the clauses literal by literal
 *      (karvona_add_literal, 0 ends a clause);
 *   3. karvona_solve, which answers KARVONA_TRUE (10) or KARVONA_FALSE (20).
 * A formula built through the calls is decided exactly as the same formula
 * read from a QDIMACS file whose header names the largest variable used and
 * the number of clauses added: free variables join an outermost existential
 * block, repeated literals merge, and the same malformations are rejected
 * (a formula needs at least one variable and one clause, as in the header).
 *
 * Every call that can fail returns 0 (or the answer) on success and a
 * negative error kind on failure; karvona_error_message then tells why. No
 * exception and no process exit leaves the library. After a
 * KARVONA_ERROR_USAGE failure the handle stays usable; after any other
 * failure every call on it returns that failure again, and only
 * karvona_delete is left to do.
 *
 * Handles share nothing: any number may exist side by side in one process,
 * each used by one thread at a time. The solver writes its warnings and,
 * with option "s", its progress to standard output. The library installs no
 * signal handler; a CPU-time limit is the embedding program's business. */

#ifndef KARVONA_H
#define KARVONA_H

#if defined(__GNUC__)
#define KARVONA_API __attribute__((visibility("default")))
#else
#define KARVONA_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct karvona karvona;

/* Answers of karvona_solve; they equal the command line's exit statuses. */
#define KARVONA_TRUE 10
#define KARVONA_FALSE 20

/* Quantifiers of karvona_add_block, the letters of the file format. */
#define KARVONA_EXISTS 'e'
#define KARVONA_FORALL 'a'

/* Error kinds, returned by a failing call. */
#define KARVONA_ERROR_MEMORY (-1)     /* a formula table could not grow */
#define KARVONA_ERROR_FORMAT (-2)     /* malformed formula */
#define KARVONA_ERROR_FILE (-3)       /* the input or the certificate file could not be opened */
#define KARVONA_ERROR_SOLVER (-4)     /* an internal inconsistency */
#define KARVONA_ERROR_BOUNDS (-5)     /* an index out of bounds */
#define KARVONA_ERROR_ALLOCATION (-6) /* any other allocation failed */
#define KARVONA_ERROR_UNKNOWN (-7)    /* anything else */
#define KARVONA_ERROR_USAGE (-8)      /* a bad argument, or a call out of order */

/* The version text, e.g. "karvona 2.01 (compiled Oct 30 2010)". */
KARVONA_API const char* karvona_version(void);

/* A new handle with every option off, or NULL when memory is short. */
KARVONA_API karvona* karvona_new(void);

/* Frees the handle. A certificate still being written keeps its temporary
 * name (the certificate path followed by ".tmp"). NULL is ignored. */
KARVONA_API void karvona_delete(karvona* solver);

/* Switches an option on (value != 0) or off, before the formula is given.
 * The names are the command line's options without the dash:
 *   "s" show progress               "c" certificate, named after the loaded file + ".qbc"
 *   "m" maximum-conflicts heuristic "l" literal-bound heuristic
 *   "I" eliminate inside-out        "u" universal expansion
 *   "b" scope combining             "U" expand all universals first
 *   "d" dump the formula after the first propagation to "karvona2.qdimacs_"
 *   "qdo" keep what karvona_values needs (the certificate bookkeeping, in memory)
 *   "hybrid" eliminate while cheap, then hand the rest to a SAT solver, expansion
 *            or abstraction refinement
 *   "hybrid-budget" the hybrid mode's clause budget (value; 0 chooses it) */
KARVONA_API int karvona_set_option(karvona* solver, const char* name, int value);

/* Appends variables to the elimination order, given as the command line's
 * -O text: blank-separated decimal numbers, each greater than 0. Entries the
 * formula cannot use are skipped with a warning while solving. */
KARVONA_API int karvona_add_order(karvona* solver, const char* text);

/* Asks for a certificate written to path while solving: through the path
 * followed by ".tmp", renamed to path once complete. */
KARVONA_API int karvona_set_certificate(karvona* solver, const char* path);

/* Reads the formula from a QDIMACS file. */
KARVONA_API int karvona_load_file(karvona* solver, const char* path);

/* Appends one quantifier block, outermost first: quantifier is
 * KARVONA_EXISTS or KARVONA_FORALL, variables a 0-terminated array. Blocks
 * come before the first clause. */
KARVONA_API int karvona_add_block(karvona* solver, int quantifier, const int* variables);

/* Adds one literal to the current clause; 0 ends the clause. */
KARVONA_API int karvona_add_literal(karvona* solver, int literal);

/* Decides the formula: KARVONA_TRUE, KARVONA_FALSE or an error kind. Asked
 * again, it returns the same answer. */
KARVONA_API int karvona_solve(karvona* solver);

/* After karvona_solve: the variable and clause counts of the formula's
 * header (for a built formula, the largest variable and the clauses added). */
KARVONA_API int karvona_header(karvona* solver, int* variables, int* clauses);

/* After karvona_solve with option "qdo": the values of the outermost block
 * that the answer determines, as literals in prefix order. A true formula
 * whose outermost block is existential gives every variable of that block
 * (its function is a constant there); a false formula whose outermost block
 * is universal gives the counterexample values the refutation fixes; any
 * other case gives none. Returns their number and points *values at them,
 * valid until the handle is deleted. */
KARVONA_API int karvona_values(karvona* solver, const int** values);

/* Why the last failed call failed ("" before any failure). The text lives
 * as long as the handle. */
KARVONA_API const char* karvona_error_message(const karvona* solver);

#ifdef __cplusplus
}
#endif

#endif

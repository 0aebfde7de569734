/* Deciding a formula through the C library: for all x1 x2 there is y3 with
 * y3 <-> (x1 and x2), and y4 with y4 <-> (y3 or x2). It is true, and the
 * certificate written to the path given (api_example.qbc without one) gives
 * functions for y3 and y4 that karvona-check can verify against
 * api_example.qdimacs, the same formula as a file.
 *
 *   cc api_example.c $(pkg-config --cflags --libs karvona) -o api_example */

#include <karvona.h>
#include <stdio.h>

static const int universals[] = {1, 2, 0};
static const int existentials[] = {3, 4, 0};
/* y3 <-> x1 and x2, then y4 <-> y3 or x2; each clause ends with 0. */
static const int clauses[] = {-3, 1, 0, -3, 2, 0, 3, -1, -2, 0, -4, 3, 2, 0, 4, -3, 0, 4, -2, 0};

int main(int argc, char** argv) {
    const char* certificate = argc > 1 ? argv[1] : "api_example.qbc";
    karvona* solver = karvona_new();
    if (!solver) return 1;
    int status = karvona_set_certificate(solver, certificate);
    if (status == 0) status = karvona_add_block(solver, KARVONA_FORALL, universals);
    if (status == 0) status = karvona_add_block(solver, KARVONA_EXISTS, existentials);
    for (size_t i = 0; status == 0 && i < sizeof clauses / sizeof clauses[0]; ++i)
        status = karvona_add_literal(solver, clauses[i]);
    if (status == 0) status = karvona_solve(solver);
    if (status == KARVONA_TRUE || status == KARVONA_FALSE)
        printf("%s, certificate in %s\n", status == KARVONA_TRUE ? "TRUE" : "FALSE", certificate);
    else
        printf("error %d: %s\n", status, karvona_error_message(solver));
    karvona_delete(solver);
    return status;
}

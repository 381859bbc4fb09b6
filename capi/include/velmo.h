/* velmo's solver for programs in C, C++ and any language that calls C: the answer the
 * window gives, the count of solutions and the consistency check of a 9 x 9 grid.
 *
 * A grid is 81 bytes, row-major (cell = 9 * row + column, both 0-8 from the top left):
 * 0 for an empty cell, 1-9 for a digit. A puzzle text is 81 characters in the same order:
 * '1'-'9' for a digit, '0' or '.' for an empty cell, nothing else (no separators, no line
 * end). Every function is safe to call from any number of threads at once: none keeps state
 * between calls, none throws, none asks the user anything or gives up after a time.
 */
#ifndef VELMO_H
#define VELMO_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VELMO_CELLS 81

/* What the functions return: an answer (0 or more), or an error (below 0). */
enum velmo_status {
    VELMO_OK = 0,
    VELMO_ERROR_LENGTH = -1,    /* not 81 cells */
    VELMO_ERROR_CHARACTER = -2, /* text: a character that is not a cell */
    VELMO_ERROR_VALUE = -3,     /* grid: a byte above 9 */
    VELMO_ERROR_NULL = -4,      /* a pointer that may not be null was */
    VELMO_ERROR_INTERNAL = -5   /* the solver failed (out of memory); not seen so far */
};

/* The first solution in the search's order: with several solutions, the same one the velmo
 * window and velmo-solve give. Returns 1 and writes the 81 cells of the solution to
 * `solution` (which may be `grid` itself), 0 when the grid has no solution (givens that
 * repeat a digit in a row, column or box included), or an error; `solution` is written only
 * on 1. */
int velmo_solve(const unsigned char* grid, size_t length, unsigned char* solution);

/* The same on text: on 1, `solution` receives 81 digits and a terminating '\0'
 * (VELMO_CELLS + 1 bytes). */
int velmo_solve_text(const char* text, size_t length, char* solution);

/* The number of solutions, counted up to two: 0, 1, or 2 for two or more, or an error.
 * When `solutions` is not null, it receives that many different solutions, 81 cells each,
 * one after the other (room for 2 * VELMO_CELLS bytes); the rest of it is left as it was. */
int velmo_count(const unsigned char* grid, size_t length, unsigned char* solutions);

/* The same on text: each solution is 81 digits and a '\0' (room for 2 * (VELMO_CELLS + 1)). */
int velmo_count_text(const char* text, size_t length, char* solutions);

/* 1 when no row, column or box holds a digit twice, 0 when one does, or an error. A
 * consistent grid may still have no solution. */
int velmo_is_consistent(const unsigned char* grid, size_t length);
int velmo_is_consistent_text(const char* text, size_t length);

/* A sentence that says what a status means, in English, for messages; never null, and
 * valid for as long as the library is loaded. */
const char* velmo_error_message(int status);

/* The library's version, such as "1.0.0.1". */
const char* velmo_version(void);

#ifdef __cplusplus
}
#endif

#endif /* VELMO_H */

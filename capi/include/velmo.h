/* velmo's solver for programs in C, C++ and any language that calls C: the answer the
 * window gives, the count of solutions, the consistency check, the rating and logical
 * steps of a 9 x 9 grid, and a hint for a person solving one by hand.
 *
 * A grid is 81 bytes, row-major (cell = 9 * row + column, both 0-8 from the top left):
 * 0 for an empty cell, 1-9 for a digit. A puzzle text is 81 characters in the same order:
 * '1'-'9' for a digit, '0' or '.' for an empty cell, nothing else (no separators, no line
 * end). Every function is safe to call from any number of threads at once: none keeps state
 * between calls, none throws, none asks the user anything or gives up after a time (but
 * velmo_generate, when asked to).
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
    VELMO_ERROR_INTERNAL = -5,  /* the solver failed (out of memory); not seen so far */
    /* velmo_steps only: the puzzle has no path of steps, having no solution or several */
    VELMO_ERROR_NO_SOLUTION = -6,
    VELMO_ERROR_SEVERAL_SOLUTIONS = -7,
    /* velmo_hint only: `size` of the result is smaller than any this library knows */
    VELMO_ERROR_SIZE = -8,
    /* velmo_generate only: options that no puzzle can meet */
    VELMO_ERROR_OPTIONS = -9
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

/* The rating on the community's difficulty scale: the hardest step of the path of easiest
 * logical steps, as velmo-solve --rate gives it. Only a grid with one solution is rated.
 * Returns 1 when rated, 0 when the grid has no solution, 2 when it has several (as
 * velmo_count), or an error. On 1, `rating` (when not null) receives the rating in tenths
 * (23 for 2.3) and `technique` (when not null) the name of the hardest step's technique,
 * such as "X-Wing": a static string, never to be freed, valid for as long as the library is
 * loaded. An already solved grid is rated 0. Neither is written on any other answer. The
 * hardest puzzles take far longer to rate than to solve: chains of chains are searched. */
int velmo_rate(const unsigned char* grid, size_t length, int* rating, const char** technique);
int velmo_rate_text(const char* text, size_t length, int* rating, const char** technique);

/* The path of easiest logical steps that the rating walks, as text: one step a line, each
 * ended by '\n', in the community's notation ("Hidden Single: r4c7=5"), as velmo-solve
 * --steps writes them. As snprintf: writes at most `size` bytes to `buffer` (which may be
 * null when `size` is 0), the text cut short if need be and always ended by '\0' when
 * `size` is above 0, and returns the length of the whole text without the '\0'; when that
 * is `size` or more, call again with a buffer of at least the length + 1. Returns
 * VELMO_ERROR_NO_SOLUTION or VELMO_ERROR_SEVERAL_SOLUTIONS when there is no path, or an
 * error of the input; `buffer` is then left as it was. */
int velmo_steps(const unsigned char* grid, size_t length, char* buffer, size_t size);
int velmo_steps_text(const char* text, size_t length, char* buffer, size_t size);

/* One candidate: digit `digit` (1-9) in cell `cell` (0-80). */
typedef struct velmo_candidate {
    unsigned char cell;
    unsigned char digit;
} velmo_candidate;

/* The candidates of a grid, at most: 81 cells of 9 digits. */
#define VELMO_CANDIDATES 729
/* Room for a step's notation: its longest possible line and the '\0'. */
#define VELMO_NOTATION_SIZE 16384

/* What velmo_hint found, in velmo_hint_result.outcome. */
enum velmo_hint_outcome {
    VELMO_HINT_STEP = 0,              /* the step's fields hold the next step */
    VELMO_HINT_SOLVED = 1,            /* every cell holds the solution's digit */
    VELMO_HINT_NO_SOLUTION = 2,       /* the givens have no solution */
    VELMO_HINT_SEVERAL_SOLUTIONS = 3, /* the givens have several */
    VELMO_HINT_WRONG_ENTRIES = 4,     /* `wrong_cells` hold digits the solution has not there */
    VELMO_HINT_WRONG_STRIKE_OUTS = 5, /* `wrong_candidates` are the solution's, struck out */
    VELMO_HINT_NO_STEP = 6            /* no technique applies; not seen with one solution */
};

/* One end of a chain's link: digit `digit` (1-9) in `cell_count` cells, 1, or 2 or 3 for the
 * end of a grouped link (cells of one box and one line), listed first in `cells`. */
typedef struct velmo_link_end {
    unsigned char digit;
    unsigned char cell_count;
    unsigned char cells[3];
} velmo_link_end;

/* One link of a chain, read from `from` to `to`. Strong (1): when `from` does not hold its
 * digit, `to` holds its own (the only other candidate of a cell, the only other place of a
 * digit in a unit, or in a dynamic chain the last candidate the chain leaves); weak (0): when
 * `from` holds its digit, `to` does not (they see each other). Solvers draw strong links
 * solid and weak ones dashed. */
typedef struct velmo_link {
    velmo_link_end from;
    velmo_link_end to;
    unsigned char strong;
} velmo_link;

/* The links a result holds at most: no step of the hardest published puzzles has had 200. */
#define VELMO_LINKS 1024

/* A hint. The caller sets `size` to sizeof(velmo_hint_result) before the call; later
 * versions of the library add fields only at the end, and write no more than `size` bytes,
 * so a result as an earlier velmo.h had it is filled up to its own end. */
typedef struct velmo_hint_result {
    size_t size;
    int outcome; /* an enum velmo_hint_outcome */
    /* VELMO_HINT_STEP: the step, as velmo-solve --steps finds it on this grid. */
    const char* technique; /* its name, such as "X-Wing": static, never to be freed */
    int rating;            /* its value in tenths (32 for 3.2) */
    int unit;              /* the unit to look at: row 0-8, column 9-17, box 18-26; or -1 */
    size_t cell_count;     /* the pattern's cells */
    unsigned char cells[VELMO_CELLS];
    size_t pattern_count; /* the pattern's candidates that prove the step */
    velmo_candidate pattern[VELMO_CANDIDATES];
    size_t placement_count; /* the digits it places */
    velmo_candidate placements[VELMO_CELLS];
    size_t elimination_count; /* the candidates it removes */
    velmo_candidate eliminations[VELMO_CANDIDATES];
    char notation[VELMO_NOTATION_SIZE]; /* the line velmo-solve --steps writes, '\0'-ended */
    /* VELMO_HINT_WRONG_ENTRIES: the cells whose entry differs from the solution. */
    size_t wrong_cell_count;
    unsigned char wrong_cells[VELMO_CELLS];
    /* VELMO_HINT_WRONG_STRIKE_OUTS: the solution's candidates that were struck out. */
    size_t wrong_candidate_count;
    velmo_candidate wrong_candidates[VELMO_CANDIDATES];
    /* Added after the fields above, so a result that ends before them is filled up to them.
     * VELMO_HINT_STEP of a chain technique (X-chains, Y-cycles,
     * turbot fish, forcing chains, nishio, cell, region, dynamic and nested forcing chains),
     * the chain's links, each once, in the order they are followed from its start: a link's
     * `from` is where the chain starts (its assumptions, the step's pattern; for chains of
     * strong links, the first link's `from`) or an earlier link's `to`, or in a nested chain
     * what a nested step found. `link_count` is how many the step has; `links` holds the first
     * VELMO_LINKS of them. 0 for a technique that is no chain. */
    size_t link_count;
    velmo_link links[VELMO_LINKS];
} velmo_hint_result;

/* The next step for a person solving `givens` (81 bytes, 0-9) by hand: `entries` (81 bytes,
 * 0 for none, or null for no entries) are the digits they have placed, read only in the
 * cells the givens leave empty; `struck` (81 masks, bit d set for each digit d 1-9 they
 * struck out of the cell's candidates, or null for none) the candidates they ruled out. The
 * entries and strike-outs are checked against the puzzle's solution first, so that no hint
 * builds on a mistake: a wrong entry or strike-out is answered, not a step. Returns VELMO_OK
 * with `out` filled (the fields of other outcomes than its own are zero), or an error of the
 * input, VELMO_ERROR_SIZE or VELMO_ERROR_NULL, with `out` left as it was. */
int velmo_hint(const unsigned char* givens, const unsigned char* entries,
               const unsigned short* struck, velmo_hint_result* out);

/* The symmetries of the givens velmo_generate may be asked for. */
enum velmo_symmetry {
    VELMO_SYMMETRY_NONE = 0,
    VELMO_SYMMETRY_ROTATE180 = 1, /* half a turn about the centre */
    VELMO_SYMMETRY_ROTATE90 = 2,  /* a quarter turn */
    VELMO_SYMMETRY_LEFT_RIGHT = 3,
    VELMO_SYMMETRY_TOP_BOTTOM = 4,
    VELMO_SYMMETRY_BOTH_MIRRORS = 5,
    VELMO_SYMMETRY_DIAGONAL = 6, /* the diagonal from top left to bottom right */
    VELMO_SYMMETRY_ANTI_DIAGONAL = 7,
    VELMO_SYMMETRY_BOTH_DIAGONALS = 8
};

/* What velmo_generate makes. Zeroed, it asks for minimal puzzles of any rating, without
 * symmetry, seed 0, on one thread, with no time limit. The caller sets `size` to
 * sizeof(velmo_generate_options); later versions of the library add fields only at the end,
 * and read no more than `size` bytes. */
typedef struct velmo_generate_options {
    size_t size;
    int min_rating;          /* tenths (50 for 5.0); 0 for no least rating */
    int max_rating;          /* tenths; 0 for the top of the scale, 12.0 */
    const char* technique;   /* null, or the hardest step's technique as velmo_rate names it */
    int symmetry;            /* an enum velmo_symmetry */
    int min_givens;          /* 0 for no least number of givens */
    int max_givens;          /* 0 for no most */
    int not_minimal;         /* non-zero: givens that could go may stay */
    unsigned long long seed; /* the same seed and options give the same puzzles, in order */
    int threads;             /* threads that make puzzles, 1 to 1024; 0 for one */
    double time_limit;       /* seconds; 0 for none */
    /* Null, or a flag that another thread sets non-zero to end the run; it is read a hundred
     * times a second. */
    const volatile int* cancel;
} velmo_generate_options;

/* One puzzle that velmo_generate made. */
typedef struct velmo_generated {
    char puzzle[VELMO_CELLS + 1];   /* '1'-'9' for a given, '.' for an empty cell, '\0' */
    char solution[VELMO_CELLS + 1]; /* its one solution, 81 digits and '\0' */
    int rating;                     /* tenths, as velmo_rate gives it */
    const char* technique;          /* the hardest step's: static, never to be freed */
    int givens;
} velmo_generated;

/* Makes up to `count` new puzzles as `options` asks, each with one solution (proved by the
 * exact solver), minimal unless asked otherwise, no two the same up to the grid's symmetries
 * and relabelling, into `puzzles` (room for `count`) in the order of the run, which is the
 * same on any number of threads. Unlike the other calls it may take long: a rare band is
 * searched until the time limit or the cancel flag ends it. Returns the number made (fewer
 * than `count` when the time limit or the flag ended the run), or VELMO_ERROR_NULL,
 * VELMO_ERROR_SIZE (options' `size` too small), VELMO_ERROR_OPTIONS (options no puzzle can
 * meet, an unknown technique, a count of 0 or above INT_MAX) or VELMO_ERROR_INTERNAL. */
int velmo_generate(const velmo_generate_options* options, velmo_generated* puzzles, size_t count);

/* A sentence that says what a status means, in English, for messages; never null, and
 * valid for as long as the library is loaded. */
const char* velmo_error_message(int status);

/* The library's version, such as "1.0.0.1". */
const char* velmo_version(void);

#ifdef __cplusplus
}
#endif

#endif /* VELMO_H */

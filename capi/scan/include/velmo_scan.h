/* velmo's picture reader for programs in C, C++ and any language that calls C: the puzzle
 * in a photo or a screenshot, each cell with how sure the reading is, checked by the solver.
 * A library of its own (libvelmo-scan), so that programs using only libvelmo do not need
 * OpenCV.
 *
 * Cells are row-major (cell = 9 * row + column, both 0-8 from the top left), 0 for an empty
 * cell, 1-9 for a digit. velmo_scan keeps no state between calls, is safe to call from any
 * number of threads at once, and never throws.
 */
#ifndef VELMO_SCAN_H
#define VELMO_SCAN_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VELMO_SCAN_CELLS 81

/* How a reading ended (0 or more), or an error (below 0). */
enum velmo_scan_status {
    VELMO_SCAN_READ = 0,      /* the puzzle as read has exactly one solution */
    VELMO_SCAN_CORRECTED = 1, /* the solver changed up to 3 cells to give it exactly one */
    VELMO_SCAN_CONFLICT = 2,  /* as read, a row, column or box holds a digit twice */
    VELMO_SCAN_NO_SOLUTION = 3,
    VELMO_SCAN_SEVERAL_SOLUTIONS = 4,
    VELMO_SCAN_NO_PUZZLE = 5,   /* no grid of 9 x 9 cells in the picture */
    VELMO_SCAN_BAD_PICTURE = 6, /* not a picture this reader takes; see `message` */
    VELMO_SCAN_ERROR_NULL = -4  /* `result` was null, or `data` with a size above 0 */
};

typedef struct velmo_scan_result {
    /* The puzzle: as read, with the solver's changes for VELMO_SCAN_CORRECTED. All 0 for
     * VELMO_SCAN_NO_PUZZLE and VELMO_SCAN_BAD_PICTURE. */
    unsigned char puzzle[VELMO_SCAN_CELLS];
    /* What each cell was read as, before any change of the solver's. */
    unsigned char read[VELMO_SCAN_CELLS];
    /* How sure the reading of each cell of `puzzle` is, 0 to 1 (a probability); below 0.9
     * the cell is one a person should look at. */
    float certainty[VELMO_SCAN_CELLS];
    /* How many quarter turns clockwise the puzzle was from upright in the picture. */
    int quarter_turns;
    /* Why the picture was not read, or what is wrong with the reading (a conflict); empty
     * for VELMO_SCAN_READ. Always ended by '\0', cut short if need be. */
    char message[256];
} velmo_scan_result;

/* Reads the puzzle in an encoded picture: `size` bytes of a PNG, JPEG, BMP, WebP, TIFF or
 * PNM file (GIF and HEIC are refused as VELMO_SCAN_BAD_PICTURE), its orientation tag
 * applied. Any bytes are safe. Writes every field of `result` and returns its status. */
int velmo_scan(const void* data, size_t size, velmo_scan_result* result);

/* The status as a short English phrase ("read", "no puzzle", ...), a static string. */
const char* velmo_scan_status_word(int status);

/* The library's version, such as "1.0.0.1". */
const char* velmo_scan_version(void);

#ifdef __cplusplus
}
#endif

#endif

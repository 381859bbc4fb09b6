/* A program of someone else's, built against an installed velmo: solves, counts, checks and
 * rates one puzzle through velmo.h and says what it got. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <velmo.h>

int main(void) {
    static const char puzzle[] =
        "4.....8.5.3..........7......2.....6.....8.4......1.......6.3.7.5..2.....1.4......";
    static const char expected[] =
        "417369825632158947958724316825437169791586432346912758289643571573291684164875293";
    char solution[VELMO_CELLS + 1];
    char solutions[2][VELMO_CELLS + 1];

    if (velmo_solve_text(puzzle, strlen(puzzle), solution) != 1 || strcmp(solution, expected)) {
        fprintf(stderr, "consumer: wrong solution\n");
        return 1;
    }
    if (velmo_count_text(puzzle, strlen(puzzle), solutions[0]) != 1 ||
        strcmp(solutions[0], expected) || velmo_is_consistent_text(puzzle, strlen(puzzle)) != 1) {
        fprintf(stderr, "consumer: wrong count or consistency\n");
        return 1;
    }
    int rating = 0;
    const char* technique = NULL;
    char first[8];
    const int length = velmo_steps_text(puzzle, strlen(puzzle), first, sizeof first);
    char* steps = length > 0 ? malloc((size_t)length + 1) : NULL;
    if (velmo_rate_text(puzzle, strlen(puzzle), &rating, &technique) != 1 || rating != 26 ||
        strcmp(technique, "Pointing") || steps == NULL ||
        velmo_steps_text(puzzle, strlen(puzzle), steps, (size_t)length + 1) != length ||
        strlen(steps) != (size_t)length || strncmp(steps, first, sizeof first - 1)) {
        fprintf(stderr, "consumer: wrong rating or steps\n");
        free(steps);
        return 1;
    }
    free(steps);
    int status = velmo_solve_text("12x", 3, solution);
    if (status != VELMO_ERROR_LENGTH) {
        fprintf(stderr, "consumer: wrong error %d\n", status);
        return 1;
    }
    printf("velmo %s: %s (%s)\n", velmo_version(), solution, velmo_error_message(status));
    return 0;
}

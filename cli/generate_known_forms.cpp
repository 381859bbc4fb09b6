// generate-known-forms: the canonical forms of the puzzles in the files named, each with one
// solution, as lines of a C++ array that velmo-generate compiles in, so that it never writes
// a puzzle of the collections velmo is measured on, installed or not.
//
//   generate-known-forms FILE... > known_forms.inc
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "generator.h"
#include "grid_solver.h"
#include "puzzle_line.h"

int main(int argc, char** argv) {
    std::set<std::string> forms;
    for (int k = 1; k < argc; ++k) {
        std::ifstream in(argv[k]);
        if (!in) {
            std::fprintf(stderr, "generate-known-forms: cannot read %s\n", argv[k]);
            return 2;
        }
        std::string line;
        while (std::getline(in, line)) {
            const CPuzzleLine parsed = ParsePuzzleLine(line);
            if (parsed.kind != CPuzzleLine::kPuzzle || parsed.IsPencilMarks()) continue;
            // A puzzle without one solution is one no generator writes.
            const CSolutionCount counted = CountSolutions(parsed.grid.data());
            if (counted.count != 1) continue;
            const PuzzleGrid form = CanonicalForm(parsed.grid, counted.solutions[0]);
            std::string text(kCellCount, '0');
            for (int cell = 0; cell < kCellCount; ++cell) text[cell] = char('0' + form[cell]);
            forms.insert(text);
        }
    }
    std::printf("// Made by generate-known-forms: %zu canonical forms.\n", forms.size());
    for (const std::string& form : forms) std::printf("\"%s\",\n", form.c_str());
    return 0;
}

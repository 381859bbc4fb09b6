// The engine, what Solve and CountSolutions run: the band engine and the search in its own
// order that it prunes, compiled once per instruction set (a version), and the choice of
// the version this processor runs best. Private to the solver library; like the parts it
// is built from, it knows the grid (grid.h) but not the façade (grid_solver.h).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "grid.h"

// The caller's clock, which the engine asks now and then whether to stop: a plain
// function and its context. Not a std::function: its library code, compiled into each
// version with that version's instruction set, is shared among them by the linker, which
// put AVX instructions into the portable version of clang's sanitizer build (isa_check
// found them).
struct CExpiry {
    bool (*expired)(const void* context) = nullptr;  // null: never stop
    const void* context = nullptr;
};

enum class CEngineOutcome {
    kNoSolution,  // the grid has no solution; it is as it was
    kSolved,      // the grid holds its first solution in the order of CGridSolver::Search
    kExpired,     // the caller's clock said stop; the grid is as it was
};

// What a call spent, for benchmarks and for hunting slow grids.
struct CEngineWork {
    int64_t guesses = 0;  // the engine's guesses, counting and testing together
    int64_t tests = 0;    // levels of the search in its own order the engine tested
    int64_t levels = 0;   // levels of the search in its own order
};

struct CEngine {
    const char* name;  // "avx512", "avx2", "sse4" or "scalar"

    // Solves `grid` (81 cells, each 0-9); givens that repeat a digit in a unit have no
    // solution. `expiry` is asked now and then; true abandons the work. `work`, when not null,
    // receives what the call spent.
    CEngineOutcome (*solve)(uint8_t* grid, CExpiry expiry, CEngineWork* work);

    // CountSolutionsWithin for a grid of cells 0-9.
    std::optional<CSolutionCount> (*count)(const uint8_t* grid, int64_t maxGuesses,
                                           CEngineWork* work);
};

// One version of the engine, and whether this processor runs it.
struct CEngineVersion {
    const CEngine* engine;
    bool (*supported)();
};

// Every version this build holds, the most capable first.
std::span<const CEngineVersion> AllEngineVersions();

// The most capable version this processor runs, chosen once.
const CEngine& BestEngine();

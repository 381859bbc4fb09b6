// Counts the solutions of a grid, up to a limit, by constraint propagation on bit sets.
#pragma once

#include <cstdint>
#include <functional>

#include "grid_solver.h"

class CSolutionCounter {
  public:
    // Called now and then during long counts; returning true abandons the count.
    std::function<bool()> m_expired;

    // Counts the solutions of `grid` (81 bytes, each 0-9), stopping at `limit` (1 or more).
    // Returns the count, or -1 when m_expired said to stop. When the count is at least 1
    // and `firstFound` is not null, it receives one solution (for a count of 1, the only
    // one); when it is at least 2, `secondFound` (if not null) receives another. A grid
    // whose givens repeat a digit in a unit has no solution.
    int Count(const uint8_t* grid, int limit, uint8_t* firstFound, uint8_t* secondFound = nullptr);

    // Guesses made by the last Count: a measure of its work for benchmarks and tests.
    int64_t m_guesses = 0;

  private:
    struct CState;
    bool Propagate(CState& state);
    void Branch(CState& state);
    void Record(const CState& state);

    int m_limit = 1;
    int m_found = 0;
    bool m_aborted = false;
    uint8_t* m_firstFound = nullptr;
    uint8_t* m_secondFound = nullptr;
};

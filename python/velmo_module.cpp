// The Python module `velmo`: the solver's answers on one puzzle string, batch calls on many
// puzzles that run on every core without the GIL, and the puzzle-file reader and answer
// writer of velmo-solve, so that Python programs read and write puzzle text as it does.
//
// One puzzle string is 81 cells as velmo.h reads them ('1'-'9', '0' or '.'). A batch is a
// sequence of such strings or a numpy uint8 array of shape (N, 81) holding 0-9 per cell;
// an invalid puzzle in a batch gets the answer -1 in its place and the others go on.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "grid_solver.h"
#include "puzzle_input.h"
#include "puzzle_reader.h"
#include "unattended_platform.h"

namespace py = pybind11;

namespace {

// Raised by the single calls: a ValueError whose message names the reason.
PyObject* g_invalidPuzzle = nullptr;

std::string_view Utf8(const py::str& text) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (data == nullptr) throw py::error_already_set();
    return {data, size_t(size)};
}

// Why `text` (UTF-8) is not 81 cells, counted in characters as Python counts them.
[[noreturn]] void ThrowTextError(std::string_view text) {
    size_t characters = 0;
    std::string reason;
    for (size_t i = 0; i < text.size(); ++characters) {
        const char c = text[i];
        if (reason.empty() && !((c >= '0' && c <= '9') || c == '.')) {
            reason = "unexpected " + DescribeCharacter(text.substr(i)) + " at cell " +
                     std::to_string(characters + 1) + ": a cell is 1-9, or 0 or . for an empty one";
        }
        do ++i;
        while (i < text.size() && (uint8_t(text[i]) & 0xc0) == 0x80);
    }
    if (characters != kCellCount) {
        reason = "expected 81 cells, found " + std::to_string(characters) + " characters";
    }
    PyErr_SetString(g_invalidPuzzle, reason.c_str());
    throw py::error_already_set();
}

PuzzleGrid ReadOne(const py::str& puzzle) {
    const std::string_view text = Utf8(puzzle);
    PuzzleGrid grid;
    if (ReadGridText(text.data(), text.size(), grid).status != VELMO_OK) ThrowTextError(text);
    return grid;
}

py::str GridText(const PuzzleGrid& grid) {
    char text[kCellCount];
    WriteGridText(grid.data(), text);
    return py::str(text, kCellCount);
}

// The answer the window gives; the clock of the unattended platform stands still, so the
// search never stops to ask.
bool SolveGrid(PuzzleGrid& grid) {
    CUnattendedPlatform platform;
    CGridSolver solver(platform);
    return solver.Solve(grid.data(), kCellCount) == 1;
}

// A batch's puzzles as rows of 81 cells, and which of them were valid.
struct CBatch {
    std::vector<uint8_t> cells;  // 81 a puzzle
    std::vector<uint8_t> valid;  // 1 for a puzzle the solver may be given
    size_t size() const { return valid.size(); }
    const uint8_t* Grid(size_t i) const { return cells.data() + i * kCellCount; }
};

CBatch ReadBatch(const py::handle& puzzles) {
    CBatch batch;
    if (py::isinstance<py::array>(puzzles)) {
        const auto array = py::reinterpret_borrow<py::array>(puzzles);
        if (!array.dtype().is(py::dtype::of<uint8_t>())) {
            throw py::type_error("a batch array must have dtype uint8");
        }
        if (array.ndim() != 2 || array.shape(1) != kCellCount) {
            throw py::value_error("a batch array must have shape (N, 81)");
        }
        const auto rows = py::array_t<uint8_t, py::array::c_style>::ensure(array);
        const size_t n = size_t(rows.shape(0));
        batch.cells.assign(rows.data(), rows.data() + n * kCellCount);
        batch.valid.resize(n);
        for (size_t i = 0; i < n; ++i) {
            batch.valid[i] = CheckGrid(batch.Grid(i), kCellCount).status == VELMO_OK;
        }
        return batch;
    }
    if (py::isinstance<py::str>(puzzles)) {
        throw py::type_error("a batch is a sequence of puzzle strings, not one string");
    }
    const auto sequence = py::reinterpret_borrow<py::sequence>(puzzles);
    const size_t n = sequence.size();
    batch.cells.resize(n * kCellCount);
    batch.valid.resize(n);
    PuzzleGrid grid;
    for (size_t i = 0; i < n; ++i) {
        const py::object item = sequence[i];
        if (!py::isinstance<py::str>(item)) continue;
        const std::string_view text = Utf8(item);
        if (ReadGridText(text.data(), text.size(), grid).status != VELMO_OK) continue;
        std::memcpy(batch.cells.data() + i * kCellCount, grid.data(), kCellCount);
        batch.valid[i] = 1;
    }
    return batch;
}

// Runs `answer(i)` for every valid puzzle i of the batch on `threads` threads (0: one a
// core), without the GIL. Threads take blocks of puzzles in turn, so a slow block holds
// up no other thread.
template <typename Answer>
void ForEachPuzzle(const CBatch& batch, int threads, Answer answer) {
    constexpr size_t kBlock = 64;
    const size_t n = batch.size();
    const size_t blocks = (n + kBlock - 1) / kBlock;
    size_t count =
        threads > 0 ? size_t(threads) : std::max(1u, std::thread::hardware_concurrency());
    count = std::min(count, blocks);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t block; (block = next.fetch_add(1)) < blocks;) {
            const size_t end = std::min(n, (block + 1) * kBlock);
            for (size_t i = block * kBlock; i < end; ++i) {
                if (batch.valid[i]) answer(i);
            }
        }
    };
    py::gil_scoped_release release;
    std::vector<std::thread> pool;
    for (size_t t = 1; t < count; ++t) pool.emplace_back(work);
    work();
    for (std::thread& thread : pool) thread.join();
}

py::tuple SolveMany(const py::handle& puzzles, int threads) {
    const CBatch batch = ReadBatch(puzzles);
    const py::ssize_t n = py::ssize_t(batch.size());
    py::array_t<uint8_t> solutions({n, py::ssize_t(kCellCount)});
    py::array_t<int8_t> status(n);
    uint8_t* out = solutions.mutable_data();
    int8_t* outcome = status.mutable_data();
    std::memset(out, 0, size_t(n) * kCellCount);
    for (py::ssize_t i = 0; i < n; ++i) outcome[i] = batch.valid[i] ? 0 : -1;
    ForEachPuzzle(batch, threads, [&](size_t i) {
        PuzzleGrid grid;
        std::memcpy(grid.data(), batch.Grid(i), kCellCount);
        if (SolveGrid(grid)) {
            std::memcpy(out + i * kCellCount, grid.data(), kCellCount);
            outcome[i] = 1;
        }
    });
    return py::make_tuple(solutions, status);
}

py::array_t<int8_t> CountMany(const py::handle& puzzles, int threads) {
    const CBatch batch = ReadBatch(puzzles);
    py::array_t<int8_t> counts(py::ssize_t(batch.size()));
    int8_t* out = counts.mutable_data();
    std::fill(out, out + batch.size(), int8_t{-1});
    ForEachPuzzle(batch, threads,
                  [&](size_t i) { out[i] = int8_t(CountSolutions(batch.Grid(i)).count); });
    return counts;
}

py::array_t<int8_t> IsConsistentMany(const py::handle& puzzles) {
    const CBatch batch = ReadBatch(puzzles);
    py::array_t<int8_t> consistent(py::ssize_t(batch.size()));
    int8_t* out = consistent.mutable_data();
    for (size_t i = 0; i < batch.size(); ++i) {
        out[i] = batch.valid[i] ? int8_t(IsConsistent(batch.Grid(i))) : int8_t{-1};
    }
    return consistent;
}

}  // namespace

PYBIND11_MODULE(velmo, m) {
    m.doc() = "velmo's solver for 9 x 9 number-placement puzzles";
    m.attr("__version__") = VELMO_VERSION;
    g_invalidPuzzle = PyErr_NewExceptionWithDoc("velmo.InvalidPuzzle",
                                                "A puzzle that is not 81 cells of 1-9, 0 or '.'.",
                                                PyExc_ValueError, nullptr);
    m.attr("InvalidPuzzle") = py::handle(g_invalidPuzzle);

    m.def(
        "solve",
        [](const py::str& puzzle) -> py::object {
            PuzzleGrid grid = ReadOne(puzzle);
            bool solved;
            {
                py::gil_scoped_release release;
                solved = SolveGrid(grid);
            }
            return solved ? py::object(GridText(grid)) : py::none();
        },
        py::arg("puzzle"),
        "The first solution in the search's order, as the velmo window gives it, as 81 "
        "digits; None when the puzzle has none. Raises InvalidPuzzle.");
    m.def(
        "count",
        [](const py::str& puzzle) {
            const PuzzleGrid grid = ReadOne(puzzle);
            py::gil_scoped_release release;
            return CountSolutions(grid.data()).count;
        },
        py::arg("puzzle"), "The number of solutions, counted up to two: 0, 1 or 2 for 2+.");
    m.def(
        "is_consistent",
        [](const py::str& puzzle) { return IsConsistent(ReadOne(puzzle).data()) == 1; },
        py::arg("puzzle"), "Whether no row, column or box holds a digit twice.");

    m.def("solve_many", &SolveMany, py::arg("puzzles"), py::arg("threads") = 0,
          "Solves a batch on `threads` threads (0: one a core). Returns (solutions, status): "
          "uint8 (N, 81) and int8 (N,), status 1 solved, 0 no solution, -1 invalid; the "
          "rows of the unsolved are 0.");
    m.def("count_many", &CountMany, py::arg("puzzles"), py::arg("threads") = 0,
          "The number of solutions of each puzzle, up to two, as int8 (N,); -1 for invalid.");
    m.def("is_consistent_many", &IsConsistentMany, py::arg("puzzles"),
          "1 or 0 for each puzzle as int8 (N,); -1 for invalid.");
}

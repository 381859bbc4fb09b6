// The Python module `velmo`: the solver's answers and the logic solver's rating and steps on
// one puzzle string, batch calls on many
// puzzles that run on every core without the GIL, and the puzzle-file reader and answer
// writer of velmo-solve, so that Python programs read and write puzzle text as it does.
//
// One puzzle string is 81 cells as velmo.h reads them ('1'-'9', '0' or '.'); the rating calls
// also take a pencil-mark puzzle of 729 characters, as velmo-solve --rate does. A batch is a
// sequence of such strings or a numpy uint8 array of shape (N, 81) holding 0-9 per cell;
// an invalid puzzle in a batch gets the answer -1 in its place and the others go on.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "answer_words.h"
#include "generator.h"
#include "grid_cells.h"
#include "grid_solver.h"
#include "hint.h"
#include "logic.h"
#include "puzzle_reader.h"
#include "puzzle_text.h"
#include "scan.h"
#include "unattended_platform.h"

namespace py = pybind11;

namespace {

// Raised by the single calls: a ValueError whose message names the reason.
PyObject* g_invalidPuzzle = nullptr;
// Raised by rate and steps for a puzzle that has no path of steps to rate: the base, and one
// class for each reason (no solution, several, every cell already placed), so that callers
// catch what they expect.
PyObject* g_notRated = nullptr;
PyObject* g_noSolution = nullptr;
PyObject* g_severalSolutions = nullptr;
PyObject* g_solved = nullptr;

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
    if (!ReadGridText(text.data(), text.size(), grid).Ok()) ThrowTextError(text);
    return grid;
}

// The candidates of a pencil-mark puzzle of exactly 729 characters, nothing between them, as
// velmo-solve writes one; nullopt for any other text.
std::optional<CandidateMasks> ReadPencilMarks(std::string_view text) {
    if (text.size() != size_t(kPencilMarkCount)) return std::nullopt;
    const CPuzzleLine parsed = ParsePuzzleLine(text);
    if (!parsed.IsPencilMarks() || parsed.pencilMarks != text) return std::nullopt;
    return PencilMarkMasks(text);
}

// Why a text of 729 bytes is not a pencil-mark puzzle.
[[noreturn]] void ThrowPencilMarkError(std::string_view text) {
    const size_t other = text.find_first_not_of("0123456789.");
    const std::string reason = other != std::string_view::npos
                                   ? "unexpected " + DescribeCharacter(text.substr(other)) +
                                         " at pencil mark " + std::to_string(other + 1) +
                                         ": a mark is its digit, or 0 or . for none"
                                   : ParsePuzzleLine(text).error;
    PyErr_SetString(g_invalidPuzzle, reason.c_str());
    throw py::error_already_set();
}

// The grid the rating calls start from: 81 cells, or 729 pencil marks. nullopt for pencil
// marks that leave a cell without a candidate: a puzzle without solution.
std::optional<CCandidateGrid> ReadStart(const py::str& puzzle) {
    const std::string_view text = Utf8(puzzle);
    if (text.size() != size_t(kPencilMarkCount)) return CCandidateGrid::FromGivens(ReadOne(puzzle));
    const std::optional<CandidateMasks> masks = ReadPencilMarks(text);
    if (!masks) ThrowPencilMarkError(text);
    return CCandidateGrid::FromPencilMarks(*masks);
}

// A grid with every cell placed: nothing to rate, as velmo-solve answers "solved".
bool IsFull(const CCandidateGrid& grid) {
    return std::ranges::find(grid.values, 0) == grid.values.end();
}

// The threads of a batch call: `threads`, or one a core for 0.
size_t ThreadCount(int threads) {
    if (threads < 0) {
        throw py::value_error("threads must be 0 (one a core) or more, not " +
                              std::to_string(threads));
    }
    return threads > 0 ? size_t(threads) : std::max(1u, std::thread::hardware_concurrency());
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

// The rating of one puzzle, or the exception that says why there is none.
CRating RateOne(const py::str& puzzle, bool keepPath) {
    const std::optional<CCandidateGrid> start = ReadStart(puzzle);
    CRating rating;  // no solution when there is no start
    if (start) {
        py::gil_scoped_release release;
        rating = RatePuzzle(*start, keepPath);
    }
    switch (rating.outcome) {
        case CRating::kRated:
            if (!IsFull(*start)) return rating;
            PyErr_SetString(g_solved, "the puzzle is already solved: no step to rate");
            break;
        case CRating::kNoSolution:
            PyErr_SetString(g_noSolution, "the puzzle has no solution");
            break;
        case CRating::kSeveralSolutions:
            PyErr_SetString(g_severalSolutions, "the puzzle has several solutions");
            break;
        case CRating::kStopped:
            PyErr_SetString(g_notRated, "the logic found no step");
            break;
    }
    throw py::error_already_set();
}

// A candidate as Python reads one: (cell, digit).
py::list CandidateList(const std::vector<CCandidate>& candidates) {
    py::list list;
    for (const CCandidate& c : candidates) list.append(py::make_tuple(c.cell, c.digit));
    return list;
}

// A chain's links as Python reads them: dicts of 'from' and 'to', each the candidates of one
// end as (cell, digit) pairs (two or three for a grouped end), and 'strong'.
py::list LinkList(const std::vector<CChainLink>& links) {
    py::list list;
    auto end = [](const CLinkEnd& e) {
        py::list candidates;
        for (int i = 0; i < e.size; ++i) candidates.append(py::make_tuple(e.cells[i], e.digit));
        return candidates;
    };
    for (const CChainLink& link : links) {
        py::dict item;
        item["from"] = end(link.from);
        item["to"] = end(link.to);
        item["strong"] = link.strong;
        list.append(item);
    }
    return list;
}

// The hint for a person's work on `puzzle`: their digits `entries` (81 cells, or None) and
// the candidates they struck out (`struck`, pairs (cell, digit), or None), as a dict.
py::dict Hint(const py::str& puzzle, const py::object& entries, const py::object& struck) {
    const std::optional<CCandidateGrid> start = ReadStart(puzzle);
    PuzzleGrid cells{};
    if (!entries.is_none()) cells = ReadOne(entries.cast<py::str>());
    CandidateMasks masks{};
    if (!struck.is_none()) {
        for (const py::handle& item : struck) {
            const auto [cell, digit] = item.cast<std::pair<int, int>>();
            if (cell < 0 || cell >= kCellCount || digit < 1 || digit > 9) {
                throw py::value_error("a struck-out candidate is (cell 0-80, digit 1-9), not (" +
                                      std::to_string(cell) + ", " + std::to_string(digit) + ")");
            }
            masks[size_t(cell)] |= uint16_t(1u << digit);
        }
    }
    CHint hint;
    hint.outcome = CHint::kNoSolution;  // pencil marks that leave a cell without a candidate
    if (start) {
        py::gil_scoped_release release;
        hint = FindHint(*start, WorkingGrid(*start, cells, masks));
    }
    py::dict answer;
    switch (hint.outcome) {
        case CHint::kStep: {
            const CStep& step = *hint.step;
            answer["outcome"] = "step";
            answer["technique"] = std::string(TechniqueName(step.technique));
            answer["rating"] = step.rating / 10.0;
            answer["unit"] = step.unit >= 0 ? py::object(py::int_(step.unit)) : py::none();
            answer["cells"] = std::vector<int>(step.cells.begin(), step.cells.end());
            answer["pattern"] = CandidateList(step.pattern);
            answer["placements"] = CandidateList(step.placements);
            answer["eliminations"] = CandidateList(step.eliminations);
            answer["notation"] = FormatStep(step);
            answer["links"] = LinkList(step.links);
            break;
        }
        case CHint::kSolved:
            answer["outcome"] = std::string(kAnswerSolved);
            break;
        case CHint::kNoSolution:
            answer["outcome"] = std::string(kAnswerNoSolution);
            break;
        case CHint::kSeveralSolutions:
            answer["outcome"] = "several solutions";
            break;
        case CHint::kWrongEntries:
            answer["outcome"] = "wrong entries";
            answer["wrong_cells"] =
                std::vector<int>(hint.wrongCells.begin(), hint.wrongCells.end());
            break;
        case CHint::kWrongStrikeOuts:
            answer["outcome"] = "wrong strike-outs";
            answer["wrong_candidates"] = CandidateList(hint.wrongCandidates);
            break;
        case CHint::kNoStep:
        case CHint::kStopped:
            answer["outcome"] = "no step";
            break;
    }
    return answer;
}

// A batch's puzzles as rows of 81 cells, and which of them were valid.
struct CBatch {
    std::vector<uint8_t> cells;  // 81 a puzzle
    std::vector<uint8_t> valid;  // 1 for a puzzle the solver may be given
    // The pencil-mark puzzles, by their place in the batch, when the call reads them; their
    // rows of `cells` are 0.
    std::unordered_map<size_t, CandidateMasks> pencilMarks;
    size_t size() const { return valid.size(); }
    const uint8_t* Grid(size_t i) const { return cells.data() + i * kCellCount; }
};

CBatch ReadBatch(const py::handle& puzzles, bool readPencilMarks = false) {
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
            batch.valid[i] = CheckGrid(batch.Grid(i), kCellCount).Ok();
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
        if (readPencilMarks) {
            if (const std::optional<CandidateMasks> masks = ReadPencilMarks(text)) {
                batch.pencilMarks.emplace(i, *masks);
                batch.valid[i] = 1;
                continue;
            }
        }
        if (!ReadGridText(text.data(), text.size(), grid).Ok()) continue;
        std::memcpy(batch.cells.data() + i * kCellCount, grid.data(), kCellCount);
        batch.valid[i] = 1;
    }
    return batch;
}

// Puzzles a thread takes at a time: many when each takes microseconds, so that taking them
// costs nothing; one when rating, which takes up to seconds, so that every thread has work
// on a short batch of hard puzzles.
constexpr size_t kSolvingBlock = 64;
constexpr size_t kRatingBlock = 1;

// Runs `answer(i)` for every valid puzzle i of the batch on `threads` threads (ThreadCount),
// without the GIL. Threads take blocks of `block` puzzles in turn, so a slow block holds up
// no other thread.
template <typename Answer>
void ForEachPuzzle(const CBatch& batch, size_t threads, size_t block, Answer answer) {
    const size_t n = batch.size();
    const size_t blocks = (n + block - 1) / block;
    const size_t count = std::min(threads, blocks);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t taken; (taken = next.fetch_add(1)) < blocks;) {
            const size_t end = std::min(n, (taken + 1) * block);
            for (size_t i = taken * block; i < end; ++i) {
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
    const size_t threadCount = ThreadCount(threads);
    const CBatch batch = ReadBatch(puzzles);
    const py::ssize_t n = py::ssize_t(batch.size());
    py::array_t<uint8_t> solutions({n, py::ssize_t(kCellCount)});
    py::array_t<int8_t> status(n);
    uint8_t* out = solutions.mutable_data();
    int8_t* outcome = status.mutable_data();
    std::memset(out, 0, size_t(n) * kCellCount);
    for (py::ssize_t i = 0; i < n; ++i) outcome[i] = batch.valid[i] ? 0 : -1;
    ForEachPuzzle(batch, threadCount, kSolvingBlock, [&](size_t i) {
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
    const size_t threadCount = ThreadCount(threads);
    const CBatch batch = ReadBatch(puzzles);
    py::array_t<int8_t> counts(py::ssize_t(batch.size()));
    int8_t* out = counts.mutable_data();
    std::fill(out, out + batch.size(), int8_t{-1});
    ForEachPuzzle(batch, threadCount, kSolvingBlock,
                  [&](size_t i) { out[i] = int8_t(CountSolutions(batch.Grid(i)).count); });
    return counts;
}

py::array_t<double> RateMany(const py::handle& puzzles, int threads) {
    const size_t threadCount = ThreadCount(threads);
    const CBatch batch = ReadBatch(puzzles, true);
    py::array_t<double> ratings(py::ssize_t(batch.size()));
    double* out = ratings.mutable_data();
    std::fill(out, out + batch.size(), -1.0);
    ForEachPuzzle(batch, threadCount, kRatingBlock, [&](size_t i) {
        std::optional<CCandidateGrid> start;
        if (const auto marks = batch.pencilMarks.find(i); marks != batch.pencilMarks.end()) {
            start = CCandidateGrid::FromPencilMarks(marks->second);
        } else {
            PuzzleGrid grid;
            std::memcpy(grid.data(), batch.Grid(i), kCellCount);
            start = CCandidateGrid::FromGivens(grid);
        }
        out[i] = std::nan("");
        if (!start || IsFull(*start)) return;
        const CRating rating = RatePuzzle(*start);
        if (rating.outcome == CRating::kRated) out[i] = rating.rating / 10.0;
    });
    return ratings;
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

// An invalid entry's row in CPuzzleFile's grids: no puzzle holds it, and the batch calls
// answer it as invalid.
constexpr uint8_t kInvalidCell = 0xff;

// A puzzle file's text read as velmo-solve reads it: its puzzles and what stands where a
// puzzle was expected and is not, in file order.
CPuzzleFile ReadPuzzleFile(std::string_view data) {
    CPuzzleFile file;
    CPuzzleReader reader;
    reader.Feed(data, file.entries);
    if (reader.Binary()) {
        file.error = "line " + std::to_string(reader.LineNumber()) +
                     ": a NUL byte: not a text file (UTF-16?), the rest is not read";
    } else {
        reader.Finish(file.entries);
    }
    return file;
}

// Whether the batch calls can answer an entry: pencil marks are not 81 values to solve, and
// velmo-solve answers them as invalid unless it rates.
bool IsGrid(const CPuzzleEntry& entry) {
    return entry.parsed.kind == CPuzzleLine::kPuzzle && !entry.parsed.IsPencilMarks();
}

py::array_t<uint8_t> FileGrids(const CPuzzleFile& file) {
    py::array_t<uint8_t> grids({py::ssize_t(file.entries.size()), py::ssize_t(kCellCount)});
    uint8_t* out = grids.mutable_data();
    for (const CPuzzleEntry& entry : file.entries) {
        if (IsGrid(entry)) {
            std::memcpy(out, entry.parsed.grid.data(), kCellCount);
        } else {
            std::memset(out, kInvalidCell, kCellCount);
        }
        out += kCellCount;
    }
    return grids;
}

// velmo-solve's answer lines: `answer(i, out)` writes entry i's answer when it is a puzzle,
// followed by its comment as it stood; an invalid entry is answered "invalid".
template <typename Answer>
py::bytes WriteLines(const CPuzzleFile& file, py::ssize_t answers, Answer answer) {
    if (answers != py::ssize_t(file.entries.size())) {
        throw py::value_error("the answers are not one a puzzle of the file");
    }
    std::string out;
    out.reserve(file.entries.size() * (kCellCount + 1));
    for (size_t i = 0; i < file.entries.size(); ++i) {
        const CPuzzleLine& parsed = file.entries[i].parsed;
        if (!IsGrid(file.entries[i]) || !answer(i, out)) {
            out.append(kAnswerInvalid).push_back('\n');
            continue;
        }
        out.append(parsed.comment).push_back('\n');
    }
    return py::bytes(out);
}

py::bytes WriteSolutions(const CPuzzleFile& file, const py::array_t<uint8_t>& solutions,
                         const py::array_t<int8_t>& status) {
    if (solutions.ndim() != 2 || solutions.shape(1) != kCellCount ||
        solutions.shape(0) != status.size()) {
        throw py::value_error("solutions must have shape (N, 81) and status (N,)");
    }
    const auto grids = solutions.unchecked<2>();
    const auto outcome = status.unchecked<1>();
    return WriteLines(file, status.size(), [&](size_t i, std::string& out) {
        if (outcome(i) < 0) return false;
        if (outcome(i) == 0) {
            out.append(kAnswerNoSolution);
        } else {
            PuzzleGrid grid;
            std::memcpy(grid.data(), grids.data(i, 0), kCellCount);
            const std::optional<std::string> line = PuzzleToLine(grid);
            if (!line) return false;
            out.append(*line);
        }
        return true;
    });
}

py::bytes WriteCounts(const CPuzzleFile& file, const py::array_t<int8_t>& counts) {
    const auto count = counts.unchecked<1>();
    return WriteLines(file, counts.size(), [&](size_t i, std::string& out) {
        if (count(i) < 0 || count(i) > 2) return false;
        out.append(CountAnswer(count(i)));
        return true;
    });
}

// The tenths of a rating given as a number of the scale, 7.2 for 72.
int Tenths(double rating) {
    if (!(rating >= 0) || rating > 100) throw py::value_error("a rating is from 1.0 to 12.0");
    return int(std::lround(rating * 10));
}

// New puzzles, as velmo-generate makes them: a list of (puzzle, rating, technique). The run
// goes on without the GIL; Ctrl+C is looked for a few times a second and ends it by raising
// KeyboardInterrupt.
py::list Generate(int count, const py::object& minRating, const py::object& maxRating,
                  const py::object& technique, const std::string& symmetry,
                  const py::object& givens, bool minimal, const py::object& seed, int threads,
                  const py::object& timeLimit) {
    if (count < 1) throw py::value_error("count is 1 or more");
    if (threads < 0 || threads > 1024) throw py::value_error("threads is from 0 to 1024");
    if (threads == 0) threads = int(std::max(1u, std::thread::hardware_concurrency()));
    CGeneratorOptions options;
    if (!minRating.is_none()) options.minRating = Tenths(minRating.cast<double>());
    if (!maxRating.is_none()) options.maxRating = Tenths(maxRating.cast<double>());
    if (!technique.is_none()) {
        const CTechniqueChoice choice = TechniqueByName(technique.cast<std::string>());
        if (choice.mask == 0) throw py::value_error(choice.error);
        options.techniques = choice.mask;
    }
    const std::optional<CSymmetry> named = SymmetryByName(symmetry);
    if (!named) throw py::value_error("no symmetry is called '" + symmetry + "'");
    options.symmetry = *named;
    if (!givens.is_none()) {
        const auto [least, most] = givens.cast<std::pair<int, int>>();
        options.minGivens = least;
        options.maxGivens = most;
    }
    options.minimal = minimal;
    options.seed = seed.is_none() ? uint64_t(std::random_device{}()) << 32 | std::random_device{}()
                                  : seed.cast<uint64_t>();
    double seconds = 0;
    if (!timeLimit.is_none()) {
        seconds = timeLimit.cast<double>();
        if (!(seconds > 0) || seconds > 1e9) throw py::value_error("time_limit is seconds above 0");
    }
    if (const std::string why = CheckOptions(options); !why.empty()) throw py::value_error(why);

    std::vector<CGeneratedPuzzle> made;
    bool interrupted = false;
    {
        CGenerator generator(std::move(options));
        std::stop_source stop;
        py::gil_scoped_release release;
        const auto deliver = [&](const CGeneratedPuzzle& puzzle) {
            made.push_back(puzzle);
            return true;
        };
        const auto poll = [&](const CRunProgress&) {
            py::gil_scoped_acquire acquire;
            if (PyErr_CheckSignals() != 0) {
                interrupted = true;
                stop.request_stop();
            }
        };
        generator.Run(count, unsigned(threads), std::chrono::nanoseconds(int64_t(seconds * 1e9)),
                      stop.get_token(), deliver, poll, std::chrono::milliseconds(100));
    }
    if (interrupted) throw py::error_already_set();
    py::list answer;
    for (const CGeneratedPuzzle& puzzle : made) {
        std::string cells(kCellCount, '.');
        for (int cell = 0; cell < kCellCount; ++cell) {
            if (puzzle.puzzle[cell] != 0) cells[size_t(cell)] = char('0' + puzzle.puzzle[cell]);
        }
        answer.append(py::make_tuple(cells, puzzle.rating / 10.0,
                                     std::string(TechniqueName(puzzle.hardest))));
    }
    return answer;
}

}  // namespace

// velmo.scan: a picture given as a path, as its encoded bytes, or as decoded pixels.
py::dict Scan(const py::object& source) {
    CScanResult result;
    if (py::isinstance<py::array>(source)) {
        const auto array = py::array_t<uint8_t, py::array::c_style>::ensure(source);
        if (!array || !py::isinstance<py::array_t<uint8_t>>(source) ||
            !(array.ndim() == 2 || (array.ndim() == 3 && array.shape(2) == 3))) {
            throw py::value_error("scan takes an H x W (grey) or H x W x 3 (RGB) uint8 array");
        }
        if (array.shape(0) > INT32_MAX || array.shape(1) > INT32_MAX) {
            throw py::value_error("scan: the array is too large");
        }
        const int channels = array.ndim() == 3 ? 3 : 1;
        const size_t stride = size_t(array.shape(1)) * channels;
        py::gil_scoped_release release;
        result =
            ScanPixels(array.data(), int(array.shape(1)), int(array.shape(0)), channels, stride);
    } else {
        py::bytes bytes;
        if (py::isinstance<py::bytes>(source) || py::isinstance<py::bytearray>(source) ||
            py::isinstance<py::memoryview>(source)) {
            bytes = py::reinterpret_steal<py::bytes>(PyBytes_FromObject(source.ptr()));
            if (!bytes) throw py::error_already_set();
        } else if (py::isinstance<py::str>(source) || py::hasattr(source, "__fspath__")) {
            py::object file = py::module_::import("builtins").attr("open")(source, "rb");
            bytes = py::bytes(file.attr("read")());
            file.attr("close")();
        } else {
            throw py::type_error("scan takes a path, the bytes of a picture file, or an array");
        }
        const std::string_view data = bytes;
        py::gil_scoped_release release;
        result = ScanPicture({reinterpret_cast<const uint8_t*>(data.data()), data.size()});
    }
    py::dict answer;
    answer["status"] = ScanStatusWord(result.status);
    answer["message"] = result.message;
    const bool readable =
        result.status != CScanStatus::kNoPuzzle && result.status != CScanStatus::kBadPicture;
    if (!readable) {
        answer["puzzle"] = py::none();
        answer["certainty"] = py::none();
    } else {
        std::string puzzle;
        for (uint8_t value : result.puzzle) puzzle += value ? char('0' + value) : '.';
        answer["puzzle"] = puzzle;
        py::array_t<float> certainty(kCellCount);
        std::copy(result.certainty.begin(), result.certainty.end(), certainty.mutable_data());
        answer["certainty"] = certainty;
    }
    py::list changes;
    for (const CCellChange& change : result.changes) {
        changes.append(py::make_tuple(change.cell, change.read, change.written));
    }
    answer["changes"] = changes;
    answer["quarter_turns"] = result.quarterTurns;
    return answer;
}

PYBIND11_MODULE(velmo, m) {
    m.doc() = "velmo's solver for 9 x 9 number-placement puzzles";
    m.attr("__version__") = VELMO_VERSION;
    g_invalidPuzzle = PyErr_NewExceptionWithDoc("velmo.InvalidPuzzle",
                                                "A puzzle that is not 81 cells of 1-9, 0 or '.'.",
                                                PyExc_ValueError, nullptr);
    m.attr("InvalidPuzzle") = py::handle(g_invalidPuzzle);
    g_notRated = PyErr_NewExceptionWithDoc(
        "velmo.NotRated", "A puzzle that rate and steps have no path of steps for.",
        PyExc_ValueError, nullptr);
    g_noSolution = PyErr_NewExceptionWithDoc("velmo.NoSolution", "A puzzle with no solution.",
                                             g_notRated, nullptr);
    g_severalSolutions = PyErr_NewExceptionWithDoc(
        "velmo.SeveralSolutions", "A puzzle with several solutions.", g_notRated, nullptr);
    g_solved = PyErr_NewExceptionWithDoc(
        "velmo.Solved",
        "A grid with every cell placed, which velmo-solve --rate answers 'solved': no step to "
        "rate.",
        g_notRated, nullptr);
    m.attr("NotRated") = py::handle(g_notRated);
    m.attr("NoSolution") = py::handle(g_noSolution);
    m.attr("SeveralSolutions") = py::handle(g_severalSolutions);
    m.attr("Solved") = py::handle(g_solved);

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

    m.def(
        "rate",
        [](const py::str& puzzle) {
            const CRating rating = RateOne(puzzle, false);
            return py::make_tuple(rating.rating / 10.0, std::string(TechniqueName(rating.hardest)));
        },
        py::arg("puzzle"),
        "The rating on the difficulty scale and the hardest technique, as velmo-solve --rate: "
        "(3.0, 'Naked Pair'). The puzzle is 81 cells, or a pencil-mark puzzle of 729 "
        "characters: for each cell, for each digit d, d while it is a candidate, else . or 0. "
        "Raises InvalidPuzzle, NoSolution or SeveralSolutions for a puzzle without one "
        "solution, and Solved for a grid with no empty cell (all three NotRated).");
    m.def(
        "steps",
        [](const py::str& puzzle) {
            const CRating rating = RateOne(puzzle, true);
            std::vector<std::string> steps;
            for (const CStep& step : rating.path) steps.push_back(FormatStep(step));
            return steps;
        },
        py::arg("puzzle"),
        "The path of easiest logical steps the rating walks, one string a step as "
        "velmo-solve --steps writes them, for a puzzle as rate takes it. Raises as rate does.");

    m.def("generate", &Generate, py::arg("count") = 1, py::arg("min_rating") = py::none(),
          py::arg("max_rating") = py::none(), py::arg("technique") = py::none(),
          py::arg("symmetry") = "none", py::arg("givens") = py::none(), py::arg("minimal") = true,
          py::arg("seed") = py::none(), py::arg("threads") = 0, py::arg("time_limit") = py::none(),
          "New puzzles as velmo-generate makes them, each with one solution: a list of "
          "(puzzle, rating, technique), such as ('..3.1...', 7.2, 'X-Chain'). min_rating and "
          "max_rating bound the rating (1.0 to 12.0); technique names the hardest step's as "
          "rate does; symmetry is none, rotate180, rotate90, left-right, top-bottom, "
          "both-mirrors, diagonal, anti-diagonal or both-diagonals; givens a pair (least, "
          "most); minimal=False lets givens that could go stay. The same seed and options "
          "give the same puzzles on any number of threads (0: one per core). time_limit (seconds) "
          "ends a run "
          "with fewer than count; Ctrl+C raises KeyboardInterrupt. Raises ValueError for "
          "options that no puzzle can meet.");
    m.def("hint", &Hint, py::arg("givens"), py::arg("entries") = py::none(),
          py::arg("struck") = py::none(),
          "The next step for a person solving `givens` (a puzzle as rate takes it) by hand: "
          "`entries` their digits (81 cells, '.' or '0' for none), `struck` the candidates they "
          "struck out, pairs (cell 0-80, digit 1-9). Their work is checked against the "
          "solution first. Returns a dict whose 'outcome' is 'step' (with 'technique', "
          "'rating', 'unit' (0-8 rows, 9-17 columns, 18-26 boxes, or None), 'cells', "
          "'pattern', 'placements' and 'eliminations' as (cell, digit) pairs, 'notation' "
          "as velmo-solve --steps writes it, and 'links': a chain's links in the order they "
          "are followed from its start, each a dict of 'from' and 'to' (the (cell, digit) "
          "pairs of one end, two or three for a grouped end) and 'strong' (True: 'to' holds "
          "when 'from' does not; False: 'to' does not when 'from' does), empty for a "
          "technique that is no chain), 'wrong entries' (with 'wrong_cells'), 'wrong "
          "strike-outs' (with 'wrong_candidates'), 'solved', 'no solution', 'several "
          "solutions' or 'no step'. Raises InvalidPuzzle, or ValueError for a bad pair.");
    m.def("scan", &Scan, py::arg("picture"),
          "Reads the puzzle in a picture: `picture` is a path, the bytes of a PNG, JPEG, BMP, "
          "WebP, TIFF or PNM file, or a uint8 array of H x W (grey) or H x W x 3 (RGB) pixels. "
          "Returns a dict: 'status' ('read'; 'corrected' when the solver changed up to 3 cells "
          "to give exactly one solution; 'conflict', 'no solution' or 'several solutions' for a "
          "reading it could not mend; 'no puzzle'; 'bad picture'), 'puzzle' (81 characters, "
          "'.' for empty, or None without a puzzle), 'certainty' (float32 (81,), each cell's "
          "probability, or None), 'changes' ((cell, read, written) for each cell the solver "
          "changed), 'quarter_turns' (clockwise, from upright) and 'message' (why not read, or "
          "the conflict). Raises OSError for a path that cannot be read.");
    m.def("solve_many", &SolveMany, py::arg("puzzles"), py::arg("threads") = 0,
          "Solves a batch on `threads` threads (0: one a core; below 0 raises ValueError). "
          "Returns (solutions, status): uint8 (N, 81) and int8 (N,), status 1 solved, 0 no "
          "solution, -1 invalid; the rows of the unsolved are 0.");
    m.def("count_many", &CountMany, py::arg("puzzles"), py::arg("threads") = 0,
          "The number of solutions of each puzzle, up to two, as int8 (N,); -1 for invalid. "
          "Raises ValueError for threads below 0.");
    m.def("rate_many", &RateMany, py::arg("puzzles"), py::arg("threads") = 0,
          "The rating of each puzzle, 81 cells or 729 pencil marks as rate takes them, as "
          "float64 (N,): NaN for a puzzle without a rating (no solution, several, or no empty "
          "cell), -1 for invalid. Raises ValueError for threads below 0.");
    m.def("is_consistent_many", &IsConsistentMany, py::arg("puzzles"),
          "1 or 0 for each puzzle as int8 (N,); -1 for invalid.");

    py::class_<CPuzzleFile>(m, "PuzzleFile",
                            "A puzzle file as velmo-solve reads it, by read_puzzles.")
        .def("__len__", [](const CPuzzleFile& file) { return file.entries.size(); })
        .def_property_readonly("grids", &FileGrids,
                               "uint8 (N, 81): each puzzle's cells, 0 for empty; an invalid "
                               "entry's row is 255 throughout, which the batch calls answer "
                               "as invalid.")
        .def_property_readonly(
            "lines",
            [](const CPuzzleFile& file) {
                std::vector<uint64_t> lines;
                for (const CPuzzleEntry& entry : file.entries) lines.push_back(entry.line);
                return lines;
            },
            "The line each entry starts on, counted from 1.")
        .def_property_readonly(
            "errors",
            [](const CPuzzleFile& file) {
                std::vector<std::string> errors;
                for (const CPuzzleEntry& entry : file.entries) {
                    errors.push_back(entry.parsed.IsPencilMarks() ? "a pencil-mark puzzle"
                                                                  : entry.parsed.error);
                }
                return errors;
            },
            "Why each entry is invalid, as velmo-solve says it; '' for a puzzle.")
        .def_property_readonly(
            "comments",
            [](const CPuzzleFile& file) {
                py::list comments;
                for (const CPuzzleEntry& entry : file.entries) {
                    comments.append(py::bytes(entry.parsed.comment));
                }
                return comments;
            },
            "The text after each puzzle's 81st cell as it stood, bytes; b'' for none.")
        .def_readonly("error", &CPuzzleFile::error,
                      "Why the text was not read in whole (a NUL byte: not a text file); '' "
                      "when it was.");

    m.def(
        "read_puzzles",
        [](const py::bytes& data) { return ReadPuzzleFile(std::string_view(data)); },
        py::arg("data"),
        "Reads the text of a puzzle file (bytes) as velmo-solve does: lines of 81 cells, "
        "9-line grids, comments, any line ends.");
    m.def("write_answers", &WriteSolutions, py::arg("puzzles"), py::arg("solutions"),
          py::arg("status"),
          "velmo-solve's output for the PuzzleFile `puzzles` from solve_many's "
          "(solutions, status): a line a puzzle, with its comment; bytes.");
    m.def("write_counts", &WriteCounts, py::arg("puzzles"), py::arg("counts"),
          "velmo-solve --count's output for the PuzzleFile `puzzles` from count_many; bytes.");
}

// velmo-solve: a filter that solves every puzzle of its input with the window's solver.
//
// The input streams through in chunks: the main thread reads and parses, a pool of threads
// solves the chunks' pieces, and a writer thread writes the answers of each piece in input
// order as soon as the pieces before it are written. A bounded number of chunks is in flight,
// so memory stays the same whatever the size of the input, and a pipe sees answers while the
// input still flows.
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "answers.h"
#include "program_io.h"
#include "puzzle_reader.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: velmo-solve [OPTION]... [FILE]...\n"
    "Solve the puzzles in each FILE (standard input when there is none, or for -),\n"
    "writing one answer for each puzzle in input order as the input is read.\n"
    "\n"
    "A puzzle is one line of 81 cells row by row, or a grid of 9 lines of 9 cells:\n"
    "1-9 is a given, 0 or . an empty cell; spaces, tabs, |, - and + between cells are\n"
    "ignored, and so are lines of them alone. Text after the 81st cell of a line is\n"
    "its comment and is written after its answer. Blank lines and lines starting with\n"
    "# are skipped. Lines may end with LF, CRLF or CR; a UTF-8 byte-order mark is fine.\n"
    "A pencil-mark puzzle is one line of 729: for each cell, for each digit 1-9, the\n"
    "digit while it is a candidate, else . or 0; only the rating options read it.\n"
    "\n"
    "The answer is the 81-digit solution (the first in the solver's search order when\n"
    "there are several), 'no solution', or 'invalid' for a malformed line, whose reason\n"
    "goes to standard error as FILE:LINE: reason.\n"
    "\n"
    "  -c, --count        answer with how many solutions each puzzle has: 0, 1 or 2+\n"
    "      --unique       write only the puzzles that have exactly one solution\n"
    "      --multiple     write only the puzzles that have two or more solutions\n"
    "      --none         write only the puzzles that have no solution\n"
    "                     (these three write the puzzles themselves and may be combined)\n"
    "      --rate         answer with the rating on the difficulty scale and the\n"
    "                     hardest technique, separated by a tab (0 or 2+ for a grid\n"
    "                     without exactly one solution, solved for a full grid)\n"
    "      --steps        write each puzzle's line, its logical steps one a line, and\n"
    "                     a blank line\n"
    "      --min-rating=X, --max-rating=Y  write only the puzzles rated from X to Y\n"
    "                     (bounds included), as they stood\n"
    "  -f, --format=FORMAT  line (default): one line a puzzle;\n"
    "                     grid: 9 lines of 9 cells, then a blank line;\n"
    "                     tsv: a header, then puzzle, count, solution and comment,\n"
    "                     separated by tabs (with --rate, rating and technique\n"
    "                     before the comment)\n"
    "      --stats        after the run, write counts and timing to standard error\n"
    "  -j, --threads=N    solve on N threads (default: one per core)\n"
    "  -h, --help         show this text and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Exit status: 0 if every puzzle was well-formed, 1 if any was invalid, 2 for a\n"
    "usage error, a file that cannot be read or is not text, or a write error.\n";

constexpr size_t kReadBlock = 16 * 1024;
// A chunk is handed on once it holds this many puzzles or this many bytes of them. Rating
// takes a thousand times longer than solving, and some puzzles far longer than others: its
// chunks are small, so that one slow puzzle holds up few answers.
constexpr size_t kChunkEntries = 2048;
constexpr size_t kRatingChunkEntries = 16;
constexpr size_t kChunkBytes = 256 * 1024;
// When solving, a thread takes a whole chunk. When rating, it takes as many puzzles as it
// rated in about this time at the pace it last saw, from one to kRatingMostTaken: hard
// puzzles go one a thread, so that every thread has work on a short file of them and each
// answer is written as soon as those before it are, and easy ones a few at a time, so that
// handing them over costs little.
constexpr std::chrono::microseconds kRatingPieceTime{500};
constexpr size_t kRatingMostTaken = 4;
// How often a writer with nothing to write looks whether the reader of its pipe has gone, and,
// when rating, whether quick answers are waiting: those do not wake it one by one.
constexpr std::chrono::milliseconds kWriterCheck{50};

struct COptions {
    CAnswerOptions answers;
    bool formatGiven = false;  // --format was on the command line
    bool stats = false;
    unsigned threads = 0;  // 0: one per core
    std::vector<std::string> files;
};

// The answers to consecutive puzzles of a chunk, filled in by one solving thread.
struct CPiece {
    size_t first = 0;  // the entries answered: [first, first + count)
    size_t count = 0;
    std::string out;
    std::string err;
    // Where the messages go between the answers: out[..outEnd) comes before err[..errEnd).
    struct CMark {
        size_t outEnd;
        size_t errEnd;
    };
    std::vector<CMark> marks;
    CTally tally;
    bool done = false;
};

// A run of consecutive puzzles of one file, and then what is written for them.
struct CChunk {
    std::string_view file;
    std::vector<CPuzzleEntry> entries;
    size_t bytes = 0;    // the size of `entries`, roughly
    std::string notice;  // a message that follows the answers: the file cannot be read on
    int noticeStatus = 0;

    size_t size = 0;            // of `entries`, which are freed once all are answered
    std::deque<CPiece> pieces;  // in input order, as threads take them
    size_t taken = 0;           // entries handed to solving threads
    size_t finished = 0;        // entries answered
    size_t written = 0;         // pieces written
};

void Complain(std::string_view message) {
    WriteAll(STDERR_FILENO, std::string("velmo-solve: ").append(message).append("\n"));
}

// Reports a failed write to standard output; a closed pipe ends the run quietly, as it does
// when SIGPIPE has its default effect.
void ComplainOfWrite(int error) {
    if (error != 0 && error != EPIPE) Complain(std::string("write error: ") + std::strerror(error));
}

// Writes text that is all the run has to say, such as --help; returns the exit status.
int WriteText(std::string_view text) {
    const int error = WriteAll(STDOUT_FILENO, text);
    ComplainOfWrite(error);
    return error == 0 ? 0 : 2;
}

// True when standard output and standard error end in the same place, a terminal or a file
// both are sent to, so that each message should stand next to the answer it is about.
bool OutputsShareAFile() {
    struct stat out, err;
    if (::fstat(STDOUT_FILENO, &out) != 0 || ::fstat(STDERR_FILENO, &err) != 0) return true;
    return out.st_dev == err.st_dev && out.st_ino == err.st_ino;
}

// True when standard output is a pipe, whose reader may go before the run ends.
bool OutputIsAPipe() {
    struct stat out;
    return ::fstat(STDOUT_FILENO, &out) == 0 && S_ISFIFO(out.st_mode);
}

// Solves chunks on a pool of threads and writes them in order from one more.
class CPipeline {
  public:
    explicit CPipeline(const COptions& options)
        : m_options(options),
          m_interleave(OutputsShareAFile()),
          m_watchReader(OutputIsAPipe()),
          m_maxInFlight((options.answers.Rating() ? 8 : 2) * options.threads + 2),
          m_rating(options.answers.Rating()) {
        for (unsigned t = 0; t < options.threads; ++t) m_solvers.emplace_back([this] { Solve(); });
        m_writer = std::thread([this] { Write(); });
    }

    // Queues `chunk` for solving, waiting while too many are in flight.
    void Push(std::unique_ptr<CChunk> chunk) {
        chunk->size = chunk->entries.size();
        std::unique_lock lock(m_mutex);
        m_roomFree.wait(lock, [this] { return m_order.size() < m_maxInFlight; });
        m_order.push_back(std::move(chunk));
        if (m_order.back()->size == 0) {
            m_chunkDone.notify_all();
        } else {
            m_todo.push_back(m_order.back().get());
            if (m_rating) {
                m_workReady.notify_all();
            } else {
                m_workReady.notify_one();
            }
        }
    }

    // Waits until every chunk is written; returns the exit status.
    int Finish() {
        {
            std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_workReady.notify_all();
        m_chunkDone.notify_all();
        for (std::thread& solver : m_solvers) solver.join();
        m_writer.join();
        return m_status;
    }

    const CTally& Tally() const { return m_tally; }

  private:
    void Solve() {
        CPuzzleAnswerer answerer(m_options.answers);
        size_t take = m_rating ? 1 : SIZE_MAX;  // entries to take next
        for (;;) {
            CChunk* chunk;
            CPiece* piece;
            {
                std::unique_lock lock(m_mutex);
                m_workReady.wait(lock, [this] { return !m_todo.empty() || m_closed; });
                if (m_todo.empty()) return;
                chunk = m_todo.front();
                piece = &chunk->pieces.emplace_back();
                piece->first = chunk->taken;
                piece->count = std::min(take, chunk->size - chunk->taken);
                chunk->taken += piece->count;
                if (chunk->taken == chunk->size) m_todo.pop_front();
            }
            const auto start = std::chrono::steady_clock::now();
            for (size_t i = piece->first; i < piece->first + piece->count; ++i) {
                const size_t errBefore = piece->err.size();
                const size_t outBefore = piece->out.size();
                answerer.Answer(chunk->entries[i], chunk->file, piece->out, piece->err,
                                piece->tally);
                if (piece->err.size() != errBefore) {
                    piece->marks.push_back({outBefore, piece->err.size()});
                }
            }
            const auto spent = std::chrono::steady_clock::now() - start;
            if (m_rating) take = NextTake(piece->count, spent);
            std::vector<CPuzzleEntry> answered;  // freed once no thread reads them
            std::lock_guard lock(m_mutex);
            piece->done = true;
            chunk->finished += piece->count;
            if (chunk->finished == chunk->size) answered.swap(chunk->entries);
            // The writer is woken when it can write, for a slow piece or a whole chunk; quick
            // answers wait for its next look, so that easy puzzles cost it no wake-up each.
            const bool slow = m_rating && spent >= kRatingPieceTime;
            if (chunk == m_order.front().get() && chunk->pieces[chunk->written].done &&
                (slow || chunk->finished == chunk->size)) {
                m_chunkDone.notify_all();
            }
        }
    }

    // How many puzzles a rating thread takes after rating `count` in `spent`.
    static size_t NextTake(size_t count, std::chrono::nanoseconds spent) {
        const auto pace = std::max(spent, std::chrono::nanoseconds(1));
        const int64_t fit = std::chrono::nanoseconds(kRatingPieceTime) * int64_t(count) / pace;
        return std::clamp<size_t>(size_t(fit), 1, kRatingMostTaken);
    }

    // True when the next piece to write is done, or the front chunk is all written.
    bool Writable() const {
        if (m_order.empty()) return m_closed;
        const CChunk& front = *m_order.front();
        if (front.written < front.pieces.size()) return front.pieces[front.written].done;
        return front.taken == front.size;
    }

    void Write() {
        if (const int error = WriteAll(STDOUT_FILENO, FormatHeader(m_options.answers))) {
            Fail(error);
        }
        std::vector<const CPiece*> ready;  // done, in order, after those written
        for (;;) {
            CChunk* chunk;
            size_t written;
            bool complete;
            {
                std::unique_lock lock(m_mutex);
                while (!Writable()) {
                    if (!m_watchReader && !m_rating) {
                        m_chunkDone.wait(lock);
                    } else if (m_chunkDone.wait_for(lock, kWriterCheck) ==
                                   std::cv_status::timeout &&
                               m_watchReader && ReaderHasGone()) {
                        ReaderGone();
                    }
                }
                if (m_order.empty()) return;
                chunk = m_order.front().get();
                ready.clear();
                for (written = chunk->written;
                     written < chunk->pieces.size() && chunk->pieces[written].done; ++written) {
                    ready.push_back(&chunk->pieces[written]);
                }
                complete = written == chunk->pieces.size() && chunk->taken == chunk->size;
            }
            if (const int error = WritePieces(ready)) Fail(error);
            std::unique_ptr<CChunk> done;  // freed outside the lock
            {
                std::lock_guard lock(m_mutex);
                chunk->written = written;
                if (complete) {
                    done = std::move(m_order.front());
                    m_order.pop_front();
                }
            }
            if (done) {
                m_roomFree.notify_one();
                m_status = std::max(m_status, done->noticeStatus);
                if (!done->notice.empty()) Complain(done->notice);
            }
        }
    }

    int WritePieces(const std::vector<const CPiece*>& pieces) {
        for (const CPiece* piece : pieces) {
            m_tally.Add(piece->tally);
            if (piece->tally.invalid != 0) m_status = std::max(m_status, 1);
        }
        if (m_interleave || pieces.size() == 1) {
            for (const CPiece* piece : pieces) {
                if (const int error = WritePiece(*piece)) return error;
            }
            return 0;
        }
        // The answers in one write and the messages in another, where they go apart.
        std::string out, err;
        for (const CPiece* piece : pieces) {
            out.append(piece->out);
            err.append(piece->err);
        }
        if (const int error = WriteAll(STDOUT_FILENO, out)) return error;
        WriteAll(STDERR_FILENO, err);
        return 0;
    }

    int WritePiece(const CPiece& piece) {
        std::string_view out = piece.out;
        std::string_view err = piece.err;
        if (m_interleave) {
            size_t outDone = 0, errDone = 0;
            for (const CPiece::CMark& mark : piece.marks) {
                if (const int error =
                        WriteAll(STDOUT_FILENO, out.substr(outDone, mark.outEnd - outDone))) {
                    return error;
                }
                WriteAll(STDERR_FILENO, err.substr(errDone, mark.errEnd - errDone));
                outDone = mark.outEnd;
                errDone = mark.errEnd;
            }
            out.remove_prefix(outDone);
        }
        if (const int error = WriteAll(STDOUT_FILENO, out)) return error;
        WriteAll(STDERR_FILENO, m_interleave ? std::string_view() : err);
        return 0;
    }

    // True when standard output is a pipe whose reader has closed it: every write to it
    // would fail, and waiting for one could take as long as the slowest puzzle.
    static bool ReaderHasGone() {
        pollfd output{STDOUT_FILENO, 0, 0};
        return ::poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
    }

    // Ends the run as a write to the pipe would have: by SIGPIPE, unless it is ignored or
    // blocked, and else as a failed write.
    [[noreturn]] static void ReaderGone() {
        ::raise(SIGPIPE);
        Fail(EPIPE);
    }

    // A failed write ends the run at once, whatever the other threads are doing: the reading
    // one may wait in read() on an input that never ends (tail -f), and nothing more could be
    // written anyway.
    [[noreturn]] static void Fail(int error) {
        ComplainOfWrite(error);
        std::_Exit(2);
    }

    const COptions& m_options;
    const bool m_interleave;
    const bool m_watchReader;  // standard output is a pipe, whose reader may go
    const size_t m_maxInFlight;
    const bool m_rating;  // threads take pieces by their cost, not whole chunks

    std::mutex m_mutex;
    std::condition_variable m_workReady;          // m_todo has a chunk, or the input has ended
    std::condition_variable m_chunkDone;          // a piece is done, or the input has ended
    std::condition_variable m_roomFree;           // a chunk left m_order
    std::deque<std::unique_ptr<CChunk>> m_order;  // in flight, in input order
    std::deque<CChunk*> m_todo;                   // of those, the ones with entries not taken
    bool m_closed = false;

    // The writer's alone, until Finish.
    int m_status = 0;
    CTally m_tally;

    std::vector<std::thread> m_solvers;
    std::thread m_writer;
};

// Reads one file, or standard input for "-", into the pipeline; `chunkEntries` puzzles a chunk.
void ReadFile(const std::string& name, size_t chunkEntries, CPipeline& pipeline) {
    auto chunk = std::make_unique<CChunk>();
    chunk->file = name;
    const int fd = name == "-" ? STDIN_FILENO : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        chunk->notice = "cannot read '" + name + "': " + std::strerror(errno);
        chunk->noticeStatus = 2;
        pipeline.Push(std::move(chunk));
        return;
    }
    // What arrives through a pipe or a terminal is answered as it comes; a file is read in
    // whole chunks.
    struct stat info;
    const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);

    CPuzzleReader reader;
    std::vector<char> block(kReadBlock);
    std::vector<CPuzzleEntry> fed;  // the entries of one block
    const auto handOn = [&] {
        pipeline.Push(std::move(chunk));
        chunk = std::make_unique<CChunk>();
        chunk->file = name;
    };
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            chunk->notice = "cannot read '" + name + "': " + std::strerror(errno);
            chunk->noticeStatus = 2;
            break;
        }
        if (got == 0) {
            reader.Finish(chunk->entries);
            break;
        }
        // A block may complete many entries: they are cut into chunks as they come, so that a
        // fast pipe makes no chunk larger than a file would.
        fed.clear();
        reader.Feed(std::string_view(block.data(), size_t(got)), fed);
        for (CPuzzleEntry& entry : fed) {
            chunk->bytes += sizeof(CPuzzleEntry) + entry.parsed.comment.size() +
                            entry.parsed.error.size() + entry.parsed.pencilMarks.size();
            chunk->entries.push_back(std::move(entry));
            if (chunk->entries.size() >= chunkEntries || chunk->bytes >= kChunkBytes) handOn();
        }
        if (reader.Binary()) {
            chunk->notice = name + ":" + std::to_string(reader.LineNumber()) +
                            ": a NUL byte: not a text file (UTF-16?), the rest is not read";
            chunk->noticeStatus = 2;
            break;
        }
        if (!regular && !chunk->entries.empty()) handOn();
    }
    if (fd != STDIN_FILENO) ::close(fd);
    pipeline.Push(std::move(chunk));
}

int UsageError(const std::string& message) {
    Complain(message + "\nTry 'velmo-solve --help' for more information.");
    return 2;
}

bool ParseThreads(std::string_view value, unsigned& threads) {
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), threads);
    return error == std::errc() && end == value.data() + value.size() && threads >= 1 &&
           threads <= 1024;
}

// Options without a short form, numbered past every character.
enum : int {
    kOptionUnique = 256,
    kOptionMultiple,
    kOptionNone,
    kOptionStats,
    kOptionRate,
    kOptionSteps,
    kOptionMinRating,
    kOptionMaxRating,
};

constexpr option kLongOptions[] = {
    {"count", no_argument, nullptr, 'c'},
    {"unique", no_argument, nullptr, kOptionUnique},
    {"multiple", no_argument, nullptr, kOptionMultiple},
    {"none", no_argument, nullptr, kOptionNone},
    {"format", required_argument, nullptr, 'f'},
    {"stats", no_argument, nullptr, kOptionStats},
    {"rate", no_argument, nullptr, kOptionRate},
    {"steps", no_argument, nullptr, kOptionSteps},
    {"min-rating", required_argument, nullptr, kOptionMinRating},
    {"max-rating", required_argument, nullptr, kOptionMaxRating},
    {"threads", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
// A leading ':' has a missing value reported as ':', apart from an unknown option.
constexpr const char* kShortOptions = ":cf:j:hV";

std::string_view LongName(int value) {
    return LongOptionName(kLongOptions, value);
}

// The message for an option getopt_long turned away: `arg` is the argument it was in.
std::string OptionError(int result, int optionValue, std::string_view arg) {
    if (result == ':') {
        switch (optionValue) {
            case 'j':
                return "--threads needs a number";
            case 'f':
                return "--format needs one of line, grid, tsv";
        }
        return "--" + std::string(LongName(optionValue)) + " needs a rating, such as 7.2";
    }
    return RejectedOption(kLongOptions, optionValue, arg);
}

// Parses the command line as GNU tools do (short options bundled, as in -cj4; long options
// abbreviated while unambiguous; options and files in any order; "--" ends the options).
// Returns -1 to go on, else the exit status.
int ParseOptions(int argc, char** argv, COptions& options) {
    opterr = 0;
    bool steps = false;
    for (;;) {
        const int result = ::getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (result == -1) break;
        const std::string value = optarg != nullptr ? optarg : "";
        switch (result) {
            case 'h':
                return WriteText(kUsage);
            case 'V':
                return WriteText("velmo-solve (velmo) " VELMO_VERSION "\n");
            case 'c':
                options.answers.count = true;
                break;
            case kOptionUnique:
                options.answers.kinds |= kKindUnique;
                break;
            case kOptionMultiple:
                options.answers.kinds |= kKindMultiple;
                break;
            case kOptionNone:
                options.answers.kinds |= kKindNone;
                break;
            case kOptionStats:
                options.stats = true;
                break;
            case kOptionRate:
                options.answers.rate = true;
                break;
            case kOptionSteps:
                steps = true;
                break;
            case kOptionMinRating:
            case kOptionMaxRating: {
                std::optional<int>& bound = result == kOptionMinRating ? options.answers.minRating
                                                                       : options.answers.maxRating;
                bound = ParseRating(value);
                if (!bound) {
                    return UsageError("--" + std::string(LongName(result)) +
                                      " takes a rating such as 7.2, not '" + value + "'");
                }
                break;
            }
            case 'j':
                if (!ParseThreads(value, options.threads)) {
                    return UsageError("--threads takes a whole number from 1 to 1024, not '" +
                                      value + "'");
                }
                break;
            case 'f':
                options.formatGiven = true;
                if (value == "line") {
                    options.answers.format = COutputFormat::kLine;
                } else if (value == "grid") {
                    options.answers.format = COutputFormat::kGrid;
                } else if (value == "tsv") {
                    options.answers.format = COutputFormat::kTsv;
                } else {
                    return UsageError("--format takes line, grid or tsv, not '" + value + "'");
                }
                break;
            default:
                return UsageError(OptionError(result, optopt, argv[optind - 1]));
        }
    }
    for (int i = optind; i < argc; ++i) options.files.emplace_back(argv[i]);
    CAnswerOptions& answers = options.answers;
    if (answers.count && answers.kinds != 0) {
        return UsageError("--count does not go with --unique, --multiple or --none");
    }
    if ((answers.rate || answers.RatingFilter() || steps) && (answers.count || answers.kinds)) {
        return UsageError(
            "--rate, --steps, --min-rating and --max-rating do not go with --count, --unique, "
            "--multiple or --none");
    }
    if (steps && (answers.rate || answers.RatingFilter() || options.formatGiven)) {
        return UsageError(
            "--steps writes its own layout, without --rate, --min-rating, "
            "--max-rating or --format");
    }
    if (answers.rate && answers.RatingFilter()) {
        return UsageError("--rate does not go with --min-rating or --max-rating");
    }
    if (steps) answers.format = COutputFormat::kSteps;
    if (options.files.empty()) options.files.emplace_back("-");
    if (options.threads == 0) options.threads = std::max(1u, std::thread::hardware_concurrency());
    return -1;
}

void WriteStats(const CTally& tally, bool rating, double seconds) {
    char text[256];
    const std::string rated = rating ? ", rated: " + std::to_string(tally.rated) : "";
    std::snprintf(text, sizeof text,
                  "puzzles: %zu, solved: %zu, without solution: %zu, invalid: %zu%s, "
                  "time: %.3f s, %.2f us/puzzle\n",
                  tally.puzzles, tally.solved, tally.puzzles - tally.solved, tally.invalid,
                  rated.c_str(), seconds,
                  tally.puzzles ? seconds * 1e6 / double(tally.puzzles) : 0.0);
    WriteAll(STDERR_FILENO, text);
}

}  // namespace

int main(int argc, char** argv) {
    COptions options;
    if (const int status = ParseOptions(argc, argv, options); status >= 0) return status;

    const auto start = std::chrono::steady_clock::now();
    CPipeline pipeline(options);
    const size_t chunkEntries = options.answers.Rating() ? kRatingChunkEntries : kChunkEntries;
    for (const std::string& name : options.files) ReadFile(name, chunkEntries, pipeline);
    const int status = pipeline.Finish();
    if (options.stats) {
        WriteStats(pipeline.Tally(), options.answers.Rating(),
                   std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return status;
}

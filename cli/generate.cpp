// velmo-generate: makes new puzzles with the generator library and writes them as velmo-solve
// reads them, each as soon as it and those before it are found.
//
// The generator's run delivers the puzzles on this thread; the progress line, the time limit,
// Ctrl+C and a reader that has gone are looked at when it reports progress, a few times a
// second.
#include <fcntl.h>
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>

#include "generator.h"
#include "program_io.h"
#include "puzzle_line.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: velmo-generate [OPTION]...\n"
    "Make new puzzles with one solution and write them one a line, as velmo-solve reads\n"
    "them: the 81 cells (. for an empty one), then the rating and the hardest technique\n"
    "as a comment, such as  ..3.1...  # 7.2 X-Chain.\n"
    "\n"
    "  -n, --count=N        make N puzzles (default 1)\n"
    "      --min-rating=X, --max-rating=Y  rated from X to Y on the difficulty scale\n"
    "                       (bounds included; the scale ends at 12)\n"
    "      --technique=NAME  whose hardest step is of this technique, named as\n"
    "                       velmo-solve --rate writes it (X-Wing, Forcing Chain, ...)\n"
    "      --symmetry=NAME  givens symmetric: none (default), rotate180, rotate90,\n"
    "                       left-right, top-bottom, both-mirrors, diagonal,\n"
    "                       anti-diagonal, both-diagonals\n"
    "      --givens=A-B     with A to B givens (or --givens=A for exactly A)\n"
    "      --pattern=P      givens exactly where P has x: 81 characters x or . (spaces\n"
    "                       and line ends ignored), or a file holding them\n"
    "      --not-minimal    a given may be one that could go (by default none can)\n"
    "      --from=FILE      make puzzles near the puzzles of FILE, one a line, each\n"
    "                       with one solution; they themselves are never written\n"
    "      --seed=S         the random generator's seed (a whole number): the same seed\n"
    "                       and options make the same puzzles in the same order\n"
    "      --time-limit=S   end the run after S seconds, with what it found\n"
    "  -f, --format=FORMAT  line (default): one line a puzzle;\n"
    "                       grid: the comment, 9 lines of 9 cells, a blank line;\n"
    "                       tsv: a header, then puzzle, rating, technique, givens and\n"
    "                       solution, separated by tabs\n"
    "      --stats          after the run, write counts, timing and the seed to\n"
    "                       standard error\n"
    "  -j, --threads=N      work on N threads (default: one per core)\n"
    "  -h, --help           show this text and exit\n"
    "  -V, --version        show the version and exit\n"
    "\n"
    "On a terminal, a progress line on standard error tells how many are found, how\n"
    "many puzzles are tried a second, how rare a kept one is, and the time left;\n"
    "elsewhere, that line is written after 5, 10, 20, ... seconds without a puzzle.\n"
    "\n"
    "Exit status: 0 when every puzzle asked for was made, 1 when the time limit ended\n"
    "the run first, 2 for options that cannot be met, a usage error, a file that cannot\n"
    "be read or a write error. Ctrl+C ends the run with what it found and the status\n"
    "of SIGINT; a reader that goes away ends it as SIGPIPE does.\n";

constexpr std::chrono::milliseconds kProgressEvery{200};
// Off a terminal, a run that has written nothing for this long says how it goes, then again
// after twice as long each time, up to kLongestQuiet: rare puzzles are searched for, not
// silently for ever.
constexpr std::chrono::seconds kFirstQuiet{5};
constexpr std::chrono::seconds kLongestQuiet{600};

// The canonical forms of the puzzles of the collections velmo is measured on (bench/data),
// made at build time: no puzzle written is one of them.
constexpr const char* kKnownForms[] = {
#include "known_forms.inc"
};

enum class CFormat { kLine, kGrid, kTsv };

struct COptions {
    CGeneratorOptions generator;
    int count = 1;
    unsigned threads = 0;  // 0: one per core
    CFormat format = CFormat::kLine;
    bool stats = false;
    double timeLimit = 0;  // seconds; 0: none
    bool seedGiven = false;
};

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) {
    g_interrupted = 1;
}

void Complain(std::string_view message) {
    WriteAll(STDERR_FILENO, std::string("velmo-generate: ").append(message).append("\n"));
}

int UsageError(const std::string& message) {
    Complain(message + "\nTry 'velmo-generate --help' for more information.");
    return 2;
}

// A refusal of options that no puzzle can meet.
int Refuse(const std::string& message) {
    Complain(message);
    return 2;
}

int WriteText(std::string_view text) {
    const int error = WriteAll(STDOUT_FILENO, text);
    if (error != 0 && error != EPIPE) Complain(std::string("write error: ") + std::strerror(error));
    return error == 0 ? 0 : 2;
}

// True when standard output is a pipe whose reader has closed it.
bool ReaderHasGone() {
    struct stat out;
    if (::fstat(STDOUT_FILENO, &out) != 0 || !S_ISFIFO(out.st_mode)) return false;
    pollfd output{STDOUT_FILENO, 0, 0};
    return ::poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
}

template <class T>
bool ParseWhole(std::string_view value, T& number) {
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    return error == std::errc() && end == value.data() + value.size() && !value.empty();
}

// "A-B" or "A".
bool ParseGivens(std::string_view value, int& least, int& most) {
    const size_t dash = value.find('-');
    if (dash == std::string_view::npos) {
        if (!ParseWhole(value, least)) return false;
        most = least;
    } else if (!ParseWhole(value.substr(0, dash), least) ||
               !ParseWhole(value.substr(dash + 1), most)) {
        return false;
    }
    return least >= 0 && most >= 0;
}

// The pattern's 81 characters from `text`, white space left out; false when anything else
// than x and . is there or they are not 81.
bool ParsePattern(std::string_view text, std::array<bool, kCellCount>& pattern) {
    int n = 0;
    for (char ch : text) {
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') continue;
        if (ch != 'x' && ch != 'X' && ch != '.') return false;
        if (n == kCellCount) return false;
        pattern[n++] = ch != '.';
    }
    return n == kCellCount;
}

// Reads all of `name` when it holds at most `limit` bytes; a larger or endless one (such as
// /dev/zero, which holds no line end) is refused before it fills the memory.
bool ReadWholeFile(const std::string& name, std::size_t limit, std::string& text,
                   std::string& error) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        error = "cannot read '" + name + "': " + std::strerror(errno);
        return false;
    }
    text.clear();
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, std::size_t(in.gcount()));
        if (text.size() > limit) {
            error = "'" + name + "' is larger than " + std::to_string(limit >> 20) + " MB";
            return false;
        }
    }
    return true;
}

// The seed puzzles of `name`, one a line (blank lines and comments skipped); a line that is
// not a puzzle is refused with its number.
bool ReadSeeds(const std::string& name, std::vector<PuzzleGrid>& seeds, std::vector<int>& lines,
               std::string& error) {
    std::string text;
    // About 800,000 seed lines: more than any collection searched around.
    if (!ReadWholeFile(name, std::size_t{64} << 20, text, error)) return false;
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const CPuzzleLine parsed = ParsePuzzleLine(line);
        if (parsed.kind == CPuzzleLine::kSkip) continue;
        if (parsed.kind != CPuzzleLine::kPuzzle || parsed.IsPencilMarks()) {
            error = name + ":" + std::to_string(number) + ": not a puzzle of 81 cells" +
                    (parsed.kind == CPuzzleLine::kInvalid ? ": " + parsed.error : "");
            return false;
        }
        seeds.push_back(parsed.grid);
        lines.push_back(number);
    }
    if (seeds.empty()) {
        error = name + ": no puzzle in it";
        return false;
    }
    return true;
}

enum : int {
    kOptionMinRating = 256,
    kOptionMaxRating,
    kOptionTechnique,
    kOptionSymmetry,
    kOptionGivens,
    kOptionPattern,
    kOptionNotMinimal,
    kOptionFrom,
    kOptionSeed,
    kOptionTimeLimit,
    kOptionStats,
};

constexpr option kLongOptions[] = {
    {"count", required_argument, nullptr, 'n'},
    {"min-rating", required_argument, nullptr, kOptionMinRating},
    {"max-rating", required_argument, nullptr, kOptionMaxRating},
    {"technique", required_argument, nullptr, kOptionTechnique},
    {"symmetry", required_argument, nullptr, kOptionSymmetry},
    {"givens", required_argument, nullptr, kOptionGivens},
    {"pattern", required_argument, nullptr, kOptionPattern},
    {"not-minimal", no_argument, nullptr, kOptionNotMinimal},
    {"from", required_argument, nullptr, kOptionFrom},
    {"seed", required_argument, nullptr, kOptionSeed},
    {"time-limit", required_argument, nullptr, kOptionTimeLimit},
    {"format", required_argument, nullptr, 'f'},
    {"stats", no_argument, nullptr, kOptionStats},
    {"threads", required_argument, nullptr, 'j'},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};
constexpr const char* kShortOptions = ":n:f:j:hV";

std::string_view LongName(int value) {
    return LongOptionName(kLongOptions, value);
}

std::string OptionError(int result, int optionValue, std::string_view arg) {
    if (result == ':') return "--" + std::string(LongName(optionValue)) + " needs a value";
    return RejectedOption(kLongOptions, optionValue, arg);
}

// Returns -1 to go on, else the exit status.
int ParseOptions(int argc, char** argv, COptions& options) {
    opterr = 0;
    CGeneratorOptions& g = options.generator;
    std::string technique, fromFile;
    std::optional<int> minRating, maxRating;
    for (;;) {
        const int result = ::getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (result == -1) break;
        const std::string value = optarg != nullptr ? optarg : "";
        const std::string name = "--" + std::string(LongName(result));
        switch (result) {
            case 'h':
                return WriteText(kUsage);
            case 'V':
                return WriteText("velmo-generate (velmo) " VELMO_VERSION "\n");
            case 'n':
                if (!ParseWhole(value, options.count) || options.count < 1) {
                    return UsageError("--count takes a whole number of puzzles, 1 or more, not '" +
                                      value + "'");
                }
                break;
            case kOptionMinRating:
            case kOptionMaxRating: {
                const std::optional<int> tenths = ParseRating(value);
                if (!tenths) {
                    return UsageError(name + " takes a rating such as 7.2, not '" + value + "'");
                }
                (result == kOptionMinRating ? minRating : maxRating) = *tenths;
                break;
            }
            case kOptionTechnique:
                technique = value;
                break;
            case kOptionSymmetry: {
                const std::optional<CSymmetry> symmetry = SymmetryByName(value);
                if (!symmetry) {
                    return UsageError(
                        "--symmetry takes none, rotate180, rotate90, left-right, "
                        "top-bottom, both-mirrors, diagonal, anti-diagonal or "
                        "both-diagonals, not '" +
                        value + "'");
                }
                g.symmetry = *symmetry;
                break;
            }
            case kOptionGivens:
                if (!ParseGivens(value, g.minGivens, g.maxGivens)) {
                    return UsageError("--givens takes a range such as 22-26, not '" + value + "'");
                }
                if (g.minGivens > kCellCount || g.maxGivens > kCellCount) {
                    return Refuse("a grid has 81 cells: no puzzle has " + value + " givens");
                }
                // The library reads a most of 0 as no bound; asked for, it is a puzzle of none.
                if (g.maxGivens == 0) {
                    return Refuse("a puzzle with one solution has at least 17 givens");
                }
                break;
            case kOptionPattern: {
                std::array<bool, kCellCount> pattern{};
                std::string text = value;
                if (!ParsePattern(text, pattern)) {
                    std::string error;
                    if (value.find_first_not_of("xX. \t") == std::string::npos ||
                        !ReadWholeFile(value, std::size_t{1} << 20, text, error)) {
                        return Refuse("--pattern takes 81 characters x or ., or a file of them; '" +
                                      value + "' is neither" + (error.empty() ? "" : ": " + error));
                    }
                    if (!ParsePattern(text, pattern)) {
                        return Refuse("'" + value +
                                      "' does not hold a pattern of 81 characters x or .");
                    }
                }
                g.pattern = pattern;
                break;
            }
            case kOptionNotMinimal:
                g.minimal = false;
                break;
            case kOptionFrom:
                fromFile = value;
                break;
            case kOptionSeed:
                if (!ParseWhole(value, g.seed)) {
                    return UsageError(
                        "--seed takes a whole number from 0 to 18446744073709551615, "
                        "not '" +
                        value + "'");
                }
                options.seedGiven = true;
                break;
            case kOptionTimeLimit: {
                double seconds = 0;
                const auto [end, error] =
                    std::from_chars(value.data(), value.data() + value.size(), seconds);
                if (error != std::errc() || end != value.data() + value.size() || !(seconds > 0) ||
                    seconds > 1e9) {
                    return UsageError("--time-limit takes a number of seconds, such as 30, not '" +
                                      value + "'");
                }
                options.timeLimit = seconds;
                break;
            }
            case kOptionStats:
                options.stats = true;
                break;
            case 'j':
                if (!ParseWhole(value, options.threads) || options.threads < 1 ||
                    options.threads > 1024) {
                    return UsageError("--threads takes a whole number from 1 to 1024, not '" +
                                      value + "'");
                }
                break;
            case 'f':
                if (value == "line") {
                    options.format = CFormat::kLine;
                } else if (value == "grid") {
                    options.format = CFormat::kGrid;
                } else if (value == "tsv") {
                    options.format = CFormat::kTsv;
                } else {
                    return UsageError("--format takes line, grid or tsv, not '" + value + "'");
                }
                break;
            default:
                return UsageError(OptionError(result, optopt, argv[optind - 1]));
        }
    }
    if (optind < argc) {
        return UsageError("velmo-generate reads no file but --from and --pattern's: '" +
                          std::string(argv[optind]) + "'");
    }
    if (minRating) g.minRating = *minRating;
    if (maxRating) g.maxRating = *maxRating;
    if (!technique.empty()) {
        const CTechniqueChoice choice = TechniqueByName(technique);
        if (choice.mask == 0) return Refuse("--technique: " + choice.error);
        g.techniques = choice.mask;
    }
    std::vector<int> seedLines;
    if (!fromFile.empty()) {
        std::string error;
        if (!ReadSeeds(fromFile, g.seeds, seedLines, error)) return Refuse(error);
    }
    for (const char* text : kKnownForms) {
        PuzzleGrid form{};
        for (int cell = 0; cell < kCellCount; ++cell) form[cell] = uint8_t(text[cell] - '0');
        g.excludedForms.push_back(form);
    }
    int seedIndex = -1;
    if (const std::string why = CheckOptions(g, &seedIndex); !why.empty()) {
        if (seedIndex >= 0)
            return Refuse(fromFile + ":" + std::to_string(seedLines[seedIndex]) + ": " + why);
        return Refuse(why);
    }
    if (!options.seedGiven)
        g.seed = std::random_device{}() * 0x100000000ull + std::random_device{}();
    if (options.threads == 0) options.threads = std::max(1u, std::thread::hardware_concurrency());
    return -1;
}

std::string RatingText(int tenths) {
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

std::string FormatPuzzle(const CGeneratedPuzzle& p, CFormat format, bool rated) {
    std::string cells(kCellCount, '.');
    for (int cell = 0; cell < kCellCount; ++cell) {
        if (p.puzzle[cell] != 0) cells[cell] = char('0' + p.puzzle[cell]);
    }
    const std::string rating = rated ? RatingText(p.rating) : "";
    const std::string technique = rated ? std::string(TechniqueName(p.hardest)) : "";
    std::string out;
    switch (format) {
        case CFormat::kLine:
            out = cells;
            if (rated) out.append(" # ").append(rating).append(" ").append(technique);
            out.push_back('\n');
            break;
        case CFormat::kGrid:
            if (rated) out.append("# ").append(rating).append(" ").append(technique).append("\n");
            for (int row = 0; row < kGridSize; ++row) {
                out.append(cells, size_t(row * kGridSize), kGridSize).push_back('\n');
            }
            out.push_back('\n');
            break;
        case CFormat::kTsv: {
            std::string solution(kCellCount, '0');
            for (int cell = 0; cell < kCellCount; ++cell)
                solution[cell] = char('0' + p.solution[cell]);
            out = cells + "\t" + rating + "\t" + technique + "\t" + std::to_string(p.givens) +
                  "\t" + solution + "\n";
            break;
        }
    }
    return out;
}

// "12,345"
std::string Grouped(uint64_t n) {
    std::string digits = std::to_string(n);
    for (int at = int(digits.size()) - 3; at > 0; at -= 3) digits.insert(size_t(at), ",");
    return digits;
}

std::string Duration(double seconds) {
    char text[32];
    if (seconds < 90) {
        std::snprintf(text, sizeof text, "%.0f s", std::ceil(seconds));
    } else if (seconds < 5400) {
        std::snprintf(text, sizeof text, "%.0f min", std::ceil(seconds / 60));
    } else {
        std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
    }
    return text;
}

std::string ProgressText(const CRunProgress& p) {
    std::string text = "velmo-generate: " + Grouped(uint64_t(p.found)) + "/" +
                       Grouped(uint64_t(p.asked)) + " found, " +
                       Grouped(uint64_t(p.seconds > 0 ? double(p.tried) / p.seconds : 0)) +
                       " tried a second, ";
    if (p.kept == 0) {
        text += "none kept of " + Grouped(p.tried);
    } else {
        text += "1 in " + Grouped((p.tried + p.kept / 2) / p.kept) + " kept";
    }
    if (p.found > 0) {
        text += ", about " + Duration(p.seconds / p.found * (p.asked - p.found)) + " left";
    } else if (p.kept > 0 && p.tried > 0) {
        const double each = p.seconds / double(p.kept);
        text += ", about " + Duration(each * p.asked) + " left";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    COptions options;
    if (const int status = ParseOptions(argc, argv, options); status >= 0) return status;

    struct sigaction interrupt{};
    interrupt.sa_handler = OnInterrupt;
    sigemptyset(&interrupt.sa_mask);
    ::sigaction(SIGINT, &interrupt, nullptr);
    ::sigaction(SIGTERM, &interrupt, nullptr);

    // A caller that ignores SIGPIPE wants a status, not the signal, when its reader goes.
    struct sigaction pipeAction{};
    ::sigaction(SIGPIPE, nullptr, &pipeAction);
    const bool pipeIgnored = pipeAction.sa_handler == SIG_IGN;

    const bool progressShown = ::isatty(STDERR_FILENO) == 1;
    const bool rated = options.generator.rate;
    bool lineShown = false;
    const auto erase = [&] {
        if (lineShown) WriteAll(STDERR_FILENO, "\r\x1b[K");
        lineShown = false;
    };
    int writeError = 0;
    bool readerGone = false;
    std::stop_source stop;

    if (options.format == CFormat::kTsv) {
        writeError = WriteAll(STDOUT_FILENO, "puzzle\trating\ttechnique\tgivens\tsolution\n");
    }
    const auto start = std::chrono::steady_clock::now();
    CGenerator generator(options.generator);
    int found = 0;
    CRunProgress last;
    auto lastNews = start;
    std::chrono::seconds quiet = kFirstQuiet;
    const auto deliver = [&](const CGeneratedPuzzle& puzzle) {
        erase();
        writeError = WriteAll(STDOUT_FILENO, FormatPuzzle(puzzle, options.format, rated));
        ++found;
        lastNews = std::chrono::steady_clock::now();
        quiet = kFirstQuiet;
        return writeError == 0;
    };
    const auto progress = [&](const CRunProgress& p) {
        last = p;
        if (g_interrupted) stop.request_stop();
        if (ReaderHasGone()) {
            readerGone = true;
            stop.request_stop();
        }
        if (progressShown && !stop.stop_requested()) {
            WriteAll(STDERR_FILENO, "\r" + ProgressText(p) + "\x1b[K");
            lineShown = true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!progressShown && !stop.stop_requested() && now - lastNews >= quiet) {
            WriteAll(STDERR_FILENO, ProgressText(p) + ", " + Duration(p.seconds) + " so far\n");
            lastNews = now;
            quiet = std::min(2 * quiet, kLongestQuiet);
        }
    };
    const std::chrono::nanoseconds limit =
        std::chrono::nanoseconds(int64_t(options.timeLimit * 1e9));
    const CRunEnd end = writeError != 0
                            ? CRunEnd::kStopped
                            : generator.Run(options.count, options.threads, limit, stop.get_token(),
                                            deliver, progress, kProgressEvery);
    erase();
    if (options.stats) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        char text[256];
        std::snprintf(text, sizeof text,
                      "puzzles: %d of %d, time: %.3f s, %.2f puzzles/s, seed: %llu\n", found,
                      options.count, seconds, seconds > 0 ? found / seconds : 0.0,
                      static_cast<unsigned long long>(options.generator.seed));
        WriteAll(STDERR_FILENO, text);
    }
    if (writeError == EPIPE || readerGone) {
        if (!pipeIgnored) {
            ::signal(SIGPIPE, SIG_DFL);
            ::raise(SIGPIPE);
        }
        return 2;
    }
    if (writeError != 0) {
        Complain(std::string("write error: ") + std::strerror(writeError));
        return 2;
    }
    if (g_interrupted) {
        ::signal(SIGINT, SIG_DFL);
        ::raise(SIGINT);
        return 130;
    }
    if (end == CRunEnd::kTimeLimit) {
        Complain("the time limit ended the run: " + std::to_string(found) + " of " +
                 std::to_string(options.count) + " made");
        return 1;
    }
    return 0;
}

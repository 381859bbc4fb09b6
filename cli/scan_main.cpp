// velmo-scan: reads the puzzle in each picture named on the command line and writes it as a
// line velmo-solve reads, the picture's name as the line's comment.
#include <getopt.h>
#include <time.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "scan.h"

namespace {

constexpr std::string_view kUsage =
    "Usage: velmo-scan [OPTION]... FILE...\n"
    "Read the puzzle in each picture FILE (- for standard input) and write it as one\n"
    "line of 81 cells, . for an empty one, with the file's name as a comment:\n"
    "  ..3.1....  # page12.jpg\n"
    "so that `velmo-scan *.jpg | velmo-solve` solves them. Pictures may be PNG, JPEG,\n"
    "BMP, WebP, TIFF or PNM, photos or screenshots, turned by a quarter or a half.\n"
    "\n"
    "The solver checks each reading: a puzzle read with a conflict, without a solution\n"
    "or with several is mended by reading up to 3 cells as their second choice; what\n"
    "it changed follows the name (r4c7:5>6: row 4, column 7 read 5, written 6). What\n"
    "cannot be mended is written as read, with what is wrong after the name. A picture\n"
    "without a puzzle is answered '# FILE: no puzzle found' (a line velmo-solve skips).\n"
    "\n"
    "  -f, --format=FORMAT  line (default), or tsv: a header, then for each picture\n"
    "                     file, status, puzzle, each cell's certainty (0-1, comma-\n"
    "                     separated, row by row), the cells changed, and the message\n"
    "      --debug=DIR    write DIR/NAME.debug.png: the picture with the grid found\n"
    "                     and each cell's reading drawn on it (orange: unsure,\n"
    "                     magenta: changed by the solver)\n"
    "      --stats        after the run, write counts and timing to standard error\n"
    "  -h, --help         show this text and exit\n"
    "  -V, --version      show the version and exit\n"
    "\n"
    "Exit status: 0 if every picture gave a puzzle with exactly one solution, 1 if\n"
    "any gave none (no puzzle, not a picture, a conflict that could not be mended),\n"
    "2 for a usage error or a write error.\n";

// A file past this is not a picture anyone photographed or pasted (the window takes the same
// most); it is refused unread, within the memory a bad picture may cost.
constexpr size_t kMaxFileBytes = 100u << 20;

enum { kOptionDebug = 256, kOptionStats };

constexpr option kLongOptions[] = {
    {"format", required_argument, nullptr, 'f'},
    {"debug", required_argument, nullptr, kOptionDebug},
    {"stats", no_argument, nullptr, kOptionStats},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

struct COptions {
    bool tsv = false;
    bool stats = false;
    std::string debugDir;
};

struct CTally {
    int pictures = 0, read = 0, corrected = 0, unsolved = 0, noPuzzle = 0, bad = 0;
    double seconds = 0;  // the readings' own CPU time
};

int UsageError(const std::string& message) {
    std::cerr << "velmo-scan: " << message << "\nTry 'velmo-scan --help' for more.\n";
    return 2;
}

double ThreadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + now.tv_nsec * 1e-9;
}

// A name as one field: no line breaks or tabs to break the line or the columns.
std::string Printable(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c == '\n' || c == '\r' || c == '\t') c = '?';
    }
    return out;
}

std::string BaseName(std::string_view path) {
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool ReadAll(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
    std::FILE* file = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    uint8_t block[1 << 16];
    size_t n;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) {
        if (bytes.size() + n > kMaxFileBytes) {
            error = "file too large to be a picture";
            break;
        }
        bytes.insert(bytes.end(), block, block + n);
    }
    const bool failed = std::ferror(file) && error.empty();
    if (failed) error = std::strerror(errno);
    if (file != stdin) std::fclose(file);
    return error.empty();
}

std::string Changes(const CScanResult& result) {
    std::string text;
    for (const CCellChange& change : result.changes) {
        if (!text.empty()) text += ',';
        text += "r" + std::to_string(change.cell / 9 + 1) + "c" +
                std::to_string(change.cell % 9 + 1) + ":" + std::to_string(change.read) + ">" +
                std::to_string(change.written);
    }
    return text;
}

bool Readable(CScanStatus status) {
    return status != CScanStatus::kNoPuzzle && status != CScanStatus::kBadPicture;
}

void WriteAnswer(const COptions& options, const std::string& name, const CScanResult& result) {
    std::string puzzle;
    if (Readable(result.status)) {
        for (uint8_t value : result.puzzle) puzzle += value ? char('0' + value) : '.';
    }
    if (options.tsv) {
        std::string certainty;
        if (Readable(result.status)) {
            char number[16];
            for (int cell = 0; cell < kCellCount; ++cell) {
                std::snprintf(number, sizeof number, "%s%.2f", cell ? "," : "",
                              result.certainty[cell]);
                certainty += number;
            }
        }
        std::cout << Printable(name) << '\t' << ScanStatusWord(result.status) << '\t' << puzzle
                  << '\t' << certainty << '\t' << Changes(result) << '\t'
                  << Printable(result.message) << '\n';
        return;
    }
    if (!Readable(result.status)) {
        std::cout << "# " << Printable(name) << ": " << Printable(result.message) << '\n';
        return;
    }
    std::cout << puzzle << " # " << Printable(name);
    if (result.status == CScanStatus::kCorrected) {
        std::cout << ": corrected " << Changes(result);
    } else if (result.status != CScanStatus::kRead) {
        std::cout << ": " << ScanStatusWord(result.status) << ": " << Printable(result.message);
    }
    std::cout << '\n';
}

void Scan(const COptions& options, const std::string& path, CTally& tally) {
    const std::string name = path == "-" ? "stdin" : path;
    std::vector<uint8_t> bytes;
    std::string error;
    CScanResult result;
    if (!ReadAll(path, bytes, error)) {
        result.status = CScanStatus::kBadPicture;
        result.message = error;
    } else {
        std::vector<uint8_t> debug;
        CScanOptions scanOptions;
        if (!options.debugDir.empty()) scanOptions.debugPicture = &debug;
        const double start = ThreadSeconds();
        result = ScanPicture(bytes, scanOptions);
        tally.seconds += ThreadSeconds() - start;
        if (!debug.empty()) {
            const std::string file = options.debugDir + "/" + BaseName(name) + ".debug.png";
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(debug.data()), std::streamsize(debug.size()));
            if (!out) std::cerr << "velmo-scan: cannot write " << file << '\n';
        }
    }
    ++tally.pictures;
    switch (result.status) {
        case CScanStatus::kRead:
            ++tally.read;
            break;
        case CScanStatus::kCorrected:
            ++tally.corrected;
            break;
        case CScanStatus::kNoPuzzle:
            ++tally.noPuzzle;
            break;
        case CScanStatus::kBadPicture:
            ++tally.bad;
            break;
        default:
            ++tally.unsolved;
            break;
    }
    WriteAnswer(options, name, result);
    if (result.status != CScanStatus::kRead && result.status != CScanStatus::kCorrected) {
        std::cerr << "velmo-scan: " << Printable(name) << ": " << Printable(result.message) << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    COptions options;
    opterr = 0;
    for (;;) {
        const int result = ::getopt_long(argc, argv, ":f:hV", kLongOptions, nullptr);
        if (result == -1) break;
        const std::string value = optarg ? optarg : "";
        switch (result) {
            case 'h':
                std::cout << kUsage;
                return std::cout.flush() ? 0 : 2;
            case 'V':
                std::cout << "velmo-scan (velmo) " VELMO_VERSION "\n";
                return std::cout.flush() ? 0 : 2;
            case 'f':
                if (value != "line" && value != "tsv") {
                    return UsageError("--format takes line or tsv, not '" + value + "'");
                }
                options.tsv = value == "tsv";
                break;
            case kOptionDebug:
                if (value.empty()) return UsageError("--debug needs a folder");
                options.debugDir = value;
                break;
            case kOptionStats:
                options.stats = true;
                break;
            case ':':
                return UsageError(std::string("option '") + argv[optind - 1] + "' needs a value");
            default:
                return UsageError(std::string("unknown option '") + argv[optind - 1] + "'");
        }
    }
    if (optind >= argc) return UsageError("no picture named");
    if (options.tsv) std::cout << "file\tstatus\tpuzzle\tcertainty\tchanges\tmessage\n";
    CTally tally;
    for (int i = optind; i < argc; ++i) {
        Scan(options, argv[i], tally);
        std::cout.flush();
    }
    if (options.stats) {
        std::fprintf(stderr,
                     "pictures %d: read %d, corrected %d, not one solution %d, no puzzle %d, "
                     "not a picture %d; %.1f ms a picture (CPU)\n",
                     tally.pictures, tally.read, tally.corrected, tally.unsolved, tally.noPuzzle,
                     tally.bad, tally.pictures ? 1000 * tally.seconds / tally.pictures : 0.0);
    }
    if (!std::cout) return 2;
    return tally.read + tally.corrected == tally.pictures ? 0 : 1;
}

// The C interface of the picture reader (velmo_scan.h) over vision/'s ScanPicture.
#include "velmo_scan.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "scan.h"

extern "C" {

int velmo_scan(const void* data, size_t size, velmo_scan_result* result) {
    if (!result || (!data && size > 0)) return VELMO_SCAN_ERROR_NULL;
    std::memset(result, 0, sizeof *result);
    CScanResult scan;
    try {
        scan = ScanPicture({static_cast<const uint8_t*>(data), size});
    } catch (const std::bad_alloc&) {
        scan.status = CScanStatus::kBadPicture;
        scan.message = "out of memory";
    }
    const bool readable =
        scan.status != CScanStatus::kNoPuzzle && scan.status != CScanStatus::kBadPicture;
    if (readable) {
        std::copy(scan.puzzle.begin(), scan.puzzle.end(), result->puzzle);
        std::copy(scan.puzzle.begin(), scan.puzzle.end(), result->read);
        for (const CCellChange& change : scan.changes) result->read[change.cell] = change.read;
        std::copy(scan.certainty.begin(), scan.certainty.end(), result->certainty);
        result->quarter_turns = scan.quarterTurns;
    }
    const size_t n = std::min(scan.message.size(), sizeof result->message - 1);
    std::memcpy(result->message, scan.message.data(), n);
    return int(scan.status);
}

const char* velmo_scan_status_word(int status) {
    if (status < int(CScanStatus::kRead) || status > int(CScanStatus::kBadPicture)) {
        return status == VELMO_SCAN_ERROR_NULL ? "a null pointer was given" : "unknown status";
    }
    return ScanStatusWord(CScanStatus(status));
}

const char* velmo_scan_version(void) {
    return VELMO_VERSION;
}

}  // extern "C"

// Whole writes and typed ratings for velmo-solve and velmo-generate.
#include "program_io.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>

int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd ready{fd, POLLOUT, 0};
                if (::poll(&ready, 1, -1) < 0 && errno != EINTR) return errno;
                continue;
            }
            return errno;
        }
        data.remove_prefix(size_t(written));
    }
    return 0;
}

std::optional<int> ParseRating(std::string_view value) {
    double rating = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), rating);
    if (error != std::errc() || end != value.data() + value.size() || !(rating >= 0) ||
        rating > 100) {
        return std::nullopt;
    }
    return int(std::lround(rating * 10));
}

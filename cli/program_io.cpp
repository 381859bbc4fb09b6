// Whole writes, typed ratings and rejected options for velmo-solve and velmo-generate.
#include "program_io.h"

#include <getopt.h>
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

std::string_view LongOptionName(const option* options, int value) {
    for (const option* o = options; o->name != nullptr; ++o) {
        if (o->val == value) return o->name;
    }
    return {};
}

std::string RejectedOption(const option* options, int optionValue, std::string_view arg) {
    const std::string_view longName = LongOptionName(options, optionValue);
    if (optionValue != 0 && !longName.empty()) {
        // A known option: only a long one given a value it does not take comes back so.
        return "option '--" + std::string(longName) + "' takes no value";
    }
    if (optionValue != 0) return "unknown option '-" + std::string(1, char(optionValue)) + "'";
    const std::string_view name = arg.substr(2, arg.find('=') - 2);
    std::string matches;
    int count = 0;
    for (const option* o = options; o->name != nullptr; ++o) {
        if (std::string_view(o->name).starts_with(name)) {
            matches.append(count++ ? ", --" : "--").append(o->name);
        }
    }
    if (count > 1) return "option '" + std::string(arg) + "' is ambiguous: " + matches;
    return "unknown option '" + std::string(arg) + "'";
}

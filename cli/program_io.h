// What the command-line programs share: whole writes to a descriptor, and a rating typed as
// an option's value.
#pragma once

#include <optional>
#include <string_view>

// Writes all of `data` to `fd`; returns 0 or the errno of the failure. An output that whoever
// started us left non-blocking is waited on when it is full, as a blocking one would be.
int WriteAll(int fd, std::string_view data);

// A rating as the scale writes it, "7.2" or "7", in tenths; nullopt when `value` is none.
std::optional<int> ParseRating(std::string_view value);

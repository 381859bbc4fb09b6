// What the command-line programs share: whole writes to a descriptor, a rating typed as an
// option's value, and the words for an option getopt_long turned away.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct option;

// Writes all of `data` to `fd`; returns 0 or the errno of the failure. An output that whoever
// started us left non-blocking is waited on when it is full, as a blocking one would be.
int WriteAll(int fd, std::string_view data);

// A rating as the scale writes it, "7.2" or "7", in tenths; nullopt when `value` is none.
std::optional<int> ParseRating(std::string_view value);

// The long name of the option of `options` (getopt_long's table, ended by a null name) that
// comes back as `value`, or empty.
std::string_view LongOptionName(const option* options, int value);

// Why getopt_long turned `arg` away, when not for a missing value: a long option given a value
// it does not take (`optionValue` its own), an unknown short one, or an unknown or ambiguous
// long one (`optionValue` 0).
std::string RejectedOption(const option* options, int optionValue, std::string_view arg);

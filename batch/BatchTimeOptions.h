#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"

// The parsers of the options that take a time or a rate, for the option table: each takes the
// option at args[i] and its argument, moving i past it; returns -1, or the exit status after the
// message. A --time that is not a time is a usage error (2); --from, --to and --fps out of their
// ranges are refused (1), as an animation that cannot be made.
int ParseTime(const std::vector<std::string>& args, size_t& i, SBatchOptions& options);
int ParseFrom(const std::vector<std::string>& args, size_t& i, SBatchOptions& options);
int ParseTo(const std::vector<std::string>& args, size_t& i, SBatchOptions& options);
int ParseFps(const std::vector<std::string>& args, size_t& i, SBatchOptions& options);

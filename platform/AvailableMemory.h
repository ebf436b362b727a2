#pragma once

#include <cstdint>

// About how many bytes of memory the process may still take before the machine runs short: the
// kernel's estimate of what is available without swapping (MemAvailable), capped by the
// process's own address-space limit where one is set.
uint64_t AvailableMemory();

#pragma once

#include <cstdint>

// The millisecond tick count that frame timing and the timers read. Tests inject a fake.
class CClock
{
public:
    virtual ~CClock() = default;
    // Milliseconds since an arbitrary start; wraps around like a 32-bit tick count.
    virtual uint32_t GetTickCount() const = 0;
};

#pragma once

#include <chrono>

#include "platform/Clock.h"

// The real tick count, from a monotonic clock.
class CSteadyClock : public CClock
{
public:
    uint32_t GetTickCount() const override
    {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        return static_cast<uint32_t>(ms.count());
    }
};

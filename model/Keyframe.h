#pragma once

#include <cstdint>

// Base of the time-stamped keys. Constructors leave time and links to the creator and the list.
class CKeyframe
{
public:
    CKeyframe() = default;
    CKeyframe(const CKeyframe&) = delete;
    CKeyframe& operator=(const CKeyframe&) = delete;
    virtual ~CKeyframe() = default;

    int32_t m_nTime = 0;
};

#pragma once

#include <cstdint>
#include <ostream>

class CTokenStream;

// Base of the time-stamped keys. Constructors leave time and links to the creator and the list.
class CKeyframe
{
public:
    CKeyframe() = default;
    CKeyframe(const CKeyframe&) = delete;
    CKeyframe& operator=(const CKeyframe&) = delete;
    virtual ~CKeyframe() = default;

    // Writes the keyframe's text record; the base writes nothing.
    virtual void Write(std::ostream& out) const { (void)out; }
    // Reads the keyframe's text record. False when the keyword does not match or a value is
    // missing or not a number; the keyframe must then not be used.
    virtual bool Read(CTokenStream& in)
    {
        (void)in;
        return false;
    }

    int32_t m_nTime = 0;
};

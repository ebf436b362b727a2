#pragma once

#include <vector>

#include "platform/Clock.h"

// A clock for tests: returns m_nNow, or, when m_script holds values, the next scripted value
// on each read (the last one repeats), so a test can give a frame a chosen duration.
class CFakeClock : public CClock
{
public:
    uint32_t GetTickCount() const override
    {
        if (m_nNext < m_script.size())
            m_nNow = m_script[m_nNext++];
        return m_nNow;
    }
    void Script(std::vector<uint32_t> ticks)
    {
        m_script = std::move(ticks);
        m_nNext = 0;
    }

    mutable uint32_t m_nNow = 0;

private:
    std::vector<uint32_t> m_script;
    mutable size_t m_nNext = 0;
};

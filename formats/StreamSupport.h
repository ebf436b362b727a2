#pragma once

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <new>

// What the streamed readers of thumbnails share: the running box of the vertices seen, floats
// checked, and memory that runs out counted as a failure.
namespace StreamSupport
{
// The running box of the vertices seen.
struct SBox
{
    double pdMin[3] = {DBL_MAX, DBL_MAX, DBL_MAX};
    double pdMax[3] = {-DBL_MAX, -DBL_MAX, -DBL_MAX};

    void Widen(const float* p)
    {
        for (int i = 0; i < 3; ++i)
        {
            pdMin[i] = std::min(pdMin[i], static_cast<double>(p[i]));
            pdMax[i] = std::max(pdMax[i], static_cast<double>(p[i]));
        }
    }
};

// A finite double that is finite as a float too.
inline bool ToFloat(double d, float& f)
{
    f = static_cast<float>(d);
    return std::isfinite(f);
}

template <typename F> bool CatchingMemory(F&& fn)
{
    try
    {
        return fn();
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }
}
} // namespace StreamSupport

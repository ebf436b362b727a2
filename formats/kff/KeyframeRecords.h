#pragma once

#include <cstdint>
#include <vector>

// What a keyframe file holds: position records (a time in hundredths of a second, a position and
// its tangent direction) and orientation records (a time, an orientation and its tangent
// rotation, quaternions as x, y, z, w), each list in file order.
struct SKeyframeRecords
{
    struct SPosition
    {
        int32_t nTime = 0;
        double pdPosition[3] = {};
        double pdDirection[3] = {};
    };
    struct SOrientation
    {
        int32_t nTime = 0;
        double pdOrientation[4] = {};
        double pdRotation[4] = {};
    };
    std::vector<SPosition> positions;
    std::vector<SOrientation> orientations;
};

#include "batch/BatchTimeOptions.h"

#include <charconv>

#include "export/AnimationOutput.h"
#include "model/SceneTime.h"
#include "platform/DataExchange.h"

namespace
{
// A time in seconds from 0 to the last a 32-bit count of hundredths holds; false when the
// argument is missing or not one.
bool ParseSeconds(const std::vector<std::string>& args, size_t& i, int32_t& nTime)
{
    // Times of keyframe files are 32-bit counts of hundredths.
    const DataExchange::SRange range{0.0, SceneTime::MAX_TIME / 100.0};
    double dSeconds = 0.0;
    std::string strMessage;
    if (i + 1 >= args.size() || !DataExchange::Parse(args[i + 1], FIELD_DOUBLE, &range, dSeconds, strMessage))
        return false;
    ++i;
    nTime = SceneTime::FromSeconds(dSeconds);
    return true;
}

constexpr const char* SECONDS_NEEDED = " needs a time in seconds from 0 to 21474836.47";
} // namespace

int ParseTime(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    if (!ParseSeconds(args, i, options.nTime))
        return BatchUsage(std::string("--time") + SECONDS_NEEDED);
    options.bTime = true;
    return -1;
}

// The animation's range and rate are refused as what cannot be made (status 1), not as usage.
int ParseFrom(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    if (!ParseSeconds(args, i, options.range.nFrom))
        return BatchRefusal(std::string("--from") + SECONDS_NEEDED);
    options.bFrom = true;
    return -1;
}

int ParseTo(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    if (!ParseSeconds(args, i, options.range.nTo))
        return BatchRefusal(std::string("--to") + SECONDS_NEEDED);
    options.range.bTo = true;
    return -1;
}

int ParseFps(const std::vector<std::string>& args, size_t& i, SBatchOptions& options)
{
    const std::string strFps = i + 1 < args.size() ? args[i + 1] : std::string();
    int& n = options.range.nFps;
    const auto [pEnd, ec] = std::from_chars(strFps.data(), strFps.data() + strFps.size(), n);
    if (ec != std::errc() || pEnd != strFps.data() + strFps.size() || n < 1 || n > MAX_ANIMATION_FPS)
        return BatchRefusal("--fps needs a whole number of frames a second from 1 to " +
                            std::to_string(MAX_ANIMATION_FPS));
    ++i;
    options.bFps = true;
    return -1;
}

#pragma once

#include <charconv>
#include <cstdio>
#include <cstring>

#include "drawing/OffscreenContext.h"

// The one optional argument of the offscreen benchmarks, the number of runs (1 to 1000):
// nDefault when it is missing, 0 after a usage line on a wrong command line.
inline int RunsFromArguments(int argc, char** argv, int nDefault)
{
    int nRuns = nDefault;
    if (argc > 2 ||
        (argc == 2 && (std::from_chars(argv[1], argv[1] + std::strlen(argv[1]), nRuns).ec != std::errc() ||
                       nRuns < 1 || nRuns > 1000)))
    {
        std::fprintf(stderr, "usage: %s [runs]\n", argv[0]);
        return 0;
    }
    return nRuns;
}

// The offscreen context the benchmarks draw in, made current; false after the reason on stderr.
inline bool CreateBenchContext(COffscreenContext& context, int nWidth, int nHeight)
{
    if (context.Create(nWidth, nHeight))
        return true;
    std::fprintf(stderr, "%s\n", context.GetError().c_str());
    return false;
}

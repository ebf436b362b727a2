#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/BatchAnimate.h"
#include "batch/BatchSnapshot.h"

// The batch mode's command line. One table (BatchOptions.cpp) gives each option's name, its
// arguments, the operation it is or modifies, its help text and how it is parsed and checked, so
// that the help, the parser and the checks cannot disagree.

// The operations; an option that modifies some names them as a mask.
enum
{
    BATCH_NONE = 0,
    BATCH_INFO = 1,
    BATCH_CONVERT = 2,
    BATCH_SNAPSHOT = 4,
    BATCH_THUMBNAIL = 8,
    BATCH_ANIMATE = 16
};

struct SBatchOptions
{
    bool bHelp = false;
    int nOperations = 0; // the operations asked for, a mask
    bool bAscii = false;
    bool bTime = false;
    int32_t nTime = 0;
    bool bSize = false;
    bool bFps = false;
    bool bFrom = false;
    SAnimationRange range;
    bool bTransparent = false;
    bool bView = false; // the look's side was given, the front too
    SSnapshotLook look;
    int nThumbnailSize = 0;
    int nWidth = 800;
    int nHeight = 600;
    std::string strOut;
    std::vector<std::string> files;
};

// Options may stand in any order before the files; an unknown option after a file is a file.
// Returns -1 when the arguments parse and pass every check, else the exit status after the
// problem and the usage text went to the standard error (2). An operation asked for once only.
int ParseBatchOptions(const std::vector<std::string>& args, SBatchOptions& options);
// The help text: the synopsis, each option, the inputs and outputs the format table knows.
std::string BatchUsageText();
// Prints "teldviewgl: PROBLEM" and the usage text to the standard error; returns 2.
int BatchUsage(const std::string& strProblem);
// Prints "teldviewgl: PROBLEM" to the standard error; returns 1: a request that is well formed
// but asks for what cannot be made.
int BatchRefusal(const std::string& strProblem);

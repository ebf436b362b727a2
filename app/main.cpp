#include <cstdio>

#include "app/batch/BatchMode.h"

int main(int argc, char** argv)
{
    const int nBatch = RunBatchMode(argc, argv);
    if (nBatch >= 0)
        return nBatch;
    std::fputs("teldviewgl: the window is not available in this build; use --info or --convert\n", stderr);
    return 1;
}

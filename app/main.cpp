#include <chrono>
#include <cstdio>
#include <cstring>

#include "app/batch/BatchMode.h"
#include "platform/HugePages.h"
#if !defined(TELDVIEW_NO_GUI)
#include "app/TeldViewGLApp.h"
#endif

int main(int argc, char** argv)
{
    // Loading and drawing a big mesh is mostly first touches of fresh memory: cheaper in huge
    // pages, for the driver's list storage too.
    RestartWithHugePageHeap(argc, argv);
    const auto tStart = std::chrono::steady_clock::now();
#if !defined(TELDVIEW_NO_GUI)
    // A hidden option for bench/bench_startup; batch mode would refuse it as unknown.
    if (argc >= 2 && std::strcmp(argv[1], "--benchmark-startup") == 0)
        return CTeldViewGLApp::RunStartupBenchmark(argc, argv, tStart);
#endif
    const int nBatch = RunBatchMode(argc, argv);
    if (nBatch >= 0)
        return nBatch;
#if defined(TELDVIEW_NO_GUI)
    (void)tStart;
    std::fputs("teldviewgl: the window is not available in this build; use --info or --convert\n", stderr);
    return 1;
#else
    return CTeldViewGLApp::Run(argc, argv);
#endif
}

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "batch/BatchMode.h"
#include "platform/HugePages.h"
#include "platform/SafeFileWriter.h"
#if !defined(TELDVIEW_NO_GUI)
#include "bench/observers/Benchmarks.h"
#include "gui/TeldViewGLApp.h"
#endif

namespace
{
// --info and --convert draw nothing: their big blocks ask for huge pages themselves, and a restart
// would only cost them a second start of the program.
bool DrawsNothing(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--info") == 0 || std::strcmp(argv[i], "--convert") == 0)
            return true;
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    // Loading and drawing a big mesh is mostly first touches of fresh memory: cheaper in huge
    // pages, for the driver's list storage too.
    if (!DrawsNothing(argc, argv))
        RestartWithHugePageHeap(argc, argv);
    const auto tStart = std::chrono::steady_clock::now();
    // A write beyond the file-size limit, or into a pipe nobody reads any more, then fails with an
    // error the writers report, instead of killing the process; an interrupted save leaves no
    // temporary file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    CSafeFileWriter::CleanUpOnInterrupt();
#if !defined(TELDVIEW_NO_GUI)
    // Hidden options for bench/bench_startup, bench/bench_spin and bench/bench_import; batch mode would
    // refuse them as unknown.
    if (argc >= 2 && std::strcmp(argv[1], "--benchmark-startup") == 0)
        return RunStartupBenchmark(argc, argv, tStart);
    if (argc >= 2 && std::strcmp(argv[1], "--benchmark-spin") == 0)
        return RunSpinBenchmark(argc, argv);
    if (argc >= 2 && std::strcmp(argv[1], "--benchmark-import") == 0)
        return RunImportBenchmark(argc, argv);
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

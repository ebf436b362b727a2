#pragma once

#include <QStringList>

#include <chrono>

// The window's benchmarks, behind hidden options of the program (--benchmark-startup,
// --benchmark-spin, --benchmark-import) that bench/bench_startup, bench_spin, bench_import and
// compare.sh run. Each runs the whole application with an observer (CAppObserver) and prints
// what it measured as "name value" lines; messages go to stderr instead of boxes.

// As the window's run, but quits after the first frame of FILE is on screen and prints where the
// time went. tStart is when main began.
int RunStartupBenchmark(int argc, char** argv, std::chrono::steady_clock::time_point tStart);
// Opens FILE, spins it for some seconds (4 unless given after FILE) and prints the spin period,
// the frame times, the ticks per drawn frame, pane 102 and the idle update's cost.
int RunSpinBenchmark(int argc, char** argv);
// Starts empty, runs Import from Binary STL on FILE and prints how long the command and the first
// frame with the mesh took.
int RunImportBenchmark(int argc, char** argv);
// A benchmark's own arguments: the command line without the program and pszMode.
QStringList BenchmarkArguments(const char* pszMode);

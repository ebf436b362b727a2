#pragma once

// The program's second face: file information and conversion without a window.
// Returns -1 when the arguments ask for no batch operation (the window should start).
int RunBatchMode(int argc, char** argv);

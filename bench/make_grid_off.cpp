// Writes the benchmarks' waved sheet as an OFF file, for bench/compare.sh and for timing the
// program by hand.
//
//   make_grid_off OUT.off CELLS_X CELLS_Y [quads]
//
// Each cell is two triangles, or one quad with "quads": 1000 500 gives a million triangles,
// 1000 1000 quads a million quads, 2000 1000 four million triangles.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/GridOff.h"

int main(int argc, char** argv)
{
    const int nCellsX = argc > 3 ? std::atoi(argv[2]) : 0;
    const int nCellsY = argc > 3 ? std::atoi(argv[3]) : 0;
    const bool bQuads = argc > 4 && std::strcmp(argv[4], "quads") == 0;
    if (argc < 4 || argc > 5 || nCellsX < 1 || nCellsY < 1 || (argc == 5 && !bQuads))
    {
        std::fputs("usage: make_grid_off OUT.off CELLS_X CELLS_Y [quads]\n", stderr);
        return 2;
    }
    if (!WriteGridOff(argv[1], nCellsX, nCellsY, bQuads))
    {
        std::fprintf(stderr, "make_grid_off: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

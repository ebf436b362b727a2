#pragma once

// The benchmarks' big model: a gently waved sheet of nCellsX x nCellsY quads, each cut into two
// triangles, as OFF text (1000 x 500 cells: 1,000,000 triangles on 501,501 vertices, 36.6 MB).
#include <cmath>
#include <fstream>
#include <string>

#include "formats/NumberFormat.h"

inline std::string GridOffText(int nCellsX, int nCellsY)
{
    std::string text = "OFF\n";
    NumberFormat::AppendInt(text, static_cast<int64_t>(nCellsX + 1) * (nCellsY + 1));
    text += ' ';
    NumberFormat::AppendInt(text, 2 * static_cast<int64_t>(nCellsX) * nCellsY);
    text += " 0\n";
    for (int j = 0; j <= nCellsY; ++j)
        for (int i = 0; i <= nCellsX; ++i)
        {
            const double x = i * 0.01 - 5.0, y = j * 0.01 - 2.5;
            NumberFormat::AppendFixed(text, x);
            text += ' ';
            NumberFormat::AppendFixed(text, y);
            text += ' ';
            NumberFormat::AppendFixed(text, 0.25 * std::sin(x) * std::cos(y));
            text += '\n';
        }
    for (int j = 0; j < nCellsY; ++j)
        for (int i = 0; i < nCellsX; ++i)
        {
            const int64_t a = static_cast<int64_t>(j) * (nCellsX + 1) + i, b = a + 1, c = a + nCellsX + 1,
                          d = c + 1;
            const int64_t triangles[2][3] = {{a, b, d}, {a, d, c}};
            for (const int64_t* tri : triangles)
            {
                text += '3';
                for (int k = 0; k < 3; ++k)
                {
                    text += ' ';
                    NumberFormat::AppendInt(text, tri[k]);
                }
                text += '\n';
            }
        }
    return text;
}

inline bool WriteGridOff(const std::string& strPath, int nCellsX, int nCellsY)
{
    const std::string text = GridOffText(nCellsX, nCellsY);
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

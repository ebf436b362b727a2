#pragma once

// The benchmarks' big model: a gently waved sheet of nCellsX x nCellsY cells, each cut into two
// triangles or kept as one quad, as OFF text (1000 x 500 cells in triangles: 1,000,000 triangles
// on 501,501 vertices, 36.6 MB).
#include <cmath>
#include <fstream>
#include <string>

#include "formats/NumberFormat.h"

inline std::string GridOffText(int nCellsX, int nCellsY, bool bQuads = false)
{
    std::string text = "OFF\n";
    NumberFormat::AppendInt(text, static_cast<int64_t>(nCellsX + 1) * (nCellsY + 1));
    text += ' ';
    NumberFormat::AppendInt(text, (bQuads ? 1 : 2) * static_cast<int64_t>(nCellsX) * nCellsY);
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
    const auto appendFace = [&text](std::initializer_list<int64_t> indices)
    {
        text += static_cast<char>('0' + indices.size());
        for (const int64_t nIndex : indices)
        {
            text += ' ';
            NumberFormat::AppendInt(text, nIndex);
        }
        text += '\n';
    };
    for (int j = 0; j < nCellsY; ++j)
        for (int i = 0; i < nCellsX; ++i)
        {
            const int64_t a = static_cast<int64_t>(j) * (nCellsX + 1) + i, b = a + 1, c = a + nCellsX + 1,
                          d = c + 1;
            if (bQuads)
                appendFace({a, b, d, c});
            else
            {
                appendFace({a, b, d});
                appendFace({a, d, c});
            }
        }
    return text;
}

inline bool WriteGridOff(const std::string& strPath, int nCellsX, int nCellsY, bool bQuads = false)
{
    const std::string text = GridOffText(nCellsX, nCellsY, bQuads);
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    return static_cast<bool>(out.flush());
}

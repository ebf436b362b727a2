// Streaming OFF files for thumbnails, in the full reader's dialects.
#include "formats/off/OffStream.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <vector>

#include "formats/ByteWindow.h"
#include "formats/StreamSupport.h"
#include "formats/TokenReader.h"
#include "formats/TokenStream.h"
#include "formats/TriangleSink.h"
#include "formats/off/OffFormat.h"

using StreamSupport::SBox;
using StreamSupport::ToFloat;

namespace
{
struct SOffHeader
{
    bool bNormals = false, bColors = false, bTexCoords = false;
    bool bBraced = false; // the object stands in a wrapper of braces
    int nFields = 3;
    int32_t nVertices = 0, nFaces = 0;
};

// The header as the full reader takes it, keyword joined to the vertex count included.
bool ReadOFFHeader(CTokenStream& in, SOffHeader& header)
{
    std::string_view keyword, joined;
    if (!in.NextToken(keyword))
        return false;
    header.bBraced = keyword == "{";
    if (header.bBraced && !in.NextToken(keyword))
        return false;
    const SOffKeyword* pFound = MatchOFFKeyword(keyword, joined);
    if (pFound == nullptr)
        return false;
    header.bTexCoords = pFound->bTexCoords;
    header.bColors = pFound->bColors;
    header.bNormals = pFound->bNormals;
    header.nFields = OFFVertexFieldCount(*pFound);
    bool bCount = false;
    if (!joined.empty())
    {
        CTokenReader count(joined);
        bCount = count.NextInt(header.nVertices) && count.AtEnd();
    }
    else
        bCount = in.NextInt(header.nVertices);
    int32_t nEdges = 0;
    return bCount && in.NextInt(header.nFaces) && in.NextInt(nEdges) && header.nVertices >= 1 &&
           header.nFaces >= 0;
}

// The vertices, as floats, with their colours (when the file has them) as the full reader takes
// them: nColorFields numbers each, RGBA bytes scaled.
struct SOffVertices
{
    std::vector<float> positions, colors;
    SBox box;
    bool bBeyondFloats = false; // a coordinate too large for a float: no picture, whatever the layout
};

bool ReadOFFVertices(CTokenStream& in, const SOffHeader& header, int nColorFields, SOffVertices& vertices)
{
    // Validate, then allocate: the memory grows with the vertices actually read, not with the
    // count the header claims.
    bool bByteColors = true;
    double dLargestColor = 0.0;
    for (int32_t v = 0; v < header.nVertices; ++v)
    {
        double d[12];
        const int nNumbers = header.nFields + (header.bColors ? nColorFields - 3 : 0);
        for (int i = 0; i < nNumbers; ++i)
            if (!in.NextDouble(d[i]))
                return false;
        float f[3];
        for (int i = 0; i < 3; ++i)
            if (!ToFloat(d[i], f[i]))
            {
                vertices.bBeyondFloats = true;
                f[i] = 0.0f;
            }
        vertices.positions.insert(vertices.positions.end(), f, f + 3);
        vertices.box.Widen(f);
        if (!header.bColors)
            continue;
        const double* pColor = d + (header.bNormals ? 6 : 3);
        for (int i = 0; i < 3; ++i)
            vertices.colors.push_back(static_cast<float>(pColor[i]));
        for (int i = 0; i < nColorFields; ++i)
        {
            bByteColors =
                bByteColors && pColor[i] == std::floor(pColor[i]) && pColor[i] >= 0.0 && pColor[i] <= 255.0;
            dLargestColor = std::max(dLargestColor, pColor[i]);
        }
    }
    if (header.bColors && bByteColors && dLargestColor > 1.0)
        for (float& f : vertices.colors)
            f /= 255.0f;
    return true;
}

// Every face goes to pSink (when given) as a fan from its first vertex while it is read, so that a
// face of any length costs no memory.
bool ReadOFFFaces(CTokenStream& in, const SOffHeader& header, const SOffVertices& vertices,
                  CTriangleSink* pSink)
{
    float pfPositions[9] = {}, pfColors[9] = {};
    const auto corner = [&](int v, int32_t nIndex)
    {
        const size_t nAt = 3 * static_cast<size_t>(nIndex);
        std::copy_n(vertices.positions.data() + nAt, 3, pfPositions + 3 * v);
        if (header.bColors)
            std::copy_n(vertices.colors.data() + nAt, 3, pfColors + 3 * v);
    };
    for (int32_t f = 0; f < header.nFaces; ++f)
    {
        int32_t n = 0;
        if (!in.NextInt(n) || n < 1)
            return false;
        for (int32_t k = 0; k < n; ++k)
        {
            int32_t nIndex = 0;
            if (!in.NextInt(nIndex) || nIndex < 0 || nIndex >= header.nVertices)
                return false;
            if (pSink == nullptr)
                continue;
            if (k == 0)
                corner(0, nIndex);
            else
            {
                // The last corner moves up: the fan's triangles share it.
                std::copy_n(pfPositions + 6, 3, pfPositions + 3);
                std::copy_n(pfColors + 6, 3, pfColors + 3);
                corner(2, nIndex);
                if (k >= 2)
                    pSink->Triangle(pfPositions, header.bColors ? pfColors : nullptr);
            }
        }
        // Trailing text (a face colour, say) is skipped.
        in.SkipRestOfLine();
    }
    return true;
}

// Inside a wrapper of braces, as the full reader takes it: the first brace after the header
// closes the wrapper at the end of its token, and no token follows. Braces in comments do not
// count.
bool BracesCloseOnce(CTokenStream& in)
{
    std::string_view token;
    while (in.NextToken(token))
        if (const size_t n = token.find_first_of("{}"); n != std::string_view::npos)
            return token[n] == '}' && n + 1 == token.size() && !in.NextToken(token);
    return false;
}

bool StreamOFFBytes(CByteWindow& bytes, CTriangleSink& sink)
{
    bytes.StopAtNul();
    CTokenStream in(bytes, '#');
    SOffHeader header;
    if (!ReadOFFHeader(in, header))
        return false;
    // A first pass finds where the braces close; the object's own tokens hold none, so each
    // reading below stops before that brace or at it.
    if (header.bBraced && (!BracesCloseOnce(in) || !in.Rewind() || !ReadOFFHeader(in, header)))
        return false;
    // The layout of the vertex lines decides between three colour components and four, as in
    // the full reader; a first pass looks at them, then the file is read again. Lines broken
    // anyhow are read token by token, the keyword's own reading first, and alpha where the first
    // line shows it and that reading fails.
    int nColorFields = 3;
    bool bAlphaNext = false;
    if (header.bColors)
    {
        const int nLines = ClassifyOFFVertexLines(in, header.nVertices, header.nFields);
        if (!in.Rewind() || !ReadOFFHeader(in, header))
            return false;
        nColorFields = nLines == OFF_LINES_WITH_ALPHA ? 4 : 3;
        bAlphaNext = nLines == OFF_LINES_MIXED && in.CountTokensOnLine() == header.nFields + 1;
    }
    if (bAlphaNext)
    {
        // The keyword's reading is tried whole first, drawing nothing.
        SOffVertices vertices;
        const bool bKeywordReads =
            ReadOFFVertices(in, header, 3, vertices) && ReadOFFFaces(in, header, vertices, nullptr);
        if (!in.Rewind() || !ReadOFFHeader(in, header))
            return false;
        nColorFields = bKeywordReads ? 3 : 4;
    }
    SOffVertices vertices;
    if (!ReadOFFVertices(in, header, nColorFields, vertices) || vertices.bBeyondFloats)
        return false;
    sink.Begin(vertices.box.pdMin, vertices.box.pdMax, header.bColors, false);
    sink.Fit(vertices.positions.data(), vertices.positions.size() / 3);
    if (!ReadOFFFaces(in, header, vertices, &sink))
        return false;
    // A wrapper of braces closes after the object (the first pass saw nothing after it); a brace
    // on the last face's line went with the rest of that line.
    std::string_view token;
    return !header.bBraced || !in.NextToken(token) || (token == "}" && !in.NextToken(token));
}
} // namespace

bool StreamOFF(CByteWindow& bytes, CTriangleSink& sink)
{
    return StreamSupport::CatchingMemory([&] { return StreamOFFBytes(bytes, sink); });
}

// Streaming STL files for thumbnails.
#include "formats/stl/StlStream.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "formats/ByteWindow.h"
#include "formats/LittleEndian.h"
#include "formats/StreamSupport.h"
#include "formats/TokenReader.h"
#include "formats/TriangleSink.h"
#include "formats/stl/StlFormat.h"

using StreamSupport::SBox;
using StreamSupport::ToFloat;

namespace
{
// The full readers' limits: vertices are counted in 32 bits, three to a facet.
constexpr uint64_t MAX_FACETS = std::numeric_limits<int32_t>::max() / 3;

// Reads nCount records through fnRecord(CTokenReader& in, std::string_view text, bool bAll), which
// reads one record from in (reading text) and reports whether it was well formed; bAll says the
// text is the rest of the data. Tokens are
// read only up to the window's last white space, so none is cut at the end of a block: a record
// that fails on the window's last token may only be cut short and is read again once more bytes
// are in, while one that fails before it is malformed. fnRecord must act on a record only once
// it has read all of it.
template <typename F> bool ReadRecords(CByteWindow& bytes, int64_t nCount, F&& fnRecord)
{
    bool bAll = false;
    for (int64_t i = 0; i < nCount;)
    {
        const std::string_view window = bytes.Window();
        const size_t nCut =
            bAll ? window.size() : CTokenReader::WholeTokensEnd(window, CTokenReader::MAX_NUMBER_LENGTH);
        if (nCut == std::string_view::npos)
            return false;
        CTokenReader in(window.substr(0, nCut));
        size_t nDone = 0;
        for (; i < nCount; ++i)
        {
            if (!fnRecord(in, window.substr(0, nCut), bAll))
            {
                if (bAll || in.Position() < nCut)
                    return false;
                break;
            }
            nDone = in.Position();
        }
        bytes.Consume(nDone);
        if (i < nCount && !bytes.More())
        {
            if (bAll || bytes.Failed())
                return false;
            bAll = true;
        }
    }
    return true;
}

// Sends fnFacet(const float* pPositions) -> bool the nine vertex coordinates of each facet.
template <typename F> bool ForEachBinaryFacet(CByteWindow& bytes, uint64_t nFacets, F&& fnFacet)
{
    constexpr size_t HEADER = STL_HEADER_SIZE + 4;
    while (bytes.Window().size() < HEADER && bytes.More())
        ;
    if (bytes.Window().size() < HEADER)
        return false;
    bytes.Consume(HEADER);
    float pfPositions[9];
    for (uint64_t nDone = 0; nDone < nFacets;)
    {
        const std::string_view window = bytes.Window();
        const uint64_t nWhole = std::min<uint64_t>(window.size() / STL_FACET_SIZE, nFacets - nDone);
        if (nWhole == 0 && !bytes.More())
            return false;
        const auto* p = reinterpret_cast<const uint8_t*>(window.data());
        for (uint64_t k = 0; k < nWhole; ++k, p += STL_FACET_SIZE)
        {
            for (int i = 0; i < 9; ++i)
                pfPositions[i] = std::bit_cast<float>(LittleEndian::LoadUInt32(p + 12 + 4 * i));
            if (!fnFacet(pfPositions))
                return false;
        }
        bytes.Consume(static_cast<size_t>(nWhole * STL_FACET_SIZE));
        nDone += nWhole;
    }
    return true;
}

bool StreamBinarySTLBytes(CByteWindow& bytes, uint64_t nSize, CTriangleSink& sink)
{
    constexpr size_t HEADER = STL_HEADER_SIZE + 4;
    while (bytes.Window().size() < HEADER && bytes.More())
        ;
    if (bytes.Window().size() < HEADER || nSize < HEADER)
        return false;
    const uint64_t nFacets =
        LittleEndian::LoadUInt32(reinterpret_cast<const uint8_t*>(bytes.Window().data()) + STL_HEADER_SIZE);
    // A count of 0 before whole facets is a damaged count, not an empty model.
    const uint64_t nRoom = (nSize - HEADER) / STL_FACET_SIZE;
    if (nFacets > nRoom || nFacets > MAX_FACETS || (nFacets == 0 && nRoom > 0))
        return false;
    SBox box;
    const auto widen = [&](const float* p)
    {
        for (int i = 0; i < 9; ++i)
            if (!std::isfinite(p[i]))
                return false;
        box.Widen(p);
        box.Widen(p + 3);
        box.Widen(p + 6);
        return true;
    };
    if (!ForEachBinaryFacet(bytes, nFacets, widen) || !bytes.Rewind())
        return false;
    sink.Begin(box.pdMin, box.pdMax, false, false);
    // A second pass frames the picture to the vertices, a third draws them.
    if (!ForEachBinaryFacet(bytes, nFacets,
                            [&](const float* p)
                            {
                                sink.Fit(p, 3);
                                return true;
                            }) ||
        !bytes.Rewind())
        return false;
    return ForEachBinaryFacet(bytes, nFacets,
                              [&](const float* p)
                              {
                                  sink.Triangle(p, nullptr);
                                  return true;
                              });
}

bool IsWord(std::string_view token, std::string_view lower)
{
    return token.size() == lower.size() &&
           std::equal(token.begin(), token.end(), lower.begin(),
                      [](char c, char l) { return (c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) == l; });
}

// Moves the window to the start of the next line, or to the end of the data.
void SkipLine(CByteWindow& bytes)
{
    for (;;)
    {
        const std::string_view window = bytes.Window();
        const size_t nEnd = window.find('\n');
        bytes.Consume(nEnd == std::string_view::npos ? window.size() : nEnd + 1);
        if (nEnd != std::string_view::npos || !bytes.More())
            return;
    }
}

// Moves the window to the next line, from the one it starts in, whose first word is "facet" in
// any case. False at the end of the data.
bool FindFacetLine(CByteWindow& bytes)
{
    for (;;)
    {
        for (;;)
        {
            const std::string_view window = bytes.Window();
            size_t n = 0;
            while (n < window.size() && CTokenReader::IsSpace(window[n]))
                ++n;
            bytes.Consume(n);
            if (n < window.size())
                break;
            if (!bytes.More())
                return false;
        }
        while (bytes.Window().size() < 6 && bytes.More())
            ;
        const std::string_view window = bytes.Window();
        if (IsWord(window.substr(0, 5), "facet") && (window.size() == 5 || CTokenReader::IsSpace(window[5])))
            return true;
        SkipLine(bytes);
    }
}

bool SkipTokens(CTokenReader& in, int nTokens)
{
    std::string_view token;
    for (int i = 0; i < nTokens; ++i)
        if (!in.NextToken(token))
            return false;
    return true;
}

bool ReadVertex(CTokenReader& in, float* p)
{
    double d[3];
    return SkipTokens(in, 1) && in.NextDouble(d[0]) && in.NextDouble(d[1]) && in.NextDouble(d[2]) &&
           ToFloat(d[0], p[0]) && ToFloat(d[1], p[1]) && ToFloat(d[2], p[2]);
}

bool SampleAsciiSTLBytes(CByteWindow& bytes, uint64_t nSize, int64_t nMaxFacets, CTriangleSink& sink)
{
    // The first line as far as the first block holds it: a line of gigabytes is not read whole.
    if (bytes.Window().empty())
        bytes.More();
    const std::string_view window = bytes.Window();
    const std::string_view first = window.substr(0, window.find('\n'));
    bool bSolid = false;
    for (size_t i = 0; i + 5 <= first.size() && !bSolid; ++i)
        bSolid = IsWord(first.substr(i, 5), "solid");
    if (!bSolid)
        return false;
    SkipLine(bytes);

    std::vector<float> sample;
    SBox box;
    // "facet normal" n n n "outer loop" then three times "vertex" v v v, then "endloop endfacet":
    // 21 tokens whose words are not compared; the normal is dropped whatever it says.
    float pfFacet[9];
    const auto readFacet = [&](CTokenReader& in, std::string_view, bool)
    {
        if (!(SkipTokens(in, 7) && ReadVertex(in, pfFacet) && ReadVertex(in, pfFacet + 3) &&
              ReadVertex(in, pfFacet + 6) && SkipTokens(in, 2)))
            return false;
        sample.insert(sample.end(), pfFacet, pfFacet + 9);
        for (int v = 0; v < 3; ++v)
            box.Widen(pfFacet + 3 * v);
        return true;
    };
    const double dSpacing =
        static_cast<double>(nSize) / static_cast<double>(std::max<int64_t>(nMaxFacets, 1));
    for (int64_t nTaken = 0; nTaken < nMaxFacets; ++nTaken)
    {
        // Past the facets before the next offset, into the line that holds it.
        const auto nTarget = static_cast<uint64_t>(static_cast<double>(nTaken) * dSpacing);
        if (bytes.Offset() < nTarget)
        {
            while (bytes.Offset() + bytes.Window().size() <= nTarget)
            {
                bytes.Consume(bytes.Window().size());
                if (!bytes.More())
                    break;
            }
            bytes.Consume(static_cast<size_t>(nTarget - bytes.Offset()));
            SkipLine(bytes);
        }
        if (!FindFacetLine(bytes))
            break;
        if (!ReadRecords(bytes, 1, readFacet))
            return false;
    }
    if (bytes.Failed())
        return false;
    sink.Begin(box.pdMin, box.pdMax, false, true);
    sink.Fit(sample.data(), sample.size() / 3);
    for (size_t i = 0; i < sample.size(); i += 9)
        sink.Triangle(sample.data() + i, nullptr);
    return true;
}
} // namespace

bool StreamBinarySTL(CByteWindow& bytes, uint64_t nSize, CTriangleSink& sink)
{
    return StreamSupport::CatchingMemory([&] { return StreamBinarySTLBytes(bytes, nSize, sink); });
}

bool SampleAsciiSTL(CByteWindow& bytes, uint64_t nSize, int64_t nMaxFacets, CTriangleSink& sink)
{
    return StreamSupport::CatchingMemory([&] { return SampleAsciiSTLBytes(bytes, nSize, nMaxFacets, sink); });
}

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The keywords an OFF file may begin with, and the optional vertex fields each announces.
struct SOffKeyword
{
    const char* pszText;
    bool bNormals, bColors, bTexCoords;
};

inline constexpr SOffKeyword OFF_KEYWORDS[] = {
    {"OFF", false, false, false},  {"STOFF", false, false, true}, {"COFF", false, true, false},
    {"NOFF", true, false, false},  {"CNOFF", true, true, false},  {"STCOFF", false, true, true},
    {"STNOFF", true, false, true}, {"STCNOFF", true, true, true},
};

// What the reader says when the first word is none of them.
inline constexpr const char* OFF_KEYWORD_EXPECTED =
    "expected OFF, COFF, NOFF, CNOFF, STOFF, STCOFF, STNOFF or STCNOFF";

// Binary OFF: the keyword and "BINARY" on the first line (past '#' comment lines), then big-endian
// 32-bit counts (vertices, faces, edges), each vertex as big-endian floats (the position, the
// normal, four colour components, the texture coordinate, as the keyword announces them), each
// face as its size, its indices and a colour count of 0 to 4 with as many floats (dropped). Where
// the header is, nDataStart is set to the first byte after its line and pKeyword to the keyword.
bool IsBinaryOFFHeader(std::string_view head, size_t& nDataStart, const SOffKeyword*& pKeyword);

// The OFF keyword for a set of optional vertex fields: "ST", then "C", then "N", then "OFF".
std::string ComposeOFFKeyword(bool bTexCoords, bool bColors, bool bNormals);

// The content test of the format table: 3 for a binary OFF header; 2 when the first word (past
// blank and '#' comment lines, and a '{' that opens a wrapper) begins with one of the keywords and
// no letter follows it; 1 for a first word that ends in "OFF" (4OFF and nOFF, which the reader
// refuses with its reason) and when blank and comment lines fill the whole head (INPUT_HEAD_SIZE
// bytes), so the keyword may follow; else 0.
int RecogniseOFF(std::string_view head, uint64_t nSize);

// The keyword a header's first token names, or null. A keyword joined to the vertex count
// ("OFF1234") matches too; joined then holds the rest of the token ("1234"), else it is empty.
const SOffKeyword* MatchOFFKeyword(std::string_view token, std::string_view& joined);

// The numbers a vertex line of the keyword holds: the position, then the normal, the colour and
// the texture coordinates it announces.
inline int OFFVertexFieldCount(const SOffKeyword& keyword)
{
    return 3 + (keyword.bNormals ? 3 : 0) + (keyword.bColors ? 3 : 0) + (keyword.bTexCoords ? 2 : 0);
}

// How the vertex lines of a file with colours are laid out, which tells three colour components
// from four (RGBA).
enum
{
    OFF_LINES_AS_KEYWORD = 0, // every vertex line holds the numbers the keyword asks for
    OFF_LINES_WITH_ALPHA = 1, // every one holds one number more
    OFF_LINES_MIXED = 2       // neither: lines broken or joined, read token by token
};

// Looks at the lines of the nVertices vertices from the reader's position on (a CTokenReader or a
// CTokenStream: CountTokensOnLine, NextToken, SkipRestOfLine), nFields numbers a vertex as the
// keyword says; blank and comment lines do not count. Moves the reader.
template <typename TReader> int ClassifyOFFVertexLines(TReader& in, int32_t nVertices, int nFields)
{
    bool bAsKeyword = true, bWithAlpha = true;
    for (int32_t i = 0; i < nVertices && (bAsKeyword || bWithAlpha); ++i)
    {
        const int nTokens = in.CountTokensOnLine();
        bAsKeyword = bAsKeyword && nTokens == nFields;
        bWithAlpha = bWithAlpha && nTokens == nFields + 1;
        std::string_view token;
        if (nTokens <= 0 || !in.NextToken(token))
            return OFF_LINES_MIXED;
        in.SkipRestOfLine();
    }
    return bAsKeyword ? OFF_LINES_AS_KEYWORD : bWithAlpha ? OFF_LINES_WITH_ALPHA : OFF_LINES_MIXED;
}

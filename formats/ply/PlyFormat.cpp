// The PLY header and the content test.
#include "formats/ply/PlyFormat.h"

#include <charconv>

#include "formats/FileHead.h"

namespace
{
struct STypeName
{
    const char* pszName;
    uint8_t nType;
};

constexpr STypeName TYPE_NAMES[] = {
    {"char", PLY_INT8},   {"uchar", PLY_UINT8},   {"short", PLY_INT16},     {"ushort", PLY_UINT16},
    {"int", PLY_INT32},   {"uint", PLY_UINT32},   {"float", PLY_FLOAT32},   {"double", PLY_FLOAT64},
    {"int8", PLY_INT8},   {"uint8", PLY_UINT8},   {"int16", PLY_INT16},     {"uint16", PLY_UINT16},
    {"int32", PLY_INT32}, {"uint32", PLY_UINT32}, {"float32", PLY_FLOAT32}, {"float64", PLY_FLOAT64},
};

bool FindType(std::string_view name, uint8_t& nType)
{
    for (const STypeName& t : TYPE_NAMES)
        if (name == t.pszName)
        {
            nType = t.nType;
            return true;
        }
    return false;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

// The words of a header line, split at spaces and tabs; at most nMax (a line of more is wrong anyway).
size_t SplitWords(std::string_view line, std::string_view* pWords, size_t nMax)
{
    size_t nWords = 0;
    size_t n = 0;
    while (nWords < nMax)
    {
        while (n < line.size() && IsBlank(line[n]))
            ++n;
        if (n == line.size())
            break;
        const size_t nStart = n;
        while (n < line.size() && !IsBlank(line[n]))
            ++n;
        pWords[nWords++] = line.substr(nStart, n - nStart);
    }
    return nWords;
}

// The line that starts at nPos, without its line end; nNext is where the next one starts (npos
// when the data ends without a line feed).
std::string_view LineAt(std::string_view data, size_t nPos, size_t& nNext)
{
    const size_t nFeed = data.find('\n', nPos);
    nNext = nFeed == std::string_view::npos ? std::string_view::npos : nFeed + 1;
    std::string_view line =
        data.substr(nPos, nFeed == std::string_view::npos ? std::string_view::npos : nFeed - nPos);
    while (!line.empty() && IsBlank(line.back()))
        line.remove_suffix(1);
    return line;
}

bool StartsWithWord(std::string_view line, std::string_view word)
{
    return line.substr(0, word.size()) == word && (line.size() == word.size() || IsBlank(line[word.size()]));
}

// Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + string.
bool Problem(std::string& strProblem, std::string_view what, std::string_view quoted = std::string_view())
{
    strProblem.assign(what);
    if (!quoted.empty())
        strProblem.append(" '").append(quoted.substr(0, 40)).append("'");
    return false;
}

bool ParseProperty(const std::string_view* pWords, size_t nWords, SPlyProperty& property,
                   std::string& strProblem)
{
    if (nWords >= 2 && pWords[1] == "list")
    {
        if (nWords != 5)
            return Problem(strProblem, "expected 'property list COUNTTYPE ITEMTYPE NAME'");
        if (!FindType(pWords[2], property.nCountType))
            return Problem(strProblem, "unknown property type", pWords[2]);
        if (!IsPLYIntegerType(property.nCountType))
            return Problem(strProblem, "a list count that is not an integer type", pWords[2]);
        if (!FindType(pWords[3], property.nType))
            return Problem(strProblem, "unknown property type", pWords[3]);
        property.bList = true;
        property.strName = pWords[4];
        return true;
    }
    if (nWords != 3)
        return Problem(strProblem, "expected 'property TYPE NAME'");
    if (!FindType(pWords[1], property.nType))
        return Problem(strProblem, "unknown property type", pWords[1]);
    property.strName = pWords[2];
    return true;
}

bool ParseLine(std::string_view line, SPlyHeader& header, bool& bFormatSeen, size_t& nProperties,
               std::string& strProblem)
{
    std::string_view words[6];
    const size_t nWords = SplitWords(line, words, 6);
    if (nWords == 0)
        return true;
    if (words[0] == "format")
    {
        if (bFormatSeen)
            return Problem(strProblem, "a second format line");
        if (nWords != 3)
            return Problem(strProblem, "expected 'format ascii 1.0' or a binary format");
        if (words[1] == "ascii")
            header.nFormat = PLY_ASCII;
        else if (words[1] == "binary_little_endian")
            header.nFormat = PLY_BINARY_LITTLE_ENDIAN;
        else if (words[1] == "binary_big_endian")
            header.nFormat = PLY_BINARY_BIG_ENDIAN;
        else
            return Problem(strProblem, "unknown format", words[1]);
        if (words[2] != "1.0" && words[2] != "1")
            return Problem(strProblem, "unknown format version", words[2]);
        bFormatSeen = true;
        return true;
    }
    if (!bFormatSeen)
        return Problem(strProblem, "expected the format line");
    if (words[0] == "element")
    {
        uint64_t nCount = 0;
        const std::string_view count = nWords == 3 ? words[2] : std::string_view();
        const auto res = std::from_chars(count.data(), count.data() + count.size(), nCount);
        if (nWords != 3 || res.ptr != count.data() + count.size() || res.ec != std::errc() || count.empty())
            return Problem(strProblem, "expected 'element NAME COUNT'");
        SPlyElement& element = header.elements.emplace_back();
        element.strName = words[1];
        element.nCount = nCount;
        return true;
    }
    if (words[0] == "property")
    {
        if (header.elements.empty())
            return Problem(strProblem, "a property before any element");
        if (++nProperties > PLY_MAX_PROPERTIES)
            return Problem(strProblem, "more properties than a PLY header of this program holds");
        return ParseProperty(words, nWords, header.elements.back().properties.emplace_back(), strProblem);
    }
    return Problem(strProblem, "unknown keyword", words[0]);
}
} // namespace

bool ParsePLYHeader(std::string_view data, SPlyHeader& header, std::string& strProblem)
{
    header = SPlyHeader();
    // A header line is looked for no further than the header may reach, however long the line.
    const std::string_view window = data.substr(0, PLY_MAX_HEADER_BYTES);
    const bool bWhole = window.size() == data.size();
    size_t nNext = 0;
    if (LineAt(window, 0, nNext) != "ply" || nNext == std::string_view::npos)
        return Problem(strProblem, "the file does not start with 'ply'");
    bool bFormatSeen = false;
    size_t nProperties = 0;
    for (size_t nPos = nNext; nPos != std::string_view::npos; nPos = nNext)
    {
        const std::string_view line = LineAt(window, nPos, nNext);
        if (nNext == std::string_view::npos && !bWhole)
            break;
        // Comments hold any text, a line that only starts with the word too.
        if (StartsWithWord(line, "comment") || StartsWithWord(line, "obj_info"))
            continue;
        if (StartsWithWord(line, "end_header"))
        {
            if (line != "end_header")
                return Problem(strProblem, "text after end_header");
            if (!bFormatSeen)
                return Problem(strProblem, "expected the format line");
            header.nBodyStart = nNext == std::string_view::npos ? data.size() : nNext;
            return true;
        }
        if (!ParseLine(line, header, bFormatSeen, nProperties, strProblem))
            return false;
    }
    return Problem(strProblem,
                   bWhole ? "the file ends before end_header" : "no end_header in the first 64 KiB");
}

int RecognisePLY(std::string_view head, uint64_t)
{
    size_t nNext = 0;
    if (LineAt(head, 0, nNext) != "ply" || nNext == std::string_view::npos)
        return 0;
    for (size_t nPos = nNext; nPos != std::string_view::npos; nPos = nNext)
    {
        const std::string_view line = LineAt(head, nPos, nNext);
        if (nNext == std::string_view::npos && head.size() >= INPUT_HEAD_SIZE)
            return 1; // a line the head cuts short
        if (StartsWithWord(line, "format"))
            return 2;
        if (!StartsWithWord(line, "comment") && !StartsWithWord(line, "obj_info"))
            return 0;
    }
    return 0;
}

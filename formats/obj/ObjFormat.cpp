// What tells OBJ text apart: its first lines are OBJ statements.
#include "formats/obj/ObjFormat.h"

#include <string_view>

#include "formats/FileHead.h"
#include "formats/TokenReader.h"

namespace
{
// This many statement lines must all be OBJ's before the text counts as OBJ: enough that prose
// or another format's text that happens to start with "g" or "s" is not taken.
constexpr int STATEMENTS_JUDGED = 5;

constexpr std::string_view KEYWORDS_WITH_NUMBER[] = {"v", "vt", "vn", "f"};
constexpr std::string_view KEYWORDS_OTHER[] = {"o", "g", "s", "usemtl", "mtllib", "l", "p"};

bool StartsNumber(std::string_view rest, bool bIndex)
{
    CTokenReader in(rest, '#');
    std::string_view token;
    if (!in.NextToken(token))
        return false;
    if (bIndex)
    {
        // A face corner: "12", "-3", "4/5/6".
        const size_t nDigits = token[0] == '-' ? 1 : 0;
        return token.size() > nDigits && token[nDigits] >= '0' && token[nDigits] <= '9';
    }
    CTokenReader number(token);
    double d = 0.0;
    return number.NextDouble(d);
}

bool HasThreeNumbers(std::string_view rest)
{
    CTokenReader in(rest, '#');
    double d = 0.0;
    return in.NextDouble(d) && in.NextDouble(d) && in.NextDouble(d);
}

// Whether the line (without its line feed, blanks before it skipped) is an OBJ statement.
bool IsStatement(std::string_view line)
{
    size_t nEnd = 0;
    while (nEnd < line.size() && !CTokenReader::IsSpace(line[nEnd]) && line[nEnd] != '#')
        ++nEnd;
    const std::string_view keyword = line.substr(0, nEnd);
    const std::string_view rest = line.substr(nEnd);
    for (const std::string_view k : KEYWORDS_WITH_NUMBER)
        if (keyword == k)
            return StartsNumber(rest, k == "f");
    for (const std::string_view k : KEYWORDS_OTHER)
        if (keyword == k)
            return true;
    return false;
}
} // namespace

int RecogniseOBJ(std::string_view head, uint64_t nSize)
{
    if (head.find('\0') != std::string_view::npos)
        return 0;
    // The last line counts only where it is whole: where the head is all the data.
    const bool bWhole = head.size() < INPUT_HEAD_SIZE || nSize == head.size();
    int nStatements = 0;
    bool bVertex = false;
    size_t nPos = 0;
    while (nPos < head.size())
    {
        const size_t nLineFeed = head.find('\n', nPos);
        if (nLineFeed == std::string_view::npos && !bWhole)
            break;
        const size_t nLineEnd = nLineFeed == std::string_view::npos ? head.size() : nLineFeed;
        std::string_view line = head.substr(nPos, nLineEnd - nPos);
        nPos = nLineEnd + 1;
        while (!line.empty() && CTokenReader::IsSpace(line.front()))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#')
            continue;
        if (nStatements < STATEMENTS_JUDGED)
        {
            if (!IsStatement(line))
                return 0;
            ++nStatements;
        }
        bVertex = bVertex || (line.size() > 1 && line[0] == 'v' && CTokenReader::IsSpace(line[1]) &&
                              HasThreeNumbers(line.substr(1)));
        if (bVertex && nStatements >= STATEMENTS_JUDGED)
            break;
    }
    if (nStatements == 0)
        return 0;
    return bVertex ? 2 : 1;
}

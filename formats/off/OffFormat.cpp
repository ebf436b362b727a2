#include "formats/off/OffFormat.h"

#include "formats/FileHead.h"
#include "formats/TokenReader.h"

std::string ComposeOFFKeyword(bool bTexCoords, bool bColors, bool bNormals)
{
    std::string s;
    if (bTexCoords)
        s += "ST";
    if (bColors)
        s += "C";
    if (bNormals)
        s += "N";
    return s + "OFF";
}

const SOffKeyword* MatchOFFKeyword(std::string_view token, std::string_view& joined)
{
    joined = std::string_view();
    for (const SOffKeyword& k : OFF_KEYWORDS)
    {
        const std::string_view text = k.pszText;
        if (token == text)
            return &k;
        // Joined to the vertex count: the count is read from where the keyword ends.
        if (token.size() > text.size() && token.substr(0, text.size()) == text && token[text.size()] >= '0' &&
            token[text.size()] <= '9')
        {
            joined = token.substr(text.size());
            return &k;
        }
    }
    return nullptr;
}

namespace
{
// Where the first word starts, past blanks and whole '#' comment lines; npos when head ends first.
size_t WordStart(std::string_view head, size_t n)
{
    for (;;)
    {
        while (n < head.size() && CTokenReader::IsSpace(head[n]))
            ++n;
        if (n >= head.size() || head[n] != '#')
            return n < head.size() ? n : std::string_view::npos;
        n = head.find('\n', n);
        if (n == std::string_view::npos)
            return n;
    }
}

std::string_view WordAt(std::string_view head, size_t n)
{
    size_t nEnd = n;
    while (nEnd < head.size() && !CTokenReader::IsSpace(head[nEnd]) && head[nEnd] != '#')
        ++nEnd;
    return head.substr(n, nEnd - n);
}
} // namespace

bool IsBinaryOFFHeader(std::string_view head, size_t& nDataStart, const SOffKeyword*& pKeyword)
{
    const size_t nStart = WordStart(head, 0);
    if (nStart == std::string_view::npos)
        return false;
    const size_t nLineEnd = head.find('\n', nStart);
    if (nLineEnd == std::string_view::npos)
        return false;
    std::string_view line = head.substr(nStart, nLineEnd - nStart);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const size_t nSpace = line.find_first_of(" \t");
    if (nSpace == std::string_view::npos)
        return false;
    const std::string_view keyword = line.substr(0, nSpace);
    std::string_view rest = line.substr(nSpace);
    while (!rest.empty() && (rest.front() == ' ' || rest.front() == '\t'))
        rest.remove_prefix(1);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.remove_suffix(1);
    if (rest != "BINARY")
        return false;
    for (const SOffKeyword& k : OFF_KEYWORDS)
        if (keyword == k.pszText)
        {
            pKeyword = &k;
            nDataStart = nLineEnd + 1;
            return true;
        }
    return false;
}

int RecogniseOFF(std::string_view head, uint64_t)
{
    size_t nDataStart = 0;
    const SOffKeyword* pKeyword = nullptr;
    if (IsBinaryOFFHeader(head, nDataStart, pKeyword))
        return 3;
    size_t n = WordStart(head, 0);
    // Comment lines that run past the head may lead to the keyword: only OFF has them.
    if (n == std::string_view::npos)
        return head.size() >= INPUT_HEAD_SIZE ? 1 : 0;
    // A wrapper of braces around the one object.
    if (WordAt(head, n) == "{")
    {
        n = WordStart(head, n + 1);
        if (n == std::string_view::npos)
            return 0;
    }
    const std::string_view word = FirstWordLetters(head.substr(n));
    for (const SOffKeyword& k : OFF_KEYWORDS)
        if (word == k.pszText)
            return 2;
    const std::string_view token = WordAt(head, n);
    return token.size() > 3 && token.substr(token.size() - 3) == "OFF" ? 1 : 0;
}

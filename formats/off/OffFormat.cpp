#include "formats/off/OffFormat.h"

#include "formats/FileHead.h"

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

int RecogniseOFF(std::string_view head, uint64_t)
{
    // Comment lines that run past the head may lead to the keyword: only OFF has them.
    if (!HeadShowsFirstWord(head) && head.size() >= INPUT_HEAD_SIZE)
        return 1;
    const std::string_view word = FirstWordLetters(head);
    for (const SOffKeyword& k : OFF_KEYWORDS)
        if (word == k.pszText)
            return 2;
    return 0;
}

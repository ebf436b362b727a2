#include "formats/TokenStream.h"

bool CTokenStream::HasToken()
{
    if (!m_reader.AtEnd())
        return true;
    // The reader has gone through its view; the next token starts after it.
    m_bytes.Consume(m_nViewSize);
    m_nViewSize = 0;
    m_reader = CTokenReader(std::string_view());
    bool bEnd = false;
    for (;;)
    {
        std::string_view window = m_bytes.Window();
        // Blanks are dropped as they come, so that a file of blanks keeps no more than a block.
        size_t nBlanks = 0;
        while (nBlanks < window.size() && CTokenReader::IsSpace(window[nBlanks]))
            ++nBlanks;
        m_bytes.Consume(nBlanks);
        window.remove_prefix(nBlanks);
        // Up to the last blank every token is whole; at the end of the data the rest is too.
        size_t nWhole = window.size();
        if (!bEnd)
            while (nWhole > 0 && !CTokenReader::IsSpace(window[nWhole - 1]))
                --nWhole;
        if (nWhole > 0)
        {
            m_nViewSize = nWhole;
            m_reader = CTokenReader(window.substr(0, nWhole));
            return true;
        }
        if (bEnd || window.size() > MAX_TOKEN_LENGTH)
            return false;
        bEnd = !m_bytes.More();
        if (m_bytes.Failed())
            return false;
    }
}

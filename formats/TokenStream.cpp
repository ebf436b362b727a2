#include "formats/TokenStream.h"

#include <cstring>

bool CTokenStream::More()
{
    m_bEnd = !m_bytes.More();
    return !m_bytes.Failed();
}

size_t CTokenStream::WholePart(std::string_view window) const
{
    if (m_nComment != CTokenReader::NO_COMMENT)
    {
        // A comment on the last line may run past the window: the view ends where it starts, and
        // the next view skips it whole.
        const size_t nFeed = window.rfind('\n');
        const size_t nLine = nFeed == std::string_view::npos ? 0 : nFeed + 1;
        if (const void* pComment = std::memchr(window.data() + nLine, m_nComment, window.size() - nLine))
            return static_cast<size_t>(static_cast<const char*>(pComment) - window.data());
    }
    return CTokenReader::WholeTokensEnd(window, MAX_TOKEN_LENGTH);
}

bool CTokenStream::NextView()
{
    m_bytes.Consume(m_reader.Position());
    m_view = std::string_view();
    m_reader = CTokenReader(m_view, m_nComment);
    for (;;)
    {
        std::string_view window = m_bytes.Window();
        if (m_bSkipLine)
        {
            const size_t nFeed = window.find('\n');
            m_bytes.Consume(nFeed == std::string_view::npos ? window.size() : nFeed + 1);
            m_bSkipLine = nFeed == std::string_view::npos;
            if (m_bSkipLine && (m_bEnd || !More()))
                return false;
            continue;
        }
        // Blanks are dropped as they come, so that a file of blanks keeps no more than a block.
        size_t nBlanks = 0;
        while (nBlanks < window.size() && CTokenReader::IsSpace(window[nBlanks]))
            ++nBlanks;
        m_bytes.Consume(nBlanks);
        window.remove_prefix(nBlanks);
        if (!window.empty() && static_cast<unsigned char>(window[0]) == m_nComment)
        {
            m_bSkipLine = true;
            continue;
        }
        const size_t nWhole = m_bEnd ? window.size() : WholePart(window);
        if (nWhole == std::string_view::npos)
            return false;
        if (nWhole > 0)
        {
            m_view = window.substr(0, nWhole);
            m_reader = CTokenReader(m_view, m_nComment);
            return true;
        }
        if (m_bEnd || !More())
            return false;
    }
}

void CTokenStream::SkipRestOfLine()
{
    const size_t nPos = m_reader.Position();
    const size_t nFeed = m_view.find('\n', nPos);
    if (nFeed != std::string_view::npos)
    {
        m_reader.Seek(nFeed + 1);
        return;
    }
    // The line goes on after the view: the next view starts past its end.
    m_reader.Seek(m_view.size());
    m_bSkipLine = !m_bEnd;
}

int CTokenStream::CountTokensOnLine()
{
    for (;;)
    {
        if (!HasToken())
            return 0;
        bool bLineEnds = false;
        const int nTokens = m_reader.CountTokensOnLine(&bLineEnds);
        if (bLineEnds || m_bEnd)
            return nTokens;
        // The line runs past the view: a longer view, from the next token on.
        if (m_view.size() - m_reader.Position() > MAX_TOKEN_LENGTH)
            return -1;
        m_bytes.Consume(m_reader.Position());
        m_view = std::string_view();
        m_reader = CTokenReader(m_view, m_nComment);
        if (!More())
            return 0;
    }
}

bool CTokenStream::Rewind()
{
    if (!m_bytes.Rewind())
        return false;
    m_view = std::string_view();
    m_reader = CTokenReader(m_view, m_nComment);
    m_bEnd = false;
    m_bSkipLine = false;
    return true;
}

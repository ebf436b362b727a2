// Reading OFF files. Besides the program's own format it reads what other tools
// and data sets write, as long as no file of the own format changes meaning: '#' comments, a
// keyword joined to the vertex count ("OFF1234 5678 0"), and COFF colours with a fourth (alpha)
// component, as floats or as bytes 0-255. The text ends at a NUL byte, which no text holds.
#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <new>
#include <vector>

#include "formats/off/OffReader.h"

#include "formats/MeshBuilder.h"
#include "formats/TokenReader.h"
#include "formats/off/OffBinary.h"
#include "formats/off/OffFormat.h"
#include "platform/HugePages.h"
#include "platform/Prefaulter.h"
#include "platform/ReadProgress.h"

namespace
{
// Where the first brace of either kind stands from nFrom on, comments left out; npos when none.
size_t FirstBrace(std::string_view buffer, size_t nFrom)
{
    CTokenReader in(buffer, '#');
    in.Seek(nFrom);
    std::string_view token;
    while (in.NextToken(token))
        if (const size_t n = token.find_first_of("{}"); n != std::string_view::npos)
            return static_cast<size_t>(token.data() - buffer.data()) + n;
    return std::string_view::npos;
}

// Tells pProgress (when given) how far the reader is, once every REPORT_EVERY items.
void Report(CReadProgress* pProgress, int32_t nItem, const CTokenReader& in)
{
    if (pProgress != nullptr && (static_cast<uint32_t>(nItem) & (CReadProgress::REPORT_EVERY - 1)) == 0)
        pProgress->SetDone(in.Position());
}

// Parses a whole OFF file into SMeshParts. On failure Failure() says where and why.
class COffParser
{
public:
    // bCutAtNul: the text is what came before a NUL byte in the file.
    COffParser(std::string_view buffer, CReadProgress* pProgress, bool bCutAtNul)
        : m_buffer(buffer), m_in(buffer, '#'), m_pProgress(pProgress), m_bCutAtNul(bCutAtNul)
    {
    }

    bool Parse(SMeshParts& data)
    {
        // A wrapper of braces holds the one object and nothing else: the text ends at the first
        // brace after the opening one, which must close it, and the object must end just before
        // it. Braces in comments do not count.
        const size_t nOpen = m_in.Position();
        std::string_view token;
        m_bBraced = m_in.NextToken(token) && token == "{";
        if (m_bBraced)
        {
            const size_t nInner = m_in.Position();
            const size_t nClose = FirstBrace(m_buffer, nInner);
            if (nClose == std::string_view::npos)
                return Fail("expected the '}' that closes the braces");
            // Another block inside (an appearance, a second object) is more than one OFF object.
            if (m_buffer[nClose] == '{' || FirstBrace(m_buffer, nClose + 1) != std::string_view::npos)
                return Fail("expected one OFF object and nothing else inside the braces");
            if (!CTokenReader(m_buffer.substr(nClose + 1), '#').AtEnd())
                return Fail("expected the '}' that closes the braces");
            m_in = CTokenReader(m_buffer.substr(0, nClose), '#');
            m_in.Seek(nInner);
        }
        else
            m_in.Seek(nOpen);
        if (!ReadHeader(data))
            return false;
        const size_t nVertexStart = m_in.Position();
        // A colour of four components (RGBA) shows as one number more than the keyword asks for
        // on every vertex line; where the lines hold just what the keyword asks for, or are
        // broken and joined anyhow, the keyword's own reading comes first.
        int nLines = OFF_LINES_MIXED;
        if (data.bColors)
        {
            nLines = ClassifyOFFVertexLines(m_in, data.nVertices, FieldCount(data));
            m_in.Seek(nVertexStart);
        }
        if (nLines == OFF_LINES_WITH_ALPHA)
            return ReadBody(data, 4) && Finish(data);
        if (ReadBody(data, 3))
            return Finish(data);
        // Tokens read one by one: a file of the keyword's own layout that this reading refused
        // may still read with alpha, which its first vertex line shows.
        m_in.Seek(nVertexStart);
        if (nLines != OFF_LINES_MIXED || !data.bColors || m_in.CountTokensOnLine() != FieldCount(data) + 1)
            return false;
        return ReadBody(data, 4) && Finish(data);
    }

    // "line 12: expected a vertex index", from the position where the parse stopped.
    std::string Failure() const
    {
        size_t nPos = std::min(m_nFailurePos, m_buffer.size());
        // At the end of the file, the last line with text on it.
        if (m_bFailedAtEnd)
            while (nPos > 0 && CTokenReader::IsSpace(m_buffer[nPos - 1]))
                --nPos;
        // Where the text stops at a NUL byte and the reading needed more, the NUL is to blame.
        const bool bNul = m_bCutAtNul && (m_bFailedAtEnd || m_bFailedOnSize);
        if (bNul)
            nPos = m_buffer.size();
        const auto nLine =
            1 + std::count(m_buffer.begin(), m_buffer.begin() + static_cast<ptrdiff_t>(nPos), '\n');
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + string.
        std::string strText("line ");
        strText.append(std::to_string(nLine)).append(": ");
        if (bNul)
            return strText.append("a NUL byte, which no OFF text holds");
        strText.append(m_strFailure);
        return strText.append(m_bFailedAtEnd ? ", but the file ends" : "");
    }

private:
    static int FieldCount(const SMeshParts& data)
    {
        return 3 + (data.bNormals ? 3 : 0) + (data.bColors ? 3 : 0) + (data.bTexCoords ? 2 : 0);
    }

    // Records why the parse stops here; returns false for the caller to pass on. bOnSize: the
    // text is too short for what the file announces.
    bool Fail(std::string strWhat, bool bOnSize = false)
    {
        m_strFailure = std::move(strWhat);
        m_bFailedAtEnd = m_in.HitEnd();
        m_bFailedOnSize = bOnSize;
        m_nFailurePos = m_in.Position();
        return false;
    }

    bool ReadKeyword(SMeshParts& data)
    {
        std::string_view keyword;
        if (!m_in.NextToken(keyword))
            return Fail(OFF_KEYWORD_EXPECTED);
        std::string_view joined;
        const SOffKeyword* pFound = MatchOFFKeyword(keyword, joined);
        // Joined to the vertex count: the count is read from where the keyword ends.
        if (!joined.empty())
            m_in.Seek(static_cast<size_t>(joined.data() - m_buffer.data()));
        if (pFound == nullptr)
            return Fail(OFF_KEYWORD_EXPECTED);
        data.bNormals = pFound->bNormals;
        data.bColors = pFound->bColors;
        data.bTexCoords = pFound->bTexCoords;
        data.nRecordSize = data.bColors ? 11 : (data.bTexCoords ? 8 : 6);
        return true;
    }

    bool ReadHeader(SMeshParts& data)
    {
        if (!ReadKeyword(data))
            return false;
        int32_t nFileEdges = 0;
        if (!m_in.NextInt(data.nVertices) || !m_in.NextInt(data.nFaces) || !m_in.NextInt(nFileEdges))
            return Fail("expected the vertex, face and edge counts");
        // No faces: a point set, as geometry libraries write them.
        if (data.nVertices < 1 || data.nFaces < 0)
            return Fail("expected at least one vertex and no negative face count");

        // Every number takes at least two bytes (a digit and a separator), so a header that asks
        // for more than the file can hold is refused before anything is allocated for it.
        const uint64_t nRemaining = m_in.Remaining() + 1;
        const uint64_t nVertexBytes =
            static_cast<uint64_t>(data.nVertices) * static_cast<uint64_t>(FieldCount(data)) * 2;
        const uint64_t nFaceBytes = static_cast<uint64_t>(data.nFaces) * 4;
        if (nVertexBytes + nFaceBytes > nRemaining)
            return Fail("the counts ask for more than the file holds", true);
        const size_t nRecords = static_cast<size_t>(data.nVertices) * static_cast<size_t>(data.nRecordSize);
        data.pRecords.reset(NewHugeArray<double>(nRecords));
        data.pFaceSizes.reset(NewHugeArray<int32_t>(static_cast<size_t>(data.nFaces)));
        // Both are filled whole, the records first, while a second core faults them in.
        m_prefault.Start({{data.pRecords.get(), nRecords * sizeof(double)},
                          {data.pFaceSizes.get(), static_cast<size_t>(data.nFaces) * sizeof(int32_t)}});
        return true;
    }

    bool ReadValues(double* p, int nCount, const char* pszWhat)
    {
        for (int i = 0; i < nCount; ++i)
            if (!m_in.NextDouble(p[i]))
                return Fail(pszWhat);
        return true;
    }

    // The vertices and faces, with nColorFields (3, or 4 with alpha) numbers per colour.
    bool ReadBody(SMeshParts& data, int nColorFields)
    {
        const size_t nRecord = static_cast<size_t>(data.nRecordSize);
        m_bByteColors = true;
        m_dLargestColor = 0.0;
        for (int32_t i = 0; i < data.nVertices; ++i)
        {
            Report(m_pProgress, i, m_in);
            double* p = data.pRecords.get() + static_cast<size_t>(i) * nRecord;
            if (!ReadValues(p, 3, "expected a vertex coordinate"))
                return false;
            if (data.bNormals && !ReadValues(p + SLOT_NORMAL, 3, "expected a vertex normal"))
                return false;
            if (data.bColors && !ReadColor(p + SLOT_COLOR, nColorFields))
                return false;
            if (data.bTexCoords && !ReadValues(p + SLOT_TEXCOORD, 2, "expected a texture coordinate"))
                return false;
        }
        return ReadFaces(data);
    }

    bool ReadColor(double* p, int nColorFields)
    {
        double rgba[4];
        if (!ReadValues(rgba, nColorFields, "expected a vertex colour"))
            return false;
        std::copy_n(rgba, 3, p);
        for (int i = 0; i < nColorFields; ++i)
        {
            const double d = rgba[i];
            m_bByteColors = m_bByteColors && d == std::floor(d) && d >= 0.0 && d <= 255.0;
            m_dLargestColor = std::max(m_dLargestColor, d);
        }
        return true;
    }

    // What follows the faces: nothing but the closing brace of a wrapper. Colours that are all
    // whole numbers from 0 to 255, some above 1, are bytes, with three components or four; the
    // alpha component has no place in a vertex record and is dropped.
    bool Finish(SMeshParts& data)
    {
        if (m_bBraced && !m_in.AtEnd())
            return Fail("expected the '}' that closes the braces");
        if (!data.bColors || !m_bByteColors || m_dLargestColor <= 1.0)
            return true;
        const size_t nRecord = static_cast<size_t>(data.nRecordSize);
        for (int32_t i = 0; i < data.nVertices; ++i)
            for (int c = 0; c < 3; ++c)
                data.pRecords[static_cast<size_t>(i) * nRecord + SLOT_COLOR + static_cast<size_t>(c)] /=
                    255.0;
        return true;
    }

    bool ReadFaces(SMeshParts& data)
    {
        data.indices.clear();
        data.nEdges = 0;
        ReserveHuge(data.indices,
                    std::min<size_t>(static_cast<size_t>(data.nFaces) * 3, m_in.Remaining() / 2 + 1));
        // The room is filled whole unless the faces need more, which moves it.
        m_indexPrefault.Start({{data.indices.data(), data.indices.capacity() * sizeof(int32_t)}});
        for (int32_t f = 0; f < data.nFaces; ++f)
        {
            Report(m_pProgress, f, m_in);
            int32_t n = 0;
            if (!m_in.NextInt(n))
                return Fail("expected a face size");
            if (n < 1)
                return Fail("expected a face size of at least 1");
            // Each index needs two bytes too; this also bounds the edge count below.
            if (static_cast<uint64_t>(n) * 2 > m_in.Remaining() + 1)
                return Fail("the face size asks for more than the file holds", true);
            if (data.indices.size() + static_cast<size_t>(n) > data.indices.capacity())
                m_indexPrefault.Stop();
            data.pFaceSizes[static_cast<size_t>(f)] = n;
            for (int32_t k = 0; k < n; ++k)
            {
                int32_t nIndex = 0;
                if (!m_in.NextInt(nIndex))
                    return Fail("expected a vertex index");
                if (nIndex < 0 || nIndex >= data.nVertices)
                    return Fail(std::string("vertex index ")
                                    .append(std::to_string(nIndex))
                                    .append(" is not in 0 to ")
                                    .append(std::to_string(data.nVertices - 1)));
                data.indices.push_back(nIndex);
            }
            // Trailing text (a face colour, say) is skipped whatever its length.
            m_in.SkipRestOfLine();
            data.nEdges += n;
            if (data.nEdges > std::numeric_limits<int32_t>::max())
                return Fail("more face corners than a mesh holds");
        }
        return true;
    }

    std::string_view m_buffer;
    CTokenReader m_in;
    CReadProgress* m_pProgress;
    std::string m_strFailure;
    bool m_bCutAtNul;
    size_t m_nFailurePos = 0;
    bool m_bFailedAtEnd = false;
    bool m_bFailedOnSize = false;
    bool m_bByteColors = true;
    double m_dLargestColor = 0.0;
    bool m_bBraced = false;
    // Stop before the parts they fault in are freed: the parser is made after them.
    CPrefaulter m_prefault, m_indexPrefault;
};

void SetError(std::string* pstrError, std::string strText)
{
    if (pstrError != nullptr)
        *pstrError = std::move(strText);
}
// Binary OFF from nStart on.
bool ReadBinaryText(std::string_view buffer, size_t nStart, const SOffKeyword& keyword, CMeshBuilder& builder,
                    std::string* pstrError)
{
    try
    {
        SMeshParts data;
        std::string strFailure;
        if (!ParseBinaryOFF(buffer, nStart, keyword, data, strFailure))
        {
            SetError(pstrError, strFailure);
            return false;
        }
        builder.AdoptPolygons(data);
        SetError(pstrError, std::string());
        return true;
    }
    catch (const std::bad_alloc&)
    {
        SetError(pstrError, "not enough memory");
        return false;
    }
}

// The text in buffer (*pText, when given, holds it and is freed once it is parsed).
bool ReadOFFText(std::string_view buffer, CMeshBuilder& builder, CReadProgress* pProgress,
                 std::string* pstrError, std::string* pText, bool bCutAtNul)
{
    try
    {
        SMeshParts data;
        if (pProgress != nullptr)
            pProgress->SetTotal(buffer.size());
        COffParser parser(buffer, pProgress, bCutAtNul);
        if (!parser.Parse(data))
        {
            SetError(pstrError, parser.Failure());
            return false;
        }
        // A big file's text and its mesh need not be in memory at once.
        if (pText != nullptr)
            std::string().swap(*pText);
        builder.AdoptPolygons(data);
        SetError(pstrError, std::string());
        return true;
    }
    catch (const std::bad_alloc&)
    {
        // A file whose counts are plausible for its size may still need more memory than there
        // is; that is a failed load like any other.
        SetError(pstrError, "not enough memory");
        return false;
    }
}
} // namespace

bool ReadOFF(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress,
             std::string* pstrError)
{
    std::string contents;
    SReadLimits limits;
    limits.bStopAtNul = true;
    if (!ReadWholeFile(strPath, contents, &limits))
    {
        // The caller names the system's reason for a file that cannot be read at all.
        SetError(pstrError, std::string());
        return false;
    }
    // Binary OFF holds NUL bytes: it is read whole after all.
    size_t nStart = 0;
    const SOffKeyword* pKeyword = nullptr;
    if (IsBinaryOFFHeader(contents, nStart, pKeyword))
    {
        if (limits.bStoppedAtNul && !ReadWholeFile(strPath, contents))
        {
            SetError(pstrError, std::string());
            return false;
        }
        return ReadBinaryText(contents, nStart, *pKeyword, builder, pstrError);
    }
    return ReadOFFText(contents, builder, pProgress, pstrError, &contents, limits.bStoppedAtNul);
}

bool ReadOFFBuffer(std::string_view buffer, CMeshBuilder& builder, CReadProgress* pProgress,
                   std::string* pstrError)
{
    size_t nStart = 0;
    const SOffKeyword* pKeyword = nullptr;
    if (IsBinaryOFFHeader(buffer, nStart, pKeyword))
        return ReadBinaryText(buffer, nStart, *pKeyword, builder, pstrError);
    const size_t nNul = buffer.find('\0');
    return ReadOFFText(buffer.substr(0, nNul), builder, pProgress, pstrError, nullptr,
                       nNul != std::string_view::npos);
}

// OFF files: CMesh::ReadOFF and the OFF writers.
#include <algorithm>
#include <cfloat>
#include <exception>
#include <limits>
#include <new>
#include <vector>

#include "formats/NumberFormat.h"
#include "formats/OffFormat.h"
#include "formats/TokenReader.h"
#include "platform/FileName.h"
#include "platform/HugePages.h"
#include "platform/ReadProgress.h"
#include "scene/Mesh.h"

// What a successful parse hands to the mesh; nothing reaches the mesh before the whole file
// has been read and checked.
struct SOffData
{
    bool bNormals = false;
    bool bColors = false;
    bool bTexCoords = false;
    int32_t nRecordSize = 6;
    int32_t nVertices = 0;
    int32_t nFaces = 0;
    int64_t nEdges = 0;
    std::unique_ptr<double[]> pRecords;
    std::unique_ptr<int32_t[]> pFaceSizes;
    std::vector<int32_t> indices;
};

namespace
{
struct SKeyword
{
    const char* pszText;
    bool bNormals, bColors, bTexCoords;
};

constexpr SKeyword KEYWORDS[] = {
    {"OFF", false, false, false},  {"STOFF", false, false, true}, {"COFF", false, true, false},
    {"NOFF", true, false, false},  {"STCOFF", false, true, true}, {"STNOFF", true, false, true},
    {"STCNOFF", true, true, true},
};

// Tells pProgress (when given) how far the reader is, once every REPORT_EVERY items.
void Report(CReadProgress* pProgress, int32_t nItem, const CTokenReader& in)
{
    if (pProgress != nullptr && (static_cast<uint32_t>(nItem) & (CReadProgress::REPORT_EVERY - 1)) == 0)
        pProgress->SetDone(in.Position());
}

bool ParseOFF(std::string_view buffer, SOffData& data, CReadProgress* pProgress)
{
    CTokenReader in(buffer);
    std::string_view keyword;
    if (!in.NextToken(keyword))
        return false;
    const SKeyword* pKeyword = std::find_if(std::begin(KEYWORDS), std::end(KEYWORDS),
                                            [&](const SKeyword& k) { return keyword == k.pszText; });
    if (pKeyword == std::end(KEYWORDS))
        return false;
    data.bNormals = pKeyword->bNormals;
    data.bColors = pKeyword->bColors;
    data.bTexCoords = pKeyword->bTexCoords;
    data.nRecordSize = data.bColors ? 11 : (data.bTexCoords ? 8 : 6);

    int32_t nFileEdges = 0;
    if (!in.NextInt(data.nVertices) || !in.NextInt(data.nFaces) || !in.NextInt(nFileEdges))
        return false;
    if (data.nVertices < 1 || data.nFaces < 1)
        return false;

    // Every number takes at least two bytes (a digit and a separator), so a header that asks for
    // more than the file can hold is refused before anything is allocated for it.
    const int nFields = 3 + (data.bNormals ? 3 : 0) + (data.bColors ? 3 : 0) + (data.bTexCoords ? 2 : 0);
    const uint64_t nRemaining = in.Remaining() + 1;
    const uint64_t nVertexBytes = static_cast<uint64_t>(data.nVertices) * static_cast<uint64_t>(nFields) * 2;
    const uint64_t nFaceBytes = static_cast<uint64_t>(data.nFaces) * 4;
    if (nVertexBytes + nFaceBytes > nRemaining)
        return false;

    const size_t nRecord = static_cast<size_t>(data.nRecordSize);
    data.pRecords.reset(NewHugeArray<double>(static_cast<size_t>(data.nVertices) * nRecord));
    for (int32_t i = 0; i < data.nVertices; ++i)
    {
        Report(pProgress, i, in);
        double* p = data.pRecords.get() + static_cast<size_t>(i) * nRecord;
        if (!in.NextDouble(p[0]) || !in.NextDouble(p[1]) || !in.NextDouble(p[2]))
            return false;
        if (data.bNormals && (!in.NextDouble(p[3]) || !in.NextDouble(p[4]) || !in.NextDouble(p[5])))
            return false;
        if (data.bColors && (!in.NextDouble(p[8]) || !in.NextDouble(p[9]) || !in.NextDouble(p[10])))
            return false;
        if (data.bTexCoords && (!in.NextDouble(p[6]) || !in.NextDouble(p[7])))
            return false;
    }

    data.pFaceSizes.reset(NewHugeArray<int32_t>(static_cast<size_t>(data.nFaces)));
    ReserveHuge(data.indices, std::min<size_t>(static_cast<size_t>(data.nFaces) * 3, in.Remaining() / 2 + 1));
    for (int32_t f = 0; f < data.nFaces; ++f)
    {
        Report(pProgress, f, in);
        int32_t n = 0;
        if (!in.NextInt(n) || n < 1)
            return false;
        // Each index needs two bytes too; this also bounds the edge count below.
        if (static_cast<uint64_t>(n) * 2 > in.Remaining() + 1)
            return false;
        data.pFaceSizes[static_cast<size_t>(f)] = n;
        for (int32_t k = 0; k < n; ++k)
        {
            int32_t nIndex = 0;
            if (!in.NextInt(nIndex) || nIndex < 0 || nIndex >= data.nVertices)
                return false;
            data.indices.push_back(nIndex);
        }
        // Trailing text (a face colour, say) is skipped whatever its length.
        in.SkipRestOfLine();
        data.nEdges += n;
        if (data.nEdges > std::numeric_limits<int32_t>::max())
            return false;
    }
    return true;
}

// Output is gathered in a buffer and handed to the stream in large pieces.
class COutputBuffer
{
public:
    explicit COutputBuffer(std::ostream& out) : m_out(out) { m_text.reserve(1 << 20); }
    ~COutputBuffer() { Flush(); }
    std::string& Text() { return m_text; }
    void EndLine()
    {
        m_text += '\n';
        if (m_text.size() >= (1 << 20) - 256)
            Flush();
    }
    void Flush()
    {
        m_out.write(m_text.data(), static_cast<std::streamsize>(m_text.size()));
        m_text.clear();
    }

private:
    std::ostream& m_out;
    std::string m_text;
};

void AppendValues(std::string& text, const double* p, int nCount)
{
    for (int i = 0; i < nCount; ++i)
    {
        text += ' ';
        NumberFormat::AppendFixed(text, p[i]);
    }
}
} // namespace

bool CMesh::ReadOFF(const std::string& strPath, CReadProgress* pProgress)
{
    if (m_bLoaded)
        return false;
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
        return false;
    return ReadOFFBuffer(contents, strPath, pProgress, &contents);
}

bool CMesh::ReadOFFBuffer(std::string_view buffer, const std::string& strPath, CReadProgress* pProgress)
{
    return ReadOFFBuffer(buffer, strPath, pProgress, nullptr);
}

bool CMesh::ReadOFFBuffer(std::string_view buffer, const std::string& strPath, CReadProgress* pProgress,
                          std::string* pText)
{
    if (m_bLoaded)
        return false;
    const int32_t nRecordSize = m_nRecordSize;
    try
    {
        SOffData data;
        if (pProgress != nullptr)
            pProgress->SetTotal(buffer.size());
        if (!ParseOFF(buffer, data, pProgress))
            return false;
        // A big file's text and its mesh need not be in memory at once.
        if (pText != nullptr)
            std::string().swap(*pText);
        AdoptParsedOFF(data, strPath);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        // A file whose counts are plausible for its size may still need more memory than there
        // is; that is a failed load like any other, with the mesh left empty.
        DiscardRead(nRecordSize);
        return false;
    }
}

void CMesh::AdoptParsedOFF(SOffData& data, const std::string& strPath)
{
    FreeGeometry();
    m_bHasNormals = data.bNormals;
    m_bHasColors = data.bColors;
    m_bHasTexCoords = data.bTexCoords;
    m_nRecordSize = data.nRecordSize;
    m_nVertices = data.nVertices;
    m_nFaces = data.nFaces;
    m_nEdges = static_cast<int32_t>(data.nEdges);

    const size_t nRecord = static_cast<size_t>(m_nRecordSize);
    m_pVertexPool = std::move(data.pRecords);
    m_ppVertices = NewHugeArray<double*>(static_cast<size_t>(m_nVertices));
    for (int32_t i = 0; i < m_nVertices; ++i)
        m_ppVertices[i] = m_pVertexPool.get() + static_cast<size_t>(i) * nRecord;

    m_indexPool = std::move(data.indices);
    m_pFaceSizes = data.pFaceSizes.release();
    m_ppFaces = NewHugeArray<int32_t*>(static_cast<size_t>(m_nFaces));
    size_t nOffset = 0;
    for (int32_t f = 0; f < m_nFaces; ++f)
    {
        m_ppFaces[f] = m_indexPool.data() + nOffset;
        nOffset += static_cast<size_t>(m_pFaceSizes[f]);
    }

    ComputeBounds();
    m_vPosition = CVector3();
    m_ppFaceNormals = NewHugeArray<double*>(static_cast<size_t>(m_nFaces));
    std::fill_n(m_ppFaceNormals, m_nFaces, nullptr);
    ComputeNormals();

    m_bLoaded = true;
    m_strPath = strPath;
    m_strName = FileNameOfPath(strPath);
}

bool CMesh::WriteOFF(std::ostream& out) const
{
    if (!out)
        return false;
    COutputBuffer buffer(out);
    std::string& text = buffer.Text();
    text += ComposeOFFKeyword(m_bHasTexCoords, m_bHasColors, m_bHasNormals);
    buffer.EndLine();
    NumberFormat::AppendInt(text, m_nVertices);
    text += ' ';
    NumberFormat::AppendInt(text, m_nFaces);
    text += ' ';
    NumberFormat::AppendInt(text, m_nEdges);
    buffer.EndLine();
    for (int32_t i = 0; i < m_nVertices; ++i)
    {
        const double* p = m_ppVertices[i];
        NumberFormat::AppendFixed(text, p[0]);
        AppendValues(text, p + 1, 2);
        if (m_bHasNormals)
            AppendValues(text, p + SLOT_NORMAL, 3);
        if (m_bHasColors)
            AppendValues(text, p + SLOT_COLOR, 3);
        if (m_bHasTexCoords)
            AppendValues(text, p + SLOT_TEXCOORD, 2);
        buffer.EndLine();
    }
    buffer.Flush();
    return WriteOFFFaces(out, 0);
}

void CMesh::WriteOFFVertices(std::ostream& out, bool bTexCoords, bool bColors, bool bNormals)
{
    if (!out)
        return;
    UpdateAxes();
    COutputBuffer buffer(out);
    std::string& text = buffer.Text();
    for (int32_t i = 0; i < m_nVertices; ++i)
    {
        const double* p = m_ppVertices[i];
        double world[3];
        GetWorldVertex(i).ToArray(world);
        NumberFormat::AppendFixed(text, world[0]);
        AppendValues(text, world + 1, 2);
        if (m_bHasNormals && bNormals)
            AppendValues(text, p + SLOT_NORMAL, 3);
        if (m_bHasColors && bColors)
            AppendValues(text, p + SLOT_COLOR, 3);
        if (m_bHasTexCoords && bTexCoords)
            AppendValues(text, p + SLOT_TEXCOORD, 2);
        buffer.EndLine();
    }
}

bool CMesh::WriteOFFFaces(std::ostream& out, int32_t nOffset) const
{
    if (!out)
        return false;
    COutputBuffer buffer(out);
    std::string& text = buffer.Text();
    for (int32_t f = 0; f < m_nFaces; ++f)
    {
        NumberFormat::AppendInt(text, m_pFaceSizes[f]);
        for (int32_t k = 0; k < m_pFaceSizes[f]; ++k)
        {
            text += ' ';
            NumberFormat::AppendInt(text, static_cast<int64_t>(m_ppFaces[f][k]) + nOffset);
        }
        buffer.EndLine();
    }
    buffer.Flush();
    // A stream that was never opened fails on the first write.
    return static_cast<bool>(out);
}

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

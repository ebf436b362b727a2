// Writing OFF files: the mesh in its own coordinates, and the parts of a whole-scene file.
#include <ostream>
#include <string>

#include "formats/NumberFormat.h"
#include "formats/off/OffFormat.h"
#include "model/Mesh.h"

namespace
{
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

// One vertex line: the position, then the fields of the record that are asked for. A value that
// is not finite would be written as "inf" or "nan", which no reader takes back: then nothing is
// appended, the stream is failed (so the file is not put in place) and the result is false.
bool AppendVertexLine(COutputBuffer& buffer, std::ostream& out, const double* pPosition,
                      const double* pRecord, bool bNormals, bool bColors, bool bTexCoords)
{
    if (!NumberFormat::AllFinite(pPosition, 3) ||
        (bNormals && !NumberFormat::AllFinite(pRecord + SLOT_NORMAL, 3)) ||
        (bColors && !NumberFormat::AllFinite(pRecord + SLOT_COLOR, 3)) ||
        (bTexCoords && !NumberFormat::AllFinite(pRecord + SLOT_TEXCOORD, 2)))
    {
        out.setstate(std::ios::failbit);
        return false;
    }
    std::string& text = buffer.Text();
    NumberFormat::AppendFixed(text, pPosition[0]);
    AppendValues(text, pPosition + 1, 2);
    if (bNormals)
        AppendValues(text, pRecord + SLOT_NORMAL, 3);
    if (bColors)
        AppendValues(text, pRecord + SLOT_COLOR, 3);
    if (bTexCoords)
        AppendValues(text, pRecord + SLOT_TEXCOORD, 2);
    buffer.EndLine();
    return true;
}
} // namespace

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
        if (!AppendVertexLine(buffer, out, m_ppVertices[i], m_ppVertices[i], m_bHasNormals, m_bHasColors,
                              m_bHasTexCoords))
            return false;
    buffer.Flush();
    return WriteOFFFaces(out, 0);
}

void CMesh::WriteOFFVertices(std::ostream& out, bool bTexCoords, bool bColors, bool bNormals)
{
    if (!out)
        return;
    UpdateAxes();
    COutputBuffer buffer(out);
    for (int32_t i = 0; i < m_nVertices; ++i)
    {
        double world[3];
        GetWorldVertex(i).ToArray(world);
        if (!AppendVertexLine(buffer, out, world, m_ppVertices[i], m_bHasNormals && bNormals,
                              m_bHasColors && bColors, m_bHasTexCoords && bTexCoords))
            return;
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

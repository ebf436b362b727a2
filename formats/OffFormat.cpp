// Writing OFF files: the mesh in its own coordinates, and the parts of a whole-scene file.
#include <ostream>
#include <string>

#include "formats/NumberFormat.h"
#include "formats/OffFormat.h"
#include "scene/Mesh.h"

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

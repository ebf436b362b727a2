// Writing OFF files: a mesh in its own coordinates, and a whole scene as one mesh.
#include "formats/off/OffWriter.h"

#include <ostream>
#include <string>

#include "formats/NumberFormat.h"
#include "formats/off/OffFormat.h"

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

bool WriteOFF(std::ostream& out, const SMeshView& mesh)
{
    if (!out)
        return false;
    COutputBuffer buffer(out);
    std::string& text = buffer.Text();
    text += ComposeOFFKeyword(mesh.bTexCoords, mesh.bColors, mesh.bNormals);
    buffer.EndLine();
    NumberFormat::AppendInt(text, mesh.nVertices);
    text += ' ';
    NumberFormat::AppendInt(text, mesh.nFaces);
    text += ' ';
    NumberFormat::AppendInt(text, mesh.nEdges);
    buffer.EndLine();
    for (int32_t i = 0; i < mesh.nVertices; ++i)
        if (!AppendVertexLine(buffer, out, mesh.ppVertices[i], mesh.ppVertices[i], mesh.bNormals,
                              mesh.bColors, mesh.bTexCoords))
            return false;
    buffer.Flush();
    return WriteOFFFaces(out, mesh, 0);
}

void WriteOFFVertices(std::ostream& out, const SMeshView& mesh, bool bTexCoords, bool bColors, bool bNormals)
{
    if (!out)
        return;
    COutputBuffer buffer(out);
    for (int32_t i = 0; i < mesh.nVertices; ++i)
    {
        double world[3];
        mesh.World(i).ToArray(world);
        if (!AppendVertexLine(buffer, out, world, mesh.ppVertices[i], mesh.bNormals && bNormals,
                              mesh.bColors && bColors, mesh.bTexCoords && bTexCoords))
            return;
    }
}

bool WriteOFFFaces(std::ostream& out, const SMeshView& mesh, int32_t nOffset)
{
    if (!out)
        return false;
    COutputBuffer buffer(out);
    std::string& text = buffer.Text();
    for (int32_t f = 0; f < mesh.nFaces; ++f)
    {
        NumberFormat::AppendInt(text, mesh.pFaceSizes[f]);
        for (int32_t k = 0; k < mesh.pFaceSizes[f]; ++k)
        {
            text += ' ';
            NumberFormat::AppendInt(text, static_cast<int64_t>(mesh.ppFaces[f][k]) + nOffset);
        }
        buffer.EndLine();
    }
    buffer.Flush();
    // A stream that was never opened fails on the first write.
    return static_cast<bool>(out);
}

bool WriteSceneOFF(std::ostream& out, const std::vector<SMeshView>& meshes)
{
    int64_t nVertices = 0, nFaces = 0, nEdges = 0;
    bool bTexCoords = true, bColors = true, bNormals = true;
    for (const SMeshView& mesh : meshes)
    {
        nVertices += mesh.nVertices;
        nFaces += mesh.nFaces;
        nEdges += mesh.nEdges;
        bTexCoords = bTexCoords && mesh.bTexCoords;
        bColors = bColors && mesh.bColors;
        bNormals = bNormals && mesh.bNormals;
    }
    std::string strHeader = ComposeOFFKeyword(bTexCoords, bColors, bNormals) + "\n";
    NumberFormat::AppendInt(strHeader, nVertices);
    strHeader += ' ';
    NumberFormat::AppendInt(strHeader, nFaces);
    strHeader += ' ';
    NumberFormat::AppendInt(strHeader, nEdges);
    strHeader += '\n';
    out << strHeader;
    for (const SMeshView& mesh : meshes)
        WriteOFFVertices(out, mesh, bTexCoords, bColors, bNormals);
    int64_t nOffset = 0;
    for (const SMeshView& mesh : meshes)
    {
        WriteOFFFaces(out, mesh, static_cast<int32_t>(nOffset));
        nOffset += mesh.nVertices;
    }
    return static_cast<bool>(out);
}

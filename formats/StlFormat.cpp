// STL files: the buffer parsers, CTeldViewGLDoc::ImportSTL and the STL modes of ExportScene.
#include "formats/StlFormat.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "formats/ByteOutput.h"
#include "formats/NumberFormat.h"
#include "formats/TokenReader.h"
#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"
#include "scene/Mesh.h"
#include "scene/TeldViewGLDoc.h"

namespace
{
constexpr size_t BINARY_HEADER_SIZE = 80;
constexpr size_t BINARY_FACET_SIZE = 50;
// Every facet becomes three vertices of its own, and the mesh counts vertices in 32 bits.
constexpr int64_t MAX_FACETS = std::numeric_limits<int32_t>::max() / 3;
// Tokens of an ASCII facet: 9 words, the normal and three vertices.
constexpr int ASCII_TOKENS_PER_FACET = 21;

uint32_t LoadUInt32(const char* p)
{
    uint32_t nValue;
    std::memcpy(&nValue, p, 4);
    if constexpr (std::endian::native != std::endian::little)
        nValue =
            ((nValue & 0xFFu) << 24) | ((nValue & 0xFF00u) << 8) | ((nValue >> 8) & 0xFF00u) | (nValue >> 24);
    return nValue;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the lower-case copy of [p, pEnd) contains the lower-case word.
bool ContainsLower(const char* p, const char* pEnd, std::string_view word)
{
    const size_t n = word.size();
    for (; static_cast<size_t>(pEnd - p) >= n; ++p)
    {
        if (Lower(*p) != word[0])
            continue;
        size_t i = 1;
        while (i < n && Lower(p[i]) == word[i])
            ++i;
        if (i == n)
            return true;
    }
    return false;
}

const char* LineEnd(const char* p, const char* pEnd)
{
    if (p == pEnd)
        return pEnd;
    const void* pFound = std::memchr(p, '\n', static_cast<size_t>(pEnd - p));
    return pFound != nullptr ? static_cast<const char*>(pFound) : pEnd;
}

bool IsNormalAt(const char* p)
{
    static constexpr char WORD[] = "normal";
    for (int i = 0; i < 6; ++i)
        if (Lower(p[i]) != WORD[i])
            return false;
    return true;
}

// The next 'm' or 'M' at or after p, or pEnd. Eight bytes at a time: "m" is the rarest letter of
// "normal" in STL text (vertex lines have none), so most words hold no candidate.
const char* FindLetterM(const char* p, const char* pEnd)
{
    constexpr uint64_t ONES = 0x0101010101010101u;
    for (; pEnd - p >= 8; p += 8)
    {
        uint64_t nWord;
        std::memcpy(&nWord, p, 8);
        // Zero bytes where a byte is 'm' or 'M'; the mask may also flag a byte just after a true
        // match (a borrow), which the caller's check of the word sorts out.
        const uint64_t nDiff = (nWord | (ONES * 0x20)) ^ (ONES * 'm');
        const uint64_t nMask = (nDiff - ONES) & ~nDiff & (ONES * 0x80);
        if (nMask != 0)
            return p + (std::endian::native == std::endian::little ? std::countr_zero(nMask)
                                                                   : std::countl_zero(nMask)) /
                           8;
    }
    for (; p < pEnd; ++p)
        if (Lower(*p) == 'm')
            return p;
    return pEnd;
}

// Lines in [p, pEnd) whose lower-case copy contains "normal". The word holds no line feed, so a
// match is counted once and the search goes on at the next line.
int64_t CountNormalLines(const char* p, const char* pEnd)
{
    int64_t nLines = 0;
    const char* pLine = p;
    for (const char* pM = FindLetterM(p, pEnd); pM != pEnd; pM = FindLetterM(pM + 1, pEnd))
    {
        // 'm' is the fourth letter of the word.
        if (pM - pLine < 3 || pEnd - pM < 3 || !IsNormalAt(pM - 3))
            continue;
        ++nLines;
        pM = LineEnd(pM, pEnd);
        if (pM == pEnd)
            break;
        pLine = pM + 1;
    }
    return nLines;
}

// A facet normal is read and dropped, so anything from_chars takes for a number will do there,
// "nan" and out-of-range values included.
bool SkipNumber(CTokenReader& in)
{
    std::string_view token;
    if (!in.NextToken(token))
        return false;
    const char* pBegin = token.data();
    const char* pEnd = pBegin + token.size();
    if (*pBegin == '+' && token.size() > 1 && pBegin[1] != '-')
        ++pBegin;
    double dValue;
    const auto res = std::from_chars(pBegin, pEnd, dValue);
    return res.ptr == pEnd && (res.ec == std::errc() || res.ec == std::errc::result_out_of_range);
}

bool SkipWords(CTokenReader& in, int nWords)
{
    std::string_view token;
    for (int i = 0; i < nWords; ++i)
        if (!in.NextToken(token))
            return false;
    return true;
}

// NaN and the infinities are the floats whose exponent bits are all set. One flag for the whole
// array keeps the loop free of branches.
bool AllFinite(const float* pValues, size_t nCount)
{
    constexpr uint32_t EXPONENT = 0x7F800000u;
    uint32_t nBad = 0;
    for (size_t i = 0; i < nCount; ++i)
        nBad |= static_cast<uint32_t>((std::bit_cast<uint32_t>(pValues[i]) & EXPONENT) == EXPONENT);
    return nBad == 0;
}

// Vertex coordinates must be finite numbers.
bool ReadVertex(CTokenReader& in, double* pOut)
{
    return in.NextDouble(pOut[0]) && in.NextDouble(pOut[1]) && in.NextDouble(pOut[2]);
}
} // namespace

bool ParseBinarySTL(std::string_view buffer, std::vector<float>& xyz)
{
    if (buffer.size() < BINARY_HEADER_SIZE + 4)
        return false;
    const uint64_t nFacets = LoadUInt32(buffer.data() + BINARY_HEADER_SIZE);
    const uint64_t nRoom = (buffer.size() - BINARY_HEADER_SIZE - 4) / BINARY_FACET_SIZE;
    if (nFacets > nRoom || nFacets > static_cast<uint64_t>(MAX_FACETS))
        return false;
    // A count of 0 before whole facets is a damaged count, not an empty model.
    if (nFacets == 0 && nRoom > 0)
        return false;

    xyz.resize(static_cast<size_t>(nFacets) * 9);
    // Skip each facet's normal (12 bytes); the three vertices follow as nine floats.
    const char* pFacet = buffer.data() + BINARY_HEADER_SIZE + 4;
    float* pOut = xyz.data();
    for (uint64_t k = 0; k < nFacets; ++k, pFacet += BINARY_FACET_SIZE, pOut += 9)
    {
        if constexpr (std::endian::native == std::endian::little)
            std::memcpy(pOut, pFacet + 12, 9 * sizeof(float));
        else
            for (int i = 0; i < 9; ++i)
                pOut[i] = std::bit_cast<float>(LoadUInt32(pFacet + 12 + 4 * i));
    }
    return AllFinite(xyz.data(), xyz.size());
}

int64_t CountAsciiSTLNormalLines(std::string_view buffer)
{
    const char* p = buffer.data();
    const char* pEnd = p + buffer.size();
    const char* pFirstEnd = LineEnd(p, pEnd);
    return pFirstEnd == pEnd ? 0 : CountNormalLines(pFirstEnd + 1, pEnd);
}

bool ParseAsciiSTL(std::string_view buffer, std::vector<double>& xyz)
{
    const char* p = buffer.data();
    const char* pEnd = p + buffer.size();
    const char* pFirstEnd = LineEnd(p, pEnd);
    if (!ContainsLower(p, pFirstEnd, "solid"))
        return false;
    // Text holds no NUL byte; a binary file whose header starts with "solid" does (its count, its
    // attribute words), and must not pass for an empty ASCII solid.
    if (std::memchr(p, '\0', buffer.size()) != nullptr)
        return false;
    const char* pBody = pFirstEnd == pEnd ? pEnd : pFirstEnd + 1;

    // The counting pass decides how many facets are read, whatever follows them.
    const int64_t nFacets = CountNormalLines(pBody, pEnd);
    // A facet takes at least 21 one-character tokens and their separators: refuse a count the
    // file cannot hold before allocating for it.
    const int64_t nBodySize = pEnd - pBody;
    if (nFacets > MAX_FACETS || nFacets * 2 * ASCII_TOKENS_PER_FACET > nBodySize + 1)
        return false;

    xyz.resize(static_cast<size_t>(nFacets) * 9);
    double* pOut = xyz.data();
    CTokenReader in(std::string_view(pBody, static_cast<size_t>(nBodySize)));
    for (int64_t k = 0; k < nFacets; ++k, pOut += 9)
    {
        // "facet normal" n n n "outer loop vertex" v v v "vertex" v v v "vertex" v v v
        // "endloop endfacet"; the words are not compared.
        if (!SkipWords(in, 2) || !SkipNumber(in) || !SkipNumber(in) || !SkipNumber(in) || !SkipWords(in, 3) ||
            !ReadVertex(in, pOut) || !SkipWords(in, 1) || !ReadVertex(in, pOut + 3) || !SkipWords(in, 1) ||
            !ReadVertex(in, pOut + 6) || !SkipWords(in, 2))
            return false;
    }
    return true;
}

bool CTeldViewGLDoc::ImportSTL(const std::string& strPath, int nMode)
{
    if (nMode != STL_BINARY && nMode != STL_ASCII)
        return false;
    std::vector<float> binaryXyz;
    std::vector<double> asciiXyz;
    try
    {
        std::string contents;
        if (!ReadWholeFile(strPath, contents))
            return false;
        const bool bParsed =
            nMode == STL_BINARY ? ParseBinarySTL(contents, binaryXyz) : ParseAsciiSTL(contents, asciiXyz);
        if (!bParsed)
            return false;
    }
    catch (const std::bad_alloc&)
    {
        return false;
    }

    // The whole file has been checked: from here on only memory can run out.
    CSceneObject* pOldCurrent = m_pCurrentObject;
    CMesh* pMesh = PrepareImportMesh(m_bScene);
    try
    {
        // A reused mesh keeps its record size and position through Reset; an STL mesh has no
        // optional fields and starts at the origin.
        pMesh->m_nRecordSize = 6;
        pMesh->m_vPosition = CVector3();
        if (nMode == STL_BINARY)
            pMesh->SetTriangles(binaryXyz.data(), static_cast<int32_t>(binaryXyz.size() / 9));
        else
            pMesh->SetTriangles(asciiXyz.data(), static_cast<int32_t>(asciiXyz.size() / 9));
        binaryXyz = std::vector<float>();
        asciiXyz = std::vector<double>();
        // The identity transform computes bounds, centre, half extent and all normals.
        pMesh->Transform(CVector3(1.0, 0.0, 0.0), CVector3(0.0, 1.0, 0.0), CVector3(0.0, 0.0, 1.0));
    }
    catch (const std::bad_alloc&)
    {
        // No half-built mesh stays behind: an appended one goes again; a reused one stays empty,
        // as after a failed open.
        if (m_bScene)
        {
            pMesh->m_pPrev->m_pNext = nullptr;
            m_pLastObject = pMesh->m_pPrev;
            delete pMesh;
            m_pCurrentObject = pOldCurrent;
        }
        else
            pMesh->Reset();
        return false;
    }

    pMesh->m_strPath = strPath;
    pMesh->m_strName = FileNameOfPath(strPath);
    pMesh->m_bLoaded = true;
    m_bHasMesh = true;
    UpdateSceneBounds();
    if (m_bCompileLists)
        pMesh->BuildDisplayList();
    return true;
}

bool CTeldViewGLDoc::ExportScene(const std::string& strPath, int nMode)
{
    switch (nMode)
    {
    case EXPORT_BINARY_STL:
    case EXPORT_ASCII_STL:
        return ExportSTL(strPath, nMode);
    case EXPORT_POINT_CLOUD:
        return ExportPointCloud(strPath);
    default:
        return false;
    }
}

namespace
{
void AppendFixedTriple(std::string& text, const char* pszPrefix, double a, double b, double c)
{
    text += pszPrefix;
    NumberFormat::AppendFixed(text, a);
    text += ' ';
    NumberFormat::AppendFixed(text, b);
    text += ' ';
    NumberFormat::AppendFixed(text, c);
    text += '\n';
}
} // namespace

bool CTeldViewGLDoc::ExportSTL(const std::string& strPath, int nMode)
{
    // STL holds triangles only; a face of any other size refuses the whole scene before a file
    // is created (a shorter face would have no third vertex to write).
    uint64_t nFaces = 0;
    for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
    {
        if (pObject->GetType() != OBJECT_MESH)
            continue;
        const CMesh* pMesh = static_cast<const CMesh*>(pObject);
        for (int32_t f = 0; f < pMesh->m_nFaces; ++f)
            if (pMesh->m_pFaceSizes[f] != 3 || pMesh->m_ppFaces[f] == nullptr)
                return false;
        nFaces += static_cast<uint64_t>(pMesh->m_nFaces);
    }
    const bool bBinary = nMode == EXPORT_BINARY_STL;
    if (bBinary && nFaces > std::numeric_limits<uint32_t>::max())
        return false;

    CSafeFileWriter file(strPath);
    if (!file.IsOpen())
        return false;
    const std::string strName = FileNameOfPath(strPath);
    {
        CByteOutput out(file.Stream());
        std::string& buffer = out.Buffer();
        if (bBinary)
        {
            char header[BINARY_HEADER_SIZE + 4];
            std::memset(header, ' ', BINARY_HEADER_SIZE);
            static constexpr char TITLE[] = "Binary STL file created by TeldView.";
            std::memcpy(header, TITLE, sizeof TITLE); // with its terminating zero byte
            CByteOutput::StoreUInt32(header + BINARY_HEADER_SIZE, static_cast<uint32_t>(nFaces));
            out.Append(header, sizeof header);
        }
        else
            buffer += "solid " + strName + " - Created by TeldView\n";

        for (CSceneObject* pObject = m_pObjectList; pObject != nullptr; pObject = pObject->m_pNext)
        {
            if (pObject->GetType() != OBJECT_MESH)
                continue;
            CMesh* pMesh = static_cast<CMesh*>(pObject);
            pMesh->UpdateAxes();
            for (int32_t f = 0; f < pMesh->m_nFaces; ++f)
            {
                // Normals stay in the mesh's own frame; vertices are placed in the scene.
                static constexpr double ZERO[3] = {0.0, 0.0, 0.0};
                const double* pNormal =
                    pMesh->m_ppFaceNormals[f] != nullptr ? pMesh->m_ppFaceNormals[f] : ZERO;
                const int32_t* pFace = pMesh->m_ppFaces[f];
                float vertices[9];
                for (int i = 0; i < 3; ++i)
                    pMesh->GetWorldVertex(pFace[i]).ToFloatArray(vertices + 3 * i);
                if (bBinary)
                {
                    char record[BINARY_FACET_SIZE];
                    float normal[3];
                    CVector3(pNormal).ToFloatArray(normal);
                    CByteOutput::StoreFloats(record, normal, 3);
                    CByteOutput::StoreFloats(record + 12, vertices, 9);
                    record[48] = record[49] = 0;
                    out.Append(record, sizeof record);
                }
                else
                {
                    AppendFixedTriple(buffer, "  facet normal ", pNormal[0], pNormal[1], pNormal[2]);
                    buffer += "    outer loop\n";
                    for (int i = 0; i < 3; ++i)
                        AppendFixedTriple(buffer, "      vertex ", vertices[3 * i], vertices[3 * i + 1],
                                          vertices[3 * i + 2]);
                    buffer += "    endloop\n"
                              "  endfacet\n";
                }
                out.FlushIfFull();
            }
        }
        if (!bBinary)
            buffer += "endsolid " + strName + "\n";
    }
    return file.Commit();
}

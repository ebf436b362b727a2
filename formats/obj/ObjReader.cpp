// Reading Wavefront OBJ files. The whole text is in memory; a hand-written scanner walks its
// lines, numbers go through CTokenReader's exact parsing, and face corners become vertex records
// without a hash map wherever the file lets them: where every corner's texture coordinate and
// normal index equal its vertex index (or are absent), the records are the positions themselves.
#include "formats/obj/ObjReader.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "formats/InputFile.h"
#include "formats/MeshBuilder.h"
#include "formats/TokenReader.h"
#include "formats/obj/ObjMaterials.h"
#include "platform/HugePages.h"
#include "platform/ReadProgress.h"

namespace
{
// Counts of a mesh are 32-bit.
constexpr size_t MAX_COUNT = static_cast<size_t>(std::numeric_limits<int32_t>::max());
// At most this many material libraries are read for one file, however many it names.
constexpr size_t MAX_LIBRARIES = 16;
// A face corner quoted in a message is cut to this length.
constexpr size_t MAX_QUOTED = 40;

bool IsBlank(char c)
{
    return CTokenReader::IsSpace(c);
}

// Appends, growing the room twice over in huge pages once it is big: a file's counts are not
// known before it is read.
template <typename T> void Append(std::vector<T>& v, T value)
{
    if (v.size() == v.capacity())
        ReserveHuge(v, std::max<size_t>(1024, v.capacity() * 2));
    v.push_back(value);
}

void AppendValues(std::vector<double>& v, const double* p, int nCount)
{
    for (int i = 0; i < nCount; ++i)
        Append(v, p[i]);
}

template <typename T> void Free(std::vector<T>& v)
{
    std::vector<T>().swap(v);
}

// How the corners so far give a texture coordinate or normal index: none does, every one gives
// its own vertex index (the common layout, where the records are the positions), or otherwise;
// only then is the index kept for each corner.
class CCornerAttribute
{
public:
    enum
    {
        NONE,
        SAME,
        LISTED
    };

    // A corner of vertex index nVertex with attribute nIndex (-1: none); before holds the vertex
    // indices of the corners before it.
    void Add(int32_t nIndex, int32_t nVertex, const std::vector<int32_t>& before)
    {
        m_nGiven += nIndex >= 0 ? 1 : 0;
        if (m_nMode == LISTED)
        {
            Append(m_indices, nIndex);
            return;
        }
        if (nIndex == (m_nMode == SAME ? nVertex : -1))
            return;
        if (m_nMode == NONE && before.empty() && nIndex == nVertex)
        {
            m_nMode = SAME;
            return;
        }
        // The first corner off the pattern: the corners before it are written out.
        if (m_nMode == SAME)
            ReserveHuge(m_indices, before.size() * 2), m_indices.assign(before.begin(), before.end());
        else
            ReserveHuge(m_indices, before.size() * 2), m_indices.assign(before.size(), -1);
        m_nMode = LISTED;
        Append(m_indices, nIndex);
    }
    int32_t At(size_t nCorner, int32_t nVertex) const
    {
        return m_nMode == SAME ? nVertex : m_nMode == NONE ? -1 : m_indices[nCorner];
    }
    int Mode() const { return m_nMode; }
    size_t Given() const { return m_nGiven; }
    void Release() { Free(m_indices); }

private:
    int m_nMode = NONE;
    size_t m_nGiven = 0;
    std::vector<int32_t> m_indices;
};

// What a vertex record stands for: a position with the texture coordinate and normal a corner
// gives it (-1: none), and the colour group of its face's material (-1: none).
struct SCornerKey
{
    int32_t nV = -1, nVt = -1, nVn = -1, nGroup = -1;
    bool operator==(const SCornerKey&) const = default;
};

uint64_t Mix(uint64_t n)
{
    n ^= n >> 33;
    n *= 0xFF51AFD7ED558CCDull;
    n ^= n >> 33;
    n *= 0xC4CEB9FE1A85EC53ull;
    return n ^ (n >> 33);
}

// The records made for corners beyond each position's first: open addressing, the hash seeded
// anew for each read so that no file can be made to pile its corners into one run of slots.
class CCornerTable
{
public:
    CCornerTable()
        : m_nSeed(Mix(reinterpret_cast<uintptr_t>(this) ^
                      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count())))
    {
    }
    // The record of key, or nNew when the key is new (then it is stored with nNew).
    int32_t FindOrAdd(const SCornerKey& key, int32_t nNew)
    {
        if ((m_nUsed + 1) * 2 > m_slots.size())
            Grow();
        const size_t nMask = m_slots.size() - 1;
        for (size_t n = Hash(key) & nMask;; n = (n + 1) & nMask)
        {
            SSlot& slot = m_slots[n];
            if (slot.nRecord < 0)
            {
                slot = {key, nNew};
                ++m_nUsed;
                return nNew;
            }
            if (slot.key == key)
                return slot.nRecord;
        }
    }

private:
    struct SSlot
    {
        SCornerKey key;
        int32_t nRecord = -1;
    };

    size_t Hash(const SCornerKey& key) const
    {
        const uint64_t a = static_cast<uint32_t>(key.nV) | (uint64_t(static_cast<uint32_t>(key.nVt)) << 32);
        const uint64_t b =
            static_cast<uint32_t>(key.nVn) | (uint64_t(static_cast<uint32_t>(key.nGroup)) << 32);
        return static_cast<size_t>(Mix(a ^ Mix(b ^ m_nSeed)));
    }
    void Grow()
    {
        std::vector<SSlot> old(std::max<size_t>(1024, m_slots.size() * 2));
        old.swap(m_slots);
        m_nUsed = 0;
        for (const SSlot& slot : old)
            if (slot.nRecord >= 0)
                FindOrAdd(slot.key, slot.nRecord);
    }

    uint64_t m_nSeed;
    std::vector<SSlot> m_slots;
    size_t m_nUsed = 0;
};

// Parses a whole OBJ text, then builds the mesh's parts. On failure Failure() says where and why.
class CObjParser
{
public:
    CObjParser(std::string_view buffer, CReadProgress* pProgress) : m_buffer(buffer), m_pProgress(pProgress)
    {
    }

    bool Parse()
    {
        const size_t nSize = m_buffer.size();
        ReserveForStatements();
        size_t nPos = 0;
        uint32_t nLines = 0;
        while (nPos < nSize)
        {
            if (m_pProgress != nullptr && (++nLines & (CReadProgress::REPORT_EVERY - 1)) == 0)
                m_pProgress->SetDone(nPos);
            const size_t nStart = nPos;
            std::string_view line = NextLine(nPos);
            if (IsContinued(line))
                line = JoinLines(line, nPos);
            if (!ParseLine(line))
            {
                m_nFailurePos = nStart;
                return false;
            }
        }
        if (m_positions.empty())
            return Fail("the file holds no vertex");
        if (m_pProgress != nullptr)
            m_pProgress->Finish();
        return true;
    }

    // The material libraries named (the first MAX_LIBRARIES), to be read where the file lies.
    const std::vector<std::string>& Libraries() const { return m_libraries; }
    bool UsesMaterials() const { return m_bFaceMaterials; }

    // The mesh, with the diffuse colours of the materials in colors; the parsed data is freed.
    bool Build(SMeshParts& parts, const CMtlColors& colors)
    {
        const size_t nCorners = m_vertices.size();
        parts.bTexCoords = nCorners > 0 && m_vt.Given() == nCorners;
        parts.bNormals = nCorners > 0 && m_vn.Given() == nCorners;
        parts.bSmoothSoup = true;
        const bool bVertexColors = !m_colors.empty();
        if (bVertexColors)
            FinishVertexColors();
        const bool bFaceColors = !bVertexColors && GroupMaterials(colors);
        parts.bColors = bVertexColors || bFaceColors;
        parts.nRecordSize = parts.bColors ? 11 : parts.bTexCoords ? 8 : 6;

        // The records are the positions where nothing splits them; else the first use of each
        // position keeps its record and other uses get their own.
        const bool bSame = (!parts.bTexCoords || m_vt.Mode() == CCornerAttribute::SAME) &&
                           (!parts.bNormals || m_vn.Mode() == CCornerAttribute::SAME) && !bFaceColors;
        const size_t nPositions = m_positions.size() / 3;
        std::vector<SCornerKey> owners, extra;
        if (!bSame && !AssignRecords(parts, bFaceColors, owners, extra))
            return false;
        m_vt.Release();
        m_vn.Release();
        Free(m_faceMaterials);

        const size_t nRecords = nPositions + extra.size();
        const size_t nRecord = static_cast<size_t>(parts.nRecordSize);
        parts.pRecords.reset(NewHugeArray<double>(nRecords * nRecord));
        const size_t nTexCoords = m_texCoords.size() / 2, nNormals = m_normals.size() / 3;
        for (size_t r = 0; r < nRecords; ++r)
        {
            const int32_t nR = static_cast<int32_t>(r);
            SCornerKey key;
            if (bSame)
                key = {nR, r < nTexCoords ? nR : -1, r < nNormals ? nR : -1, -1};
            else
                key = r >= nPositions     ? extra[r - nPositions]
                      : owners[r].nV >= 0 ? owners[r]
                                          : SCornerKey{nR};
            FillRecord(parts.pRecords.get() + r * nRecord, key, parts);
        }
        parts.nVertices = static_cast<int32_t>(nRecords);
        parts.nFaces = static_cast<int32_t>(m_faceSizes.size());
        parts.nEdges = static_cast<int64_t>(nCorners);
        parts.pFaceSizes.reset(NewHugeArray<int32_t>(m_faceSizes.size()));
        std::copy(m_faceSizes.begin(), m_faceSizes.end(), parts.pFaceSizes.get());
        parts.indices = std::move(m_vertices);
        Free(m_positions);
        Free(m_colors);
        Free(m_texCoords);
        Free(m_normals);
        Free(m_faceSizes);
        return true;
    }

    // "line 12: vertex index 9 is not in 1 to 8", from the line where the parse stopped.
    std::string Failure() const
    {
        if (m_nFailurePos == std::string_view::npos)
            return m_strFailure;
        const auto nLine =
            1 + std::count(m_buffer.begin(), m_buffer.begin() + static_cast<ptrdiff_t>(m_nFailurePos), '\n');
        // Appended piece by piece: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + string.
        std::string strText("line ");
        return strText.append(std::to_string(nLine)).append(": ").append(m_strFailure);
    }

private:
    bool Fail(std::string strWhat)
    {
        m_strFailure = std::move(strWhat);
        return false;
    }

    // Sizes the arrays for the statements that the text holds at the start of a line: grown by
    // doubling instead, they would be moved and touched about twice over. A count never goes
    // beyond what the bytes can hold (a vertex takes at least 8, "v 1 2 3\n"), so that text of
    // short lines reserves no more than a few times its size; lines with blanks before the keyword
    // are left to the growth.
    void ReserveForStatements()
    {
        const char* p = m_buffer.data();
        const char* pEnd = p + m_buffer.size();
        size_t nV = 0, nVt = 0, nVn = 0, nF = 0;
        while (p < pEnd)
        {
            if (*p == 'v' && pEnd - p > 1)
            {
                nV += IsBlank(p[1]) ? 1 : 0;
                nVt += p[1] == 't' ? 1 : 0;
                nVn += p[1] == 'n' ? 1 : 0;
            }
            else
                nF += *p == 'f' ? 1 : 0;
            p = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(pEnd - p)));
            if (p == nullptr)
                break;
            ++p;
        }
        const size_t nBytes = m_buffer.size() + 1;
        ReserveHuge(m_positions, 3 * std::min(nV, nBytes / 8));
        ReserveHuge(m_texCoords, 2 * std::min(nVt, nBytes / 5));
        ReserveHuge(m_normals, 3 * std::min(nVn, nBytes / 9));
        ReserveHuge(m_faceSizes, std::min(nF, nBytes / 4));
        // Triangles, the common case; a corner takes at least 2 bytes ("1 ").
        ReserveHuge(m_vertices, std::min(3 * nF, nBytes / 2));
    }

    // The line at nPos, without its line feed; nPos moves past it.
    std::string_view NextLine(size_t& nPos) const
    {
        const char* pData = m_buffer.data();
        const void* pLineFeed = std::memchr(pData + nPos, '\n', m_buffer.size() - nPos);
        const size_t nStart = nPos;
        const size_t nEnd = pLineFeed != nullptr
                                ? static_cast<size_t>(static_cast<const char*>(pLineFeed) - pData)
                                : m_buffer.size();
        nPos = pLineFeed != nullptr ? nEnd + 1 : nEnd;
        return m_buffer.substr(nStart, nEnd - nStart);
    }

    // A '\' at the end of a line (before a CR) joins the next line to it.
    static bool IsContinued(std::string_view line)
    {
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return !line.empty() && line.back() == '\\';
    }

    // The line and those it continues into, each '\' and line end a blank; nPos moves past them.
    // A '\' on the last line of the file continues into nothing.
    std::string_view JoinLines(std::string_view line, size_t& nPos)
    {
        m_joined.clear();
        for (;;)
        {
            if (!IsContinued(line))
            {
                m_joined.append(line);
                break;
            }
            m_joined.append(line.substr(0, line.find_last_of('\\'))).append(1, ' ');
            if (nPos >= m_buffer.size())
                break;
            line = NextLine(nPos);
        }
        return m_joined;
    }

    bool ParseLine(std::string_view line)
    {
        size_t nStart = 0;
        while (nStart < line.size() && IsBlank(line[nStart]))
            ++nStart;
        size_t nEnd = nStart;
        while (nEnd < line.size() && !IsBlank(line[nEnd]) && line[nEnd] != '#')
            ++nEnd;
        const std::string_view keyword = line.substr(nStart, nEnd - nStart);
        const std::string_view rest = line.substr(nEnd);
        if (keyword.empty())
            return true;
        if (keyword[0] == 'f' && keyword.size() == 1)
            return ParseFace(rest);
        if (keyword[0] == 'v')
        {
            if (keyword.size() == 1)
                return ParseVertex(rest);
            if (keyword == "vn")
                return ParseNormal(rest);
            if (keyword == "vt")
                return ParseTexCoord(rest);
        }
        if (keyword == "usemtl")
            UseMaterial(MtlStatementName(rest));
        else if (keyword == "mtllib")
            NameLibraries(MtlStatementName(rest));
        // Groups, objects, smoothing groups, lines, points and what this reader does not know.
        return true;
    }

    // Up to nMax + 1 numbers of the rest of a line (so that one too many shows) into values;
    // false, with the failure set, for a token that is no finite number.
    bool ReadNumbers(std::string_view rest, double* pValues, int nMax, int& nCount)
    {
        CTokenReader in(rest, '#');
        nCount = 0;
        while (nCount <= nMax)
        {
            const size_t nBefore = in.Position();
            if (!in.NextDouble(pValues[nCount]))
            {
                if (in.HitEnd())
                    return true;
                return Fail("expected a finite number, not " + Quoted(rest.substr(nBefore)));
            }
            ++nCount;
        }
        return true;
    }

    // The token at the start of text (past blanks), in quotes, cut to MAX_QUOTED characters.
    static std::string Quoted(std::string_view text)
    {
        while (!text.empty() && IsBlank(text.front()))
            text.remove_prefix(1);
        size_t nEnd = 0;
        while (nEnd < text.size() && !IsBlank(text[nEnd]) && text[nEnd] != '#')
            ++nEnd;
        const bool bCut = nEnd > MAX_QUOTED;
        return "\"" + std::string(text.substr(0, std::min(nEnd, MAX_QUOTED))) + (bCut ? "...\"" : "\"");
    }

    bool ParseVertex(std::string_view rest)
    {
        double values[8];
        int nCount = 0;
        if (!ReadNumbers(rest, values, 7, nCount))
            return false;
        if (nCount != 3 && nCount != 4 && nCount != 6 && nCount != 7)
            return Fail("a vertex of " + CountText(nCount, 7) +
                        " numbers; expected x y z, x y z w, or either with r g b after it");
        if (m_positions.size() / 3 >= MAX_COUNT)
            return Fail("more vertices than a mesh holds");
        AppendValues(m_positions, values, 3);
        if (nCount >= 6)
        {
            // The first colour: the vertices before it have none (NaN, white in the end).
            if (m_colors.empty())
                m_colors.assign(m_positions.size() - 3, std::numeric_limits<double>::quiet_NaN());
            const double* pColor = values + nCount - 3;
            for (int c = 0; c < 3; ++c)
            {
                m_bByteColors = m_bByteColors && pColor[c] == std::floor(pColor[c]) && pColor[c] >= 0.0 &&
                                pColor[c] <= 255.0;
                m_dLargestColor = std::max(m_dLargestColor, pColor[c]);
            }
            AppendValues(m_colors, pColor, 3);
        }
        else if (!m_colors.empty())
        {
            const double none[3] = {std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::quiet_NaN(),
                                    std::numeric_limits<double>::quiet_NaN()};
            AppendValues(m_colors, none, 3);
        }
        return true;
    }

    bool ParseTexCoord(std::string_view rest)
    {
        double values[4] = {0.0, 0.0, 0.0, 0.0};
        int nCount = 0;
        if (!ReadNumbers(rest, values, 3, nCount))
            return false;
        if (nCount < 1 || nCount > 3)
            return Fail("a texture coordinate of " + CountText(nCount, 3) + " numbers; expected u [v [w]]");
        if (m_texCoords.size() / 2 >= MAX_COUNT)
            return Fail("more texture coordinates than a mesh holds");
        if (nCount == 1)
            values[1] = 0.0;
        AppendValues(m_texCoords, values, 2);
        return true;
    }

    bool ParseNormal(std::string_view rest)
    {
        double values[4];
        int nCount = 0;
        if (!ReadNumbers(rest, values, 3, nCount))
            return false;
        if (nCount != 3)
            return Fail("a normal of " + CountText(nCount, 3) + " numbers; expected x y z");
        if (m_normals.size() / 3 >= MAX_COUNT)
            return Fail("more normals than a mesh holds");
        AppendValues(m_normals, values, 3);
        return true;
    }

    static std::string CountText(int nCount, int nMax)
    {
        return nCount > nMax ? "more than " + std::to_string(nMax) : std::to_string(nCount);
    }

    bool ParseFace(std::string_view rest)
    {
        const char* p = rest.data();
        const char* pEnd = p + rest.size();
        const size_t nPositions = m_positions.size() / 3;
        const size_t nTexCoords = m_texCoords.size() / 2;
        const size_t nNormals = m_normals.size() / 3;
        int32_t nCorners = 0;
        for (;;)
        {
            while (p != pEnd && IsBlank(*p))
                ++p;
            if (p == pEnd || *p == '#')
                break;
            const char* pCorner = p;
            int32_t nV = 0, nVt = -1, nVn = -1;
            if (!ReadIndex(p, pEnd, nPositions, "vertex", nV, pCorner))
                return false;
            if (p != pEnd && *p == '/')
            {
                ++p;
                if (p != pEnd && *p == '/')
                {
                    ++p;
                    if (!ReadIndex(p, pEnd, nNormals, "normal", nVn, pCorner))
                        return false;
                }
                else
                {
                    if (!ReadIndex(p, pEnd, nTexCoords, "texture coordinate", nVt, pCorner))
                        return false;
                    if (p != pEnd && *p == '/')
                    {
                        ++p;
                        if (!ReadIndex(p, pEnd, nNormals, "normal", nVn, pCorner))
                            return false;
                    }
                }
            }
            if (p != pEnd && !IsBlank(*p) && *p != '#')
                return Fail("malformed face corner " + Quoted(std::string_view(pCorner, pEnd - pCorner)));
            if (m_vertices.size() >= MAX_COUNT)
                return Fail("more face corners than a mesh holds");
            m_vt.Add(nVt, nV, m_vertices);
            m_vn.Add(nVn, nV, m_vertices);
            Append(m_vertices, nV);
            ++nCorners;
        }
        if (nCorners == 0)
            return Fail("a face without vertices");
        if (m_faceSizes.size() >= MAX_COUNT)
            return Fail("more faces than a mesh holds");
        // Materials are kept per face only from the first face that has one.
        if (m_nMaterial >= 0 && !m_bFaceMaterials)
        {
            m_bFaceMaterials = true;
            ReserveHuge(m_faceMaterials, m_faceSizes.capacity());
            m_faceMaterials.assign(m_faceSizes.size(), -1);
        }
        if (m_bFaceMaterials)
            Append(m_faceMaterials, m_nMaterial);
        Append(m_faceSizes, nCorners);
        return true;
    }

    // An index of a corner, from 1 to nCount or, negative, counted back from the last one
    // defined (-1); nIndex is the index from 0. p moves past its digits.
    bool ReadIndex(const char*& p, const char* pEnd, size_t nCount, const char* pszWhat, int32_t& nIndex,
                   const char* pCorner)
    {
        const char* pStart = p;
        const bool bNegative = p != pEnd && *p == '-';
        const char* pDigits = bNegative ? p + 1 : p;
        const char* q = pDigits;
        uint64_t n = 0;
        // Past ten digits the value is out of range anyway; it stops growing there.
        for (; q != pEnd && static_cast<unsigned>(*q - '0') < 10; ++q)
            if (n < 10000000000ull)
                n = n * 10 + static_cast<unsigned>(*q - '0');
        if (q == pDigits)
            return Fail("malformed face corner " + Quoted(std::string_view(pCorner, pEnd - pCorner)));
        p = q;
        if (n >= 1 && n <= nCount)
        {
            nIndex = static_cast<int32_t>(bNegative ? nCount - n : n - 1);
            return true;
        }
        // A run of digits may be as long as the line: the message quotes its start.
        const size_t nLength = static_cast<size_t>(q - pStart);
        std::string strText = std::string(pszWhat) + " index " +
                              std::string(pStart, std::min(nLength, MAX_QUOTED)) +
                              (nLength > MAX_QUOTED ? "..." : "");
        if (nCount == 0)
            return Fail(strText + ", but none is defined before it");
        const std::string strCount = std::to_string(nCount);
        return Fail(strText +
                    (bNegative ? " is not in -" + strCount + " to -1" : " is not in 1 to " + strCount));
    }

    void UseMaterial(std::string_view name)
    {
        if (name.empty())
        {
            m_nMaterial = -1;
            return;
        }
        const auto [it, bNew] =
            m_materialIds.try_emplace(std::string(name), static_cast<int32_t>(m_materials.size()));
        if (bNew)
            m_materials.emplace_back(name);
        m_nMaterial = it->second;
    }

    void NameLibraries(std::string_view names)
    {
        while (!names.empty() && m_libraries.size() < MAX_LIBRARIES)
        {
            size_t nEnd = 0;
            while (nEnd < names.size() && !IsBlank(names[nEnd]))
                ++nEnd;
            const std::string strName(names.substr(0, nEnd));
            if (std::find(m_libraries.begin(), m_libraries.end(), strName) == m_libraries.end())
                m_libraries.push_back(strName);
            names.remove_prefix(nEnd);
            while (!names.empty() && IsBlank(names.front()))
                names.remove_prefix(1);
        }
    }

    // Colours that are all whole numbers from 0 to 255, some above 1, are bytes; the vertices
    // without one are white; all end up within 0 to 1.
    void FinishVertexColors()
    {
        const bool bBytes = m_bByteColors && m_dLargestColor > 1.0;
        for (double& d : m_colors)
            d = std::isnan(d) ? 1.0 : std::clamp(bBytes ? d / 255.0 : d, 0.0, 1.0);
    }

    // Gives each material of a colour its colour group; true when some face has one.
    bool GroupMaterials(const CMtlColors& colors)
    {
        m_materialGroups.assign(m_materials.size(), -1);
        for (size_t m = 0; m < m_materials.size(); ++m)
        {
            const auto it = colors.find(m_materials[m]);
            if (it == colors.end() || !it->second.bHasColor)
                continue;
            m_materialGroups[m] = static_cast<int32_t>(m_groupColors.size() / 3);
            m_groupColors.insert(m_groupColors.end(), it->second.rgb, it->second.rgb + 3);
        }
        return std::any_of(m_faceMaterials.begin(), m_faceMaterials.end(),
                           [&](int32_t nMaterial)
                           { return nMaterial >= 0 && m_materialGroups[nMaterial] >= 0; });
    }

    // The record of each corner (its index rewritten in m_vertices): owners[v] is what the first
    // corner of position v gave it, extra the records after the positions.
    bool AssignRecords(const SMeshParts& parts, bool bFaceColors, std::vector<SCornerKey>& owners,
                       std::vector<SCornerKey>& extra)
    {
        const size_t nPositions = m_positions.size() / 3;
        owners.assign(nPositions, SCornerKey());
        CCornerTable table;
        size_t k = 0;
        for (size_t f = 0; f < m_faceSizes.size(); ++f)
        {
            const int32_t nMaterial = bFaceColors ? m_faceMaterials[f] : -1;
            const int32_t nGroup = nMaterial >= 0 ? m_materialGroups[static_cast<size_t>(nMaterial)] : -1;
            for (int32_t c = 0; c < m_faceSizes[f]; ++c, ++k)
            {
                const int32_t nV = m_vertices[k];
                const SCornerKey key = {nV, parts.bTexCoords ? m_vt.At(k, nV) : -1,
                                        parts.bNormals ? m_vn.At(k, nV) : -1, nGroup};
                SCornerKey& owner = owners[static_cast<size_t>(nV)];
                if (owner.nV < 0)
                    owner = key;
                else if (!(owner == key))
                {
                    const size_t nNew = nPositions + extra.size();
                    if (nNew >= MAX_COUNT)
                    {
                        m_nFailurePos = std::string_view::npos;
                        return Fail("more vertex records than a mesh holds");
                    }
                    const int32_t nRecord = table.FindOrAdd(key, static_cast<int32_t>(nNew));
                    if (static_cast<size_t>(nRecord) == nNew)
                        Append(extra, key);
                    m_vertices[k] = nRecord;
                }
            }
        }
        return true;
    }

    void FillRecord(double* p, const SCornerKey& key, const SMeshParts& parts) const
    {
        const size_t nV = static_cast<size_t>(key.nV);
        std::copy_n(m_positions.data() + 3 * nV, 3, p + SLOT_POSITION);
        if (key.nVn >= 0 && parts.bNormals)
            std::copy_n(m_normals.data() + 3 * static_cast<size_t>(key.nVn), 3, p + SLOT_NORMAL);
        else
            std::fill_n(p + SLOT_NORMAL, 3, 0.0);
        if (parts.nRecordSize == 6)
            return;
        if (key.nVt >= 0 && parts.bTexCoords)
            std::copy_n(m_texCoords.data() + 2 * static_cast<size_t>(key.nVt), 2, p + SLOT_TEXCOORD);
        else
            std::fill_n(p + SLOT_TEXCOORD, 2, 0.0);
        if (!parts.bColors)
            return;
        if (!m_colors.empty())
            std::copy_n(m_colors.data() + 3 * nV, 3, p + SLOT_COLOR);
        else if (key.nGroup >= 0)
            std::copy_n(m_groupColors.data() + 3 * static_cast<size_t>(key.nGroup), 3, p + SLOT_COLOR);
        else
            std::fill_n(p + SLOT_COLOR, 3, 1.0);
    }

    std::string_view m_buffer;
    CReadProgress* m_pProgress;
    std::string m_strFailure;
    size_t m_nFailurePos = std::string_view::npos;
    std::string m_joined;

    std::vector<double> m_positions; // x y z
    std::vector<double> m_colors;    // r g b per position once one has a colour, NaN for none
    std::vector<double> m_texCoords; // u v
    std::vector<double> m_normals;   // x y z
    bool m_bByteColors = true;
    double m_dLargestColor = 0.0;

    std::vector<int32_t> m_vertices; // the position of each corner, later its record
    CCornerAttribute m_vt, m_vn;
    std::vector<int32_t> m_faceSizes;
    bool m_bFaceMaterials = false;        // from the first face that has a material on
    std::vector<int32_t> m_faceMaterials; // per face, -1 for none
    int32_t m_nMaterial = -1;
    std::unordered_map<std::string, int32_t> m_materialIds;
    std::vector<std::string> m_materials;
    std::vector<int32_t> m_materialGroups; // the colour group of each material, -1 for none
    std::vector<double> m_groupColors;     // r g b per group
    std::vector<std::string> m_libraries;
};

void SetDetail(std::string* pstrDetail, std::string strText)
{
    if (pstrDetail != nullptr)
        *pstrDetail = std::move(strText);
}

// The text in buffer (*pText, when given, holds it and is freed once it is parsed); pstrPath,
// when given, the file's path, beside which its material libraries are looked for.
bool ReadOBJText(std::string_view buffer, CMeshBuilder& builder, CReadProgress* pProgress,
                 std::string* pstrDetail, std::string* pText, bool bCutAtNul, const std::string* pstrPath)
{
    try
    {
        if (bCutAtNul)
        {
            // The text was cut at the NUL byte: it stands on the text's last line.
            const auto nLine = 1 + std::count(buffer.begin(), buffer.end(), '\n');
            std::string strText("line ");
            SetDetail(pstrDetail,
                      strText.append(std::to_string(nLine)).append(": a NUL byte, which no OBJ text holds"));
            return false;
        }
        if (pProgress != nullptr)
            pProgress->SetTotal(buffer.size());
        CObjParser parser(buffer, pProgress);
        if (!parser.Parse())
        {
            SetDetail(pstrDetail, parser.Failure());
            return false;
        }
        CMtlColors colors;
        if (pstrPath != nullptr && parser.UsesMaterials())
            for (const std::string& strName : parser.Libraries())
            {
                std::string strMtlPath;
                if (MtlPathBeside(*pstrPath, strName, strMtlPath))
                    ReadMTLFile(strMtlPath, colors);
            }
        SMeshParts parts;
        if (!parser.Build(parts, colors))
        {
            SetDetail(pstrDetail, parser.Failure());
            return false;
        }
        // A big file's text and its mesh need not be in memory at once.
        if (pText != nullptr)
            std::string().swap(*pText);
        builder.AdoptPolygons(parts);
        SetDetail(pstrDetail, std::string());
        return true;
    }
    catch (const std::bad_alloc&)
    {
        SetDetail(pstrDetail, "not enough memory");
        return false;
    }
}
} // namespace

bool ReadOBJ(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress,
             std::string* pstrDetail)
{
    std::string contents;
    SReadLimits limits;
    limits.bStopAtNul = true;
    CInputFile file;
    if (!file.Open(strPath) || !ReadRestOfFile(file, contents, &limits))
    {
        // The caller names the system's reason for a file that cannot be read at all.
        SetDetail(pstrDetail, std::string());
        return false;
    }
    // Material libraries are looked for only beside a file: a pipe has no folder.
    const bool bRegular = file.IsRegular();
    file.Close();
    return ReadOBJText(contents, builder, pProgress, pstrDetail, &contents, limits.bStoppedAtNul,
                       bRegular ? &strPath : nullptr);
}

bool ReadOBJBuffer(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail)
{
    const size_t nNul = buffer.find('\0');
    return ReadOBJText(buffer.substr(0, nNul), builder, nullptr, pstrDetail, nullptr,
                       nNul != std::string_view::npos, nullptr);
}

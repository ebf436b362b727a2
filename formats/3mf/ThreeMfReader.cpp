// Reading 3MF packages: the model part found and parsed, its components resolved and the build
// items placed into one mesh each.
#include "formats/3mf/ThreeMfReader.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <unordered_map>
#include <vector>

#include "formats/3mf/ThreeMfModel.h"
#include "formats/3mf/ThreeMfPackage.h"
#include "formats/MeshSet.h"
#include "platform/AvailableMemory.h"

namespace
{
// The model part is read whole, and what its XML gives takes up to twice its size again.
constexpr uint64_t MAX_MODEL_BYTES = uint64_t(1) << 30;
// Components nest a few levels in the files of real programs.
constexpr int MAX_COMPONENT_DEPTH = 64;
// Each triangle has three corners, and a mesh counts its corners in 32 bits.
constexpr uint64_t MAX_TRIANGLES = std::numeric_limits<int32_t>::max() / 3;
constexpr uint64_t MAX_VERTICES = std::numeric_limits<int32_t>::max();
// Placing an object many times multiplies a small file into any size: the meshes may take this
// much whatever the file, and beyond it up to this many times the model part's size.
constexpr uint64_t MESH_BYTES_FLOOR = uint64_t(256) << 20;
constexpr uint64_t MESH_BYTES_PER_MODEL_BYTE = 64;
// A count that stands for "too many"; sums and products stop there instead of wrapping.
constexpr uint64_t COUNT_CAP = uint64_t(1) << 60;
// What a mesh takes per vertex (a record of six doubles) and per triangle (size and corners).
constexpr uint64_t BYTES_PER_VERTEX = 6 * sizeof(double);
constexpr uint64_t BYTES_PER_TRIANGLE = sizeof(int32_t) + 3 * sizeof(int32_t);

uint64_t CappedSum(uint64_t a, uint64_t b)
{
    return std::min(a + b, COUNT_CAP);
}

uint64_t CappedProduct(uint64_t a, uint64_t b)
{
    return a != 0 && b > COUNT_CAP / a ? COUNT_CAP : std::min(a * b, COUNT_CAP);
}

// An affine map of row vectors, as the file writes it: p' = p * L + t, L the first nine numbers
// (row by row), t the last three.
struct STransform
{
    double m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
};

// first, then second: p * first * second.
STransform Then(const double* pFirst, const STransform& second)
{
    STransform out;
    const double* s = second.m;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c)
            out.m[3 * r + c] = pFirst[3 * r] * s[c] + pFirst[3 * r + 1] * s[3 + c] +
                               pFirst[3 * r + 2] * s[6 + c] + (r == 3 ? s[9 + c] : 0.0);
    return out;
}

// What an object amounts to once its components are resolved, and the components worth placing.
struct SObjectTotal
{
    enum EState : uint8_t
    {
        NOT_SEEN,
        IN_PROGRESS,
        DONE
    };
    EState eState = NOT_SEEN;
    int nHeight = 0; // levels of objects from this one down, itself included
    uint64_t nVertices = 0;
    uint64_t nTriangles = 0;
    // The components whose objects add any vertex, so that building never walks an empty branch.
    std::vector<size_t> live;
};

class CBuildResolver
{
public:
    CBuildResolver(const SThreeMfModel& model) : m_model(model), m_totals(model.objects.size())
    {
        m_byId.reserve(model.objects.size());
        for (size_t i = 0; i < model.objects.size(); ++i)
            m_byId.emplace(model.objects[i].nId, i);
    }

    // Resolves every build item and checks what the meshes would take. False, with strProblem,
    // for an object that is not there, a cycle, nesting beyond the limit, or meshes too large.
    bool Resolve(uint64_t nMaxBytes, std::string& strProblem)
    {
        if (m_model.items.empty())
        {
            strProblem = "the build places no object";
            return false;
        }
        uint64_t nBytes = 0;
        for (const SThreeMfPlacement& item : m_model.items)
        {
            size_t nObject = 0;
            if (!Find(item, "build item", nObject, strProblem) || !Visit(nObject, 1, item.nLine, strProblem))
                return false;
            const SObjectTotal& total = m_totals[nObject];
            if (total.nVertices > MAX_VERTICES || total.nTriangles > MAX_TRIANGLES)
            {
                strProblem = Line(item.nLine) + "the build item places " + std::to_string(total.nVertices) +
                             " vertices and " + std::to_string(total.nTriangles) +
                             " triangles, more than a mesh holds";
                return false;
            }
            nBytes = CappedSum(nBytes, CappedSum(CappedProduct(total.nVertices, BYTES_PER_VERTEX),
                                                 CappedProduct(total.nTriangles, BYTES_PER_TRIANGLE)));
        }
        if (nBytes > nMaxBytes)
        {
            strProblem = "the build places objects that would take " + std::to_string(nBytes >> 20) +
                         " MiB, more than the " + std::to_string(nMaxBytes >> 20) +
                         " MiB allowed for this file";
            return false;
        }
        return true;
    }

    // One mesh per build item that places any vertex; false (with strProblem) when a transform
    // carries a vertex beyond the range of doubles.
    bool Build(SMeshSet& set, std::string& strProblem)
    {
        for (const SThreeMfPlacement& item : m_model.items)
        {
            const size_t nObject = m_byId.at(item.nObjectId);
            const SObjectTotal& total = m_totals[nObject];
            if (total.nVertices == 0)
                continue;
            SMeshParts mesh;
            mesh.nRecordSize = 6;
            mesh.bSmoothSoup = true;
            mesh.nVertices = static_cast<int32_t>(total.nVertices);
            mesh.nFaces = static_cast<int32_t>(total.nTriangles);
            mesh.nEdges = 3 * static_cast<int64_t>(total.nTriangles);
            mesh.pRecords.reset(new double[6 * total.nVertices]());
            mesh.pFaceSizes.reset(new int32_t[total.nTriangles]);
            std::fill_n(mesh.pFaceSizes.get(), total.nTriangles, 3);
            mesh.indices.reserve(3 * total.nTriangles);
            STransform placement;
            std::copy(item.transform, item.transform + 12, placement.m);
            m_pRecord = mesh.pRecords.get();
            m_nPlaced = 0;
            m_bFinite = true;
            Place(nObject, placement, mesh);
            if (!m_bFinite)
            {
                strProblem = Line(item.nLine) + "the transforms carry a vertex beyond the range of numbers";
                return false;
            }
            const SThreeMfObject& object = m_model.objects[nObject];
            set.names.push_back(object.strName.empty() ? "object " + std::to_string(object.nId)
                                                       : object.strName);
            set.meshes.push_back(std::move(mesh));
        }
        if (set.meshes.empty())
        {
            strProblem = "the build places no object with a mesh";
            return false;
        }
        return true;
    }

private:
    static std::string Line(int64_t nLine) { return "line " + std::to_string(nLine) + ": "; }

    bool Find(const SThreeMfPlacement& placement, const char* pszWhat, size_t& nObject,
              std::string& strProblem)
    {
        const auto it = m_byId.find(placement.nObjectId);
        if (it == m_byId.end())
        {
            strProblem = Line(placement.nLine) + "the " + pszWhat + " names object " +
                         std::to_string(placement.nObjectId) + ", which is not there";
            return false;
        }
        nObject = it->second;
        return true;
    }

    // Sums what the object and its components hold, each object once; nDepth is the level it is
    // reached at, nLine where it was named.
    bool Visit(size_t nObject, int nDepth, int64_t nLine, std::string& strProblem)
    {
        SObjectTotal& total = m_totals[nObject];
        const SThreeMfObject& object = m_model.objects[nObject];
        if (total.eState == SObjectTotal::IN_PROGRESS)
        {
            strProblem = Line(nLine) + "object " + std::to_string(object.nId) +
                         " contains itself through its components";
            return false;
        }
        if (total.eState == SObjectTotal::NOT_SEEN && nDepth <= MAX_COMPONENT_DEPTH)
        {
            total.eState = SObjectTotal::IN_PROGRESS;
            total.nHeight = 1;
            if (!object.bSkipped)
            {
                total.nVertices = object.positions.size() / 3;
                total.nTriangles = object.triangles.size() / 3;
                for (size_t c = 0; c < object.components.size(); ++c)
                {
                    const SThreeMfPlacement& component = object.components[c];
                    size_t nChild = 0;
                    if (!Find(component, "component", nChild, strProblem) ||
                        !Visit(nChild, nDepth + 1, component.nLine, strProblem))
                        return false;
                    const SObjectTotal& child = m_totals[nChild];
                    total.nHeight = std::max(total.nHeight, child.nHeight + 1);
                    if (child.nVertices == 0)
                        continue;
                    total.live.push_back(c);
                    total.nVertices = CappedSum(total.nVertices, child.nVertices);
                    total.nTriangles = CappedSum(total.nTriangles, child.nTriangles);
                }
            }
            total.eState = SObjectTotal::DONE;
        }
        // An object resolved before may be reached again further down.
        if (total.eState != SObjectTotal::DONE || nDepth - 1 + total.nHeight > MAX_COMPONENT_DEPTH)
        {
            strProblem = Line(nLine) + "components nested deeper than " +
                         std::to_string(MAX_COMPONENT_DEPTH) + " levels";
            return false;
        }
        return true;
    }

    // Appends the object's vertices and triangles, and those of its components, placed.
    void Place(size_t nObject, const STransform& placement, SMeshParts& mesh)
    {
        const SThreeMfObject& object = m_model.objects[nObject];
        const double* m = placement.m;
        const size_t nCount = object.positions.size() / 3;
        const double* p = object.positions.data();
        bool bFinite = true;
        for (size_t i = 0; i < nCount; ++i, p += 3, m_pRecord += 6)
            for (int c = 0; c < 3; ++c)
            {
                const double d = p[0] * m[c] + p[1] * m[3 + c] + p[2] * m[6 + c] + m[9 + c];
                bFinite = bFinite && std::isfinite(d);
                m_pRecord[c] = d;
            }
        m_bFinite = m_bFinite && bFinite;
        const int32_t nBase = m_nPlaced;
        // A mirroring transform turns the faces inside out unless their corners swap.
        const bool bMirrors = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                                  m[2] * (m[3] * m[7] - m[4] * m[6]) <
                              0;
        const std::vector<int32_t>& triangles = object.triangles;
        for (size_t t = 0; t < triangles.size(); t += 3)
        {
            mesh.indices.push_back(nBase + triangles[t]);
            mesh.indices.push_back(nBase + triangles[bMirrors ? t + 2 : t + 1]);
            mesh.indices.push_back(nBase + triangles[bMirrors ? t + 1 : t + 2]);
        }
        m_nPlaced += static_cast<int32_t>(nCount);
        for (const size_t c : m_totals[nObject].live)
        {
            const SThreeMfPlacement& component = object.components[c];
            Place(m_byId.at(component.nObjectId), Then(component.transform, placement), mesh);
        }
    }

    const SThreeMfModel& m_model;
    std::vector<SObjectTotal> m_totals;
    std::unordered_map<int32_t, size_t> m_byId;
    double* m_pRecord = nullptr;
    int32_t m_nPlaced = 0;
    bool m_bFinite = true;
};

bool ReadPackage(std::string_view data, SMeshSet& set, std::string& strProblem)
{
    CThreeMfPackage package;
    std::string strPart;
    std::string xml;
    const uint64_t nAvailable = AvailableMemory();
    if (!package.Open(data, strProblem) || !package.FindModelPart(strPart, strProblem) ||
        !package.ReadPart(strPart, std::min(MAX_MODEL_BYTES, nAvailable / 4), xml, strProblem))
        return false;
    SThreeMfModel model;
    if (!ParseThreeMfModel(xml, model, strProblem))
    {
        strProblem = strPart + ": " + strProblem;
        return false;
    }
    const uint64_t nMaxBytes =
        std::min(std::max(MESH_BYTES_FLOOR, MESH_BYTES_PER_MODEL_BYTE * xml.size()), nAvailable / 2);
    xml = std::string();
    CBuildResolver resolver(model);
    if (!resolver.Resolve(nMaxBytes, strProblem) || !resolver.Build(set, strProblem))
    {
        strProblem = strPart + ": " + strProblem;
        return false;
    }
    return true;
}
} // namespace

bool Read3MF(std::string_view data, SMeshSet& set, std::string* pstrDetail)
{
    std::string strProblem;
    SMeshSet read;
    bool bOk = false;
    try
    {
        bOk = ReadPackage(data, read, strProblem);
    }
    catch (const std::bad_alloc&)
    {
        strProblem = "not enough memory";
    }
    if (bOk)
        set = std::move(read);
    if (pstrDetail != nullptr)
        *pstrDetail = bOk ? std::string() : strProblem;
    return bOk;
}

// Reading glTF files: every accessor checked against its buffer view and buffer, the node trees
// walked with their transforms, and each mesh instance's triangle primitives merged into a mesh.
#include "formats/gltf/GltfReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "formats/LittleEndian.h"
#include "formats/MeshSet.h"
#include "formats/gltf/GltfDocument.h"

namespace
{
// Nodes nested deeper than this are refused (no file of real objects needs as many).
constexpr int MAX_NODE_DEPTH = 256;
// A mesh counts its vertices and its corners in 32 bits.
constexpr uint64_t MAX_MESH_COUNT = std::numeric_limits<int32_t>::max();
// Instances may place one mesh many times, but all that they place may not take more memory than
// this many bytes per byte of the file and its buffers, plus a floor, so that a small file cannot
// ask for gigabytes.
constexpr uint64_t OUTPUT_BYTES_PER_INPUT_BYTE = 64;
constexpr uint64_t OUTPUT_BYTES_FLOOR = uint64_t(64) << 20;

constexpr int MODE_TRIANGLES = 4;
constexpr int MODE_DEFAULT = -1;
constexpr const char* DRACO = "KHR_draco_mesh_compression";

// 4x4 matrices in the file's order, column by column.
using CMatrix = std::array<double, 16>;
constexpr CMatrix IDENTITY = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

CMatrix Multiply(const CMatrix& a, const CMatrix& b)
{
    CMatrix m{};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 4; ++k)
                m[c * 4 + r] += a[k * 4 + r] * b[c * 4 + k];
    return m;
}

bool IsFinite(const CMatrix& m)
{
    for (double d : m)
        if (!std::isfinite(d))
            return false;
    return true;
}

// An accessor's elements as they lie in their buffer.
struct SAccessorData
{
    const uint8_t* pData = nullptr;
    size_t nCount = 0;
    size_t nStride = 0;
    int nComponents = 0;
    int nComponentType = 0;
    bool bNormalized = false;
    int nIndex = -1;
};

// A triangle primitive, its accessors checked. Absent attributes have no data.
struct SPrimitive
{
    SAccessorData positions, normals, texCoords, colors, indices;
};

// A mesh's triangle primitives, checked once however often the mesh is placed.
struct SCheckedMesh
{
    bool bChecked = false;
    std::vector<SPrimitive> primitives;
    uint64_t nVertices = 0;
    uint64_t nCorners = 0;
    bool bNormals = true; // every primitive has normals
    bool bTexCoords = false;
    bool bColors = false;
};

size_t ComponentSize(int nType)
{
    switch (nType)
    {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return 4;
    default:
        return 0;
    }
}

int ComponentCount(int nType)
{
    switch (nType)
    {
    case TINYGLTF_TYPE_SCALAR:
        return 1;
    case TINYGLTF_TYPE_VEC2:
        return 2;
    case TINYGLTF_TYPE_VEC3:
        return 3;
    case TINYGLTF_TYPE_VEC4:
        return 4;
    default:
        return 0;
    }
}

// Finds an accessor's elements, checking that all of them (offset + stride * (count - 1) +
// element size) lie inside its buffer view, and the view inside its buffer.
bool GetAccessor(const tinygltf::Model& model, int nIndex, const std::string& strUser, SAccessorData& out,
                 std::string& strDetail)
{
    const std::string strAccessor = "accessor " + std::to_string(nIndex);
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= model.accessors.size())
    {
        strDetail = strUser + " names " + strAccessor + ", which the file lacks";
        return false;
    }
    const tinygltf::Accessor& accessor = model.accessors[static_cast<size_t>(nIndex)];
    if (accessor.sparse.isSparse)
    {
        strDetail = strAccessor + " is sparse, which is not read";
        return false;
    }
    if (accessor.bufferView < 0 || static_cast<size_t>(accessor.bufferView) >= model.bufferViews.size())
    {
        strDetail = strAccessor + " has no buffer view of the file";
        return false;
    }
    const std::string strView = "buffer view " + std::to_string(accessor.bufferView);
    const tinygltf::BufferView& view = model.bufferViews[static_cast<size_t>(accessor.bufferView)];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size())
    {
        strDetail = strView + " names no buffer of the file";
        return false;
    }
    const std::vector<unsigned char>& buffer = model.buffers[static_cast<size_t>(view.buffer)].data;
    if (view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset)
    {
        strDetail = strView + " runs past buffer " + std::to_string(view.buffer);
        return false;
    }
    const size_t nComponentSize = ComponentSize(accessor.componentType);
    const int nComponents = ComponentCount(accessor.type);
    if (nComponentSize == 0 || nComponents == 0)
    {
        strDetail = strAccessor + " is not a scalar or vector of a known component type";
        return false;
    }
    const size_t nElement = nComponentSize * static_cast<size_t>(nComponents);
    const size_t nStride = view.byteStride == 0 ? nElement : view.byteStride;
    if (nStride < nElement || nStride > 252)
    {
        strDetail = strView + " has a stride of " + std::to_string(nStride) + " bytes, which does not fit " +
                    strAccessor;
        return false;
    }
    const size_t nLength = view.byteLength;
    if (accessor.count > 0 && (accessor.byteOffset > nLength || nElement > nLength - accessor.byteOffset ||
                               accessor.count - 1 > (nLength - accessor.byteOffset - nElement) / nStride))
    {
        strDetail = strAccessor + " runs past " + strView;
        return false;
    }
    out.pData = buffer.data() + view.byteOffset + accessor.byteOffset;
    out.nCount = accessor.count;
    out.nStride = nStride;
    out.nComponents = nComponents;
    out.nComponentType = accessor.componentType;
    out.bNormalized = accessor.normalized;
    out.nIndex = nIndex;
    return true;
}

double ReadComponent(const uint8_t* p, int nType, bool bNormalized)
{
    switch (nType)
    {
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        return static_cast<double>(std::bit_cast<float>(LittleEndian::LoadUInt32(p)));
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return bNormalized ? *p / 255.0 : *p;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return bNormalized ? LittleEndian::LoadUInt16(p) / 65535.0 : LittleEndian::LoadUInt16(p);
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        return LittleEndian::LoadUInt32(p);
    case TINYGLTF_COMPONENT_TYPE_BYTE:
        return bNormalized ? std::max(static_cast<int8_t>(*p) / 127.0, -1.0) : static_cast<int8_t>(*p);
    default: // TINYGLTF_COMPONENT_TYPE_SHORT, the only other type GetAccessor takes
    {
        const auto nValue = static_cast<int16_t>(LittleEndian::LoadUInt16(p));
        return bNormalized ? std::max(nValue / 32767.0, -1.0) : nValue;
    }
    }
}

uint32_t ReadIndex(const SAccessorData& data, size_t n)
{
    const uint8_t* p = data.pData + n * data.nStride;
    switch (data.nComponentType)
    {
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return *p;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return LittleEndian::LoadUInt16(p);
    default:
        return LittleEndian::LoadUInt32(p);
    }
}

// Floats, or unsigned bytes or shorts read as 0 to 1: what texture coordinates and colours may
// be stored as.
bool IsFloatOrNormalized(const SAccessorData& data)
{
    return data.nComponentType == TINYGLTF_COMPONENT_TYPE_FLOAT ||
           (data.bNormalized && (data.nComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                                 data.nComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT));
}

// An optional vertex attribute of the primitive, which must give one element per position.
bool GetAttribute(const tinygltf::Model& model, const tinygltf::Primitive& primitive, const char* pszName,
                  const std::string& strPrimitive, size_t nVertices, SAccessorData& out,
                  std::string& strDetail)
{
    const auto it = primitive.attributes.find(pszName);
    if (it == primitive.attributes.end())
        return true;
    if (!GetAccessor(model, it->second, strPrimitive, out, strDetail))
        return false;
    const std::string strAccessor = "accessor " + std::to_string(it->second) + " (" + pszName + ")";
    const std::string_view name = pszName;
    bool bFits;
    if (name == "NORMAL")
        bFits = out.nComponents == 3 && out.nComponentType == TINYGLTF_COMPONENT_TYPE_FLOAT;
    else if (name == "TEXCOORD_0")
        bFits = out.nComponents == 2 && IsFloatOrNormalized(out);
    else
        bFits = (out.nComponents == 3 || out.nComponents == 4) && IsFloatOrNormalized(out);
    if (!bFits)
    {
        strDetail = strAccessor + " is not of a type that attribute takes";
        return false;
    }
    if (out.nCount != nVertices)
    {
        strDetail = strAccessor + " holds " + std::to_string(out.nCount) + " elements for " +
                    std::to_string(nVertices) + " positions";
        return false;
    }
    return true;
}

// Checks the triangle primitives of a mesh once: their accessors, their index values and their
// counts. Other modes are left out.
bool CheckMesh(const tinygltf::Model& model, int nMesh, SCheckedMesh& checked, std::string& strDetail)
{
    checked.bChecked = true;
    const tinygltf::Mesh& mesh = model.meshes[static_cast<size_t>(nMesh)];
    for (size_t p = 0; p < mesh.primitives.size(); ++p)
    {
        const tinygltf::Primitive& primitive = mesh.primitives[p];
        const std::string strPrimitive =
            "primitive " + std::to_string(p) + " of mesh " + std::to_string(nMesh);
        if (primitive.extensions.count(DRACO) != 0)
        {
            strDetail = strPrimitive + " uses " + DRACO + ", which is not read";
            return false;
        }
        if (primitive.mode != MODE_DEFAULT && primitive.mode != MODE_TRIANGLES)
            continue;
        const auto itPosition = primitive.attributes.find("POSITION");
        if (itPosition == primitive.attributes.end())
        {
            strDetail = strPrimitive + " has no POSITION";
            return false;
        }
        SPrimitive part;
        if (!GetAccessor(model, itPosition->second, strPrimitive, part.positions, strDetail))
            return false;
        if (part.positions.nComponents != 3 || part.positions.nComponentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        {
            strDetail =
                "accessor " + std::to_string(itPosition->second) + " (POSITION) is not of three floats";
            return false;
        }
        const size_t nVertices = part.positions.nCount;
        if (!GetAttribute(model, primitive, "NORMAL", strPrimitive, nVertices, part.normals, strDetail) ||
            !GetAttribute(model, primitive, "TEXCOORD_0", strPrimitive, nVertices, part.texCoords,
                          strDetail) ||
            !GetAttribute(model, primitive, "COLOR_0", strPrimitive, nVertices, part.colors, strDetail))
            return false;
        size_t nCorners = nVertices;
        if (primitive.indices >= 0)
        {
            SAccessorData& indices = part.indices;
            if (!GetAccessor(model, primitive.indices, strPrimitive, indices, strDetail))
                return false;
            const std::string strAccessor = "accessor " + std::to_string(primitive.indices);
            if (indices.nComponents != 1 || indices.bNormalized ||
                !(indices.nComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
                  indices.nComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
                  indices.nComponentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT))
            {
                strDetail = strAccessor + " (indices) is not of unsigned integers";
                return false;
            }
            for (size_t i = 0; i < indices.nCount; ++i)
            {
                const uint32_t nValue = ReadIndex(indices, i);
                if (nValue >= nVertices)
                {
                    strDetail = "index " + std::to_string(i) + " of " + strAccessor + " is " +
                                std::to_string(nValue) + ", but " + strPrimitive + " has " +
                                std::to_string(nVertices) + " vertices";
                    return false;
                }
            }
            nCorners = indices.nCount;
        }
        if (nCorners % 3 != 0)
        {
            strDetail = strPrimitive + " has " + std::to_string(nCorners) + " corners, not whole triangles";
            return false;
        }
        if (nCorners == 0)
            continue;
        checked.nVertices += nVertices;
        checked.nCorners += nCorners;
        if (checked.nVertices > MAX_MESH_COUNT || checked.nCorners > MAX_MESH_COUNT)
        {
            strDetail = "mesh " + std::to_string(nMesh) + " holds more vertices or corners than a mesh may";
            return false;
        }
        checked.bNormals = checked.bNormals && part.normals.pData != nullptr;
        checked.bTexCoords = checked.bTexCoords || part.texCoords.pData != nullptr;
        checked.bColors = checked.bColors || part.colors.pData != nullptr;
        checked.primitives.push_back(part);
    }
    checked.bNormals = checked.bNormals && !checked.primitives.empty();
    return true;
}

// The bytes one instance of the mesh takes.
uint64_t OutputBytes(const SCheckedMesh& checked)
{
    const uint64_t nRecord = checked.bColors ? 11 : checked.bTexCoords ? 8 : 6;
    return checked.nVertices * nRecord * sizeof(double) + checked.nCorners * sizeof(int32_t) +
           checked.nCorners / 3 * sizeof(int32_t);
}

// Whether a float's bits are those of NaN or an infinity.
bool IsNonFinite(const SAccessorData& data, const uint8_t* p)
{
    if (data.nComponentType != TINYGLTF_COMPONENT_TYPE_FLOAT)
        return false;
    bool bBad = false;
    for (int i = 0; i < data.nComponents; ++i)
        bBad = bBad || (LittleEndian::LoadUInt32(p + 4 * i) & 0x7F800000u) == 0x7F800000u;
    return bBad;
}

std::string NotFinite(const SAccessorData& data, size_t n)
{
    return "element " + std::to_string(n) + " of accessor " + std::to_string(data.nIndex) + " is not finite";
}

// One instance of a checked mesh, placed by the matrix m.
bool PlaceMesh(const SCheckedMesh& checked, const CMatrix& m, SMeshParts& parts, std::string& strDetail)
{
    parts.bNormals = checked.bNormals;
    parts.bSmoothSoup = true;
    parts.bTexCoords = checked.bTexCoords;
    parts.bColors = checked.bColors;
    parts.nRecordSize = checked.bColors ? 11 : checked.bTexCoords ? 8 : 6;
    parts.nVertices = static_cast<int32_t>(checked.nVertices);
    parts.nFaces = static_cast<int32_t>(checked.nCorners / 3);
    parts.nEdges = static_cast<int64_t>(checked.nCorners);
    const size_t nRecord = static_cast<size_t>(parts.nRecordSize);
    parts.pRecords = std::make_unique<double[]>(checked.nVertices * nRecord);
    parts.pFaceSizes = std::make_unique<int32_t[]>(static_cast<size_t>(parts.nFaces));
    std::fill_n(parts.pFaceSizes.get(), parts.nFaces, 3);
    parts.indices.clear();
    parts.indices.reserve(checked.nCorners);

    // Normals go through the inverse transpose, here the cofactor matrix (the columns' cross
    // products), its sign set so that it keeps the side a normal points to; a mirroring transform
    // turns the triangles over too, which their order of corners must undo.
    const double c0[3] = {m[0], m[1], m[2]}, c1[3] = {m[4], m[5], m[6]}, c2[3] = {m[8], m[9], m[10]};
    auto cross = [](const double* a, const double* b, double* out)
    {
        out[0] = a[1] * b[2] - a[2] * b[1];
        out[1] = a[2] * b[0] - a[0] * b[2];
        out[2] = a[0] * b[1] - a[1] * b[0];
    };
    double n0[3], n1[3], n2[3];
    cross(c1, c2, n0);
    cross(c2, c0, n1);
    cross(c0, c1, n2);
    const double dDet = c0[0] * n0[0] + c0[1] * n0[1] + c0[2] * n0[2];
    const double dSign = dDet < 0 ? -1.0 : 1.0;
    const bool bMirrored = dDet < 0;

    double* pRecord = parts.pRecords.get();
    int32_t nBase = 0;
    for (const SPrimitive& part : checked.primitives)
    {
        const size_t nVertices = part.positions.nCount;
        for (size_t i = 0; i < nVertices; ++i, pRecord += nRecord)
        {
            const uint8_t* p = part.positions.pData + i * part.positions.nStride;
            if (IsNonFinite(part.positions, p))
            {
                strDetail = NotFinite(part.positions, i);
                return false;
            }
            double v[3];
            for (int k = 0; k < 3; ++k)
                v[k] = ReadComponent(p + 4 * k, TINYGLTF_COMPONENT_TYPE_FLOAT, false);
            for (int r = 0; r < 3; ++r)
            {
                pRecord[SLOT_POSITION + r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r];
                if (!std::isfinite(pRecord[SLOT_POSITION + r]))
                {
                    strDetail = "a node places element " + std::to_string(i) + " of accessor " +
                                std::to_string(part.positions.nIndex) + " beyond the largest number";
                    return false;
                }
            }
            if (checked.bNormals)
            {
                p = part.normals.pData + i * part.normals.nStride;
                if (IsNonFinite(part.normals, p))
                {
                    strDetail = NotFinite(part.normals, i);
                    return false;
                }
                for (int k = 0; k < 3; ++k)
                    v[k] = ReadComponent(p + 4 * k, TINYGLTF_COMPONENT_TYPE_FLOAT, false);
                double w[3];
                for (int r = 0; r < 3; ++r)
                    w[r] = dSign * (n0[r] * v[0] + n1[r] * v[1] + n2[r] * v[2]);
                const double dLength = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
                // A zero or overflowing normal is left 0, as normals the file lacks are.
                if (dLength > 0 && std::isfinite(dLength))
                    for (int r = 0; r < 3; ++r)
                        pRecord[SLOT_NORMAL + r] = w[r] / dLength;
            }
            if (part.texCoords.pData != nullptr)
            {
                p = part.texCoords.pData + i * part.texCoords.nStride;
                if (IsNonFinite(part.texCoords, p))
                {
                    strDetail = NotFinite(part.texCoords, i);
                    return false;
                }
                const size_t nSize = ComponentSize(part.texCoords.nComponentType);
                for (int k = 0; k < 2; ++k)
                    pRecord[SLOT_TEXCOORD + k] = ReadComponent(p + nSize * k, part.texCoords.nComponentType,
                                                               part.texCoords.bNormalized);
            }
            if (checked.bColors)
            {
                if (part.colors.pData == nullptr)
                    std::fill_n(pRecord + SLOT_COLOR, 3, 1.0);
                else
                {
                    p = part.colors.pData + i * part.colors.nStride;
                    if (IsNonFinite(part.colors, p))
                    {
                        strDetail = NotFinite(part.colors, i);
                        return false;
                    }
                    // Alpha is dropped; float colours may stray outside 0 to 1.
                    const size_t nSize = ComponentSize(part.colors.nComponentType);
                    for (int k = 0; k < 3; ++k)
                        pRecord[SLOT_COLOR + k] = std::clamp(
                            ReadComponent(p + nSize * k, part.colors.nComponentType, part.colors.bNormalized),
                            0.0, 1.0);
                }
            }
        }
        const size_t nCorners = part.indices.pData != nullptr ? part.indices.nCount : nVertices;
        for (size_t t = 0; t < nCorners; t += 3)
        {
            uint32_t nCorner[3];
            for (int k = 0; k < 3; ++k)
                nCorner[k] = part.indices.pData != nullptr
                                 ? ReadIndex(part.indices, t + static_cast<size_t>(k))
                                 : static_cast<uint32_t>(t + static_cast<size_t>(k));
            if (bMirrored)
                std::swap(nCorner[1], nCorner[2]);
            for (uint32_t nValue : nCorner)
                parts.indices.push_back(nBase + static_cast<int32_t>(nValue));
        }
        nBase += static_cast<int32_t>(nVertices);
    }
    return true;
}

// A node's own transform: its matrix, else translation * rotation * scale.
bool LocalMatrix(const tinygltf::Node& node, const std::string& strNode, CMatrix& m, std::string& strDetail)
{
    m = IDENTITY;
    if (!node.matrix.empty())
    {
        if (node.matrix.size() != 16)
        {
            strDetail = strNode + " has a matrix of " + std::to_string(node.matrix.size()) + " numbers";
            return false;
        }
        std::copy(node.matrix.begin(), node.matrix.end(), m.begin());
    }
    else
    {
        if ((!node.translation.empty() && node.translation.size() != 3) ||
            (!node.rotation.empty() && node.rotation.size() != 4) ||
            (!node.scale.empty() && node.scale.size() != 3))
        {
            strDetail = strNode + " has a translation, rotation or scale of the wrong size";
            return false;
        }
        double q[4] = {0, 0, 0, 1};
        if (!node.rotation.empty())
        {
            const double dLength =
                std::sqrt(node.rotation[0] * node.rotation[0] + node.rotation[1] * node.rotation[1] +
                          node.rotation[2] * node.rotation[2] + node.rotation[3] * node.rotation[3]);
            if (!(dLength > 0) || !std::isfinite(dLength))
            {
                strDetail = strNode + " has a rotation that is no quaternion";
                return false;
            }
            for (int i = 0; i < 4; ++i)
                q[i] = node.rotation[static_cast<size_t>(i)] / dLength;
        }
        const double x = q[0], y = q[1], z = q[2], w = q[3];
        const double s[3] = {node.scale.empty() ? 1 : node.scale[0], node.scale.empty() ? 1 : node.scale[1],
                             node.scale.empty() ? 1 : node.scale[2]};
        const double r[9] = {1 - 2 * (y * y + z * z), 2 * (x * y + z * w),     2 * (x * z - y * w),
                             2 * (x * y - z * w),     1 - 2 * (x * x + z * z), 2 * (y * z + x * w),
                             2 * (x * z + y * w),     2 * (y * z - x * w),     1 - 2 * (x * x + y * y)};
        for (int c = 0; c < 3; ++c)
            for (int k = 0; k < 3; ++k)
                m[c * 4 + k] = r[c * 3 + k] * s[c];
        for (int k = 0; k < 3 && !node.translation.empty(); ++k)
            m[12 + k] = node.translation[static_cast<size_t>(k)];
    }
    if (!IsFinite(m))
    {
        strDetail = strNode + " has a transform that is not finite";
        return false;
    }
    return true;
}

// Walks the scene's node trees from their roots, placing each mesh instance into set.
bool PlaceScene(const tinygltf::Model& model, uint64_t nInputBytes, SMeshSet& set, std::string& strDetail)
{
    std::vector<int> roots;
    if (model.defaultScene >= 0 || !model.scenes.empty())
    {
        const int nScene = model.defaultScene >= 0 ? model.defaultScene : 0;
        if (static_cast<size_t>(nScene) >= model.scenes.size())
        {
            strDetail = "the default scene " + std::to_string(nScene) + " is not in the file";
            return false;
        }
        roots = model.scenes[static_cast<size_t>(nScene)].nodes;
    }
    else
    {
        // No scene: every node that is no other node's child.
        std::vector<char> isChild(model.nodes.size(), 0);
        for (const tinygltf::Node& node : model.nodes)
            for (int nChild : node.children)
                if (nChild >= 0 && static_cast<size_t>(nChild) < model.nodes.size())
                    isChild[static_cast<size_t>(nChild)] = 1;
        for (size_t i = 0; i < model.nodes.size(); ++i)
            if (isChild[i] == 0)
                roots.push_back(static_cast<int>(i));
    }

    struct SVisit
    {
        int nNode;
        int nDepth;
        CMatrix parent;
    };
    std::vector<SVisit> stack;
    for (auto it = roots.rbegin(); it != roots.rend(); ++it)
        stack.push_back({*it, 0, IDENTITY});
    std::vector<char> visited(model.nodes.size(), 0);
    std::vector<SCheckedMesh> meshes(model.meshes.size());
    const uint64_t nBudget = nInputBytes * OUTPUT_BYTES_PER_INPUT_BYTE + OUTPUT_BYTES_FLOOR;
    uint64_t nOutput = 0;
    while (!stack.empty())
    {
        const SVisit visit = stack.back();
        stack.pop_back();
        const std::string strNode = "node " + std::to_string(visit.nNode);
        if (visit.nNode < 0 || static_cast<size_t>(visit.nNode) >= model.nodes.size())
        {
            strDetail = strNode + " is named but not in the file";
            return false;
        }
        // Each node belongs to one tree once: a second visit is a cycle or a shared child.
        if (visited[static_cast<size_t>(visit.nNode)] != 0)
        {
            strDetail = strNode + " is reached twice (a cycle of nodes, or a node of two parents)";
            return false;
        }
        visited[static_cast<size_t>(visit.nNode)] = 1;
        if (visit.nDepth > MAX_NODE_DEPTH)
        {
            strDetail = "nodes nest deeper than " + std::to_string(MAX_NODE_DEPTH) + " levels";
            return false;
        }
        const tinygltf::Node& node = model.nodes[static_cast<size_t>(visit.nNode)];
        CMatrix local;
        if (!LocalMatrix(node, strNode, local, strDetail))
            return false;
        const CMatrix world = Multiply(visit.parent, local);
        if (!IsFinite(world))
        {
            strDetail = strNode + " is placed beyond the largest number";
            return false;
        }
        if (node.mesh >= 0 || node.mesh < -1)
        {
            if (static_cast<size_t>(node.mesh) >= model.meshes.size())
            {
                strDetail = strNode + " names mesh " + std::to_string(node.mesh) + ", which the file lacks";
                return false;
            }
            SCheckedMesh& checked = meshes[static_cast<size_t>(node.mesh)];
            if (!checked.bChecked && !CheckMesh(model, node.mesh, checked, strDetail))
                return false;
            if (checked.nCorners > 0)
            {
                nOutput += OutputBytes(checked);
                if (nOutput > nBudget)
                {
                    strDetail = "the nodes place more geometry than a file of this size may (" +
                                std::to_string(nOutput >> 20) + " MiB of meshes)";
                    return false;
                }
                SMeshParts parts;
                if (!PlaceMesh(checked, world, parts, strDetail))
                    return false;
                const tinygltf::Mesh& mesh = model.meshes[static_cast<size_t>(node.mesh)];
                set.meshes.push_back(std::move(parts));
                set.names.push_back(!node.name.empty()   ? node.name
                                    : !mesh.name.empty() ? mesh.name
                                                         : "mesh " + std::to_string(set.meshes.size()));
            }
        }
        for (auto it = node.children.rbegin(); it != node.children.rend(); ++it)
            stack.push_back({*it, visit.nDepth + 1, world});
    }
    if (set.meshes.empty())
    {
        strDetail = "the scene holds no triangles";
        return false;
    }
    return true;
}
} // namespace

bool ReadGLTF(std::string_view data, const std::string& strPath, SMeshSet& set, std::string* pstrDetail)
{
    std::string strDetail;
    bool bOk = false;
    try
    {
        tinygltf::Model model;
        SMeshSet result;
        if (LoadGltfDocument(data, strPath, model, strDetail))
        {
            uint64_t nInputBytes = data.size();
            for (const tinygltf::Buffer& buffer : model.buffers)
                nInputBytes += buffer.data.size();
            bOk = PlaceScene(model, nInputBytes, result, strDetail);
        }
        if (bOk)
            set = std::move(result);
    }
    catch (const std::bad_alloc&)
    {
        strDetail = "not enough memory";
        bOk = false;
    }
    catch (const std::exception& e)
    {
        strDetail = e.what();
        bOk = false;
    }
    if (pstrDetail != nullptr)
        *pstrDetail = bOk ? std::string() : strDetail;
    return bOk;
}

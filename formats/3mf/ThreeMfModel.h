#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What the model part of a 3MF package holds that the reader takes: objects, each a mesh or
// components that place other objects (or both), and the build items that place objects in the
// scene. Transforms are the file's 12 numbers "m00 m01 m02 m10 m11 m12 m20 m21 m22 m30 m31 m32"
// applied to row vectors: p' = (x y z 1) * M, the last row the translation.
struct SThreeMfPlacement
{
    int32_t nObjectId = 0;
    double transform[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    int64_t nLine = 0; // where the element stands, for messages
};

struct SThreeMfObject
{
    int32_t nId = 0;
    // A support or "other" object: no part of the model, skipped wherever it is placed.
    bool bSkipped = false;
    std::string strName;
    std::vector<double> positions;  // x, y, z of each vertex
    std::vector<int32_t> triangles; // three vertex indices each, all in range
    std::vector<SThreeMfPlacement> components;
    int64_t nLine = 0;
};

struct SThreeMfModel
{
    std::vector<SThreeMfObject> objects;
    std::vector<SThreeMfPlacement> items;
};

// Parses the XML of a model part with expat. Elements of the core namespace (or of none) are
// taken; those of other namespaces (materials, colours, extensions) are skipped with everything
// inside them. False, with strProblem saying where and why ("line 12: vertex index 9 is not in 0
// to 7"), for malformed XML, a document type declaration, a missing or malformed number, an index
// out of range, an object id given twice, and a component or item that names a part of its own.
bool ParseThreeMfModel(std::string_view xml, SThreeMfModel& model, std::string& strProblem);

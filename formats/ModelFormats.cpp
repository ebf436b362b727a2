#include "formats/ModelFormats.h"

#include <algorithm>
#include <cctype>

#include "formats/3mf/ThreeMfFormat.h"
#include "formats/3mf/ThreeMfReader.h"
#include "formats/ByteWindow.h"
#include "formats/FileHead.h"
#include "formats/MeshBuilder.h"
#include "formats/MeshSet.h"
#include "formats/TokenReader.h"
#include "formats/gltf/GltfFormat.h"
#include "formats/gltf/GltfReader.h"
#include "formats/obj/ObjFormat.h"
#include "formats/obj/ObjReader.h"
#include "formats/obj/ObjWriter.h"
#include "formats/off/OffFormat.h"
#include "formats/off/OffReader.h"
#include "formats/off/OffStream.h"
#include "formats/off/OffWriter.h"
#include "formats/ply/PlyFormat.h"
#include "formats/ply/PlyReader.h"
#include "formats/ply/PlyWriter.h"
#include "formats/pts/PointCloudWriter.h"
#include "formats/scn/SceneFile.h"
#include "formats/stl/StlFormat.h"
#include "formats/stl/StlReader.h"
#include "formats/stl/StlStream.h"
#include "formats/stl/StlWriter.h"

namespace
{
// At most this many facets of a big ASCII STL file make its thumbnail, spread evenly through it.
constexpr int64_t THUMBNAIL_ASCII_FACETS = int64_t(1) << 20;

bool ReadOFFFile(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress,
                 std::string* pstrDetail)
{
    return ReadOFF(strPath, builder, pProgress, pstrDetail);
}

bool ReadOFFData(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail)
{
    return ReadOFFBuffer(buffer, builder, nullptr, pstrDetail);
}

bool StreamOFFFile(CByteWindow& bytes, std::string_view, uint64_t, CTriangleSink& sink)
{
    return StreamOFF(bytes, sink);
}

std::string NothingToCheck(const std::vector<SMeshView>&)
{
    return std::string();
}

bool WriteOFFScene(std::ostream& out, const SSceneWrite& scene, std::string&)
{
    return scene.bOneMesh && scene.meshes.size() == 1 ? WriteOFF(out, scene.meshes[0])
                                                      : WriteSceneOFF(out, scene.meshes);
}

bool ReadSTLFile(const std::string& strPath, CMeshBuilder& builder, CReadProgress* pProgress, std::string*)
{
    return ReadSTL(strPath, STL_BY_CONTENT, builder, pProgress);
}

bool ReadSTLData(std::string_view buffer, CMeshBuilder& builder, std::string*)
{
    return ReadSTLBuffer(buffer, STL_BY_CONTENT, builder);
}

bool StreamSTLFile(CByteWindow& bytes, std::string_view head, uint64_t nSize, CTriangleSink& sink)
{
    // A binary header may start with "solid" too.
    if (DetectSTLModeOfContent(head, nSize) == STL_ASCII)
        return SampleAsciiSTL(bytes, nSize, THUMBNAIL_ASCII_FACETS, sink) ||
               (bytes.Rewind() && StreamBinarySTL(bytes, nSize, sink));
    return StreamBinarySTL(bytes, nSize, sink);
}

// Binary STL is streamed at any size: its stream accepts exactly what the reader accepts and
// draws the same flat facets, without building a mesh.
bool StreamsBinarySTL(std::string_view head, uint64_t nSize)
{
    return DetectSTLModeOfContent(head, nSize) != STL_ASCII;
}

std::string CheckBinarySTL(const std::vector<SMeshView>& meshes)
{
    return CheckSTL(meshes, true);
}

std::string CheckAsciiSTL(const std::vector<SMeshView>& meshes)
{
    return CheckSTL(meshes, false);
}

bool WriteBinarySTL(std::ostream& out, const SSceneWrite& scene, std::string& strProblem)
{
    return WriteSTL(out, scene.meshes, true, scene.strName, strProblem);
}

bool WriteAsciiSTL(std::ostream& out, const SSceneWrite& scene, std::string& strProblem)
{
    return WriteSTL(out, scene.meshes, false, scene.strName, strProblem);
}

bool WritePoints(std::ostream& out, const SSceneWrite& scene, std::string& strProblem)
{
    return WritePointCloud(out, scene.meshes, scene.pdBounds, strProblem);
}

bool WritePLYScene(std::ostream& out, const SSceneWrite& scene, std::string& strProblem)
{
    return WritePLY(out, scene.meshes, strProblem);
}

bool WriteOBJScene(std::ostream& out, const SSceneWrite& scene, std::string& strProblem)
{
    return WriteOBJ(out, scene.meshes, strProblem);
}

bool Read3MFSet(std::string_view data, const std::string&, SMeshSet& set, std::string* pstrDetail)
{
    return Read3MF(data, set, pstrDetail);
}

// A file of several objects as one mesh (see fnReadSet).
using FnReadSet = bool (*)(std::string_view, const std::string&, SMeshSet&, std::string*);

template <FnReadSet fnReadSet>
bool ReadSetData(std::string_view buffer, const std::string& strPath, CMeshBuilder& builder,
                 std::string* pstrDetail)
{
    try
    {
        SMeshSet set;
        SMeshParts merged;
        if (!fnReadSet(buffer, strPath, set, pstrDetail))
            return false;
        if (set.meshes.empty() || !MergeMeshSet(set, merged))
        {
            if (pstrDetail != nullptr)
                *pstrDetail = set.meshes.empty() ? "the file holds no object"
                                                 : "the objects hold more than one mesh can";
            return false;
        }
        builder.AdoptPolygons(merged);
        return true;
    }
    catch (const std::bad_alloc&)
    {
        if (pstrDetail != nullptr)
            *pstrDetail = "not enough memory";
        return false;
    }
}

template <FnReadSet fnReadSet>
bool ReadSetFile(const std::string& strPath, CMeshBuilder& builder, CReadProgress*, std::string* pstrDetail)
{
    std::string contents;
    if (!ReadWholeFile(strPath, contents))
    {
        if (pstrDetail != nullptr)
            pstrDetail->clear();
        return false;
    }
    return ReadSetData<fnReadSet>(contents, strPath, builder, pstrDetail);
}

template <FnReadSet fnReadSet>
bool ReadSetBuffer(std::string_view buffer, CMeshBuilder& builder, std::string* pstrDetail)
{
    return ReadSetData<fnReadSet>(buffer, std::string(), builder, pstrDetail);
}

constexpr const char* OFF_MAGIC[] = {"OFF", "COFF", "NOFF", "CNOFF", "STOFF", "STCOFF", "STNOFF", "STCNOFF"};
constexpr const char* STL_MAGIC[] = {"solid"};

constexpr SModelWriter OFF_WRITERS[] = {
    {"off", nullptr, "one mesh as it is, several as one scene", NothingToCheck, WriteOFFScene}};
constexpr SModelWriter STL_WRITERS[] = {{"stl", nullptr, "binary", CheckBinarySTL, WriteBinarySTL},
                                        {"stl", "ascii", "ASCII", CheckAsciiSTL, WriteAsciiSTL}};
constexpr const char* PLY_MAGIC[] = {"ply"};
constexpr const char* GLB_MAGIC[] = {"glTF"};
constexpr SModelWriter PLY_WRITERS[] = {{"ply", nullptr, "binary little-endian", CheckPLY, WritePLYScene}};
constexpr SModelWriter OBJ_WRITERS[] = {{"obj", nullptr, "Wavefront OBJ", CheckOBJ, WriteOBJScene}};
constexpr SModelWriter POINT_WRITERS[] = {{"pts", nullptr, "point cloud", CheckPointCloud, WritePoints}};

// Name, extensions, MIME type, comment, acronym, its expansion, parent type, magic, magic's note;
// content test, scene, document file; readers (file, buffer, set), pipe length, text; stream, at any size,
// exact; writers.
const SModelFormat FORMATS[] = {
    {"OFF",
     "off",
     "model/x.off",
     "OFF polygon mesh",
     "OFF",
     "Object File Format",
     "text/plain",
     OFF_MAGIC,
     "The header keyword: OFF with the prefixes for texture coordinates (ST), colours (C) and normals (N).",
     RecogniseOFF,
     false,
     true,
     ReadOFFFile,
     ReadOFFData,
     nullptr,
     nullptr,
     true,
     StreamOFFFile,
     nullptr,
     false,
     OFF_WRITERS},
    {"STL",
     "stl",
     "model/stl",
     "STL 3D model",
     "STL",
     "StereoLithography",
     nullptr,
     STL_MAGIC,
     "Only ASCII files have a signature; binary ones are known by their name.",
     RecogniseSTL,
     false,
     false,
     ReadSTLFile,
     ReadSTLData,
     nullptr,
     STLPipeLength,
     false,
     StreamSTLFile,
     StreamsBinarySTL,
     true,
     STL_WRITERS},
    {"PLY",          "ply",         "application/x-ply",
     "PLY 3D model", "PLY",         "Polygon File Format",
     nullptr,        PLY_MAGIC,     nullptr,
     RecognisePLY,   false,         false,
     ReadPLY,        ReadPLYBuffer, nullptr,
     nullptr,        false,         nullptr,
     nullptr,        false,         PLY_WRITERS},
    {"OBJ",   "obj",   "model/obj",  "OBJ 3D model", "OBJ",   "Wavefront OBJ", "text/plain",
     {},      nullptr, RecogniseOBJ, false,          false,   ReadOBJ,         ReadOBJBuffer,
     nullptr, nullptr, true,         nullptr,        nullptr, false,           OBJ_WRITERS},
    {"3MF",
     "3mf",
     "model/3mf",
     "3MF 3D model",
     "3MF",
     "3D Manufacturing Format",
     "application/zip",
     {},
     nullptr,
     Recognise3MF,
     false,
     false,
     ReadSetFile<Read3MFSet>,
     ReadSetBuffer<Read3MFSet>,
     Read3MFSet,
     nullptr,
     false,
     nullptr,
     nullptr,
     false,
     {}},
    {"glTF",
     "gltf glb",
     "model/gltf+json",
     "glTF 3D model",
     "glTF",
     "GL Transmission Format",
     nullptr,
     GLB_MAGIC,
     "Binary files (.glb) start with glTF; text files are JSON.",
     RecogniseGLTF,
     false,
     false,
     ReadSetFile<ReadGLTF>,
     ReadSetBuffer<ReadGLTF>,
     ReadGLTF,
     nullptr,
     false,
     nullptr,
     nullptr,
     false,
     {}},
    {"Scene", "scn",   nullptr,        nullptr, nullptr, nullptr, nullptr,
     {},      nullptr, RecogniseScene, true,    false,   nullptr, nullptr,
     nullptr, nullptr, false,          nullptr, nullptr, false,   {}},
    {"Point cloud", "pts",   nullptr, nullptr, nullptr,      nullptr, nullptr, {},
     nullptr,       nullptr, false,   false,   nullptr,      nullptr, nullptr, nullptr,
     false,         nullptr, nullptr, false,   POINT_WRITERS},
};

std::string LowerExtension(const std::string& strPath)
{
    const size_t nSlash = strPath.find_last_of('/');
    const size_t nDot = strPath.find_last_of('.');
    if (nDot == std::string::npos || (nSlash != std::string::npos && nDot < nSlash))
        return std::string();
    std::string strExt = strPath.substr(nDot + 1);
    std::transform(strExt.begin(), strExt.end(), strExt.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return strExt;
}

bool SameOption(const char* a, const char* b)
{
    return (a == nullptr && b == nullptr) || (a != nullptr && b != nullptr && std::string_view(a) == b);
}

// Each extension of the format, as "*.off".
std::vector<std::string> Patterns(const SModelFormat& format)
{
    std::vector<std::string> patterns;
    std::string_view extensions = format.pszExtensions;
    while (!extensions.empty())
    {
        const size_t nSpace = extensions.find(' ');
        patterns.push_back("*." + std::string(extensions.substr(0, nSpace)));
        extensions.remove_prefix(nSpace == std::string_view::npos ? extensions.size() : nSpace + 1);
    }
    return patterns;
}

std::string Join(const std::vector<std::string>& parts, const char* pszSeparator)
{
    std::string text;
    for (const std::string& strPart : parts)
        text += (text.empty() ? "" : pszSeparator) + strPart;
    return text;
}
} // namespace

std::span<const SModelFormat> ModelFormats()
{
    return FORMATS;
}

const SModelFormat* FindModelFormat(std::string_view head, uint64_t nSize)
{
    const SModelFormat* pBest = nullptr;
    int nBest = 0;
    for (const SModelFormat& format : FORMATS)
    {
        const int n = format.fnRecognise != nullptr ? format.fnRecognise(head, nSize) : 0;
        if (n > nBest)
        {
            nBest = n;
            pBest = &format;
        }
    }
    return pBest;
}

const SModelFormat* FindModelFormatOfFile(const std::string& strPath, bool& bReadable)
{
    std::string head;
    uint64_t nSize = 0;
    bReadable = ReadFileHead(strPath, head, nSize);
    return bReadable ? FindModelFormat(head, nSize) : nullptr;
}

const SModelFormat* ModelFormatNamed(std::string_view name)
{
    for (const SModelFormat& format : FORMATS)
        if (name == format.pszName)
            return &format;
    return nullptr;
}

const SModelWriter* WriterFor(const std::string& strPath, const char* pszOption)
{
    const std::string strExt = LowerExtension(strPath);
    for (const SModelFormat& format : FORMATS)
        for (const SModelWriter& writer : format.writers)
            if (strExt == writer.pszExtension && SameOption(writer.pszOption, pszOption))
                return &writer;
    return nullptr;
}

bool WriterOptionApplies(const std::string& strPath, const char* pszOption)
{
    return WriterFor(strPath, pszOption) != nullptr;
}

std::string WriterExtensionList(const char* pszOption)
{
    std::vector<std::string> extensions;
    for (const SModelFormat& format : FORMATS)
        for (const SModelWriter& writer : format.writers)
            if ((pszOption == nullptr || SameOption(writer.pszOption, pszOption)) &&
                std::find(extensions.begin(), extensions.end(), "." + std::string(writer.pszExtension)) ==
                    extensions.end())
                extensions.push_back("." + std::string(writer.pszExtension));
    std::string text;
    for (size_t i = 0; i < extensions.size(); ++i)
        text += (i == 0 ? "" : i + 1 == extensions.size() ? " or " : ", ") + extensions[i];
    return text;
}

std::string OpenDialogFilter()
{
    std::vector<std::string> all;
    std::string strEach;
    for (const SModelFormat& format : FORMATS)
    {
        if (format.fnRead == nullptr)
            continue;
        const std::vector<std::string> patterns = Patterns(format);
        all.insert(all.end(), patterns.begin(), patterns.end());
        const std::string strPatterns = Join(patterns, ";");
        strEach += std::string(format.pszName) + " File (" + strPatterns + ")|" + strPatterns + "|";
    }
    const std::string strAll = Join(all, ";");
    return "Mesh files (" + strAll + ")|" + strAll + "|" + strEach + "All Files (*.*)|*.*||";
}

std::string MimeTypeList()
{
    std::string text;
    for (const SModelFormat& format : FORMATS)
        if (format.pszMimeType != nullptr && format.fnRead != nullptr)
            text += std::string(format.pszMimeType) + ";";
    return text;
}

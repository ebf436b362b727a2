// The glTF reader on files built here: JSON with data URIs or .bin files beside it, and binary
// containers assembled byte by byte.
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "FileTestSupport.h"
#include "formats/MeshSet.h"
#include "formats/gltf/GltfFormat.h"
#include "formats/gltf/GltfReader.h"

namespace
{
using FileTestSupport::CScratchTest;

std::string Base64(const std::string& bytes)
{
    static const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3)
    {
        auto at = [&](size_t n)
        { return n < bytes.size() ? static_cast<uint32_t>(static_cast<uint8_t>(bytes[n])) : 0u; };
        const uint32_t n = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
        out += ALPHABET[n >> 18];
        out += ALPHABET[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? ALPHABET[(n >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? ALPHABET[n & 63] : '=';
    }
    return out;
}

template <typename T> std::string Bytes(std::initializer_list<T> values)
{
    std::string out(values.size() * sizeof(T), '\0');
    std::memcpy(out.data(), values.begin(), out.size());
    return out;
}

std::string UInt32(uint32_t n)
{
    return Bytes<uint32_t>({n});
}

// One buffer of accessors, each in a buffer view of its own, and the JSON around them.
struct SGltf
{
    std::string bin;
    std::string views, accessors;
    int nAccessors = 0;
    int Add(const std::string& bytes, int nType, const char* pszType, size_t nCount, bool bNormalized = false,
            const std::string& extra = "")
    {
        bin.resize((bin.size() + 3) / 4 * 4, '\0');
        views += (views.empty() ? "" : ",") + std::string("{\"buffer\":0,\"byteOffset\":") +
                 std::to_string(bin.size()) + ",\"byteLength\":" + std::to_string(bytes.size()) + "}";
        bin += bytes;
        accessors += (accessors.empty() ? "" : ",") + std::string("{\"bufferView\":") +
                     std::to_string(nAccessors) + ",\"componentType\":" + std::to_string(nType) +
                     ",\"type\":\"" + pszType + "\",\"count\":" + std::to_string(nCount) +
                     (bNormalized ? ",\"normalized\":true" : "") + extra + "}";
        return nAccessors++;
    }
    int Floats(std::initializer_list<float> values, const char* pszType, int nPer)
    {
        return Add(Bytes(values), 5126, pszType, values.size() / static_cast<size_t>(nPer));
    }
    int Triangle() { return Floats({0, 0, 0, 1, 0, 0, 0, 1, 0}, "VEC3", 3); }
    std::string Json(const std::string& rest, const std::string& strBuffer) const
    {
        return "{\"asset\":{\"version\":\"2.0\"},\"buffers\":[{\"byteLength\":" + std::to_string(bin.size()) +
               strBuffer + "}],\"bufferViews\":[" + views + "],\"accessors\":[" + accessors + "]," + rest +
               "}";
    }
    std::string DataUri(const std::string& rest) const
    {
        return Json(rest, ",\"uri\":\"data:application/octet-stream;base64," + Base64(bin) + "\"");
    }
    std::string Glb(const std::string& rest) const
    {
        std::string json = Json(rest, ""), body = bin;
        json.resize((json.size() + 3) / 4 * 4, ' ');
        body.resize((body.size() + 3) / 4 * 4, '\0');
        return "glTF" + UInt32(2) + UInt32(static_cast<uint32_t>(28 + json.size() + body.size())) +
               UInt32(static_cast<uint32_t>(json.size())) + "JSON" + json +
               UInt32(static_cast<uint32_t>(body.size())) + std::string("BIN\0", 4) + body;
    }
};

const std::string ONE_MESH =
    "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}]";

// A file's data and its path ("" for a pipe).
struct SInput
{
    std::string data, path;
};

// Makes a file in the test's scratch folder dir.
using CMake = std::function<SInput(const std::string& dir)>;

std::string WriteIn(const std::string& dir, const std::string& strName, const std::string& contents)
{
    std::ofstream(dir + "/" + strName, std::ios::binary) << contents;
    return dir + "/" + strName;
}

class GltfTest : public CScratchTest
{
protected:
    bool Read(const CMake& make, SMeshSet& set, std::string& strDetail) const
    {
        const SInput input = make(m_dir.string());
        return ReadGLTF(input.data, input.path, set, &strDetail);
    }
};

SInput Pipe(const std::string& data)
{
    return {data, ""};
}

// A file from a pipe: the accessors fill adds (else one triangle), and the JSON rest.
CMake Built(const std::function<void(SGltf&)>& fill, const std::string& rest, bool bGlb = false)
{
    return [=](const std::string&)
    {
        SGltf g;
        if (fill)
            fill(g);
        else
            g.Triangle();
        return Pipe(bGlb ? g.Glb(rest) : g.DataUri(rest));
    };
}

std::string Mesh(const std::string& attributes, const std::string& node = "")
{
    return "\"nodes\":[{\"mesh\":0" + node +
           "}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0" + attributes + "}}]}]";
}

TEST_F(GltfTest, ReadsLayouts)
{
    struct SExpect
    {
        size_t nMeshes;
        std::string names; // joined with '|'
        int32_t nVertices, nFaces, nRecordSize;
        bool bNormals;
        int32_t nProbe;         // a vertex of the first mesh
        std::vector<double> at; // its record's first slots
        std::vector<int32_t> firstFace = {0, 1, 2};
    };
    const double dLength = std::sqrt(0.09 + 0.64);
    const std::vector<std::tuple<const char*, CMake, SExpect>> rows = {
        {"non-indexed, data URI", Built(nullptr, ONE_MESH), {1, "mesh 1", 3, 1, 6, false, 1, {1, 0, 0}}},
        {"indexed, normals and texcoords",
         Built(
             [](SGltf& g)
             {
                 g.Floats({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, "VEC3", 3);
                 g.Floats({0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}, "VEC3", 3);
                 g.Floats({0, 0, 1, 0, 1, 1, 0.25f, 1}, "VEC2", 2);
                 g.Add(Bytes<uint16_t>({0, 1, 2, 0, 2, 3}), 5123, "SCALAR", 6);
             },
             "\"nodes\":[{\"mesh\":0,\"name\":\"quad\"}],\"meshes\":[{\"primitives\":[{\"attributes\":{"
             "\"POSITION\":0,\"NORMAL\":1,\"TEXCOORD_0\":2},\"indices\":3}]}]"),
         {1, "quad", 4, 2, 8, true, 3, {0, 1, 0, 0, 0, 1, 0.25, 1}}},
        {"ubyte vec4 colours, mesh name",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.Add(Bytes<uint8_t>({255, 0, 0, 255, 0, 51, 0, 255, 0, 0, 255, 0}), 5121, "VEC4", 3, true);
             },
             "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"name\":\"m\",\"primitives\":[{\"attributes\":{"
             "\"POSITION\":0,\"COLOR_0\":1}}]}]"),
         {1, "m", 3, 1, 11, false, 1, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0.2, 0}}},
        {"float vec3 colours clamped",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.Floats({2, 0.5f, -1, 0, 0, 0, 0, 0, 0}, "VEC3", 3);
             },
             Mesh(",\"COLOR_0\":1")),
         {1, "mesh 1", 3, 1, 11, false, 0, {0, 0, 0, 0, 0, 0, 0, 0, 1, 0.5, 0}}},
        {"TRS: a quarter turn about z, then moved",
         Built(
             nullptr,
             Mesh("", ",\"translation\":[1,2,3],\"scale\":[2,2,2],\"rotation\":[0,0,0.70710678,0.70710678]")),
         {1, "mesh 1", 3, 1, 6, false, 1, {1, 4, 3}}},
        {"mirroring matrix turns triangles over, normals by the inverse transpose",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.Floats({0.6f, 0.8f, 0, 0.6f, 0.8f, 0, 0.6f, 0.8f, 0}, "VEC3", 3);
             },
             Mesh(",\"NORMAL\":1", ",\"matrix\":[-2,0,0,0,0,1,0,0,0,0,1,0,5,0,0,1]")),
         {1, "mesh 1", 3, 1, 6, true, 1, {3, 0, 0, -0.3 / dLength, 0.8 / dLength, 0}, {0, 2, 1}}},
        {"children, several meshes, the default scene",
         Built(nullptr,
               "\"scene\":1,\"scenes\":[{\"nodes\":[2]},{\"nodes\":[0,2]}],\"nodes\":[{\"translation\":[10,"
               "0,0],\"children\":[1]},{\"name\":\"child\",\"mesh\":0,\"translation\":[0,5,0]},{\"mesh\":1}],"
               "\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]},{\"name\":\"second\","
               "\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}]"),
         {2, "child|second", 3, 1, 6, false, 0, {10, 5, 0}}},
        {"primitives merged, lines skipped, no scene",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.Add(Bytes<uint8_t>({2, 1, 0}), 5121, "SCALAR", 3);
             },
             "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},"
             "\"mode\":1},{"
             "\"attributes\":{\"POSITION\":0}},{\"attributes\":{\"POSITION\":0},\"indices\":1,\"mode\":4}]}"
             "]"),
         {1, "mesh 1", 6, 2, 6, false, 4, {1, 0, 0}}},
        {"binary container", Built(nullptr, ONE_MESH, true), {1, "mesh 1", 3, 1, 6, false, 2, {0, 1, 0}}},
        {"external .bin",
         [](const std::string& dir)
         {
             SGltf g;
             g.Triangle();
             WriteIn(dir, "tri.bin", g.bin + "trailing bytes");
             return SInput{g.Json(ONE_MESH, ",\"uri\":\"tri.bin\""), dir + "/tri.gltf"};
         },
         {1, "mesh 1", 3, 1, 6, false, 1, {1, 0, 0}}},
    };
    for (const auto& [pszName, make, expect] : rows)
    {
        SCOPED_TRACE(pszName);
        SMeshSet set;
        std::string strDetail;
        ASSERT_TRUE(Read(make, set, strDetail)) << strDetail;
        ASSERT_EQ(set.meshes.size(), expect.nMeshes);
        std::string names;
        for (const std::string& name : set.names)
            names += (names.empty() ? "" : "|") + name;
        EXPECT_EQ(names, expect.names);
        const SMeshParts& m = set.meshes[0];
        EXPECT_EQ(m.nVertices, expect.nVertices);
        EXPECT_EQ(m.nFaces, expect.nFaces);
        EXPECT_EQ(m.nEdges, 3 * expect.nFaces);
        EXPECT_EQ(m.nRecordSize, expect.nRecordSize);
        EXPECT_EQ(m.bNormals, expect.bNormals);
        for (size_t k = 0; k < expect.at.size(); ++k)
            EXPECT_NEAR(m.pRecords[static_cast<size_t>(expect.nProbe * m.nRecordSize) + k], expect.at[k],
                        1e-6)
                << k;
        EXPECT_EQ(std::vector<int32_t>(m.indices.begin(), m.indices.begin() + 3), expect.firstFace);
    }
}

TEST_F(GltfTest, RefusesHostileFiles)
{
    auto external = [](const std::string& strUri, const std::string& strExtra = "")
    {
        return [=](const std::string& dir)
        {
            SGltf g;
            g.Triangle();
            WriteIn(dir, "tri.bin", g.bin);
            return SInput{g.Json(ONE_MESH, ",\"uri\":\"" + strUri + "\"" + strExtra), dir + "/tri.gltf"};
        };
    };
    const std::vector<std::tuple<const char*, CMake, std::string>> rows = {
        {"parent folder", external("../tri.bin"), "\"../tri.bin\" leads out of the file's folder"},
        {"escaped parent folder", external("%2e%2e/tri.bin"), "leads out of the file's folder"},
        {"absolute path", external("/etc/passwd"), "\"/etc/passwd\" is an absolute path"},
        {"device", external("/dev/zero"), "is an absolute path"},
        {"link to a device",
         [&](const std::string& dir)
         {
             std::filesystem::create_symlink("/dev/zero", dir + "/zero.bin");
             return external("zero.bin")(dir);
         },
         "\"zero.bin\" leads out of the file's folder"},
        {"FIFO",
         [&](const std::string& dir)
         {
             mkfifo((dir + "/fifo.bin").c_str(), 0600);
             return external("fifo.bin")(dir);
         },
         "buffer file fifo.bin is not a regular file"},
        {"file from a pipe", [&](const std::string& dir) { return Pipe(external("tri.bin")(dir).data); },
         "may use only data URIs"},
        {"buffer larger than its file", external("tri.bin", ",\"byteLength\":400"),
         "buffer 0 is larger than its file tri.bin (400 of 36 bytes)"},
        {"accessor past its view",
         Built([](SGltf& g) { g.Add(std::string(36, '\0'), 5126, "VEC3", 4); }, ONE_MESH),
         "accessor 0 runs past buffer view 0"},
        {"view past its buffer",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.views.replace(g.views.find("h\":36"), 5, "h\":40");
             },
             ONE_MESH),
         "buffer view 0 runs past buffer 0"},
        {"index out of range",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.Add(Bytes<uint32_t>({0, 7, 1}), 5125, "SCALAR", 3);
             },
             "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},"
             "\"indices\":1}]}]"),
         "index 1 of accessor 1 is 7, but primitive 0 of mesh 0 has 3 vertices"},
        {"sparse accessor",
         Built(
             [](SGltf& g)
             {
                 g.Add(
                     std::string(36, '\0'), 5126, "VEC3", 3, false,
                     ",\"sparse\":{\"count\":1,"
                     "\"indices\":{\"bufferView\":0,\"componentType\":5125},\"values\":{\"bufferView\":0}}");
             },
             ONE_MESH),
         "accessor 0 is sparse"},
        {"Draco primitive",
         Built(nullptr,
               "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},"
               "\"extensions\":{\"KHR_draco_mesh_compression\":{\"bufferView\":0,\"attributes\":{}}}}]}]"),
         "primitive 0 of mesh 0 uses KHR_draco_mesh_compression, which is not read"},
        {"quantization required",
         Built(nullptr, ONE_MESH + ",\"extensionsRequired\":[\"KHR_mesh_quantization\"]"),
         "the file requires KHR_mesh_quantization, which is not read"},
        {"node cycle",
         Built(nullptr,
               "\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"nodes\":[{\"children\":[1]},{\"mesh\":0,"
               "\"children\":[0]}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0}}]}]"),
         "node 0 is reached twice"},
        {"not finite",
         Built(
             [](SGltf& g)
             {
                 g.Triangle();
                 g.bin.replace(12, 4, UInt32(0x7FC00000u));
             },
             ONE_MESH),
         "element 1 of accessor 0 is not finite"},
        {"only points",
         Built(nullptr,
               "\"nodes\":[{\"mesh\":0}],\"meshes\":[{\"primitives\":[{\"attributes\":{\"POSITION\":0},"
               "\"mode\":0}]}]"),
         "the scene holds no triangles"},
        {"deep extras",
         Built(nullptr, ONE_MESH + ",\"extras\":" + std::string(100, '[') + std::string(100, ']')),
         "nests deeper than 64 levels"},
        {"BIN chunk past the end",
         [](const std::string&)
         {
             SGltf g;
             g.Triangle();
             std::string glb = g.Glb(ONE_MESH);
             glb.resize(glb.size() - 4);
             glb.replace(8, 4, UInt32(static_cast<uint32_t>(glb.size())));
             return Pipe(glb);
         },
         "the binary container's second chunk is no BIN chunk inside it"},
    };
    for (const auto& [pszName, make, strExpected] : rows)
    {
        SCOPED_TRACE(pszName);
        SMeshSet set;
        set.meshes.resize(1);
        std::string strDetail;
        EXPECT_FALSE(Read(make, set, strDetail));
        EXPECT_NE(strDetail.find(strExpected), std::string::npos) << strDetail;
        EXPECT_EQ(set.meshes.size(), 1u);
    }
}

TEST(GltfFormatTest, RecognisesContent)
{
    const std::vector<std::pair<std::string, int>> rows = {
        {"glTF" + UInt32(2) + UInt32(100), 3},
        {"glTF" + UInt32(1) + UInt32(100), 0},
        {"\xEF\xBB\xBF \n{\n  \"asset\": {\"version\": \"2.0\"}}", 2},
        {"{\"scenes\":[], \"asset\":{}}", 2},
        {"{ \"name\": \"no glTF\" }", 0},
        {"{ OFF\n3 1 0\n", 0},
        {"solid cube\n", 0},
        {"OFF\n# \"asset\"\n", 0},
    };
    for (const auto& [head, nExpected] : rows)
        EXPECT_EQ(RecogniseGLTF(head, head.size()), nExpected) << head;
}
} // namespace

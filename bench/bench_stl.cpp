// Times the STL import and export on generated meshes.
//
//   bench_stl [RUNS]
//
// Writes /tmp/teldview_bench_1m.stl (binary, 1,000,000 triangles, 50 MB) and
// /tmp/teldview_bench_100k.stl (ASCII, 100,000 triangles) through the exporter, then imports each
// RUNS times (default 5) into a fresh document and reports the best run, with the stages of the
// import timed apart (the import itself streams a binary file instead of reading it whole). The
// export of the million triangles is timed in both forms.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "formats/TokenReader.h"
#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

namespace
{
const char* const BINARY_PATH = "/tmp/teldview_bench_1m.stl";
const char* const ASCII_PATH = "/tmp/teldview_bench_100k.stl";
const char* const ASCII_1M_PATH = "/tmp/teldview_bench_1m_ascii.stl";

// A wavy grid of nx x ny cells, two triangles each, as a triangle soup.
std::vector<float> Grid(int nx, int ny)
{
    std::vector<float> xyz;
    xyz.reserve(static_cast<size_t>(nx) * static_cast<size_t>(ny) * 18);
    auto put = [&](int i, int j)
    {
        const double x = i * 0.01 - 5.0, y = j * 0.01 - 2.5;
        xyz.push_back(static_cast<float>(x));
        xyz.push_back(static_cast<float>(y));
        xyz.push_back(static_cast<float>(0.25 * std::sin(x) * std::cos(y)));
    };
    for (int j = 0; j < ny; ++j)
        for (int i = 0; i < nx; ++i)
        {
            put(i, j), put(i + 1, j), put(i + 1, j + 1);
            put(i, j), put(i + 1, j + 1), put(i, j + 1);
        }
    return xyz;
}

void FillScene(CTeldViewGLDoc& doc, int nx, int ny)
{
    const std::vector<float> xyz = Grid(nx, ny);
    CMesh* pMesh = doc.PrepareImportMesh(false);
    pMesh->SetTriangles(xyz.data(), static_cast<int32_t>(xyz.size() / 9));
    pMesh->Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1));
    doc.UpdateSceneBounds();
}

double Seconds(const std::function<void()>& fn)
{
    const auto t0 = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double Best(int nRuns, const std::function<double()>& run)
{
    double dBest = 1e30;
    for (int r = 0; r < nRuns; ++r)
        dBest = std::min(dBest, run());
    return dBest;
}

double MegaBytes(const char* pszPath)
{
    return static_cast<double>(std::filesystem::file_size(pszPath)) / 1e6;
}

void Fail(const char* pszWhat)
{
    std::fprintf(stderr, "bench_stl: %s failed\n", pszWhat);
    std::exit(1);
}

// The whole import into a fresh document, which is built and destroyed outside the timing.
double TimeImport(const char* pszPath, int nMode)
{
    CTeldViewGLDoc doc;
    bool bOk = false;
    const double dSeconds = Seconds([&] { bOk = doc.ImportSTL(pszPath, nMode); });
    if (!bOk)
        Fail("import");
    return dSeconds;
}

// The stages of an import: reading the whole file, filling a mesh from that buffer (parse and
// completion together), and the completion of a soup on its own beside the identity Transform
// that computes the same.
void PrintStages(const char* pszPath, int nMode, int nRuns)
{
    double dRead = 1e30, dBuffer = 1e30, dComplete = 1e30, dTransform = 1e30;
    for (int r = 0; r < nRuns; ++r)
    {
        std::string contents;
        dRead = std::min(dRead, Seconds([&] { ReadWholeFile(pszPath, contents); }));
        CMesh mesh;
        dBuffer = std::min(dBuffer, Seconds([&] { mesh.ReadSTLBuffer(contents, nMode, pszPath); }));
        std::vector<double> xyz(static_cast<size_t>(mesh.m_nVertices) * 3);
        for (int32_t i = 0; i < mesh.m_nVertices; ++i)
            std::copy(mesh.m_ppVertices[i], mesh.m_ppVertices[i] + 3, xyz.begin() + 3 * i);
        CMesh soup;
        soup.SetTriangles(xyz.data(), mesh.m_nFaces);
        dComplete = std::min(dComplete, Seconds([&] { soup.CompleteTriangleSoup(); }));
        soup.SetTriangles(xyz.data(), mesh.m_nFaces);
        dTransform = std::min(
            dTransform,
            Seconds([&] { soup.Transform(CVector3(1, 0, 0), CVector3(0, 1, 0), CVector3(0, 0, 1)); }));
    }
    std::printf("  stages (best of %d): read %.1f ms, buffer to mesh %.1f ms, of which completing the "
                "soup %.1f ms (identity Transform: %.1f ms)\n",
                nRuns, dRead * 1e3, dBuffer * 1e3, dComplete * 1e3, dTransform * 1e3);
}
} // namespace

int main(int argc, char** argv)
{
    const int nRuns = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

    {
        CTeldViewGLDoc doc;
        FillScene(doc, 1000, 500);
        const double dBinary = Best(nRuns,
                                    [&]
                                    {
                                        bool bOk = false;
                                        const double d =
                                            Seconds([&] { bOk = doc.ExportScene(BINARY_PATH, 0); });
                                        return bOk ? d : (Fail("binary export"), 0.0);
                                    });
        std::printf("export binary, 1,000,000 triangles: %.1f ms, %.1f MB/s\n", dBinary * 1e3,
                    MegaBytes(BINARY_PATH) / dBinary);
        const double dAscii = Best(std::min(nRuns, 3),
                                   [&]
                                   {
                                       bool bOk = false;
                                       const double d =
                                           Seconds([&] { bOk = doc.ExportScene(ASCII_1M_PATH, 1); });
                                       return bOk ? d : (Fail("ASCII export"), 0.0);
                                   });
        std::printf("export ASCII, 1,000,000 triangles: %.1f ms, %.1f MB/s (%.1f MB)\n", dAscii * 1e3,
                    MegaBytes(ASCII_1M_PATH) / dAscii, MegaBytes(ASCII_1M_PATH));
        std::filesystem::remove(ASCII_1M_PATH);
    }
    {
        CTeldViewGLDoc doc;
        FillScene(doc, 500, 100);
        if (!doc.ExportScene(ASCII_PATH, 1))
            Fail("ASCII export");
    }

    const double dBinary = Best(nRuns, [] { return TimeImport(BINARY_PATH, STL_BINARY); });
    std::printf("import binary, 1,000,000 triangles, %.1f MB: %.1f ms, %.1f MB/s\n", MegaBytes(BINARY_PATH),
                dBinary * 1e3, MegaBytes(BINARY_PATH) / dBinary);
    PrintStages(BINARY_PATH, STL_BINARY, nRuns);

    const double dAscii = Best(nRuns, [] { return TimeImport(ASCII_PATH, STL_ASCII); });
    std::printf("import ASCII, 100,000 triangles, %.1f MB: %.1f ms, %.1f MB/s\n", MegaBytes(ASCII_PATH),
                dAscii * 1e3, MegaBytes(ASCII_PATH) / dAscii);
    PrintStages(ASCII_PATH, STL_ASCII, nRuns);
    return 0;
}

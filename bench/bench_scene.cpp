// Times scene file loads of many small entries, to show that loading grows linearly.
//
//   bench_scene [ENTRIES]
//
// Writes a one-triangle OFF file, an empty keyframe file and scene files of ENTRIES / 8,
// ENTRIES / 4, ENTRIES / 2 and ENTRIES entries (default 80,000) to a scratch folder under /tmp,
// loads each into a fresh document without display lists and prints the time per load and per
// entry.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "model/TeldViewGLDoc.h"

int main(int argc, char** argv)
{
    const long nEntries = argc > 1 ? std::max(8L, std::atol(argv[1])) : 80000;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("teldview_bench_scene_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string strMesh = (dir / "t.off").string(), strKeys = (dir / "k.kff").string();
    std::ofstream(strMesh) << "OFF\n3 1 0\n0 0 0\n1 0 0\n0 1 0\n3 0 1 2\n";
    std::ofstream(strKeys) << "KFF\n0 0\n";

    int nStatus = 0;
    for (long nCount = nEntries / 8; nCount <= nEntries; nCount *= 2)
    {
        const std::string strScene =
            (dir / std::string("s").append(std::to_string(nCount)).append(".scn")).string();
        {
            std::ofstream out(strScene);
            out << "SCENE " << nCount << "\n" << strKeys << "\n";
            const std::string strEntry = strMesh + " " + strKeys + "\n";
            for (long i = 0; i < nCount; ++i)
                out << strEntry;
        }
        CTeldViewGLDoc doc;
        const auto t0 = std::chrono::steady_clock::now();
        const bool bLoaded = doc.ReadSceneFile(strScene);
        const double dSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (!bLoaded)
        {
            std::fprintf(stderr, "bench_scene: loading %s failed\n", strScene.c_str());
            nStatus = 1;
            break;
        }
        std::printf("scene of %ld entries: %.1f ms, %.2f us per entry\n", nCount, dSeconds * 1e3,
                    dSeconds * 1e6 / static_cast<double>(nCount));
    }
    std::filesystem::remove_all(dir);
    return nStatus;
}

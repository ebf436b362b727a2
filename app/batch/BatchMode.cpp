#include "app/batch/BatchMode.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "formats/NumberFormat.h"
#include "platform/FileName.h"
#include "platform/SafeFileWriter.h"
#include "scene/Mesh.h"

namespace
{
const char* const USAGE = "usage: teldviewgl [FILE]\n"
                          "       teldviewgl --info FILE...\n"
                          "       teldviewgl --convert OUT.off FILE.off\n"
                          "       teldviewgl --help\n"
                          "\n"
                          "  FILE             open FILE in the viewer\n"
                          "  --info FILE...   print the object information of each file\n"
                          "  --convert OUT IN read IN and write it to OUT\n"
                          "  --help           show this text\n";

// One line on stderr naming the file; a file that is there but cannot be read as a mesh is told
// apart from one that cannot be opened at all.
bool ReadMesh(CMesh& mesh, const std::string& strPath)
{
    if (mesh.ReadOFF(strPath))
        return true;
    if (access(strPath.c_str(), R_OK) != 0)
        std::fprintf(stderr, "teldviewgl: cannot open %s\n", strPath.c_str());
    else
        std::fprintf(stderr, "teldviewgl: %s: not a valid OFF file\n", strPath.c_str());
    return false;
}

std::string Fixed3(double d)
{
    return NumberFormat::Fixed(d, 3);
}

void PrintInfo(const CMesh& mesh)
{
    std::string s;
    s += "Name: " + mesh.m_strName + "\n";
    s += "File: " + FileNameOfPath(mesh.m_strPath) + "\n";
    s += "Number of Vertices: " + std::to_string(mesh.m_nVertices) + "\n";
    s += "Number of Faces: " + std::to_string(mesh.m_nFaces) + "\n";
    s += "Number of Edges: " + std::to_string(mesh.m_nEdges) + "\n";
    s += "Edges in Largest Face: " + std::to_string(mesh.m_nLargestFace) + "\n";
    s += std::string("Normals: ") + (mesh.m_bHasNormals ? "From File" : "Generated") + "\n";
    s += "Min X: " + Fixed3(mesh.m_vBoundsMin.x) + "\n";
    s += "Max X: " + Fixed3(mesh.m_vBoundsMax.x) + "\n";
    s += "Min Y: " + Fixed3(mesh.m_vBoundsMin.y) + "\n";
    s += "Max Y: " + Fixed3(mesh.m_vBoundsMax.y) + "\n";
    s += "Min Z: " + Fixed3(mesh.m_vBoundsMin.z) + "\n";
    s += "Max Z: " + Fixed3(mesh.m_vBoundsMax.z) + "\n";
    const CVector3& p = mesh.m_vPosition;
    s += "Current Position: " + Fixed3(p.x) + " " + Fixed3(p.y) + " " + Fixed3(p.z) + "\n";
    const CQuaternion& q = mesh.m_qOrientation;
    s += "Current Orientation: " + Fixed3(q.w) + " " + Fixed3(q.v.x) + " " + Fixed3(q.v.y) + " " +
         Fixed3(q.v.z) + "\n";
    std::fwrite(s.data(), 1, s.size(), stdout);
}

int RunInfo(const std::vector<std::string>& files)
{
    for (size_t i = 0; i < files.size(); ++i)
    {
        CMesh mesh;
        if (!ReadMesh(mesh, files[i]))
            return 1;
        if (i > 0)
            std::fputs("\n", stdout);
        PrintInfo(mesh);
    }
    return 0;
}

int RunConvert(const std::string& strOut, const std::vector<std::string>& files)
{
    if (files.size() != 1)
    {
        std::fputs(USAGE, stderr);
        return 2;
    }
    CMesh mesh;
    if (!ReadMesh(mesh, files[0]))
        return 1;
    // A failed write leaves whatever was at strOut as it was.
    CSafeFileWriter file(strOut);
    if (!file.IsOpen() || !mesh.WriteOFF(file.Stream()) || !file.Commit())
    {
        std::fprintf(stderr, "teldviewgl: cannot write %s\n", strOut.c_str());
        return 1;
    }
    return 0;
}
} // namespace

int RunBatchMode(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty())
        return -1;
    if (args[0] == "--help" || args[0] == "-h")
    {
        std::fputs(USAGE, stdout);
        return 0;
    }
    if (args[0] == "--info")
    {
        if (args.size() < 2)
        {
            std::fputs(USAGE, stderr);
            return 2;
        }
        return RunInfo(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    if (args[0] == "--convert")
    {
        if (args.size() < 3)
        {
            std::fputs(USAGE, stderr);
            return 2;
        }
        return RunConvert(args[1], std::vector<std::string>(args.begin() + 2, args.end()));
    }
    if (args[0].rfind("--", 0) == 0)
    {
        std::fprintf(stderr, "teldviewgl: unknown option %s\n", args[0].c_str());
        std::fputs(USAGE, stderr);
        return 2;
    }
    return -1;
}

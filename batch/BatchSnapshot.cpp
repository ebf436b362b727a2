#include "batch/BatchSnapshot.h"

#include <cstdio>

#include "batch/OffscreenScene.h"

bool WriteSnapshotPicture(int nKind, const std::string& strPath, const CDib& dib)
{
    const CImageWriteResult result = WritePictureFile(nKind, strPath, dib);
    if (result.m_bOk)
        return true;
    if (!result.m_strCaption.empty())
        std::fprintf(stderr, "%s\n", result.m_strCaption.c_str());
    std::fprintf(stderr, "%s\n", result.m_strText.c_str());
    return false;
}

int RunSnapshot(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
                bool bTransparent, const SSnapshotLook& look, int32_t nTime)
{
    COffscreenScene scene;
    CDib dib;
    if (!scene.Load(strOut, nWidth, nHeight, files, look) || !scene.DrawAt(nTime, dib, bTransparent, strOut))
        return 1;
    return WriteSnapshotPicture(SnapshotKind(strOut), strOut, dib) ? 0 : 1;
}

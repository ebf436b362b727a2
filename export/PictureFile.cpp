#include "export/PictureFile.h"

#include <algorithm>
#include <cctype>

#include "export/BitmapExport.h"
#include "export/JpegExport.h"
#include "export/MetafileExport.h"
#include "export/PngExport.h"
#include "platform/FileName.h"

int SnapshotKind(const std::string& strPath)
{
    const std::string strName = FileNameOfPath(strPath);
    const size_t nDot = strName.rfind('.');
    if (nDot == std::string::npos)
        return SNAPSHOT_NONE;
    std::string strExt = strName.substr(nDot + 1);
    std::transform(strExt.begin(), strExt.end(), strExt.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (strExt == "bmp")
        return SNAPSHOT_BITMAP;
    if (strExt == "jpg" || strExt == "jpeg")
        return SNAPSHOT_JPEG;
    if (strExt == "emf")
        return SNAPSHOT_METAFILE;
    if (strExt == "png")
        return SNAPSHOT_PNG;
    return SNAPSHOT_NONE;
}

CImageWriteResult WritePictureFile(int nKind, const std::string& strPath, const CDib& dib)
{
    switch (nKind)
    {
    case SNAPSHOT_BITMAP:
        return WriteBitmapFile(strPath, dib);
    case SNAPSHOT_JPEG:
        return WriteJpegFile(strPath, dib, JPEG_QUALITY);
    case SNAPSHOT_PNG:
        return WritePngFile(strPath, dib);
    default:
        return WriteMetafile(strPath, dib);
    }
}

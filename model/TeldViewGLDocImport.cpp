// Imports into the document: a model file read into a mesh of its own, then adopted.
#include <memory>
#include <string>

#include "formats/stl/StlFormat.h"
#include "model/Mesh.h"
#include "model/TeldViewGLDoc.h"

bool CTeldViewGLDoc::ImportSTL(const std::string& strPath, int nMode)
{
    if (nMode != STL_BINARY && nMode != STL_ASCII && nMode != STL_BY_CONTENT)
        return false;
    // The file is read into a mesh of its own: a file that cannot be read, or memory that runs
    // out, leaves the scene as it was.
    std::unique_ptr<CMesh> pMesh = std::make_unique<CMesh>();
    if (!pMesh->ReadSTL(strPath, nMode) || !AdoptImportedMesh(pMesh.get()))
        return false;
    pMesh.release(); // the document's now
    return true;
}

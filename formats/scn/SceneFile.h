#pragma once

#include <string>
#include <string_view>

class CTeldViewGLDoc;

// Loads a scene file's text into the document as CTeldViewGLDoc::ReadSceneFile does with a file:
// "SCENE", the object count N, the camera's keyframe file, then N pairs of an OFF file and its
// keyframe file. A relative name is taken from the working directory; when no such file exists
// there and strFolder is given (the scene file's folder), from strFolder, so that a scene opened
// from elsewhere still finds the files beside it.
//
// A text that is not a complete scene file (another keyword, a count that is not a number, fewer
// names than announced) gives false and leaves the document unchanged. Otherwise the document
// enters scene mode, loses every mesh and loads the listed ones: a camera keyframe file that cannot
// be read is ignored; an OFF file that cannot be read throws CArchiveException from LoadMeshFile;
// an object keyframe file that cannot be read gives false; a mesh that would take the scene's
// meshes past the document's memory budget (m_nSceneMemoryBudget) throws as an OFF file that cannot
// be read, "not enough memory". Either failure keeps the meshes loaded
// so far, the last one current, and puts why that file could not be read (naming it) into
// *pstrProblem when given.
bool ReadSceneBuffer(std::string_view buffer, CTeldViewGLDoc& doc,
                     const std::string& strFolder = std::string(), std::string* pstrProblem = nullptr);

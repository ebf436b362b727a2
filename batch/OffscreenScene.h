#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/BatchSnapshot.h"
#include "drawing/ListCompiler.h"
#include "drawing/OffscreenContext.h"
#include "drawing/ViewSettings.h"
#include "model/TeldViewGLDoc.h"

class CDib;

// The scene of the batch mode's pictures, drawn without any display: the files loaded into an
// offscreen context of a fixed size, with the settings a new view has and the default view fitted
// from the look's side. A snapshot draws it once, an animation once a frame, so the two cannot
// differ at the same time.
class COffscreenScene
{
public:
    COffscreenScene() = default;
    COffscreenScene(const COffscreenScene&) = delete;
    COffscreenScene& operator=(const COffscreenScene&) = delete;

    // Creates the context and loads the files with the look applied. False after printing the
    // program's message: no offscreen context, an input that cannot be read, strOut being one of
    // the inputs (a file a scene names counts too).
    bool Load(const std::string& strOut, int nWidth, int nHeight, const std::vector<std::string>& files,
              const SSnapshotLook& look);
    // True, after the message, when strPath is a file that was read.
    bool OutputIsAnInput(const std::string& strPath) const;
    // Poses the scene at nTime (keyframes of the camera win over the fit), draws it and reads it
    // into dib, which is created at the scene's size: 24 bits, or 32 with bTransparent (alpha 0
    // wherever nothing was drawn). False after printing the message naming strOut.
    bool DrawAt(int32_t nTime, CDib& dib, bool bTransparent, const std::string& strOut);

    CTeldViewGLDoc& Document() { return m_doc; }

private:
    std::vector<std::string> m_files;
    int m_nWidth = 0;
    int m_nHeight = 0;
    // In this order: the document deletes its lists while the context still lives.
    COffscreenContext m_context;
    CViewSettings m_settings;
    CListCompiler m_compiler;
    CTeldViewGLDoc m_doc;
};

#pragma once

#include <cstdint>

class CTeldViewGLDoc;

// The keyframe guide overlay: what the document offers Add Keyframe as tangents, drawn at the
// current object, as a display list of the drawing context.
class CKeyframeGuide
{
public:
    CKeyframeGuide() = default;
    CKeyframeGuide(const CKeyframeGuide&) = delete;
    CKeyframeGuide& operator=(const CKeyframeGuide&) = delete;
    // The list must be gone by then (Delete, with the context current).
    ~CKeyframeGuide() = default;

    // Compiles the guide at the document's current object: the key direction as a white line
    // ahead and a grey one behind, the key rotation's axis as a red line and its sweep as an arc
    // from dark to full red. Replaces the previous guide; returns the list name (0 when GL gave
    // none). Needs the context current; the list leaves lighting and colour as it found them.
    uint32_t Build(const CTeldViewGLDoc& doc);
    // Deletes the list (the context must be current); the guide is hidden then.
    void Delete();
    // The list, 0 while the guide is hidden.
    uint32_t List() const { return m_nList; }

private:
    uint32_t m_nList = 0;
};

#pragma once

#include <cstdint>

// How much of the scene a moving frame can draw: nothing is held back until a full frame has taken
// longer than the aim; from then on each moving frame gets the share of the scene's items that the
// renderer's rate (items per millisecond, measured on full frames, raised by reduced frames that
// drew faster, lowered when one still overran the aim) fits into it.
// A renderer that draws the full scene within the aim never sees a reduced frame.
class CDetailBudget
{
public:
    static constexpr uint32_t FRAME_AIM_MS = 30;

    // The share of its items (0 to 1) each big mesh may draw in a moving frame of a scene of
    // nSceneItems; 1 for a full frame.
    double ShareFor(int64_t nSceneItems) const;
    // After each frame: what it sent, how long it took, and whether any mesh was reduced.
    void FrameDrawn(int64_t nItems, uint32_t nMs, bool bReduced);

private:
    double m_dItemsPerMs = 0.0; // 0 until measured
    bool m_bFullTooSlow = false;
};

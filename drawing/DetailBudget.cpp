#include "drawing/DetailBudget.h"

#include <algorithm>

namespace
{
// Some of the aim is left for what does not follow the items: clearing, filling the pixels, the
// window's composition.
constexpr double ITEM_SHARE_OF_AIM = 0.75;
} // namespace

double CDetailBudget::ShareFor(int64_t nSceneItems) const
{
    if (!m_bFullTooSlow || !(m_dItemsPerMs > 0.0) || nSceneItems <= 0)
        return 1.0;
    const double dFits = m_dItemsPerMs * FRAME_AIM_MS * ITEM_SHARE_OF_AIM;
    return std::min(1.0, dFits / static_cast<double>(nSceneItems));
}

void CDetailBudget::FrameDrawn(int64_t nItems, uint32_t nMs, bool bReduced)
{
    // A frame of nothing, or one quicker than the clock can tell, says nothing of the rate.
    if (nItems <= 0 || nMs == 0)
        return;
    if (!bReduced)
    {
        // Full frames tell the rate: their items outweigh what every frame costs besides.
        m_bFullTooSlow = nMs > FRAME_AIM_MS;
        m_dItemsPerMs = static_cast<double>(nItems) / nMs;
    }
    else if (nMs > FRAME_AIM_MS)
        // The renderer drew slower than it did (a busier machine): the next frames draw less.
        m_dItemsPerMs *= static_cast<double>(FRAME_AIM_MS) / nMs;
    else
        // A reduced frame's rate counts what every frame costs besides against its few items, so
        // it never overstates the renderer's: the next frames may draw more (the first full
        // frame after a load, or on a busy machine, may have understated it).
        m_dItemsPerMs = std::max(m_dItemsPerMs, static_cast<double>(nItems) / nMs);
}

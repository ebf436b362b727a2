#include "view/TeldViewGLView.h"

// One handler for both window timers, the spin branch before the playback branch. Neither
// branch has anything to do until spinning or playback is started.
void CTeldViewGLView::OnTimer(int nIDEvent)
{
    (void)nIDEvent;
}

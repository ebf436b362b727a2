#pragma once

#include "gui/view/TeldViewGLView.h"

// Holds the view's spin or playback still for the life of a scope (a modal dialog that shows or
// edits what they would change) and resumes whichever ran afterwards: the spin with its rates,
// playback from the scene time it had reached.
class CTimerPause
{
public:
    explicit CTimerPause(CTeldViewGLView& view)
        : m_view(view), m_bWasSpinning(view.m_bSpinning), m_bWasPlaying(view.m_bPlaying)
    {
        if (m_bWasSpinning)
            m_view.StopSpin(true);
        if (m_bWasPlaying)
            m_view.StopPlayback(true);
    }
    ~CTimerPause()
    {
        if (m_bWasSpinning)
            m_view.StartSpin(true);
        else if (m_bWasPlaying)
            m_view.StartPlayback();
    }
    CTimerPause(const CTimerPause&) = delete;
    CTimerPause& operator=(const CTimerPause&) = delete;

private:
    CTeldViewGLView& m_view;
    bool m_bWasSpinning;
    bool m_bWasPlaying;
};

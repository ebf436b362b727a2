#pragma once

#include <chrono>

#include "gui/AppObserver.h"

// Where the time of a start with a file goes, for the start-up benchmark: when each step ended,
// and how many page faults the GUI thread had taken by then.
class CStartupTrace : public CAppObserver
{
public:
    enum
    {
        TRACE_QT = 0,     // the QApplication exists
        TRACE_WINDOW,     // window shown and exposed, context ready
        TRACE_READ_TAKEN, // the GUI thread has the mesh read ahead
        TRACE_OPENED,     // the document holds the mesh and its display list
        TRACE_DRAWN,      // the first frame with the mesh is drawn
        TRACE_SWAPPED,    // ... and on screen
        TRACE_COUNT
    };
    using TimePoint = std::chrono::steady_clock::time_point;
    // Records step nStep (once) on the calling thread.
    void Mark(int nStep);
    bool Has(int nStep) const { return m_t[nStep] != TimePoint(); }
    void WindowShown() override { Mark(TRACE_WINDOW); }
    // Marks the steps the view reports (the read taken, the frames drawn and swapped) from now on.
    void ViewMade(CTeldViewGLView& view, const CTeldViewGLDoc& doc) override;
    void PreloadTaken() override { m_bPreloaded = true; }
    // Notes the worker's read times.
    void ReadEnded(const CMeshPreloader& read) override;
    void Opened() override { Mark(TRACE_OPENED); }

    TimePoint m_tMain; // main began
    TimePoint m_t[TRACE_COUNT] = {};
    long m_nFaults[TRACE_COUNT] = {};
    TimePoint m_tReadStart; // the worker's read, when there was one
    TimePoint m_tReadEnd;
    bool m_bPreloaded = false;
    int m_nFrames = 0;       // frames drawn so far
    int m_nMeshFrames = 0;   // of which with a mesh
    int m_nFirstFrameMs = 0; // the first frame with the mesh: its own drawing time
};

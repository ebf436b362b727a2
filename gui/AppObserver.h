#pragma once

class CMeshPreloader;
class CTeldViewGLDoc;
class CTeldViewGLView;

// What the application tells whoever watches its start and its opens (the benchmarks of
// bench/observers): it calls each step as it happens; the observer only looks.
class CAppObserver
{
public:
    virtual ~CAppObserver() = default;
    // The window is shown and exposed, its context ready.
    virtual void WindowShown() {}
    // The view and the document exist, for signals to follow.
    virtual void ViewMade(CTeldViewGLView& view, const CTeldViewGLDoc& doc)
    {
        (void)view;
        (void)doc;
    }
    // An open takes the read started before the window.
    virtual void PreloadTaken() {}
    // An open's read has ended (successful or not).
    virtual void ReadEnded(const CMeshPreloader& read) { (void)read; }
    // An open has ended: the document holds the mesh (or the open failed).
    virtual void Opened() {}
};

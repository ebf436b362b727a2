#pragma once

#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <functional>

// Asks the view for a frame every few milliseconds, as a spin or a dragging mouse would, and finds
// the longest time between the starts of two of its frames until the first frame that shows a
// mesh begins: whether the window went on while a file loaded. Frames count from the first one
// after the window is up (shown, exposed, its first frame on screen: before that the window
// system and the compositor's first start, not the load, decide). For the benchmark modes; it
// watches every event of the application.
class CFrameGapWatch : public QObject
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int FRAME_REQUEST_MS = 10;

    // fnView: the view once there is one, else null; fnHasMesh: whether the scene holds a mesh;
    // fnWindowUp: whether the window is up.
    CFrameGapWatch(std::function<QWidget*()> fnView, std::function<bool()> fnHasMesh,
                   std::function<bool()> fnWindowUp)
        : m_fnView(std::move(fnView)), m_fnHasMesh(std::move(fnHasMesh)), m_fnWindowUp(std::move(fnWindowUp))
    {
        connect(&m_request, &QTimer::timeout, this,
                [this]
                {
                    if (QWidget* pView = m_fnView())
                        pView->update();
                });
    }
    // From now on; tFrom, when given, counts as a frame (the command that starts a load).
    void Start(Clock::time_point tFrom = Clock::time_point())
    {
        m_tLast = tFrom;
        QCoreApplication::instance()->installEventFilter(this);
        m_request.start(FRAME_REQUEST_MS);
    }
    double LongestGapMs() const { return m_dLongestMs; }
    // Frames that began before the first one with the mesh.
    int Frames() const { return m_nFrames; }
    bool SawMesh() const { return m_bDone; }

    bool eventFilter(QObject* pObject, QEvent* pEvent) override
    {
        if (m_bDone || pEvent->type() != QEvent::Paint || pObject != m_fnView() || !m_fnWindowUp())
            return false;
        const Clock::time_point tNow = Clock::now();
        if (m_tLast != Clock::time_point())
            m_dLongestMs =
                std::max(m_dLongestMs, std::chrono::duration<double, std::milli>(tNow - m_tLast).count());
        m_tLast = tNow;
        if (m_fnHasMesh())
        {
            m_bDone = true;
            m_request.stop();
        }
        else
            ++m_nFrames;
        return false;
    }

private:
    std::function<QWidget*()> m_fnView;
    std::function<bool()> m_fnHasMesh;
    std::function<bool()> m_fnWindowUp;
    QTimer m_request;
    Clock::time_point m_tLast;
    double m_dLongestMs = 0.0;
    int m_nFrames = 0;
    bool m_bDone = false;
};

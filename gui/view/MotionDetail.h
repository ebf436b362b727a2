#pragma once

#include <QTimer>

#include <cstdint>
#include <functional>

#include "drawing/DetailBudget.h"

// Whether the view moves, for drawing big meshes reduced while it does (see CDetailBudget): every
// motion (a drag, the wheel, a key, a spin or playback tick) restarts a single-shot timer; when it
// runs out the view has been still for SETTLE_MS and fnStill is called, which asks for the full
// frame where the last one was reduced.
class CMotionDetail
{
public:
    static constexpr int SETTLE_MS = 150;

    explicit CMotionDetail(std::function<void()> fnStill) : m_fnStill(std::move(fnStill))
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Settle(); });
    }

    void NoteMotion()
    {
        m_bMoving = true;
        m_timer.start(SETTLE_MS);
    }
    bool IsMoving() const { return m_bMoving; }
    // Off, every frame is full (for benchmarks that compare the two).
    void SetEnabled(bool bOn) { m_bEnabled = bOn; }
    // The share of its items each big mesh draws in the next frame: 1 while still or off.
    double Share(int64_t nSceneItems) const
    {
        return m_bEnabled && m_bMoving ? m_budget.ShareFor(nSceneItems) : 1.0;
    }
    void FrameDrawn(int64_t nItems, uint32_t nMs, bool bReduced)
    {
        m_budget.FrameDrawn(nItems, nMs, bReduced);
    }
    // The motion ends now (the settle timer's work, which tests call without waiting).
    void Settle()
    {
        m_timer.stop();
        m_bMoving = false;
        if (m_fnStill)
            m_fnStill();
    }

private:
    std::function<void()> m_fnStill;
    CDetailBudget m_budget;
    QTimer m_timer;
    bool m_bMoving = false;
    bool m_bEnabled = true;
};

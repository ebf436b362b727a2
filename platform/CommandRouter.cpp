#include "platform/CommandRouter.h"

#include <algorithm>

void CCommandRouter::RemoveTarget(CCmdTarget* pTarget)
{
    m_targets.erase(std::remove(m_targets.begin(), m_targets.end(), pTarget), m_targets.end());
}

CCmdUI CCommandRouter::Update(int nID) const
{
    CCmdUI ui(nID);
    if (m_fnRefuse && m_fnRefuse(nID))
        return ui;
    for (const CCmdTarget* pTarget : m_targets)
        if (pTarget->UpdateCommand(ui))
            return ui;
    for (const CCmdTarget* pTarget : m_targets)
        if (pTarget->HasCommandHandler(nID))
        {
            ui.Enable(true);
            return ui;
        }
    return ui;
}

bool CCommandRouter::Execute(int nID) const
{
    if (!Update(nID).m_bEnabled)
        return false;
    for (const CCmdTarget* pTarget : m_targets)
        if (pTarget->ExecuteCommand(nID))
            return true;
    return false;
}

#include "platform/CmdTarget.h"

bool CCmdTarget::ExecuteCommand(int nID) const
{
    const auto it = m_commands.find(nID);
    if (it == m_commands.end())
        return false;
    it->second();
    return true;
}

bool CCmdTarget::UpdateCommand(CCmdUI& ui) const
{
    const auto it = m_updates.find(ui.m_nID);
    if (it == m_updates.end())
        return false;
    it->second(ui);
    return true;
}

void CCmdTarget::OnCommandRange(int nFirst, int nLast, const std::function<void(int)>& fn)
{
    for (int nID = nFirst; nID <= nLast; ++nID)
        m_commands[nID] = [fn, nID] { fn(nID); };
}

void CCmdTarget::OnUpdateCommandRange(int nFirst, int nLast, const std::function<void(CCmdUI&)>& fn)
{
    for (int nID = nFirst; nID <= nLast; ++nID)
        m_updates[nID] = fn;
}

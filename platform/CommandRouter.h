#pragma once

#include <functional>
#include <vector>

#include "platform/CmdTarget.h"
#include "platform/CmdUI.h"

// Offers a command to its targets in the order they were added (view, document, frame,
// application). The state of an id comes from the first target with an update handler for it;
// failing that, an id with a command handler somewhere is enabled; an id nobody handles is
// disabled. That is how New, Undo, Cut and Paste end up disabled.
class CCommandRouter
{
public:
    CCommandRouter() = default;
    CCommandRouter(const CCommandRouter&) = delete;
    CCommandRouter& operator=(const CCommandRouter&) = delete;
    virtual ~CCommandRouter() = default;

    void AddTarget(CCmdTarget* pTarget) { m_targets.push_back(pTarget); }
    void RemoveTarget(CCmdTarget* pTarget);
    // While fnRefuse answers true for an id, that command is disabled and does nothing, whatever
    // its handlers say (the application refuses commands while a file loads). Null: none.
    void SetRefusal(std::function<bool(int nID)> fnRefuse) { m_fnRefuse = std::move(fnRefuse); }

    CCmdUI Update(int nID) const;
    // Runs the first command handler for nID, but only while the command is enabled, as a
    // disabled menu item or accelerator does nothing. True when a handler ran.
    bool Execute(int nID) const;

private:
    std::vector<CCmdTarget*> m_targets;
    std::function<bool(int nID)> m_fnRefuse;
};

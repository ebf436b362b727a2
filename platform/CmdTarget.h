#pragma once

#include <functional>
#include <map>

#include "platform/CmdUI.h"

// Something that can handle commands: a table of command handlers and update handlers by
// command id. A target handles an id when it has either kind of handler for it.
class CCmdTarget
{
public:
    using CommandHandler = std::function<void()>;
    using UpdateHandler = std::function<void(CCmdUI&)>;

    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // Runs the command handler of nID; false when this target has none.
    bool ExecuteCommand(int nID) const;
    // Fills ui from the update handler of nID; false when this target has none.
    bool UpdateCommand(CCmdUI& ui) const;
    bool HasCommandHandler(int nID) const { return m_commands.count(nID) != 0; }
    bool HasUpdateHandler(int nID) const { return m_updates.count(nID) != 0; }

protected:
    void OnCommand(int nID, CommandHandler fn) { m_commands[nID] = std::move(fn); }
    void OnUpdateCommand(int nID, UpdateHandler fn) { m_updates[nID] = std::move(fn); }
    // The same handlers for a range of ids (the recent-file entries); the handler gets the id.
    void OnCommandRange(int nFirst, int nLast, const std::function<void(int)>& fn);
    void OnUpdateCommandRange(int nFirst, int nLast, const std::function<void(CCmdUI&)>& fn);

private:
    std::map<int, CommandHandler> m_commands;
    std::map<int, UpdateHandler> m_updates;
};

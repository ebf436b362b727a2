#pragma once

#include <string>

// The state an update handler gives a command: enabled, checked and, for status panes, the
// text. A fresh object is disabled, unchecked and has no text.
class CCmdUI
{
public:
    explicit CCmdUI(int nID) : m_nID(nID) {}
    virtual ~CCmdUI() = default;

    void Enable(bool bOn = true) { m_bEnabled = bOn; }
    void SetCheck(bool bCheck = true) { m_bChecked = bCheck; }
    void SetText(std::string strText)
    {
        m_strText = std::move(strText);
        m_bHasText = true;
    }

    int m_nID;
    bool m_bEnabled = false;
    bool m_bChecked = false;
    bool m_bHasText = false;
    std::string m_strText;
};

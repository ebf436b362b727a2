#pragma once

// The state of the keyboard's lock indicators (Caps, Num, Scroll), for the status bar panes.
// On X11 it asks the X keyboard extension for the named indicators; elsewhere, or when the
// server does not know them, every lock reads as off.
class CLockKeyState
{
public:
    enum EKey
    {
        KEY_CAPS = 0,
        KEY_NUM = 1,
        KEY_SCROLL = 2
    };

    CLockKeyState();
    // Reads the indicators once; IsOn then answers from that reading.
    void Refresh();
    bool IsOn(EKey nKey) const { return m_nIndex[nKey] >= 0 && (m_nState & (1u << m_nIndex[nKey])) != 0; }
    bool IsAvailable() const { return m_pDisplay != nullptr; }

private:
    void* m_pDisplay = nullptr;
    int m_nIndex[3] = {-1, -1, -1};
    unsigned m_nState = 0;
};

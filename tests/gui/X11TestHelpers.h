#pragma once

// Closes (as the window manager's close button would) the first top-level window of process
// nPid whose title is pszTitle, waiting up to nTimeoutMs for it to appear. Kept free of Qt and
// gtest because Xlib's macros clash with both.
bool CloseX11WindowOf(long nPid, const char* pszTitle, int nTimeoutMs);

// Locks or unlocks Caps Lock on the display, as pressing the key would. False without a display.
bool SetX11CapsLock(bool bOn);

#pragma once

#include <string>
#include <vector>

// Closes (as the window manager's close button would) top-level windows of process nPid, one
// per title in turn, waiting up to nTimeoutMs for each to appear; a window closed once is never
// taken again for a later title. True when every one was found. Kept free of Qt and gtest
// because Xlib's macros clash with both.
bool CloseX11WindowsOf(long nPid, const std::vector<std::string>& titles, int nTimeoutMs);

// Locks or unlocks Caps Lock on the display, as pressing the key would. False without a display.
bool SetX11CapsLock(bool bOn);

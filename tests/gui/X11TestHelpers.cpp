#include "X11TestHelpers.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace
{
// The bytes of a window property of the given type; empty when it is missing.
std::string Property(Display* pDisplay, Window window, const char* pszName, Atom type)
{
    Atom actual = 0;
    int nFormat = 0;
    unsigned long nItems = 0, nAfter = 0;
    unsigned char* pData = nullptr;
    std::string strValue;
    if (XGetWindowProperty(pDisplay, window, XInternAtom(pDisplay, pszName, False), 0, 1024, False, type,
                           &actual, &nFormat, &nItems, &nAfter, &pData) == Success &&
        pData != nullptr)
        strValue.assign(reinterpret_cast<char*>(pData), nFormat == 32 ? nItems * sizeof(long) : nItems);
    if (pData != nullptr)
        XFree(pData);
    return strValue;
}

// A viewable top-level window of the process with the title, not among those already closed.
Window FindWindow(Display* pDisplay, const std::string& strPid, const std::string& strTitle,
                  const std::vector<Window>& closed)
{
    const Atom utf8 = XInternAtom(pDisplay, "UTF8_STRING", False);
    Window root = 0, parent = 0;
    Window* pChildren = nullptr;
    unsigned int nChildren = 0;
    Window window = 0;
    XQueryTree(pDisplay, DefaultRootWindow(pDisplay), &root, &parent, &pChildren, &nChildren);
    for (unsigned int i = 0; i < nChildren && window == 0; ++i)
    {
        XWindowAttributes attributes;
        if (std::find(closed.begin(), closed.end(), pChildren[i]) == closed.end() &&
            XGetWindowAttributes(pDisplay, pChildren[i], &attributes) && attributes.map_state == IsViewable &&
            Property(pDisplay, pChildren[i], "_NET_WM_PID", XA_CARDINAL) == strPid &&
            Property(pDisplay, pChildren[i], "_NET_WM_NAME", utf8) == strTitle)
            window = pChildren[i];
    }
    if (pChildren != nullptr)
        XFree(pChildren);
    return window;
}
} // namespace

bool CloseX11WindowsOf(long nPid, const std::vector<std::string>& titles, int nTimeoutMs)
{
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr)
        return false;
    const std::string strPid(reinterpret_cast<const char*>(&nPid), sizeof(nPid));
    std::vector<Window> closed;
    for (const std::string& strTitle : titles)
    {
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
        Window window = 0;
        while (window == 0 && std::chrono::steady_clock::now() < tEnd)
        {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            window = FindWindow(pDisplay, strPid, strTitle, closed);
        }
        if (window == 0)
            break;
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(pDisplay, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(pDisplay, "WM_DELETE_WINDOW", False));
        XSendEvent(pDisplay, window, False, NoEventMask, &event);
        XFlush(pDisplay);
        closed.push_back(window);
    }
    XCloseDisplay(pDisplay);
    return closed.size() == titles.size();
}

bool SetX11CapsLock(bool bOn)
{
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr)
        return false;
    const bool bDone = XkbLockModifiers(pDisplay, XkbUseCoreKbd, LockMask, bOn ? LockMask : 0) != 0;
    XSync(pDisplay, False);
    XCloseDisplay(pDisplay);
    return bDone;
}

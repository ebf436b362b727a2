#include "X11TestHelpers.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace
{
long WindowPid(Display* pDisplay, Window window)
{
    const Atom pidAtom = XInternAtom(pDisplay, "_NET_WM_PID", True);
    if (pidAtom == 0)
        return -1;
    Atom type = 0;
    int nFormat = 0;
    unsigned long nItems = 0, nAfter = 0;
    unsigned char* pData = nullptr;
    long nPid = -1;
    if (XGetWindowProperty(pDisplay, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &nFormat, &nItems,
                           &nAfter, &pData) == Success &&
        pData != nullptr && nItems == 1)
        nPid = static_cast<long>(*reinterpret_cast<unsigned long*>(pData));
    if (pData != nullptr)
        XFree(pData);
    return nPid;
}

std::string WindowTitle(Display* pDisplay, Window window)
{
    const Atom nameAtom = XInternAtom(pDisplay, "_NET_WM_NAME", True);
    const Atom utf8Atom = XInternAtom(pDisplay, "UTF8_STRING", True);
    std::string strTitle;
    if (nameAtom != 0 && utf8Atom != 0)
    {
        Atom type = 0;
        int nFormat = 0;
        unsigned long nItems = 0, nAfter = 0;
        unsigned char* pData = nullptr;
        if (XGetWindowProperty(pDisplay, window, nameAtom, 0, 1024, False, utf8Atom, &type, &nFormat, &nItems,
                               &nAfter, &pData) == Success &&
            pData != nullptr)
            strTitle.assign(reinterpret_cast<char*>(pData), nItems);
        if (pData != nullptr)
            XFree(pData);
    }
    return strTitle;
}

Window FindWindow(Display* pDisplay, long nPid, const char* pszTitle)
{
    Window root = 0, parent = 0;
    Window* pChildren = nullptr;
    unsigned int nChildren = 0;
    Window found = 0;
    if (!XQueryTree(pDisplay, DefaultRootWindow(pDisplay), &root, &parent, &pChildren, &nChildren))
        return 0;
    for (unsigned int i = 0; i < nChildren && found == 0; ++i)
    {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(pDisplay, pChildren[i], &attributes) || attributes.map_state != IsViewable)
            continue;
        if (WindowPid(pDisplay, pChildren[i]) == nPid && WindowTitle(pDisplay, pChildren[i]) == pszTitle)
            found = pChildren[i];
    }
    if (pChildren != nullptr)
        XFree(pChildren);
    return found;
}
} // namespace

bool CloseX11WindowOf(long nPid, const char* pszTitle, int nTimeoutMs)
{
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr)
        return false;
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    Window window = 0;
    while (window == 0 && std::chrono::steady_clock::now() < tEnd)
    {
        window = FindWindow(pDisplay, nPid, pszTitle);
        if (window == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (window != 0)
    {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(pDisplay, "WM_PROTOCOLS", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(XInternAtom(pDisplay, "WM_DELETE_WINDOW", False));
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(pDisplay, window, False, NoEventMask, &event);
        XFlush(pDisplay);
    }
    XCloseDisplay(pDisplay);
    return window != 0;
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

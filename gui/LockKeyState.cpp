#include "gui/LockKeyState.h"

#include <QGuiApplication>

#if defined(TELDVIEW_HAVE_X11)
#include <QtGui/qguiapplication_platform.h>

#include <X11/XKBlib.h>
#endif

CLockKeyState::CLockKeyState()
{
#if defined(TELDVIEW_HAVE_X11)
    const auto* pX11 =
        qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* pDisplay = pX11 != nullptr ? pX11->display() : nullptr;
    if (pDisplay == nullptr)
        return;
    // Indicator numbers differ between keymaps; their names do not.
    const char* const names[3] = {"Caps Lock", "Num Lock", "Scroll Lock"};
    for (int i = 0; i < 3; ++i)
    {
        const Atom atom = XInternAtom(pDisplay, names[i], True);
        int nIndex = -1;
        if (atom != 0 && XkbGetNamedIndicator(pDisplay, atom, &nIndex, nullptr, nullptr, nullptr) &&
            nIndex >= 0 && nIndex < 32)
            m_nIndex[i] = nIndex;
    }
    m_pDisplay = pDisplay;
#endif
}

void CLockKeyState::Refresh()
{
    m_nState = 0;
#if defined(TELDVIEW_HAVE_X11)
    if (m_pDisplay == nullptr)
        return;
    unsigned nState = 0;
    if (XkbGetIndicatorState(static_cast<Display*>(m_pDisplay), XkbUseCoreKbd, &nState) == Success)
        m_nState = nState;
#endif
}

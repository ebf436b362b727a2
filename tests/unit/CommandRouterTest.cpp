#include <gtest/gtest.h>

#include <string>

#include "platform/CommandRouter.h"

namespace
{
class CTarget : public CCmdTarget
{
public:
    using CCmdTarget::OnCommand;
    using CCmdTarget::OnUpdateCommand;
};
} // namespace

TEST(CommandRouter, FirstUpdateHandlerDecidesAndUnhandledIdsAreDisabled)
{
    CTarget view, document, frame;
    bool bViewEnabled = false;
    std::string strRuns; // who ran, in order
    view.OnUpdateCommand(1, [&](CCmdUI& ui) { ui.Enable(bViewEnabled), ui.SetCheck(true); });
    view.OnCommand(1, [&] { strRuns += "view 1;"; });
    document.OnCommand(1, [&] { strRuns += "document 1;"; });
    document.OnCommand(2, [&] { strRuns += "document 2;"; });
    frame.OnUpdateCommand(3, [](CCmdUI& ui) { ui.Enable(), ui.SetText("pane"); });
    CCommandRouter router;
    for (CTarget* pTarget : {&view, &document, &frame})
        router.AddTarget(pTarget);

    // An update handler that disables wins over a later command handler, and execution obeys it.
    EXPECT_FALSE(router.Update(1).m_bEnabled);
    EXPECT_TRUE(router.Update(1).m_bChecked);
    EXPECT_FALSE(router.Execute(1));
    bViewEnabled = true;
    EXPECT_TRUE(router.Execute(1));
    // A command handler alone enables its id.
    EXPECT_TRUE(router.Update(2).m_bEnabled);
    EXPECT_TRUE(router.Execute(2));
    EXPECT_EQ(strRuns, "view 1;document 2;");
    EXPECT_EQ(router.Update(3).m_strText, "pane");
    // Nobody handles 4.
    EXPECT_FALSE(router.Update(4).m_bEnabled || router.Update(4).m_bHasText);
    EXPECT_FALSE(router.Execute(4));
    router.RemoveTarget(&view);
    EXPECT_TRUE(router.Update(1).m_bEnabled);
}
